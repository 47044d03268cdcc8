#include "Win32/Profile.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestFolder.h"

namespace
{

// A file as the game and hand editing leave it: CRLF line ends, blanks around names and
// values, quotes, comments, lines that are neither sections nor entries, a section that occurs
// twice, GBK names, and a double-byte name whose second byte is the letter 'A'.
const std::string kGameIni = "; saved by the game\r\n"
                             "[Player]\r\n"
                             "Name = Alice  \r\n"
                             "Title=\"  Knight  \"\r\n"
                             "Quote='single'\r\n"
                             "Mismatch=\"open'\r\n"
                             ";Hidden=1\r\n"
                             "Empty=\r\n"
                             "Spaces =   \t\r\n"
                             "Long=0123456789\r\n"
                             "Dup=first\r\n"
                             "dup=second\r\n"
                             "\r\n"
                             "  [ Graphics ]  ; trailing note\r\n"
                             "\tWidth\t=\t800\r\n"
                             "odd line without equals\r\n"
                             "=novalue\r\n"
                             "[player]\r\n"
                             "Name=Shadow\r\n"
                             "Level=9\r\n"
                             "[中文节]\r\n"
                             "名字=张三\r\n"
                             "[\xB0\x41]\r\n"
                             "k=upper\r\n"
                             "\xB0\x41=double-byte key\r\n"
                             "[Empty Section]\r\n"
                             "; only a comment\r\n";

// A list of names as the list modes return it: each name with its terminator.
std::string NameList(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
    {
        list += name;
        list += '\0';
    }
    return list;
}

class ProfileRead : public ::testing::Test
{
protected:
    void SetUp() override { m_folder.Write("Save/Game.ini", kGameIni); }

    std::string File() const { return m_folder.WinPath() + "\\save\\GAME.INI"; }

    TestFolder m_folder;
};

} // namespace

TEST_F(ProfileRead, ValuesFollowWindowsRules)
{
    struct Case
    {
        const char* section;
        const char* key;
        const char* defaultValue;
        DWORD size;
        std::string expected;
        DWORD returned;
    };
    const Case cases[] = {
        {"Player", "Name", "def", 64, "Alice", 5},
        {"PLAYER", "NAME", "def", 64, "Alice", 5},
        {" Player\t", "  Name ", "def", 64, "Alice", 5},
        {"Player", "Title", "def", 64, "  Knight  ", 10},
        {"Player", "Quote", "def", 64, "single", 6},
        {"Player", "Mismatch", "def", 64, "\"open'", 6},
        {"Player", ";Hidden", "def", 64, "def", 3},
        // A key that is present with an empty value is not missing: no default.
        {"Player", "Empty", "def", 64, "", 0},
        {"Player", "Spaces", "def", 64, "", 0},
        {"Player", "Missing", "def", 64, "def", 3},
        {"Player", "Missing", "def \t ", 64, "def", 3},
        {"Player", "Missing", "  def", 64, "  def", 5},
        {"Player", "Missing", nullptr, 64, "", 0},
        {"Nowhere", "Name", "def", 64, "def", 3},
        {"Player", "Long", "def", 11, "0123456789", 10},
        {"Player", "Long", "def", 10, "012345678", 9},
        {"Player", "Long", "def", 1, "", 0},
        {"Player", "Missing", "default", 4, "def", 3},
        {"Player", "Dup", "def", 64, "first", 5},
        // Only the first of two sections with the same name is read.
        {"player", "Level", "def", 64, "def", 3},
        {"graphics", "WIDTH", "def", 64, "800", 3},
        {"Graphics", "odd line without equals", "def", 64, "def", 3},
        {"Graphics", "", "def", 64, "def", 3},
        {"中文节", "名字", "", 64, "张三", 4},
        {"\xB0\x41", "k", "none", 64, "upper", 5},
        // The second byte of a double-byte character is not a letter to fold.
        {"\xB0\x61", "k", "none", 64, "none", 4},
        {"\xB0\x41", "\xB0\x41", "none", 64, "double-byte key", 15},
        {"\xB0\x41", "\xB0\x61", "none", 64, "none", 4},
    };
    const std::string file = File();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key + " / size " + std::to_string(c.size));
        char buffer[80];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD returned =
            GetPrivateProfileStringA(c.section, c.key, c.defaultValue, buffer, c.size, file.c_str());
        EXPECT_EQ(returned, c.returned);
        EXPECT_EQ(std::string(buffer), c.expected);
        EXPECT_EQ(buffer[c.size], 'x') << "wrote past the buffer";
    }
}

