#include "Win32/Profile.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "Win32/Files.h"
#include "Win32/Text.h"

namespace
{

// All profile calls of the process go through one lock, so that two threads changing the same
// file do not lose each other's change between reading and writing it back.
std::mutex g_profileMutex;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// True when the bytes at `at` form one double-byte GBK character: a lead byte followed by a
// byte of the trail range. A lead byte followed by anything else stands alone, as the text
// conversions treat it.
bool IsDoubleByte(std::string_view text, size_t at)
{
    if (at + 1 >= text.size() || !IsGbkLeadByte(static_cast<unsigned char>(text[at])))
        return false;
    unsigned char trail = static_cast<unsigned char>(text[at + 1]);
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

char FoldUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Section and key names match without regard to the case of ASCII letters. The second byte of
// a double-byte character is compared exactly: it may look like a letter ("\xB0\x41" and
// "\xB0\x61" are two different characters).
bool NamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    size_t i = 0;
    while (i < a.size())
    {
        if (IsDoubleByte(a, i))
        {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            i += 2;
        }
        else
        {
            if (FoldUpper(a[i]) != FoldUpper(b[i]))
                return false;
            ++i;
        }
    }
    return true;
}

Win32ProfileLine ParseLine(std::string_view text)
{
    Win32ProfileLine line;
    line.text.assign(text);
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    if (start == text.size() || text[start] == ';')
        return line;

    if (text[start] == '[')
    {
        // The name runs to the last ']' of the line; a ']' that is the second byte of a
        // double-byte character does not count.
        size_t close = std::string_view::npos;
        size_t i = start + 1;
        while (i < text.size())
        {
            if (IsDoubleByte(text, i))
            {
                i += 2;
                continue;
            }
            if (text[i] == ']')
                close = i;
            ++i;
        }
        if (close != std::string_view::npos)
        {
            line.kind = Win32ProfileLine::Section;
            line.name.assign(TrimBlanks(text.substr(start + 1, close - start - 1)));
            return line;
        }
    }

    // '=' lies below the trail byte range, so the first one always separates key and value.
    size_t equals = text.find('=', start);
    if (equals == std::string_view::npos)
        return line;
    std::string_view name = TrimBlanks(text.substr(start, equals - start));
    if (name.empty())
        return line;
    std::string_view value = TrimBlanks(text.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    line.kind = Win32ProfileLine::Entry;
    line.name.assign(name);
    line.value.assign(value);
    return line;
}

// A line of the file with the bytes that ended it ("\r\n", "\n", or nothing for a last line
// without a line end), so that lines nobody changes are written back exactly.
struct StoredLine
{
    Win32ProfileLine line;
    std::string ending;
};

std::vector<StoredLine> SplitProfile(std::string_view content)
{
    std::vector<StoredLine> lines;
    size_t start = 0;
    while (start < content.size())
    {
        size_t newline = content.find('\n', start);
        StoredLine stored;
        std::string_view text;
        if (newline == std::string_view::npos)
        {
            text = content.substr(start);
            start = content.size();
        }
        else
        {
            text = content.substr(start, newline - start);
            stored.ending = "\n";
            if (!text.empty() && text.back() == '\r')
            {
                text.remove_suffix(1);
                stored.ending = "\r\n";
            }
            start = newline + 1;
        }
        stored.line = ParseLine(text);
        lines.push_back(std::move(stored));
    }
    return lines;
}

constexpr size_t npos = static_cast<size_t>(-1);

size_t FindSection(const std::vector<StoredLine>& lines, std::string_view name)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].line.kind == Win32ProfileLine::Section && NamesEqual(lines[i].line.name, name))
            return i;
    return npos;
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const std::vector<StoredLine>& lines, size_t header)
{
    size_t i = header + 1;
    while (i < lines.size() && lines[i].line.kind != Win32ProfileLine::Section)
        ++i;
    return i;
}

size_t FindKey(const std::vector<StoredLine>& lines, size_t header, std::string_view key)
{
    size_t end = SectionEnd(lines, header);
    for (size_t i = header + 1; i < end; ++i)
        if (lines[i].line.kind == Win32ProfileLine::Entry && NamesEqual(lines[i].line.name, key))
            return i;
    return npos;
}

