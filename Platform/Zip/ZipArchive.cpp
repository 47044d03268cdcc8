#include "Zip/ZipArchive.h"

#include <map>
#include <string>

#include <minizip/unzip.h>

#include "Win32/Files.h"
#include "Win32/Text.h"
#include "Win32/WinTypes.h"

namespace
{

// The form member names are compared in: '\' as '/', ASCII letters in lower case. GBK
// double-byte characters are copied whole, since their trail byte may look like a letter or a
// backslash without being one.
std::string MemberKey(const std::string& name)
{
    std::string key;
    key.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsGbkLeadByte(c) && i + 1 < name.size())
        {
            key += name[i];
            key += name[++i];
        }
        else if (c == '\\')
            key += '/';
        else if (c >= 'A' && c <= 'Z')
            key += static_cast<char>(c - 'A' + 'a');
        else
            key += name[i];
    }
    return key;
}

class ZipArchive final : public IZipArchive
{
public:
    explicit ZipArchive(unzFile file) : m_file(file)
    {
        // The member list is read once, so that each open is one look-up instead of a walk
        // through the central directory. When two members share a name, the first one counts.
        for (int status = unzGoToFirstFile(m_file); status == UNZ_OK; status = unzGoToNextFile(m_file))
        {
            unz_file_info64 info;
            char name[1024];
            if (unzGetCurrentFileInfo64(m_file, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
                break;
            // A name longer than the buffer is cut by minizip; such a member cannot be meant
            // by any name the system builds, and its cut name must not match another one.
            if (info.size_filename >= sizeof name)
                continue;
            std::string stored(name, info.size_filename);
            if ((info.flag & (1u << 11)) != 0)
                stored = Utf8ToGbk(stored);
            unz64_file_pos position;
            if (unzGetFilePos64(m_file, &position) != UNZ_OK)
                break;
            m_members.emplace(MemberKey(stored), Member{position, info.uncompressed_size});
        }
    }

    void Release() override
    {
        CloseMember();
        unzClose(m_file);
        delete this;
    }

    int OpenMember(const char* name) override
    {
        CloseMember();
        if (name == nullptr)
            return 0;
        auto found = m_members.find(MemberKey(name));
        if (found == m_members.end())
            return 0;
        if (unzGoToFilePos64(m_file, &found->second.position) != UNZ_OK ||
            unzOpenCurrentFile(m_file) != UNZ_OK)
            return 0;
        m_open = &found->second;
        return 1;
    }

    uint32_t GetMemberSize() override
    {
        if (m_open == nullptr)
            return 0;
        return m_open->size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(m_open->size);
    }

    int ReadMember(void* buffer, uint32_t size) override
    {
        if (m_open == nullptr || buffer == nullptr)
            return -1;
        // minizip counts in int; larger requests are served in part, as a short read.
        if (size > 0x7FFFFFFFu)
            size = 0x7FFFFFFFu;
        int read = unzReadCurrentFile(m_file, buffer, size);
        return read < 0 ? -1 : read;
    }

    void CloseMember() override
    {
        if (m_open == nullptr)
            return;
        unzCloseCurrentFile(m_file);
        m_open = nullptr;
    }

private:
    struct Member
    {
        unz64_file_pos position;
        ZPOS64_T size;
    };

    ~ZipArchive() override = default;

    unzFile m_file;
    std::map<std::string, Member> m_members;
    const Member* m_open = nullptr;
};

} // namespace

extern "C" IZipArchive* CreateZipFile(const char* archivePath)
{
    if (archivePath == nullptr || *archivePath == 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = ResolveWin32Path(archivePath);
    FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::fclose(probe);
    unzFile file = unzOpen64(path.c_str());
    if (file == nullptr)
    {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return new ZipArchive(file);
}
