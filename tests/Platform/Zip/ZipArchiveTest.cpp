#include "Zip/ZipArchive.h"

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include "TestFolder.h"
#include "Win32/Library.h"

namespace
{

struct Member
{
    std::string name;
    std::string data;
    bool utf8Name = false;
};

// Writes a zip archive with the given members, compressed, in the order given.
void WriteZip(const std::string& path, const std::vector<Member>& members)
{
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const Member& member : members)
    {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip4_64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          Z_DEFLATED, 6, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                          nullptr, 0, 0, member.utf8Name ? (1u << 11) : 0u, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, member.data.data(), static_cast<unsigned>(member.data.size())),
                  ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// Reads the open member whole, in pieces of `chunk` bytes.
std::string ReadAll(IZipArchive* archive, uint32_t chunk)
{
    std::string result;
    std::vector<char> buffer(chunk);
    for (;;)
    {
        int read = archive->ReadMember(buffer.data(), chunk);
        if (read <= 0)
        {
            EXPECT_EQ(read, 0);
            return result;
        }
        result.append(buffer.data(), static_cast<size_t>(read));
    }
}

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
}

class ZipArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = (m_folder.Path() / "frames.zip").string();
        WriteZip(m_path, {{"anim\\0000.tga", Pattern(70000)},
                          {"anim/0001.tga", "second"},
                          {"Anim/Config.TXT", "50\r\n\r\n80\n"},
                          {"empty.bin", ""},
                          {"0000.tga", "root frame"}});
        m_archive = CreateZipFile((m_folder.WinPath() + "\\frames.zip").c_str());
        ASSERT_NE(m_archive, nullptr);
    }

    void TearDown() override
    {
        if (m_archive != nullptr)
            m_archive->Release();
    }

    TestFolder m_folder;
    std::string m_path;
    IZipArchive* m_archive = nullptr;
};

TEST_F(ZipArchiveTest, MembersOpenWithEitherSeparatorAndAnyCase)
{
    const std::pair<const char*, std::string> cases[] = {
        {"anim\\0000.tga", Pattern(70000)},
        {"anim/0000.tga", Pattern(70000)},
        {"anim\\0001.tga", "second"},
        {"ANIM\\0001.TGA", "second"},
        {"anim\\config.txt", "50\r\n\r\n80\n"},
        {"0000.tga", "root frame"},
        {"empty.bin", ""},
    };
    for (const auto& [name, data] : cases)
    {
        SCOPED_TRACE(name);
        ASSERT_EQ(m_archive->OpenMember(name), 1);
        EXPECT_EQ(m_archive->GetMemberSize(), data.size());
        EXPECT_EQ(ReadAll(m_archive, 4096), data);
        m_archive->CloseMember();
        EXPECT_EQ(m_archive->GetMemberSize(), 0u);
    }
}

TEST_F(ZipArchiveTest, ReadsContinueAndRestartWhenReopened)
{
    ASSERT_EQ(m_archive->OpenMember("anim\\0000.tga"), 1);
    char head[10];
    ASSERT_EQ(m_archive->ReadMember(head, sizeof head), 10);
    EXPECT_EQ(std::string(head, 10), Pattern(70000).substr(0, 10));
    EXPECT_EQ(ReadAll(m_archive, 1000), Pattern(70000).substr(10));

    // Opening another member closes the first; opening the first again starts it over.
    ASSERT_EQ(m_archive->OpenMember("anim\\0001.tga"), 1);
    EXPECT_EQ(ReadAll(m_archive, 3), "second");
    ASSERT_EQ(m_archive->OpenMember("anim\\0000.tga"), 1);
    std::string whole(70000, '\0');
    EXPECT_EQ(m_archive->ReadMember(whole.data(), 70000), 70000);
    EXPECT_EQ(whole, Pattern(70000));
}

TEST_F(ZipArchiveTest, MissingMembersAndBadCallsFailWithoutHarm)
{
    for (const char* name : {"anim\\0002.tga", "0001.tga", "anim", "anim\\", "", "nim\\0000.tga"})
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(m_archive->OpenMember(name), 0);
        EXPECT_EQ(m_archive->GetMemberSize(), 0u);
    }
    EXPECT_EQ(m_archive->OpenMember(nullptr), 0);
    char buffer[8];
    EXPECT_EQ(m_archive->ReadMember(buffer, sizeof buffer), -1);
    m_archive->CloseMember();
    m_archive->CloseMember();

    // A failed open closes the member that was open before it.
    ASSERT_EQ(m_archive->OpenMember("anim\\0001.tga"), 1);
    EXPECT_EQ(m_archive->ReadMember(nullptr, 4), -1);
    EXPECT_EQ(m_archive->OpenMember("nothing"), 0);
    EXPECT_EQ(m_archive->ReadMember(buffer, sizeof buffer), -1);

    // The archive still works afterwards.
    ASSERT_EQ(m_archive->OpenMember("anim\\0001.tga"), 1);
    EXPECT_EQ(ReadAll(m_archive, 100), "second");
}

