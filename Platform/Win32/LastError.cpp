#include "Win32/WinTypes.h"

namespace
{
// Each thread has its own last error, as on Windows.
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD error)
{
    t_lastError = error;
}
