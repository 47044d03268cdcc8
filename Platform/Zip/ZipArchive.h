#pragma once
// Zip archives, as the external library "unzip.dll" offers them: its export CreateZipFile
// opens an archive and hands out an archive object, through which one member at a time is
// opened and read. The library is built into the program (see Win32/Library.h), so callers
// reach it the same way as the DLL: LoadLibraryA("unzip.dll"), then
// GetProcAddress(library, "CreateZipFile").
//
// Member names are written the Windows way ("anim\0000.tga"); they match the names stored in
// the archive whether those use '/' or '\', without regard to ASCII letter case. Names stored
// as UTF-8 (flag bit 11) are compared in GBK, the system's narrow text.

#include <cstdint>

// The archive object. The operations keep this order: callers reach them through the table of
// virtual functions, as they would the object of the DLL.
class IZipArchive
{
public:
    // Closes the archive (and the open member) and deletes the object.
    virtual void Release() = 0;
    // Opens the member of that name for reading, closing the member opened before. 1 when
    // found and opened, 0 otherwise (then no member is open).
    virtual int OpenMember(const char* name) = 0;
    // The uncompressed size in bytes of the open member; 0 when none is open. Members of
    // 4 GB and more report 0xFFFFFFFF.
    virtual uint32_t GetMemberSize() = 0;
    // Reads up to `size` bytes of the open member, continuing where the last read ended.
    // Returns the number of bytes read (0 at the end of the member), or -1 when no member is
    // open, the buffer is null or the member's data is damaged.
    virtual int ReadMember(void* buffer, uint32_t size) = 0;
    // Closes the open member; nothing happens when none is open.
    virtual void CloseMember() = 0;

protected:
    // Only Release deletes the object.
    virtual ~IZipArchive() = default;
};

// Opens the archive at a Windows-form path. Null when the path is null, the file cannot be
// opened (ERROR_FILE_NOT_FOUND) or it is not a zip archive (ERROR_BAD_FORMAT).
extern "C" IZipArchive* CreateZipFile(const char* archivePath);

// The type of the export, for GetProcAddress.
typedef IZipArchive* (*CreateZipFileProc)(const char* archivePath);

#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11u
#endif