TEST_F(ProfileRead, NoBufferOrNoRoomWritesNothing)
{
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("Player", "Name", "def", buffer, 0, File().c_str()), 0u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetPrivateProfileStringA("Player", "Name", "def", nullptr, 10, File().c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "def", buffer, 0, File().c_str()), 0u);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(ProfileRead, MissingFileOrFolderGivesTheDefault)
{
    const std::string files[] = {
        m_folder.WinPath() + "\\Save\\none.ini",
        m_folder.WinPath() + "\\Nowhere\\none.ini",
    };
    for (const std::string& file : files)
    {
        SCOPED_TRACE(file);
        char buffer[16];
        EXPECT_EQ(GetPrivateProfileStringA("Player", "Name", "def", buffer, sizeof buffer, file.c_str()), 3u);
        EXPECT_STREQ(buffer, "def");
        EXPECT_EQ(GetPrivateProfileStringA("Player", nullptr, "def", buffer, sizeof buffer, file.c_str()),
                  3u);
        EXPECT_STREQ(buffer, "def");
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "def", buffer, sizeof buffer, file.c_str()), 0u);
        EXPECT_EQ(std::string(buffer, 2), std::string(2, '\0'));
    }
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "Nowhere"));
}

TEST_F(ProfileRead, RelativeFileIsTakenFromTheCurrentDirectory)
{
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.Path());
    char buffer[16];
    DWORD returned =
        GetPrivateProfileStringA("Player", "Name", "def", buffer, sizeof buffer, "SAVE\\game.ini");
    std::filesystem::current_path(previous);
    EXPECT_EQ(returned, 5u);
    EXPECT_STREQ(buffer, "Alice");
}

TEST_F(ProfileRead, ListsSectionAndKeyNames)
{
    struct Case
    {
        const char* section;
        DWORD size;
        std::string expected; // what the buffer holds up to the returned length, plus one terminator
        DWORD returned;
    };
    const std::string sections = NameList({"Player", "Graphics", "中文节", "\xB0\x41", "Empty Section"});
    const std::string keys =
        NameList({"Name", "Title", "Quote", "Mismatch", "Empty", "Spaces", "Long", "Dup"});
    const Case cases[] = {
        {nullptr, 128, sections + '\0', static_cast<DWORD>(sections.size())},
        {nullptr, static_cast<DWORD>(sections.size() + 1), sections + '\0',
         static_cast<DWORD>(sections.size())},
        // Cut: the last name is cut and followed by two terminators, size - 2 is returned.
        {nullptr, static_cast<DWORD>(sections.size()),
         sections.substr(0, sections.size() - 2) + std::string(2, '\0'),
         static_cast<DWORD>(sections.size() - 2)},
        {nullptr, 10, std::string("Player\0G\0\0", 10), 8},
        {nullptr, 2, std::string(2, '\0'), 0},
        {"PLAYER", 128, keys + '\0', static_cast<DWORD>(keys.size())},
        {"Player", 9, std::string("Name\0Ti\0\0", 9), 7},
        {"graphics", 128, NameList({"Width"}) + '\0', 6},
        // A missing section, or one without keys, gives the default as a plain value.
        {"Nowhere", 128, std::string("def\0", 4), 3},
        {"Empty Section", 128, std::string("def\0", 4), 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.section ? c.section : "(sections)") + " / size " + std::to_string(c.size));
        char buffer[160];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD returned = GetPrivateProfileStringA(c.section, nullptr, "def", buffer, c.size, File().c_str());
        EXPECT_EQ(returned, c.returned);
        EXPECT_EQ(std::string(buffer, c.expected.size()), c.expected);
        EXPECT_EQ(buffer[c.size], 'x') << "wrote past the buffer";
    }
}

