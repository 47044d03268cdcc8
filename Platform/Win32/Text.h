#pragma once
// Conversions between the system's narrow text (GBK, the Chinese code page) and Unicode.
// Every narrow string of the system is GBK; these are used only at the edges that need
// another encoding: font rendering (code points), window titles and text input (UTF-8),
// terminal output (UTF-8) and file names on disk (UTF-8).
//
// Invalid or truncated byte sequences are skipped, one byte at a time, and the conversion goes
// on with the rest: a damaged chat line still shows what can be read of it.

#include <string>
#include <string_view>

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
std::u32string GbkToUnicode(std::string_view gbk);
std::string UnicodeToGbk(std::u32string_view unicode);

// True when the byte starts a double-byte GBK character (the byte after it belongs to the same
// character, even when it looks like an ASCII letter or a backslash).
inline bool IsGbkLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}
