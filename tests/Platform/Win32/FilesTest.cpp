#include "Win32/Files.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestFolder.h"

namespace
{

// Names on disk are UTF-8 while ordinary literals of this file are compiled to GBK; u8
// literals give the bytes as they stand on disk.
std::string Utf8(const char8_t* text)
{
    return std::string(reinterpret_cast<const char*>(text));
}

std::vector<std::string> SearchNames(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_EQ(FindClose(find), TRUE);
    return names;
}

std::string CurrentDirectoryWindowsForm()
{
    std::string path = std::filesystem::current_path().string();
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

} // namespace

TEST(FilesResolve, FindsEveryComponentWhateverItsCase)
{
    TestFolder folder;
    folder.Write("Config/Gui/GuiConfig.xml", "<gui/>");
    const std::string root = folder.Path().string();

    struct Case
    {
        std::string written;
        std::string expected;
    };
    const Case cases[] = {
        // Exact spelling, in Windows form.
        {folder.WinPath() + "\\Config\\Gui\\GuiConfig.xml", root + "/Config/Gui/GuiConfig.xml"},
        // Folders and file in another case.
        {folder.WinPath() + "\\config\\GUI\\guiconfig.XML", root + "/Config/Gui/GuiConfig.xml"},
        // A file about to be created keeps its name; its folders get their case from disk.
        {folder.WinPath() + "\\CONFIG\\gui\\NewFile.txt", root + "/Config/Gui/NewFile.txt"},
        // Everything after the first missing component stays as written.
        {folder.WinPath() + "\\config\\Missing\\gui\\x.txt", root + "/Config/Missing/gui/x.txt"},
        // Mixed separators.
        {folder.WinPath() + "/config\\gui/GUICONFIG.xml", root + "/Config/Gui/GuiConfig.xml"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.written);
        EXPECT_EQ(ResolveWin32Path(c.written.c_str()), c.expected);
    }
    EXPECT_EQ(ResolveWin32Path(nullptr), "");
}

TEST(FilesResolve, RelativePathStartsAtTheCurrentDirectory)
{
    TestFolder folder(true);
    folder.Write("Data/Cards.dat", "x");
    EXPECT_EQ(ResolveWin32Path("data\\CARDS.DAT"), "Data/Cards.dat");
    EXPECT_EQ(ResolveWin32Path("DATA\\new.dat"), "Data/new.dat");
}

TEST(FilesResolve, AmongNamesDifferingOnlyInCaseTheFirstInByteOrderWins)
{
    TestFolder folder;
    // Fifteen case forms of the name (all but "sLoT", which is asked for), with the first in
    // byte order created in the middle: an answer in creation order, in its reverse or in a
    // hashed listing order shows.
    for (int form = 15; form >= 0; --form)
    {
        std::string name = "slot";
        for (int letter = 0; letter < 4; ++letter)
            if ((form ^ 5) & (1 << letter))
                name[letter] = static_cast<char>(name[letter] - 'a' + 'A');
        if (name != "sLoT")
            folder.Write("save/" + name, "");
    }
    EXPECT_EQ(ResolveWin32Path((folder.WinPath() + "\\SAVE\\sLoT").c_str()),
              folder.Path().string() + "/save/SLOT");
    // A name that exists exactly is taken as it is.
    EXPECT_EQ(ResolveWin32Path((folder.WinPath() + "\\save\\slot").c_str()),
              folder.Path().string() + "/save/slot");
}

TEST(FilesResolve, GbkNameFindsTheUtf8FileOnDisk)
{
    TestFolder folder;
    // The second GBK byte of the first character of the folder name is 0x5C, a backslash.
    folder.Write(Utf8(u8"誠信/玩家.ini"), "[a]\n");
    const std::string gbkPath = folder.WinPath() + "\\誠信\\玩家.ini";
    ASSERT_NE(gbkPath.find("\xD5\x5C"), std::string::npos) << "the test needs the 0x5C trail byte";

    std::string expected = folder.Path().string() + Utf8(u8"/誠信/玩家.ini");
    EXPECT_EQ(ResolveWin32Path(gbkPath.c_str()), expected);

    FILE* file = Win32OpenFile(gbkPath.c_str(), "rt");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file), 4u);
    std::fclose(file);
    EXPECT_STREQ(text, "[a]\n");
}

TEST(FilesOpen, OpensAndCreatesThroughAWronglyCasedPath)
{
    TestFolder folder;
    folder.Write("Save/Game1.ini", "old");

    FILE* read = Win32OpenFile((folder.WinPath() + "\\save\\GAME1.INI").c_str(), "rt");
    ASSERT_NE(read, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, read), 3u);
    std::fclose(read);
    EXPECT_STREQ(text, "old");

    FILE* write = Win32OpenFile((folder.WinPath() + "\\SAVE\\Game2.ini").c_str(), "wt");
    ASSERT_NE(write, nullptr);
    std::fputs("new", write);
    std::fclose(write);
    EXPECT_EQ(folder.Read("Save/Game2.ini"), "new");
}

