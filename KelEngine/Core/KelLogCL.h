#pragma once
// The log: timestamped lines appended to "KelLogFile.txt" in the current directory, echoed to
// the debug console. Constructing the log also installs the crash handler, which writes a crash
// record named after the local time of the crash into the current directory.
//
// Threads. The UI thread and the texture loader's worker both write entries. One lock (m_lock)
// covers the file pointer and everything written through it: an entry (time prefix, text and
// line feed, on the file and on the console) is written whole under it, and Open, Close and
// Flush take it too, so no thread ever writes through a file another thread is closing.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

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

    // Pushes the entries written so far to the file. The file stays open.
    void Flush();
    // Line buffering (the default) puts each entry into the file as its line ends, so that a
    // crash loses nothing written before it. Without it entries collect in a buffer until it
    // fills or the log is flushed, which costs fewer writes for a burst of entries. Takes effect
    // when the file is next opened.
    void SetLineBuffered(bool lineBuffered);

    // The crash handler: writes the crash record; 0 when its file cannot be created.
    static LONG UnhandledExceptionFilter(EXCEPTION_POINTERS* exception);

private:
    // Guards m_file and m_lineBuffered, and every write through m_file.
    std::mutex m_lock;
    FILE* m_file = nullptr;
    bool m_lineBuffered = true;
    // Read without the lock: an entry that races with SetEnabled may go either way.
    std::atomic<unsigned char> m_enabled{1};
};

// The entry point most code uses: Printf on the current log.
void KelLogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Pushes the entries written so far to the current log's file (see KelLogCL::Flush).
void KelLogFlush();
