#include "KelLogCL.h"

#include <cstring>

#include "KelConsoleCL.h"
#include "KelFormatLine.h"
#include "Win32/FileHandle.h"
#include "Win32/Files.h"
#include "Win32/Sync.h"
#include "Win32/Time.h"

KelLogCL::KelLogCL()
{
    SetUnhandledExceptionFilter(&KelLogCL::UnhandledExceptionFilter);
    Open();

    SYSTEMTIME now{};
    GetSystemTime(&now);
    Printf("\n");
    Printf("/*-----------------KelLogStart----------------*/");
    Printf("LogStartTime : %d年%d月%d日 , 星期%d", now.wYear, now.wMonth, now.wDay, now.wDayOfWeek);
    Printf("               %d:%d:%d", now.wHour, now.wMinute, now.wSecond);
    Printf("%s", "");
}

KelLogCL::~KelLogCL()
{
    Close();
}

bool KelLogCL::Open()
{
    char directory[255] = {};
    GetCurrentDirectoryA(sizeof(directory), directory);
    char path[512];
    snprintf(path, sizeof(path), "%s\\KelLogFile.txt", directory);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file != nullptr)
        fclose(m_file);
    m_file = Win32OpenFile(path, "at");
    if (m_file == nullptr)
        return false;
    // See SetLineBuffered.
    if (m_lineBuffered)
        setvbuf(m_file, nullptr, _IOLBF, 0);
    fseek(m_file, 0, SEEK_END);
    return true;
}

bool KelLogCL::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file != nullptr)
    {
        fclose(m_file);
        m_file = nullptr;
    }
    return true;
}

void KelLogCL::Flush()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file != nullptr)
        fflush(m_file);
}

void KelLogCL::SetLineBuffered(bool lineBuffered)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_lineBuffered = lineBuffered;
}

void KelLogCL::Reserved1(int32_t /*value*/) {}

void KelLogCL::Reserved2(int32_t /*value*/) {}

void KelLogCL::SetEnabled(unsigned char enabled)
{
    m_enabled.store(enabled, std::memory_order_relaxed);
}

void KelLogCL::Printf(const char* format, ...)
{
    if (m_enabled.load(std::memory_order_relaxed) == 0)
        return;
    KelFormattedLine line;
    va_list arguments;
    va_start(arguments, format);
    KelFormatLine(line, format, arguments);
    va_end(arguments);
    WriteLine(line.text);
}

void KelLogCL::WriteLine(const char* text)
{
    if (m_enabled.load(std::memory_order_relaxed) == 0 || text == nullptr)
        return;
    KelConsoleCL* console = KelConsoleCL::GetInstance();
    // The stamp is taken under the lock as well, so that the entries of the file are in the
    // order of their times.
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file == nullptr)
        return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char prefix[64];
    snprintf(prefix, sizeof(prefix), "[%02d:%02d:%02d:%03d] -- ", now.wHour, now.wMinute, now.wSecond,
             now.wMilliseconds);
    fputs(prefix, m_file);
    console->Write(prefix);
    fputs(text, m_file);
    console->Write(text);
}

LONG KelLogCL::UnhandledExceptionFilter(EXCEPTION_POINTERS* exception)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamp[64];
    snprintf(stamp, sizeof(stamp), "%d_%d_%d_%d_%d_%d", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    // Named relative to the current directory: asking for the directory's name would allocate
    // memory, which a handler that may run inside a crashed allocator must not do.
    char path[80];
    snprintf(path, sizeof(path), "%s.dmp", stamp);

    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return EXCEPTION_CONTINUE_SEARCH;

    MINIDUMP_EXCEPTION_INFORMATION information{};
    if (exception != nullptr)
    {
        information.ThreadId = GetCurrentThreadId();
        information.ExceptionPointers = exception;
        information.ClientPointers = TRUE;
    }
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                      exception != nullptr ? &information : nullptr, nullptr, nullptr);
    CloseHandle(file);
    return EXCEPTION_EXECUTE_HANDLER;
}

void KelLogPrintf(const char* format, ...)
{
    KelLogCL* log = KelLogCL::GetInstance();
    KelFormattedLine line;
    va_list arguments;
    va_start(arguments, format);
    KelFormatLine(line, format, arguments);
    va_end(arguments);
    log->WriteLine(line.text);
}

void KelLogFlush()
{
    KelLogCL::GetInstance()->Flush();
}
