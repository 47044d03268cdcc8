#pragma once
// The last-chance handler of a crashing process and the crash record it writes.
//
// On Linux a crash is a fatal signal (invalid memory access, illegal instruction, arithmetic
// fault, abort, or a C++ exception nobody caught, which ends in abort). The installed filter is
// called on the crashing thread with the signal described as an exception record; whatever it
// returns, the process then ends with the original signal, as the default action would have.
// The crash record is a text file (signal, fault address, uncaught exception, backtrace) in
// place of a memory dump.

#include "WinTypes.h"

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0

#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
// Used for abort() and for a C++ exception that nobody caught.
#define STATUS_FATAL_APP_EXIT 0x40000015u

struct EXCEPTION_RECORD
{
    DWORD ExceptionCode;
    void* ExceptionAddress;
    int Signal; // the Linux signal behind the exception
};

struct EXCEPTION_POINTERS
{
    EXCEPTION_RECORD* ExceptionRecord;
    void* ContextRecord; // the signal's ucontext_t
};

typedef LONG (*LPTOP_LEVEL_EXCEPTION_FILTER)(EXCEPTION_POINTERS* exception);

// Installs the filter (null removes it) and returns the previous one. The signal handlers are
// installed on the first call; they run on an alternate stack so that a stack overflow is
// recorded too.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

struct MINIDUMP_EXCEPTION_INFORMATION
{
    DWORD ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
    BOOL ClientPointers;
};

#define MiniDumpNormal 0

// Writes the crash record to an open file handle: process and thread, the exception (signal,
// code, address) when there is one, the message of an uncaught C++ exception, and the backtrace
// of the calling thread. Allocates no memory. FALSE when the file cannot be written.
BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, HANDLE file, int dumpType,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception, const void* userStream,
                       const void* callback);