TEST(ProfileInt, ParsesLikeWindows)
{
    TestFolder folder;
    folder.Write("num.ini", "[Num]\n"
                            "Empty=\n"
                            "Dec=42\n"
                            "Trail=12abc\n"
                            "Neg=-5\n"
                            "Hex= 0x1F\n"
                            "Quoted=\" 0x1f\"\n"
                            "Abc=abc\n"
                            "Plus=+7\n"
                            "Upper=0XfF\n"
                            "NegHex=-0x10\n"
                            "Zero=0\n");
    const std::string file = folder.WinPath() + "\\NUM.ini";
    struct Case
    {
        const char* section;
        const char* key;
        INT defaultValue;
        UINT expected;
    };
    const Case cases[] = {
        {"Num", "Missing", 7, 7},  {"Num", "Empty", 7, 7},
        {"Nowhere", "Dec", 7, 7},  {"Num", "Dec", 7, 42},
        {"Num", "Trail", 7, 12},   {"Num", "Neg", 7, static_cast<UINT>(-5)},
        {"Num", "Hex", 7, 31},     {"Num", "Quoted", 7, 31},
        {"Num", "Abc", 7, 0},      {"Num", "Plus", 99, 7},
        {"Num", "Upper", 99, 255}, {"Num", "NegHex", 99, static_cast<UINT>(-16)},
        {"Num", "Zero", 99, 0},    {"Num", "Missing", -1, 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key);
        EXPECT_EQ(GetPrivateProfileIntA(c.section, c.key, c.defaultValue, file.c_str()), c.expected);
    }
    EXPECT_EQ(GetPrivateProfileIntA("Num", "Dec", 5, (folder.WinPath() + "\\none.ini").c_str()), 5u);
}

TEST(ProfileParse, ClassifiesLinesAndKeepsTheirText)
{
    // The second line's only ']' is the second byte of a double-byte character.
    const std::string content = "[\xB0]]\n"
                                "[\xB0]\r\n"
                                "  [ A ] x\n"
                                ";c=1\n"
                                "k = 'v'\r\n"
                                "bare\n"
                                "\r\n"
                                "=x\n"
                                "q=\"\n"
                                "last";
    std::vector<Win32ProfileLine> lines = ParseWin32Profile(content);
    struct Expected
    {
        Win32ProfileLine::Kind kind;
        std::string text;
        std::string name;
        std::string value;
    };
    const Expected expected[] = {
        {Win32ProfileLine::Section, "[\xB0]]", "\xB0]", ""},
        {Win32ProfileLine::Other, "[\xB0]", "", ""},
        {Win32ProfileLine::Section, "  [ A ] x", "A", ""},
        {Win32ProfileLine::Other, ";c=1", "", ""},
        {Win32ProfileLine::Entry, "k = 'v'", "k", "v"},
        {Win32ProfileLine::Other, "bare", "", ""},
        {Win32ProfileLine::Other, "", "", ""},
        {Win32ProfileLine::Other, "=x", "", ""},
        {Win32ProfileLine::Entry, "q=\"", "q", "\""},
        {Win32ProfileLine::Other, "last", "", ""},
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (size_t i = 0; i < lines.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].kind, expected[i].kind);
        EXPECT_EQ(lines[i].text, expected[i].text);
        EXPECT_EQ(lines[i].name, expected[i].name);
        EXPECT_EQ(lines[i].value, expected[i].value);
    }
}

class ProfileWrite : public ::testing::Test
{
protected:
    std::string Path(const std::string& name) const { return m_folder.WinPath() + "\\" + name; }

    TestFolder m_folder;
};

