// Feeds arbitrary bytes to the profile parser, and to the writer through a file, and checks
// what must hold for any input:
//  - the lines' texts, joined, are the content without its line ends;
//  - a section header or an entry rebuilt from the parsed name (and value) parses back the same,
//    so trimming, quote removal and the double-byte scan agree with each other;
//  - writing one key changes exactly one line (or appends the section and the key) and leaves
//    every other line as it was, and the value reads back;
//  - a section named after a name of the input can be created and found again.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "Win32/Profile.h"

namespace
{

void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string WithoutLineEnds(std::string_view content)
{
    std::string result;
    for (size_t i = 0; i < content.size(); ++i)
    {
        if (content[i] == '\n')
            continue;
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            continue;
        result += content[i];
    }
    return result;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

void CheckParse(std::string_view content, const std::vector<Win32ProfileLine>& lines)
{
    std::string joined;
    for (const Win32ProfileLine& line : lines)
    {
        Check(line.text.find('\n') == std::string::npos, "a line holds a line feed");
        joined += line.text;
    }
    Check(joined == WithoutLineEnds(content), "joined lines differ from the content");

    for (const Win32ProfileLine& line : lines)
    {
        if (line.kind == Win32ProfileLine::Other)
        {
            Check(line.name.empty() && line.value.empty(), "other line with a name or value");
            continue;
        }
        Check(line.name.empty() || (!IsBlank(line.name.front()) && !IsBlank(line.name.back())),
              "untrimmed name");
        if (line.kind == Win32ProfileLine::Section)
        {
            // The blank before ']' keeps a name that ends in a lone lead byte from taking the
            // ']' as its second byte; it is trimmed again.
            std::vector<Win32ProfileLine> again = ParseWin32Profile("[" + line.name + " ]");
            Check(again.size() == 1 && again[0].kind == Win32ProfileLine::Section &&
                      again[0].name == line.name,
                  "section header does not parse back");
        }
        else
        {
            Check(!line.name.empty(), "entry without a name");
            Check(line.name.find('=') == std::string::npos, "entry name holds '='");
            std::vector<Win32ProfileLine> again = ParseWin32Profile(line.name + "=\"" + line.value + "\"");
            Check(again.size() == 1 && again[0].kind == Win32ProfileLine::Entry &&
                      again[0].name == line.name && again[0].value == line.value,
                  "entry does not parse back");
        }
    }
}

std::string TempFile()
{
    char pattern[] = "/tmp/profile-fuzz-XXXXXX";
    int fd = mkstemp(pattern);
    Check(fd >= 0, "cannot create the work file");
    close(fd);
    return pattern;
}

// The work files are named once and removed after every input, so that a run leaves nothing
// behind in /tmp unless an invariant breaks.
const std::string& WorkFile()
{
    static const std::string path = TempFile();
    return path;
}

const std::string& SecondWorkFile()
{
    static const std::string path = TempFile();
    return path;
}

void CheckWrite(std::string_view content, const std::vector<Win32ProfileLine>& before)
{
    const std::string& path = WorkFile();
    FILE* file = std::fopen(path.c_str(), "wb");
    Check(file != nullptr, "cannot write the work file");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);

    // The first section of the input, or a new one when it has none.
    std::string section = "FuzzSection";
    bool appended = true;
    for (const Win32ProfileLine& line : before)
        if (line.kind == Win32ProfileLine::Section)
        {
            section = line.name;
            appended = false;
            break;
        }
    // A name with a NUL byte cannot be passed through the narrow-string interface.
    if (section.find('\0') != std::string::npos)
        return;
    const char* key = "FuzzKey";
    const char* value = "fuzz value";
    Check(WritePrivateProfileStringA(section.c_str(), key, value, path.c_str()) == TRUE, "write failed");

    char buffer[64];
    DWORD length = GetPrivateProfileStringA(section.c_str(), key, "", buffer, sizeof buffer, path.c_str());
    Check(std::string(buffer, length) == value, "written value does not read back");

    std::string written;
    file = std::fopen(path.c_str(), "rb");
    Check(file != nullptr, "cannot read the work file");
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        written.append(chunk, count);
    std::fclose(file);
    std::vector<Win32ProfileLine> after = ParseWin32Profile(written);

    if (appended)
    {
        Check(after.size() == before.size() + 2, "appending a section is not two lines");
        for (size_t i = 0; i < before.size(); ++i)
            Check(after[i].text == before[i].text, "appending a section changed a line");
        Check(after[before.size()].text == "[FuzzSection]", "bad section header");
        Check(after[before.size() + 1].text == "FuzzKey=fuzz value", "bad entry");
        return;
    }
    // Either one line was replaced (the key existed), or one was inserted, or the key already
    // had exactly this line.
    size_t first = 0;
    while (first < before.size() && first < after.size() && before[first].text == after[first].text)
        ++first;
    if (first == after.size() && after.size() == before.size())
        return;
    Check(first < after.size(), "lines were lost");
    Check(after[first].kind == Win32ProfileLine::Entry && after[first].value == value,
          "changed line is no entry");
    if (after.size() == before.size())
    {
        for (size_t i = first + 1; i < after.size(); ++i)
            Check(after[i].text == before[i].text, "replacing a key changed another line");
    }
    else
    {
        Check(after.size() == before.size() + 1, "adding a key is not one line");
        for (size_t i = first; i < before.size(); ++i)
            Check(after[i + 1].text == before[i].text, "adding a key changed another line");
    }
}

// Writing a key twice into a new section of an empty file, with a name taken from the input,
// gives one header and one entry that read back.
void CheckNewSection(const std::vector<Win32ProfileLine>& lines)
{
    const std::string& path = SecondWorkFile();
    for (const Win32ProfileLine& line : lines)
    {
        if (line.kind == Win32ProfileLine::Other || line.name.find('\0') != std::string::npos)
            continue;
        FILE* file = std::fopen(path.c_str(), "wb");
        Check(file != nullptr, "cannot empty the work file");
        std::fclose(file);
        const char* name = line.name.c_str();
        Check(WritePrivateProfileStringA(name, "k", "1", path.c_str()) == TRUE, "write failed");
        Check(WritePrivateProfileStringA(name, "k", "2", path.c_str()) == TRUE, "write failed");
        char buffer[8];
        DWORD length = GetPrivateProfileStringA(name, "k", "", buffer, sizeof buffer, path.c_str());
        Check(std::string(buffer, length) == "2", "new section does not read back");
        std::vector<char> list(line.name.size() + 8);
        length = GetPrivateProfileStringA(nullptr, nullptr, "", list.data(), static_cast<DWORD>(list.size()),
                                          path.c_str());
        Check(line.name.empty() ? length == 0 : std::string(list.data(), length) == line.name + '\0',
              "new file does not hold exactly the one section");
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<Win32ProfileLine> lines = ParseWin32Profile(content);
    CheckParse(content, lines);
    CheckWrite(content, lines);
    CheckNewSection(lines);
    unlink(WorkFile().c_str());
    unlink(SecondWorkFile().c_str());
    return 0;
}
