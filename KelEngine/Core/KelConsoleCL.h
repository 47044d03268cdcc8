#pragma once
// The debug console: a window for log output that only the host opens. Log entries are echoed to
// it while it is open.

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

    bool IsOpen() const { return m_output != nullptr; }

private:
    HANDLE m_output = nullptr;
};

void KelConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