TEST(FilesOpen, FailuresGiveTheWindowsError)
{
    TestFolder folder;
    folder.Write("Save/Game1.ini", "old");

    EXPECT_EQ(Win32OpenFile((folder.WinPath() + "\\Save\\none.ini").c_str(), "rb"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Win32OpenFile((folder.WinPath() + "\\Nowhere\\none.ini").c_str(), "wb"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Nowhere"));
    // A folder is not a file, even though Linux would open it for reading.
    EXPECT_EQ(Win32OpenFile((folder.WinPath() + "\\save").c_str(), "rb"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Win32OpenFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(Win32OpenFile((folder.WinPath() + "\\Save\\Game1.ini").c_str(), nullptr), nullptr);
}

TEST(FilesAttributes, ReportFoldersFilesReadOnlyAndMissingPaths)
{
    TestFolder folder;
    folder.Write("Data/Cards.dat", "cards");
    folder.Write("Data/Locked.dat", "locked");
    ASSERT_EQ(chmod((folder.Path() / "Data/Locked.dat").c_str(), 0444), 0);

    struct Case
    {
        std::string path;
        DWORD attributes;
        DWORD error; // checked only for INVALID_FILE_ATTRIBUTES
    };
    const std::string base = folder.WinPath();
    const Case cases[] = {
        {base + "\\data", FILE_ATTRIBUTE_DIRECTORY, 0},
        {base + "\\DATA\\cards.DAT", FILE_ATTRIBUTE_NORMAL, 0},
        {base + "\\Data\\Locked.dat", FILE_ATTRIBUTE_READONLY, 0},
        {base + "\\Data\\None.dat", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {base + "\\Other\\None.dat", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {base + "\\Data\\Cards.dat\\inside", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), c.attributes);
        if (c.attributes == INVALID_FILE_ATTRIBUTES)
        {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
}

class FilesSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Created out of order, so that a result in listing order would show.
        m_folder.Write("List/noext", "");
        m_folder.Write("List/_under", "");
        m_folder.Write("List/Zeta.xml", "");
        m_folder.Write("List/b.txt", "12345");
        m_folder.Write("List/A.XML", "");
        m_folder.Write(Utf8(u8"List/玩家.ini"), "");
        std::filesystem::create_directories(m_folder.Path() / "List/Cdir");
    }

    std::string List(const std::string& pattern) const { return m_folder.WinPath() + "\\list\\" + pattern; }

    TestFolder m_folder;
};

TEST_F(FilesSearch, StarDotStarListsEverythingInCaseInsensitiveOrderAfterTheDots)
{
    const std::vector<std::string> expected = {
        ".", "..", "A.XML", "b.txt", "Cdir", "noext", "Zeta.xml", "_under", "玩家.ini",
    };
    EXPECT_EQ(SearchNames(List("*.*")), expected);
    EXPECT_EQ(SearchNames(List("*")), expected);
}

TEST_F(FilesSearch, EntriesCarryAttributesAndSizes)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(List("*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int seen = 0;
    do
    {
        std::string name = data.cFileName;
        bool folder = name == "." || name == ".." || name == "Cdir";
        EXPECT_EQ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, folder) << name;
        if (name == "b.txt")
        {
            EXPECT_EQ(data.nFileSizeLow, 5u);
            EXPECT_EQ(data.nFileSizeHigh, 0u);
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
            EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
        }
        ++seen;
    } while (FindNextFileA(find, &data));
    EXPECT_EQ(seen, 9);
    EXPECT_EQ(FindClose(find), TRUE);
}

TEST_F(FilesSearch, PatternsMatchWithoutRegardToCase)
{
    struct Case
    {
        std::string pattern;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"*.xml", {"A.XML", "Zeta.xml"}},
        {"*.XML", {"A.XML", "Zeta.xml"}},
        {"?.xml", {"A.XML"}},
        {"b.TXT", {"b.txt"}},
        {"z*", {"Zeta.xml"}},
        {"*e*", {"noext", "Zeta.xml", "_under"}},
        // As on Windows, "name.*" also finds the name without an extension.
        {"noext.*", {"noext"}},
        {"*.ini", {"玩家.ini"}},
        {"玩?.ini", {"玩家.ini"}},
        {"cdir", {"Cdir"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(SearchNames(List(c.pattern)), c.expected);
    }
}

TEST_F(FilesSearch, EmptyFolderStillYieldsTheDots)
{
    EXPECT_EQ(SearchNames(List("CDIR\\*.*")), (std::vector<std::string>{".", ".."}));
}

TEST_F(FilesSearch, NothingFoundGivesTheWindowsError)
{
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(List("*.bmp").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA((m_folder.WinPath() + "\\Missing\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(List("*").c_str(), nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(FilesSearch, BadHandlesAreRejectedWithoutHarm)
{
    WIN32_FIND_DATAA data;
    int notAHandle = 0;
    HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, &notAHandle};
    for (HANDLE handle : bad)
    {
        SetLastError(0);
        EXPECT_EQ(FindNextFileA(handle, &data), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(FindClose(handle), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }

    HANDLE find = FindFirstFileA(List("*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindClose(find), TRUE);
    // Closing twice, or using a closed handle, is reported rather than touching freed memory.
    EXPECT_EQ(FindClose(find), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FindNextFileA(find, &data), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesSearch, LongestNameComesBackWhole)
{
    const std::string name(255, 'n');
    m_folder.Write("Long/" + name, "");
    WIN32_FIND_DATAA data;
    std::memset(&data, 'x', sizeof data);
    HANDLE find = FindFirstFileA((m_folder.WinPath() + "\\long\\n*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::string(data.cFileName), name);
    FindClose(find);
}

TEST(FilesSearchRoot, RootFolderHasNoDots)
{
    std::vector<std::string> names = SearchNames("\\*");
    ASSERT_FALSE(names.empty());
    EXPECT_NE(names.front(), ".");
    EXPECT_NE(std::find(names.begin(), names.end(), "tmp"), names.end());
}

TEST(FilesModule, ExecutablePathInWindowsForm)
{
    char link[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
    ASSERT_GT(length, 0);
    std::string expected(link, static_cast<size_t>(length));
    for (char& c : expected)
        if (c == '/')
            c = '\\';

    char buffer[MAX_PATH * 4];
    DWORD copied = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(copied, expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(std::string(buffer).rfind("\\kel_platform_tests"), expected.size() - 19);

    // This code is linked into the executable, so its module is the executable.
    EXPECT_EQ(GetModuleFileNameA(Win32ThisModule(), buffer, sizeof buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);
}

TEST(FilesModule, SharedObjectIsNamedByAnAddressInside)
{
    // Asked from the C library itself, since a sanitizer may stand in front of its functions.
    void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(libc, nullptr);
    void* insideLibc = dlsym(libc, "fopen");
    dlclose(libc);
    ASSERT_NE(insideLibc, nullptr);

    char buffer[MAX_PATH * 4];
    DWORD copied = GetModuleFileNameA(insideLibc, buffer, sizeof buffer);
    ASSERT_GT(copied, 0u);
    std::string path(buffer, copied);
    EXPECT_EQ(path.front(), '\\');
    EXPECT_EQ(path.find('/'), std::string::npos);
    EXPECT_NE(path.find("\\libc"), std::string::npos) << path;
    EXPECT_NE(path, std::string(buffer, GetModuleFileNameA(nullptr, buffer, sizeof buffer)));

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(16), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(FilesModule, CutPathReturnsTheSizeAndInsufficientBuffer)
{
    char full[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 4u);

    char buffer[MAX_PATH * 4];
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(buffer), std::string(full, 4));
    EXPECT_EQ(buffer[5], 'x');

    // A buffer one short of the terminator also cuts the path.
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, length), length);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(buffer), std::string(full, length - 1));

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, length + 1), length);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer), std::string(full));

    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);
    EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, 10), 0u);
}

TEST(FilesCurrentDirectory, WindowsFormAndNeededSize)
{
    TestFolder folder(true);
    const std::string expected = CurrentDirectoryWindowsForm();
    ASSERT_EQ(expected.front(), '\\');

    char buffer[MAX_PATH * 4];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);

    // Too small by the terminator: nothing is copied and the needed size comes back.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(expected.size()), buffer), expected.size() + 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), expected.size() + 1);
}

TEST(FilesCurrentDirectory, ChineseFolderComesBackInGbk)
{
    TestFolder folder;
    std::filesystem::create_directories(folder.Path() / Utf8(u8"存档"));
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path() / Utf8(u8"存档"));

    char buffer[MAX_PATH * 4];
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    std::filesystem::current_path(previous);
    EXPECT_EQ(std::string(buffer, length), folder.WinPath() + "\\存档");
}

TEST(FilesCreateDirectory, CreatesOneFolderInAWronglyCasedParent)
{
    TestFolder folder;
    folder.Write("Save/keep.txt", "");
    const std::string path = folder.WinPath() + "\\SAVE\\Slot1";

    EXPECT_EQ(CreateDirectoryA(path.c_str(), nullptr), TRUE);
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "Save/Slot1"));

    EXPECT_EQ(CreateDirectoryA(path.c_str(), nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    // Exists in another case: Windows would see the same folder.
    EXPECT_EQ(CreateDirectoryA((folder.WinPath() + "\\save\\SLOT1").c_str(), nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    EXPECT_EQ(CreateDirectoryA((folder.WinPath() + "\\Missing\\Slot1").c_str(), nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Missing"));
    EXPECT_EQ(CreateDirectoryA(nullptr, nullptr), FALSE);
}
