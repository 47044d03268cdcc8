#pragma once
// Kernel objects (events), waits and critical sections.
//
// A HANDLE returned by CreateEventA points to a handle object of this layer; CloseHandle
// releases it. Events created with the same name share one underlying event inside the process
// for as long as one handle to it is open, as named kernel objects do.

#include <pthread.h>

#include <cstdint>
#include <memory>

#include "WinTypes.h"

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define INFINITE 0xFFFFFFFFu

// Base of every object a HANDLE of this layer can point to. Later families (threads) derive
// from it so that WaitForSingleObject and CloseHandle work on them too.
class Win32KernelObject
{
public:
    virtual ~Win32KernelObject() = default;
    // Returns WAIT_OBJECT_0 or WAIT_TIMEOUT.
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

// Makes an object reachable through a new handle, which CloseHandle releases. Every handle is
// kept in a process-wide table, so that a null, garbage or already closed handle is refused with
// ERROR_INVALID_HANDLE instead of being followed. Returns null (ERROR_NOT_ENOUGH_MEMORY) when the
// object is null or the table cannot grow.
HANDLE Win32RegisterHandle(std::unique_ptr<Win32KernelObject> object);
// The object behind a live handle of this layer, or null. The reference keeps the object alive
// while the caller uses it, even if another thread closes the handle meanwhile (a wait may
// outlast the CloseHandle of its handle, as on Windows).
std::shared_ptr<Win32KernelObject> Win32ReferenceHandle(HANDLE handle);

// Creates or opens an event. With a name that is already in use the existing event is opened
// (its manual-reset and state arguments are ignored) and GetLastError answers
// ERROR_ALREADY_EXISTS. Returns null on failure.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Waits until the object is signalled or the time runs out. A successful wait on an auto-reset
// event resets it, so exactly one waiter passes per SetEvent. Anything that is not a live handle
// of this layer gives WAIT_FAILED with ERROR_INVALID_HANDLE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Releases a handle of this layer or closes the descriptor of a file handle (see below). FALSE
// with ERROR_INVALID_HANDLE for a null, garbage or already closed handle.
BOOL CloseHandle(HANDLE handle);

// File handles made by CreateFileA carry their descriptor in the handle value itself, shifted left
// by one with the lowest bit set, instead of pointing to an object of this layer: the crash
// handler must open and write a file without allocating memory, so a file handle cannot be an
// allocated object. Objects of this layer are aligned, so their addresses are even and an odd
// value can never be mistaken for one. The descriptor -1 encodes as INVALID_HANDLE_VALUE.
inline HANDLE Win32HandleFromFd(int fd)
{
    return reinterpret_cast<HANDLE>((static_cast<intptr_t>(fd) << 1) | 1);
}

// True, with the descriptor in *fd, when the handle is an encoded file handle.
inline bool Win32FdFromHandle(HANDLE handle, int* fd)
{
    intptr_t value = reinterpret_cast<intptr_t>(handle);
    if ((value & 1) == 0)
    {
        return false;
    }
    intptr_t descriptor = value >> 1;
    if (descriptor < 0 || descriptor > INT32_MAX)
    {
        return false;
    }
    if (fd != nullptr)
    {
        *fd = static_cast<int>(descriptor);
    }
    return true;
}

// A critical section is recursive for the thread that owns it, as on Windows: it is free for other
// threads once the owner has left it as many times as it entered. TryEnterCriticalSection returns
// FALSE at once when another thread owns it. Null sections are ignored.
struct CRITICAL_SECTION
{
    pthread_mutex_t mutex;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

