#pragma once
// Clocks and sleeping.

#include "WinTypes.h"

struct SYSTEMTIME
{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;

// Milliseconds since an arbitrary fixed point (the system start), wrapping at 2^32.
DWORD GetTickCount();
DWORD timeGetTime();
// Replaces the clock behind GetTickCount and timeGetTime, so that a test can step time exactly
// instead of sleeping and bounding what the machine did meanwhile; null restores the system's
// clock. Sleep is not affected.
typedef DWORD (*Win32TickSource)();
void Win32SetTickSource(Win32TickSource source);
// Suspends the calling thread for at least the given time, resuming after interrupting signals.
// Sleep(0) only gives the rest of the time slice to another ready thread; 0xFFFFFFFF (INFINITE)
// never returns.
void Sleep(DWORD milliseconds);
// Local wall-clock time.
void GetLocalTime(LPSYSTEMTIME time);
// UTC wall-clock time.
void GetSystemTime(LPSYSTEMTIME time);