TEST(ZipArchive, ReleaseWithAnOpenMember)
{
    TestFolder folder;
    WriteZip((folder.Path() / "a.zip").string(), {{"x.txt", "abc"}});
    IZipArchive* archive = CreateZipFile((folder.WinPath() + "\\A.ZIP").c_str());
    ASSERT_NE(archive, nullptr);
    // Releasing the archive closes the member and the file it reads from: the process holds one
    // descriptor fewer afterwards (and LeakSanitizer sees nothing left behind).
    auto openDescriptors = []
    {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    auto before = openDescriptors();
    ASSERT_EQ(archive->OpenMember("X.TXT"), 1);
    EXPECT_GE(openDescriptors(), before);
    auto withMember = openDescriptors();
    archive->Release();
    EXPECT_LT(openDescriptors(), withMember);
    EXPECT_LT(openDescriptors(), before + 1);
}

TEST(ZipArchive, Utf8MemberNamesMatchTheirGbkSpelling)
{
    TestFolder folder;
    // "动画" in UTF-8 on disk; the caller names it in GBK, like every narrow string here.
    std::string utf8 = reinterpret_cast<const char*>(u8"动画/0000.tga");
    WriteZip((folder.Path() / "u.zip").string(), {{utf8, "frame", true}});
    IZipArchive* archive = CreateZipFile((folder.WinPath() + "\\u.zip").c_str());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->OpenMember("动画\\0000.tga"), 1);
    EXPECT_EQ(ReadAll(archive, 16), "frame");
    archive->Release();
}

TEST(ZipArchive, ArchivesThatCannotBeOpened)
{
    TestFolder folder;
    folder.Write("text.zip", "this is not a zip archive, only some text that is long enough");
    folder.Write("empty.zip", "");
    // A zip whose central directory has been cut off.
    WriteZip((folder.Path() / "whole.zip").string(), {{"a.txt", Pattern(5000)}});
    std::string whole = folder.Read("whole.zip");
    folder.Write("cut.zip", whole.substr(0, whole.size() / 2));

    const std::pair<std::string, DWORD> cases[] = {
        {folder.WinPath() + "\\missing.zip", ERROR_FILE_NOT_FOUND},
        {folder.WinPath() + "\\nofolder\\a.zip", ERROR_FILE_NOT_FOUND},
        {folder.WinPath() + "\\text.zip", ERROR_BAD_FORMAT},
        {folder.WinPath() + "\\empty.zip", ERROR_BAD_FORMAT},
        {folder.WinPath() + "\\cut.zip", ERROR_BAD_FORMAT},
        {"", ERROR_INVALID_PARAMETER},
    };
    for (const auto& [path, error] : cases)
    {
        SCOPED_TRACE(path);
        SetLastError(0);
        EXPECT_EQ(CreateZipFile(path.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), error);
    }
    EXPECT_EQ(CreateZipFile(nullptr), nullptr);
}

TEST(ZipArchive, DamagedMemberDataReadsAsAnError)
{
    TestFolder folder;
    std::string data = Pattern(20000);
    WriteZip((folder.Path() / "d.zip").string(), {{"a.bin", data}});
    std::string bytes = folder.Read("d.zip");
    // The compressed data follows the 30-byte local header and the 5-byte name; spoil it.
    for (size_t i = 40; i < 70; ++i)
        bytes[i] = static_cast<char>(0xFF);
    folder.Write("d.zip", bytes);
    IZipArchive* archive = CreateZipFile((folder.WinPath() + "\\d.zip").c_str());
    ASSERT_NE(archive, nullptr);
    ASSERT_EQ(archive->OpenMember("a.bin"), 1);
    std::string read(20000, '\0');
    int result = archive->ReadMember(read.data(), 20000);
    EXPECT_TRUE(result == -1 || read.substr(0, static_cast<size_t>(result)) != data.substr(0, result))
        << "damaged data read back as the original";
    archive->Release();
}