// Reads a whole profile file. On failure returns false with the Windows error in `error`.
bool ReadProfile(LPCSTR fileName, std::string& content, DWORD& error)
{
    content.clear();
    FILE* file = Win32OpenFile(fileName, "rb");
    if (file == nullptr)
    {
        error = GetLastError();
        return false;
    }
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, count);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
    {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

DWORD CopyValue(LPSTR buffer, DWORD size, std::string_view value)
{
    size_t length = value.size() < size ? value.size() : size - 1;
    if (length > 0)
        std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

// Copies names as a list: each name with its terminator, and one more terminator at the end.
// A list that does not fit is cut and closed with two terminators, and size - 2 is returned.
DWORD CopyList(LPSTR buffer, DWORD size, const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
    {
        list += name;
        list += '\0';
    }
    if (list.size() + 1 <= size)
    {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2)
            buffer[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2)
    {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

void AddDistinct(std::vector<std::string>& names, const std::string& name)
{
    if (name.empty())
        return;
    for (const std::string& known : names)
        if (NamesEqual(known, name))
            return;
    names.push_back(name);
}

// Joins the lines back into file content. A line that is no longer the last one gets a line
// end if it had none (the file's own style; "\r\n" after a line whose text ends in '\r', so
// that the '\r' stays part of the text when the file is read again).
std::string JoinProfile(std::vector<StoredLine>& lines, const std::string& style)
{
    std::string content;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        StoredLine& stored = lines[i];
        if (stored.ending.empty() && i + 1 < lines.size())
            stored.ending = (!stored.line.text.empty() && stored.line.text.back() == '\r') ? "\r\n" : style;
        content += stored.line.text;
        content += stored.ending;
    }
    return content;
}

// The header line for a new section. A name that ends in a lone lead byte (a cut double-byte
// character) would take the ']' as its second byte and never be read back as a section; a
// blank in between, trimmed again on reading, keeps the two apart.
std::string SectionHeader(std::string_view name)
{
    bool loneLead = false;
    size_t i = 0;
    while (i < name.size())
    {
        if (IsDoubleByte(name, i))
        {
            loneLead = false;
            i += 2;
            continue;
        }
        loneLead = IsGbkLeadByte(static_cast<unsigned char>(name[i]));
        ++i;
    }
    return "[" + std::string(name) + (loneLead ? " ]" : "]");
}

StoredLine NewLine(std::string text, const std::string& style)
{
    StoredLine stored;
    stored.line.text = std::move(text);
    stored.ending = style;
    return stored;
}

bool WriteWholeFile(LPCSTR fileName, const std::string& content)
{
    FILE* file = Win32OpenFile(fileName, "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        SetLastError(ERROR_ACCESS_DENIED);
    return ok;
}

} // namespace

std::vector<Win32ProfileLine> ParseWin32Profile(std::string_view content)
{
    std::vector<StoredLine> stored = SplitProfile(content);
    std::vector<Win32ProfileLine> lines;
    lines.reserve(stored.size());
    for (StoredLine& line : stored)
        lines.push_back(std::move(line.line));
    return lines;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName)
{
    if (buffer == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size == 0)
        return 0;
    std::string_view fallback = defaultValue != nullptr ? std::string_view(defaultValue) : std::string_view();
    while (!fallback.empty() && IsBlank(fallback.back()))
        fallback.remove_suffix(1);

    std::string content;
    DWORD error = ERROR_SUCCESS;
    bool read;
    {
        std::lock_guard<std::mutex> lock(g_profileMutex);
        read = fileName != nullptr && ReadProfile(fileName, content, error);
    }
    if (!read && fileName == nullptr)
        error = ERROR_FILE_NOT_FOUND;
    std::vector<StoredLine> lines = SplitProfile(content);

    if (section == nullptr)
    {
        std::vector<std::string> names;
        for (const StoredLine& stored : lines)
            if (stored.line.kind == Win32ProfileLine::Section)
                AddDistinct(names, stored.line.name);
        SetLastError(read ? ERROR_SUCCESS : error);
        return CopyList(buffer, size, names);
    }

    std::string_view sectionName = TrimBlanks(section);
    size_t header = FindSection(lines, sectionName);
    if (key == nullptr)
    {
        // Like Windows, a section that is missing or has no keys gives the default value.
        std::vector<std::string> names;
        if (header != npos)
        {
            size_t end = SectionEnd(lines, header);
            for (size_t i = header + 1; i < end; ++i)
                if (lines[i].line.kind == Win32ProfileLine::Entry)
                    AddDistinct(names, lines[i].line.name);
        }
        if (!names.empty())
        {
            SetLastError(ERROR_SUCCESS);
            return CopyList(buffer, size, names);
        }
        SetLastError(read ? ERROR_FILE_NOT_FOUND : error);
        return CopyValue(buffer, size, fallback);
    }

    size_t entry = header == npos ? npos : FindKey(lines, header, TrimBlanks(key));
    if (entry == npos)
    {
        SetLastError(read ? ERROR_FILE_NOT_FOUND : error);
        return CopyValue(buffer, size, fallback);
    }
    SetLastError(ERROR_SUCCESS);
    return CopyValue(buffer, size, lines[entry].line.value);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName)
{
    if (section == nullptr || key == nullptr)
        return static_cast<UINT>(defaultValue);
    // Windows reads the value into a small buffer first; longer values are cut the same way.
    char text[32];
    DWORD length = GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName);
    if (length == 0)
        return static_cast<UINT>(defaultValue);

    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
    {
        negative = *p == '-';
        ++p;
    }
    UINT base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
    {
        base = 16;
        p += 2;
    }
    // Unsigned arithmetic wraps around on overflow, as the Windows conversion does.
    UINT result = 0;
    for (;; ++p)
    {
        UINT digit;
        if (*p >= '0' && *p <= '9')
            digit = static_cast<UINT>(*p - '0');
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = static_cast<UINT>(*p - 'a' + 10);
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = static_cast<UINT>(*p - 'A' + 10);
        else
            break;
        result = result * base + digit;
    }
    return negative ? 0u - result : result;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (section == nullptr)
    {
        // With every argument null Windows only flushes its cache; there is no cache here.
        if (key == nullptr && value == nullptr)
            return TRUE;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (fileName == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    std::lock_guard<std::mutex> lock(g_profileMutex);
    std::string content;
    DWORD error = ERROR_SUCCESS;
    bool exists = ReadProfile(fileName, content, error);
    if (!exists && error != ERROR_FILE_NOT_FOUND)
    {
        // A missing folder, a folder in place of the file, a file that cannot be read: nothing
        // is created or changed.
        SetLastError(error);
        return FALSE;
    }

    std::vector<StoredLine> lines = SplitProfile(content);
    std::string style = "\r\n";
    for (const StoredLine& stored : lines)
        if (!stored.ending.empty())
        {
            style = stored.ending;
            break;
        }

    std::string sectionName(TrimBlanks(section));
    size_t header = FindSection(lines, sectionName);
    if (key == nullptr)
    {
        if (header != npos)
            lines.erase(lines.begin() + static_cast<ptrdiff_t>(header),
                        lines.begin() + static_cast<ptrdiff_t>(SectionEnd(lines, header)));
    }
    else
    {
        std::string keyName(TrimBlanks(key));
        size_t entry = header == npos ? npos : FindKey(lines, header, keyName);
        if (value == nullptr)
        {
            if (entry != npos)
                lines.erase(lines.begin() + static_cast<ptrdiff_t>(entry));
        }
        else if (entry != npos)
        {
            // The key keeps its spelling from the file.
            lines[entry].line.text = lines[entry].line.name + "=" + value;
        }
        else if (header != npos)
        {
            size_t end = SectionEnd(lines, header);
            size_t at = header + 1;
            for (size_t i = header + 1; i < end; ++i)
                if (lines[i].line.kind == Win32ProfileLine::Entry)
                    at = i + 1;
            lines.insert(lines.begin() + static_cast<ptrdiff_t>(at), NewLine(keyName + "=" + value, style));
        }
        else
        {
            lines.push_back(NewLine(SectionHeader(sectionName), style));
            lines.push_back(NewLine(keyName + "=" + value, style));
        }
    }

    std::string updated = JoinProfile(lines, style);
    if (exists && updated == content)
        return TRUE;
    if (!exists && updated.empty())
        return TRUE;
    return WriteWholeFile(fileName, updated) ? TRUE : FALSE;
}
