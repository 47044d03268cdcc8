#include "Win32/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Win32/Text.h"

namespace
{

bool HasHighBytes(std::string_view text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return true;
    return false;
}

unsigned char FoldUpper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Equality of two names on disk without regard to the case of ASCII letters. The names are
// UTF-8 there, where every byte of a multi-byte character is 0x80 or above, so folding byte by
// byte never touches anything but ASCII letters.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldUpper(static_cast<unsigned char>(a[i])) != FoldUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Backslashes become slashes. A GBK double-byte character may have 0x5C as its second byte, so
// the byte after a lead byte is copied as it is.
std::string GbkSlashes(std::string_view path)
{
    std::string result(path);
    for (size_t i = 0; i < result.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(result[i]);
        if (IsGbkLeadByte(c) && i + 1 < result.size())
            ++i;
        else if (c == '\\')
            result[i] = '/';
    }
    return result;
}

// The Windows form of a Linux path: GBK, with backslashes. A slash (0x2F) is never the second
// byte of a GBK character, so replacing it after the conversion is safe.
std::string WindowsForm(const std::string& linuxPath)
{
    std::string result = HasHighBytes(linuxPath) ? Utf8ToGbk(linuxPath) : linuxPath;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// The name in `folder` that equals `name` without regard to ASCII case; the first in byte
// order when there are several, so that the answer does not depend on the listing order.
bool FindNameIgnoringCase(const std::string& folder, const std::string& name, std::string& found)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return false;
    bool any = false;
    while (dirent* entry = readdir(dir))
    {
        std::string_view candidate(entry->d_name);
        if (!EqualsIgnoringAsciiCase(candidate, name))
            continue;
        if (!any || candidate < std::string_view(found))
            found.assign(candidate);
        any = true;
    }
    closedir(dir);
    return any;
}

// The Windows error for a path that could not be reached: a missing file in an existing folder
// is "file not found", anything missing on the way to it is "path not found".
DWORD ErrorForMissing(int error, const std::string& linuxPath)
{
    switch (error)
    {
    case ENOENT:
    {
        std::string parent = linuxPath;
        while (parent.size() > 1 && parent.back() == '/')
            parent.pop_back();
        size_t slash = parent.rfind('/');
        if (slash == std::string::npos)
            parent = ".";
        else
            parent.resize(slash == 0 ? 1 : slash);
        struct stat info;
        if (stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return ERROR_FILE_NOT_FOUND;
        return ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

DWORD AttributesOf(const struct stat& info)
{
    bool readOnly = (info.st_mode & S_IWUSR) == 0;
    if (S_ISDIR(info.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY | (readOnly ? FILE_ATTRIBUTE_READONLY : 0u);
    // As on Windows, FILE_ATTRIBUTE_NORMAL is only ever reported alone.
    return readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}

// Windows file times count 100-nanosecond steps since 1601-01-01.
FILETIME ToFileTime(const timespec& time)
{
    const int64_t epochDifference = 11644473600LL;
    int64_t ticks = (static_cast<int64_t>(time.tv_sec) + epochDifference) * 10000000LL + time.tv_nsec / 100;
    if (ticks < 0)
        ticks = 0;
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return result;
}

// Wildcard match of a GBK name against a GBK pattern, one character (one or two bytes) at a
// time, ASCII letters without regard to case. The bytes of a double-byte character are
// compared exactly.
size_t CharLength(std::string_view text, size_t at)
{
    return (IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

bool SameChar(std::string_view a, size_t ai, std::string_view b, size_t bi, size_t length)
{
    if (length == 2)
        return a[ai] == b[bi] && a[ai + 1] == b[bi + 1];
    return FoldUpper(static_cast<unsigned char>(a[ai])) == FoldUpper(static_cast<unsigned char>(b[bi]));
}

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    size_t p = 0;
    size_t n = 0;
    size_t starPattern = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size())
    {
        if (p < pattern.size() && pattern[p] == '*')
        {
            starPattern = ++p;
            starName = n;
            continue;
        }
        size_t nameLength = CharLength(name, n);
        if (p < pattern.size())
        {
            size_t patternLength = CharLength(pattern, p);
            if (pattern[p] == '?')
            {
                p += 1;
                n += nameLength;
                continue;
            }
            if (patternLength == nameLength && SameChar(pattern, p, name, n, nameLength))
            {
                p += patternLength;
                n += nameLength;
                continue;
            }
        }
        if (starPattern == std::string_view::npos)
            return false;
        // Let the last star swallow one more character of the name and try again.
        starName += CharLength(name, starName);
        n = starName;
        p = starPattern;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// "*.*" matches every name, and "name.*" also matches "name" without an extension, as the
// Windows search does.
bool PatternMatches(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        return true;
    if (WildcardMatch(pattern, name))
        return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

// Case-insensitive name order, with the bytes of double-byte characters left as they are and
// the exact bytes deciding between names that differ only in case.
bool NameLess(const std::string& a, const std::string& b)
{
    size_t i = 0;
    while (i < a.size() && i < b.size())
    {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        bool lead = IsGbkLeadByte(ca);
        unsigned char fa = lead ? ca : FoldUpper(ca);
        unsigned char fb = IsGbkLeadByte(cb) ? cb : FoldUpper(cb);
        if (fa != fb)
            return fa < fb;
        if (lead && i + 1 < a.size() && i + 1 < b.size())
        {
            if (a[i + 1] != b[i + 1])
                return static_cast<unsigned char>(a[i + 1]) < static_cast<unsigned char>(b[i + 1]);
            i += 2;
        }
        else
        {
            ++i;
        }
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

// Copies a GBK name into a fixed field, cutting it so that neither the terminator nor the
// first byte of a cut double-byte character overflows.
void CopyName(char* field, size_t fieldSize, const std::string& name)
{
    size_t length = 0;
    while (length < name.size())
    {
        size_t step = CharLength(name, length);
        if (length + step > fieldSize - 1)
            break;
        length += step;
    }
    std::memcpy(field, name.data(), length);
    field[length] = '\0';
}

struct FindState
{
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

std::mutex g_findMutex;
std::unordered_set<FindState*> g_liveFinds;

WIN32_FIND_DATAA MakeFindData(const std::string& gbkName, const struct stat& info)
{
    WIN32_FIND_DATAA data;
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = AttributesOf(info);
    // Linux keeps no creation time that stat reports; the status-change time stands in for it.
    data.ftCreationTime = ToFileTime(info.st_ctim);
    data.ftLastAccessTime = ToFileTime(info.st_atim);
    data.ftLastWriteTime = ToFileTime(info.st_mtim);
    if (!S_ISDIR(info.st_mode))
    {
        uint64_t size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    CopyName(data.cFileName, sizeof data.cFileName, gbkName);
    return data;
}

} // namespace

std::string ResolveWin32Path(const char* path)
{
    if (path == nullptr)
        return std::string();
    std::string written = GbkSlashes(path);
    if (HasHighBytes(written))
        written = GbkToUtf8(written);
    if (written.empty() || Exists(written))
        return written;

    bool absolute = written.front() == '/';
    bool trailingSlash = written.back() == '/';
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= written.size())
    {
        size_t slash = written.find('/', start);
        if (slash == std::string::npos)
            slash = written.size();
        if (slash > start)
            components.emplace_back(written, start, slash - start);
        start = slash + 1;
    }

    std::string result = absolute ? "/" : "";
    bool missing = false;
    for (size_t i = 0; i < components.size(); ++i)
    {
        const std::string& component = components[i];
        std::string chosen = component;
        if (!missing && !Exists(result + component))
        {
            std::string found;
            if (FindNameIgnoringCase(result, component, found))
                chosen = found;
            else
                missing = true;
        }
        result += chosen;
        if (i + 1 < components.size() || trailingSlash)
            result += '/';
    }
    return result;
}

FILE* Win32OpenFile(const char* path, const char* mode)
{
    if (path == nullptr || mode == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string cMode;
    for (const char* m = mode; *m != '\0'; ++m)
        if (*m != 't')
            cMode += *m;
    std::string resolved = ResolveWin32Path(path);
    FILE* file = std::fopen(resolved.c_str(), cMode.c_str());
    if (file == nullptr)
    {
        SetLastError(ErrorForMissing(errno, resolved));
        return nullptr;
    }
    // A folder cannot be opened as a file on Windows; Linux would hand out a stream that fails
    // on the first read.
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode))
    {
        std::fclose(file);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return file;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    if (path == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (*path == '\0')
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string resolved = ResolveWin32Path(path);
    struct stat info;
    if (stat(resolved.c_str(), &info) != 0)
    {
        SetLastError(ErrorForMissing(errno, resolved));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(info);
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (pattern == nullptr || data == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A slash is never the second byte of a GBK character, so the last one splits the folder
    // from the name pattern.
    std::string gbk = GbkSlashes(pattern);
    size_t slash = gbk.rfind('/');
    std::string folderPart = slash == std::string::npos ? std::string() : gbk.substr(0, slash + 1);
    std::string namePattern = slash == std::string::npos ? gbk : gbk.substr(slash + 1);

    std::string folder = folderPart.empty() ? std::string(".") : ResolveWin32Path(folderPart.c_str());
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
    {
        int error = errno;
        SetLastError(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : ErrorForMissing(error, folder));
        return INVALID_HANDLE_VALUE;
    }

    struct stat folderInfo;
    struct stat rootInfo;
    bool isRoot = fstat(dirfd(dir), &folderInfo) == 0 && stat("/", &rootInfo) == 0 &&
                  folderInfo.st_dev == rootInfo.st_dev && folderInfo.st_ino == rootInfo.st_ino;

    std::vector<std::pair<std::string, struct stat>> dots;
    std::vector<std::pair<std::string, struct stat>> found;
    while (dirent* entry = readdir(dir))
    {
        std::string name = entry->d_name;
        bool dot = name == "." || name == "..";
        if (dot && isRoot)
            continue;
        std::string gbkName = name;
        if (HasHighBytes(name))
        {
            gbkName = Utf8ToGbk(name);
            // A name that GBK cannot express could not be opened again through the name handed
            // out, so it is left out rather than reported in a damaged form.
            if (GbkToUtf8(gbkName) != name)
                continue;
        }
        if (!PatternMatches(namePattern, gbkName))
            continue;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, 0) != 0 &&
            fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        (dot ? dots : found).emplace_back(std::move(gbkName), info);
    }
    closedir(dir);

    std::sort(dots.begin(), dots.end(),
              [](const auto& a, const auto& b) { return a.first.size() < b.first.size(); });
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
    if (dots.empty() && found.empty())
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    auto state = std::make_unique<FindState>();
    for (const auto& [name, info] : dots)
        state->entries.push_back(MakeFindData(name, info));
    for (const auto& [name, info] : found)
        state->entries.push_back(MakeFindData(name, info));
    *data = state->entries[0];
    state->next = 1;

    std::lock_guard<std::mutex> lock(g_findMutex);
    FindState* handle = state.release();
    g_liveFinds.insert(handle);
    SetLastError(ERROR_SUCCESS);
    return static_cast<HANDLE>(handle);
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    std::lock_guard<std::mutex> lock(g_findMutex);
    auto live = g_liveFinds.find(static_cast<FindState*>(find));
    if (find == nullptr || live == g_liveFinds.end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FindState* state = *live;
    if (state->next >= state->entries.size())
    {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = state->entries[state->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    FindState* state = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_findMutex);
        auto live = g_liveFinds.find(static_cast<FindState*>(find));
        if (find == nullptr || live == g_liveFinds.end())
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        state = *live;
        g_liveFinds.erase(live);
    }
    delete state;
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    if (buffer == nullptr && size > 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string linuxPath;
    bool mainProgram = module == nullptr;
    if (!mainProgram)
    {
        Dl_info info;
        link_map* map = nullptr;
        if (dladdr1(module, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || map == nullptr)
        {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        // The dynamic linker names the main program with an empty string.
        if (map->l_name == nullptr || map->l_name[0] == '\0')
        {
            mainProgram = true;
        }
        else
        {
            char* real = realpath(map->l_name, nullptr);
            linuxPath = real != nullptr ? real : map->l_name;
            std::free(real);
        }
    }
    if (mainProgram)
    {
        char link[PATH_MAX];
        ssize_t length = readlink("/proc/self/exe", link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof link)
        {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        linuxPath.assign(link, static_cast<size_t>(length));
    }

    std::string windowsPath = WindowsForm(linuxPath);
    if (windowsPath.size() < size)
    {
        std::memcpy(buffer, windowsPath.c_str(), windowsPath.size() + 1);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(windowsPath.size());
    }
    if (size > 0)
    {
        std::memcpy(buffer, windowsPath.data(), size - 1);
        buffer[size - 1] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    std::unique_ptr<char, decltype(&std::free)> current(getcwd(nullptr, 0), &std::free);
    if (!current)
    {
        SetLastError(ErrorForMissing(errno, "."));
        return 0;
    }
    std::string windowsPath = WindowsForm(current.get());
    if (windowsPath.size() > 1 && windowsPath.back() == '\\')
        windowsPath.pop_back();
    if (buffer == nullptr || windowsPath.size() + 1 > size)
        return static_cast<DWORD>(windowsPath.size() + 1);
    std::memcpy(buffer, windowsPath.c_str(), windowsPath.size() + 1);
    return static_cast<DWORD>(windowsPath.size());
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    (void)attributes;
    if (path == nullptr || *path == '\0')
    {
        SetLastError(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string resolved = ResolveWin32Path(path);
    if (mkdir(resolved.c_str(), 0777) != 0)
    {
        int error = errno;
        SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorForMissing(error, resolved));
        return FALSE;
    }
    return TRUE;
}