TEST_F(ProfileWrite, CreatesTheFileThenAppendsSections)
{
    const std::string file = Path("new.ini");
    EXPECT_EQ(WritePrivateProfileStringA("Net", "Port", "8000", file.c_str()), TRUE);
    EXPECT_EQ(m_folder.Read("new.ini"), "[Net]\r\nPort=8000\r\n");
    EXPECT_EQ(WritePrivateProfileStringA("Audio", "Volume", "5", file.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileStringA("net", "Host", "example.org", file.c_str()), TRUE);
    EXPECT_EQ(m_folder.Read("new.ini"), "[Net]\r\nPort=8000\r\nHost=example.org\r\n[Audio]\r\nVolume=5\r\n");

    char buffer[32];
    EXPECT_EQ(GetPrivateProfileStringA("NET", "host", "", buffer, sizeof buffer, file.c_str()), 11u);
    EXPECT_STREQ(buffer, "example.org");
}

TEST_F(ProfileWrite, ChangesOnlyTheLineConcerned)
{
    const std::string original = "; header comment\r\n"
                                 "[Net]\r\n"
                                 "  Host = example.org  \r\n"
                                 "; note about ports\r\n"
                                 "odd line\r\n"
                                 "\r\n"
                                 "[Bare]\r\n"
                                 "; nothing here yet\r\n"
                                 "[Audio]\r\n"
                                 "Volume=5\r\n";
    struct Case
    {
        const char* what;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    };
    const Case cases[] = {
        {"add after the last entry", "Net", "Port", "8000",
         "; header comment\r\n[Net]\r\n  Host = example.org  \r\nPort=8000\r\n; note about ports\r\nodd "
         "line\r\n\r\n"
         "[Bare]\r\n; nothing here yet\r\n[Audio]\r\nVolume=5\r\n"},
        {"add right after a header without entries", "bare", "Key", "v",
         "; header comment\r\n[Net]\r\n  Host = example.org  \r\n; note about ports\r\nodd line\r\n\r\n"
         "[Bare]\r\nKey=v\r\n; nothing here yet\r\n[Audio]\r\nVolume=5\r\n"},
        {"replace keeps the key's spelling", "NET", "host", "other",
         "; header comment\r\n[Net]\r\nHost=other\r\n; note about ports\r\nodd line\r\n\r\n"
         "[Bare]\r\n; nothing here yet\r\n[Audio]\r\nVolume=5\r\n"},
        {"delete a key", "Net", "HOST", nullptr,
         "; header comment\r\n[Net]\r\n; note about ports\r\nodd line\r\n\r\n"
         "[Bare]\r\n; nothing here yet\r\n[Audio]\r\nVolume=5\r\n"},
        {"delete a section with everything up to the next", "net", nullptr, nullptr,
         "; header comment\r\n[Bare]\r\n; nothing here yet\r\n[Audio]\r\nVolume=5\r\n"},
        {"delete the last section", "Audio", nullptr, nullptr,
         "; header comment\r\n[Net]\r\n  Host = example.org  \r\n; note about ports\r\nodd line\r\n\r\n"
         "[Bare]\r\n; nothing here yet\r\n"},
        {"append a section", "Video", "Mode", "full", original + "[Video]\r\nMode=full\r\n"},
        {"delete a missing key", "Net", "Port", nullptr, original},
        {"delete a missing section", "Video", nullptr, nullptr, original},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_folder.Write("edit.ini", original);
        EXPECT_EQ(WritePrivateProfileStringA(c.section, c.key, c.value, Path("EDIT.ini").c_str()), TRUE);
        EXPECT_EQ(m_folder.Read("edit.ini"), c.expected);
    }
}

TEST_F(ProfileWrite, KeepsLineFeedStyleAndEndsTheLastLine)
{
    struct Case
    {
        std::string original;
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"[A]\nx=1", "B", "y", "[A]\nx=1\n[B]\ny=2\n"},
        {"[A]\nx=1", "A", "y", "[A]\nx=1\ny=2\n"},
        {"[A]\nx=1\n", "a", "X", "[A]\nx=2\n"},
        {"[A]\r\nx=1", "B", "y", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"", "A", "y", "[A]\r\ny=2\r\n"},
        {"; only a comment", "A", "y", "; only a comment\r\n[A]\r\ny=2\r\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.original);
        m_folder.Write("lf.ini", c.original);
        EXPECT_EQ(WritePrivateProfileStringA(c.section, c.key, "2", Path("lf.ini").c_str()), TRUE);
        EXPECT_EQ(m_folder.Read("lf.ini"), c.expected);
    }
}

TEST_F(ProfileWrite, ChangesTheFirstOfTwoSectionsWithTheSameName)
{
    m_folder.Write("dup.ini", "[S]\nk=1\n[s]\nk=2\nonly=3\n");
    EXPECT_EQ(WritePrivateProfileStringA("s", "K", "9", Path("dup.ini").c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileStringA("s", "only", "4", Path("dup.ini").c_str()), TRUE);
    EXPECT_EQ(m_folder.Read("dup.ini"), "[S]\nk=9\nonly=4\n[s]\nk=2\nonly=3\n");
}

TEST_F(ProfileWrite, ChineseNamesAndDoubleByteTrailLetters)
{
    m_folder.Write("Save/Game.ini", "[中文节]\r\n名字=张三\r\n");
    const std::string file = Path("save\\GAME.INI");
    EXPECT_EQ(WritePrivateProfileStringA("中文节", "名字", "李四", file.c_str()), TRUE);
    // "\xB0\x61" is another character than "\xB0\x41", so this is a new section and key.
    EXPECT_EQ(WritePrivateProfileStringA("\xB0\x41", "\xB0\x41", "upper", file.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileStringA("\xB0\x61", "\xB0\x61", "lower", file.c_str()), TRUE);
    EXPECT_EQ(m_folder.Read("Save/Game.ini"), "[中文节]\r\n名字=李四\r\n"
                                              "[\xB0\x41]\r\n"
                                              "\xB0\x41=upper\r\n"
                                              "[\xB0\x61]\r\n"
                                              "\xB0\x61=lower\r\n");
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("中文节", "名字", "", buffer, sizeof buffer, file.c_str()), 4u);
    EXPECT_STREQ(buffer, "李四");
}

TEST_F(ProfileWrite, MissingFolderFailsAndCreatesNothing)
{
    const std::string file = Path("Nowhere\\game.ini");
    SetLastError(0);
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", "v", file.c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "Nowhere"));
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path()));
}

