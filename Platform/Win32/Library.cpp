#include "Win32/Library.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "Win32/Text.h"
#include "Zip/ZipArchive.h"

namespace
{

struct Library
{
    std::vector<Win32LibraryExport> exports;
    // The handle while loaded, null while not; a new number is taken at every load, so that a
    // handle kept after the last FreeLibrary never matches a later load.
    HMODULE handle = nullptr;
    int references = 0;
};

// A name reduced to the form it is compared in: the last path component, lower case ASCII,
// ".dll" added when it has no extension. GBK double-byte characters are kept as they are, so
// that a trail byte that looks like a letter or a backslash is not changed or cut at.
std::string LibraryKey(const char* fileName)
{
    std::string name;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(fileName); *p != 0; ++p)
    {
        if (IsGbkLeadByte(*p) && p[1] != 0)
        {
            name += static_cast<char>(p[0]);
            name += static_cast<char>(p[1]);
            ++p;
        }
        else if (*p == '\\' || *p == '/')
            name.clear();
        else if (*p >= 'A' && *p <= 'Z')
            name += static_cast<char>(*p - 'A' + 'a');
        else
            name += static_cast<char>(*p);
    }
    if (!name.empty() && name.find('.') == std::string::npos)
        name += ".dll";
    return name;
}

struct Table
{
    std::mutex mutex;
    std::map<std::string, Library> libraries;
    uintptr_t nextHandle = 1;

    Table()
    {
        // The libraries this program carries inside itself.
        libraries[LibraryKey("unzip.dll")].exports = {
            {"CreateZipFile", reinterpret_cast<void*>(&CreateZipFile)}};
    }

    Library* Find(HMODULE module)
    {
        if (module == nullptr)
            return nullptr;
        for (auto& entry : libraries)
            if (entry.second.handle == module)
                return &entry.second;
        return nullptr;
    }
};

Table& TheTable()
{
    static Table table;
    return table;
}

} // namespace

HMODULE LoadLibraryA(LPCSTR fileName)
{
    if (fileName == nullptr || *fileName == 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.libraries.find(LibraryKey(fileName));
    if (found == table.libraries.end())
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Library& library = found->second;
    if (library.references == 0)
    {
        // Handles look like module base addresses (64 KB apart); they are only ever compared.
        library.handle = reinterpret_cast<HMODULE>(table.nextHandle++ << 16);
    }
    ++library.references;
    return library.handle;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    Library* library = table.Find(module);
    if (library == nullptr)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // A value below 0x10000 is an export's ordinal number, not a name; the built-in libraries
    // export by name only.
    if (reinterpret_cast<uintptr_t>(procName) >= 0x10000)
        for (const Win32LibraryExport& entry : library->exports)
            if (entry.name == procName && entry.address != nullptr)
                return reinterpret_cast<FARPROC>(entry.address);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    Library* library = table.Find(module);
    if (library == nullptr)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--library->references == 0)
        library->handle = nullptr;
    return TRUE;
}

bool RegisterWin32Library(const char* fileName, std::vector<Win32LibraryExport> exports)
{
    if (fileName == nullptr)
        return false;
    std::string key = LibraryKey(fileName);
    if (key.empty())
        return false;
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.libraries[key].exports = std::move(exports);
    return true;
}

bool UnregisterWin32Library(const char* fileName)
{
    if (fileName == nullptr)
        return false;
    Table& table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.libraries.erase(LibraryKey(fileName)) == 1;
}
