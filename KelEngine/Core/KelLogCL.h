#pragma once
// The log: timestamped lines appended to "KelLogFile.txt" in the current directory, echoed to
// the debug console. Constructing the log also installs the crash handler, which writes a crash
// record named after the local time of the crash into the current directory.

#include <cstdint>
#include <cstdio>

#include "KelSingletonCL.h"
#include "Win32/Crash.h"

class KelLogCL : public KelSingletonCL<KelLogCL>
{
public:
    KelLogCL();

    // Opens the log file for appending; false when it cannot be opened (entries are then
    // dropped until an Open succeeds).
    virtual bool Open();
    virtual bool Close();
    // Two reserved operations; they keep the places of the ones after them.
    virtual void Reserved1(int32_t value);
    virtual void Reserved2(int32_t value);
    virtual void SetEnabled(unsigned char enabled);
    // printf-style; at most 1023 characters of output, then a line feed, as one entry.
    virtual void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes one entry: the time prefix, then the text as it is.
    virtual void WriteLine(const char* text);

    virtual ~KelLogCL();

    // The crash handler: writes the crash record; 0 when its file cannot be created.
    static LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* exception);

private:
    FILE* m_file = nullptr;
    unsigned char m_enabled = 1;
};

// The entry point most code uses: Printf on the current log.
void KelLogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Pushes the entries written so far to the disk (close and reopen the file).
void KelLogFlush();
