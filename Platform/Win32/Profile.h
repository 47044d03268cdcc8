#pragma once
// The profile (ini file) functions.
//
// A profile file is read afresh on every call and written back at once, so that several
// programs that share a file see each other's changes. Section and key names are compared
// without regard to the case of ASCII letters; the second byte of a double-byte GBK character
// is never case-folded, so two different Chinese names never match by accident. Writing keeps
// every line it does not change (comments, blank lines, lines it cannot parse) as it was.
//
// Relative file names are taken relative to the current directory.
//
// When a section occurs twice in a file, reading and writing both use its first occurrence,
// and within a section the first of two equal keys. New lines are written as "[section]" and
// "key=value" with the line end the file already uses ("\r\n" for a new file), and a last
// line without a line end gets one before anything is added after it.

#include <string>
#include <string_view>
#include <vector>

#include "WinTypes.h"

// Copies the value of `key` in `section` into `buffer` (at most size - 1 characters and a
// terminator) and returns the number of characters copied. Leading and trailing blanks of the
// value are dropped, and so is one pair of quotes around it. When the file, the section or the
// key does not exist, the default (null meaning "", trailing blanks dropped) is copied instead.
// A value that does not fit is cut and size - 1 is returned.
// A null key lists the key names of the section, a null section lists the section names: each
// name ends with a terminator and the list with a second one; when the list does not fit it is
// cut and size - 2 is returned. A name that occurs twice is listed once. As on Windows, a
// section that is missing or has no keys gives the default instead of a key list.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);

// The integer value of `key`: leading blanks, an optional sign, then decimal digits, or
// hexadecimal after "0x"; reading stops at the first other character ("12abc" is 12, "abc" is
// 0). A missing key or an empty value gives the default. A negative value is returned as its
// two's complement, as Windows does.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);

// Sets `key` in `section` to `value`, creating the file, the section (at the end of the file)
// and the key (after the last entry of the section) as needed. A null value deletes the key; a
// null key deletes the whole section (its header and every line up to the next one). With all
// three null nothing is done and TRUE is returned; a null section with a key or value gives
// FALSE and ERROR_FILE_NOT_FOUND, as on Windows. Returns FALSE, with the error in
// GetLastError, when the file cannot be written (ERROR_PATH_NOT_FOUND when its folder is
// missing); the file is then unchanged and nothing is created.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// The parsed form of a profile file, used by the functions above; public so that the parser
// can be exercised without files.
struct Win32ProfileLine
{
    enum Kind
    {
        Other,   // blank line, comment, or anything that is neither a section nor an entry
        Section, // "[name]"
        Entry,   // "key=value"
    };
    Kind kind = Other;
    std::string text; // the line as it stands in the file, without its line end
    std::string name; // section or key name, blanks trimmed
    std::string value; // entry value as read (blanks trimmed, one pair of quotes removed)
};

std::vector<Win32ProfileLine> ParseWin32Profile(std::string_view content);