TEST(Library, CreateZipFileIsReachedThroughTheLibraryTable)
{
    TestFolder folder;
    WriteZip((folder.Path() / "l.zip").string(), {{"0000.tga", "tga"}});
    for (const char* name : {"UNZIP.DLL", "unzip", "C:\\game\\Unzip.dll"})
    {
        SCOPED_TRACE(name);
        HMODULE library = LoadLibraryA(name);
        ASSERT_NE(library, nullptr);
        auto create = reinterpret_cast<CreateZipFileProc>(GetProcAddress(library, "CreateZipFile"));
        ASSERT_NE(create, nullptr);
        IZipArchive* archive = create((folder.WinPath() + "\\l.zip").c_str());
        ASSERT_NE(archive, nullptr);
        EXPECT_EQ(archive->OpenMember("0000.tga"), 1);
        EXPECT_EQ(ReadAll(archive, 8), "tga");
        archive->Release();

        SetLastError(0);
        EXPECT_EQ(GetProcAddress(library, "createzipfile"), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
        EXPECT_EQ(GetProcAddress(library, nullptr), nullptr);
        EXPECT_EQ(GetProcAddress(library, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(1))), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
        EXPECT_EQ(FreeLibrary(library), TRUE);
    }
}

TEST(Library, HandlesAreCountedPerLibrary)
{
    HMODULE first = LoadLibraryA("unzip.dll");
    HMODULE second = LoadLibraryA("UNZIP.dll");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(FreeLibrary(first), TRUE);
    // One reference is left: the handle still works.
    EXPECT_NE(GetProcAddress(second, "CreateZipFile"), nullptr);
    EXPECT_EQ(FreeLibrary(second), TRUE);
    // Unloaded now.
    SetLastError(0);
    EXPECT_EQ(FreeLibrary(first), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetProcAddress(first, "CreateZipFile"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // A later load hands out a handle the old one does not match.
    HMODULE third = LoadLibraryA("unzip.dll");
    ASSERT_NE(third, nullptr);
    EXPECT_NE(third, first);
    EXPECT_EQ(FreeLibrary(third), TRUE);
}

TEST(Library, UnknownNamesAndGarbageHandles)
{
    for (const char* name : {"nosuch.dll", "unzip.dl", "unzip2.dll", "zip.dll"})
    {
        SCOPED_TRACE(name);
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(name), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LoadLibraryA(""), nullptr);

    int local = 0;
    for (HMODULE handle : {static_cast<HMODULE>(nullptr), static_cast<HMODULE>(&local),
                           reinterpret_cast<HMODULE>(static_cast<intptr_t>(0x10000)), INVALID_HANDLE_VALUE})
    {
        SetLastError(0);
        EXPECT_EQ(FreeLibrary(handle), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetProcAddress(handle, "CreateZipFile"), nullptr);
    }
}

int TestExport()
{
    return 42;
}

TEST(Library, RegisteredLibrariesCanBeAddedChangedAndRemoved)
{
    ASSERT_TRUE(RegisterWin32Library("Probe.DLL", {{"Answer", reinterpret_cast<void*>(&TestExport)}}));
    HMODULE library = LoadLibraryA("probe.dll");
    ASSERT_NE(library, nullptr);
    FARPROC answer = GetProcAddress(library, "Answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)()>(answer)(), 42);

    // Replacing the exports of a loaded library keeps the handle; the export can go missing.
    ASSERT_TRUE(RegisterWin32Library("probe.dll", {}));
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(library, "Answer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    // Removing the library makes its handles invalid and its name unknown.
    EXPECT_TRUE(UnregisterWin32Library("PROBE.dll"));
    EXPECT_FALSE(UnregisterWin32Library("probe.dll"));
    EXPECT_EQ(FreeLibrary(library), FALSE);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("probe.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(RegisterWin32Library("", {}));
    EXPECT_FALSE(RegisterWin32Library(nullptr, {}));
}

TEST(Library, TheZipLibraryCanBeTakenAwayAndGivenBack)
{
    // Callers must cope with "unzip.dll" missing; the test takes it out and puts it back.
    ASSERT_TRUE(UnregisterWin32Library("unzip.dll"));
    EXPECT_EQ(LoadLibraryA("unzip.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    ASSERT_TRUE(
        RegisterWin32Library("unzip.dll", {{"CreateZipFile", reinterpret_cast<void*>(&CreateZipFile)}}));
    HMODULE library = LoadLibraryA("unzip.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(library, "CreateZipFile")),
              reinterpret_cast<void*>(&CreateZipFile));
    EXPECT_EQ(FreeLibrary(library), TRUE);
}

} // namespace
