#pragma once
// The debug console: a window for log output that only the host opens. Log entries are echoed to
// it while it is open.

#include <mutex>

#include "KelSingletonCL.h"
#include "Win32/WinTypes.h"

class KelConsoleCL : public KelSingletonCL<KelConsoleCL>
{
public:
    KelConsoleCL();

    // Opens the console and sets its title; does nothing when it is already open.
    virtual void Open(const char* title);
    virtual void Close();
    // printf-style; at most 1023 characters of output, then a line feed.
    virtual void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes the text as it is while the console is open.
    virtual void Write(const char* text);

    virtual ~KelConsoleCL();

    bool IsOpen() const;

private:
    // The log echoes entries from the texture loader's worker while the UI thread may open or
    // close the console: the output handle is read and changed under this lock only.
    mutable std::mutex m_mutex;
    HANDLE m_output = nullptr;
};

void KelConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
