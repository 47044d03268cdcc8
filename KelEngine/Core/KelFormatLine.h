#pragma once
// Formats one line of log or console output: at most 1023 characters of text (longer output is
// cut), followed by a line feed.

#include <cstdarg>
#include <cstdio>

struct KelFormattedLine
{
    static constexpr int kMaxText = 1023;
    char text[kMaxText + 2]; // the text, its line feed and the terminator
};

inline void KelFormatLine(KelFormattedLine& line, const char* format, va_list arguments)
{
    int length = vsnprintf(line.text, KelFormattedLine::kMaxText + 1, format, arguments);
    if (length < 0)
        length = 0;
    if (length > KelFormattedLine::kMaxText)
        length = KelFormattedLine::kMaxText;
    line.text[length] = '\n';
    line.text[length + 1] = '\0';
}