TEST_F(ProfileWrite, DeletingFromAMissingFileCreatesNothing)
{
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", nullptr, Path("none.ini").c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileStringA("A", nullptr, nullptr, Path("none.ini").c_str()), TRUE);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "none.ini"));
}

TEST_F(ProfileWrite, NullArguments)
{
    m_folder.Write("keep.ini", "[A]\nk=v\n");
    EXPECT_EQ(WritePrivateProfileStringA(nullptr, nullptr, nullptr, Path("keep.ini").c_str()), TRUE);
    SetLastError(0);
    EXPECT_EQ(WritePrivateProfileStringA(nullptr, "k", "v", Path("keep.ini").c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", "w", nullptr), FALSE);
    EXPECT_EQ(m_folder.Read("keep.ini"), "[A]\nk=v\n");
}

TEST_F(ProfileWrite, FolderInPlaceOfTheFileIsLeftAlone)
{
    std::filesystem::create_directories(m_folder.Path() / "game.ini");
    EXPECT_EQ(WritePrivateProfileStringA("A", "k", "v", Path("game.ini").c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory(m_folder.Path() / "game.ini"));
}

TEST_F(ProfileWrite, SectionNameEndingInACutCharacterIsFoundAgain)
{
    // A name cut after the first byte of a double-byte character: written as "[X\xBA]" its ']'
    // would be read as the character's second byte and a second write would add a second header.
    const std::string file = Path("cut.ini");
    EXPECT_EQ(WritePrivateProfileStringA("X\xBA", "k", "1", file.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileStringA("X\xBA", "k", "2", file.c_str()), TRUE);
    char buffer[8];
    EXPECT_EQ(GetPrivateProfileStringA("X\xBA", "k", "", buffer, sizeof buffer, file.c_str()), 1u);
    EXPECT_STREQ(buffer, "2");
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, file.c_str()), 3u);
    EXPECT_EQ(std::string(buffer, 4), std::string("X\xBA\0\0", 4));
}
