#include "Win32/Crash.h"

#include <execinfo.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <typeinfo>

#include "Win32/FileHandle.h"
#include "Win32/Sync.h"

namespace
{
const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
std::once_flag g_installOnce;
std::terminate_handler g_previousTerminate = nullptr;

// The message of the C++ exception that ended the process, kept for the crash record. Written
// once by the terminate handler before it aborts.
char g_uncaught[512];
std::atomic<bool> g_handling{false};

const char* SignalName(int signal)
{
    switch (signal)
    {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

DWORD ExceptionCode(int signal, const siginfo_t* info)
{
    switch (signal)
    {
    case SIGSEGV:
    case SIGBUS:
        return EXCEPTION_ACCESS_VIOLATION;
    case SIGILL:
        return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        switch (info != nullptr ? info->si_code : 0)
        {
        case FPE_INTDIV:
            return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV:
            return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        default:
            return EXCEPTION_FLT_INVALID_OPERATION;
        }
    default:
        return STATUS_FATAL_APP_EXIT;
    }
}

void CopyText(char* out, size_t size, const char* text)
{
    size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < size; ++i)
        out[i] = text[i];
    out[i] = '\0';
}

void TerminateHandler()
{
    // Keep what can be said about the exception; the abort that follows writes the record.
    std::exception_ptr current = std::current_exception();
    if (current)
    {
        try
        {
            std::rethrow_exception(current);
        }
        catch (const std::exception& e)
        {
            CopyText(g_uncaught, sizeof(g_uncaught), e.what());
        }
        catch (...)
        {
            CopyText(g_uncaught, sizeof(g_uncaught), "unknown exception");
        }
    }
    if (g_previousTerminate != nullptr)
        g_previousTerminate();
    std::abort();
}

void FatalSignal(int signal, siginfo_t* info, void* context)
{
    // A second fault while the filter runs, or on another thread, ends the process at once.
    if (!g_handling.exchange(true))
    {
        EXCEPTION_RECORD record{};
        record.ExceptionCode = ExceptionCode(signal, info);
        record.ExceptionAddress = info != nullptr ? info->si_addr : nullptr;
        record.Signal = signal;
        EXCEPTION_POINTERS pointers{&record, context};
        LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
        if (filter != nullptr)
            filter(&pointers);
    }
    // Whatever the filter answered, the process ends with the signal it received.
    struct sigaction fallback{};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // The signal is blocked while its handler runs; let the raised one through at once.
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal);
    _exit(128 + signal);
}

void InstallHandlers()
{
    // backtrace() loads its unwinder on first use; do that now rather than inside a crash.
    void* warmUp[4];
    backtrace(warmUp, 4);

    static char alternateStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof(alternateStack);
    sigaltstack(&stack, nullptr);

    struct sigaction action{};
    action.sa_sigaction = FatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
    g_previousTerminate = std::set_terminate(TerminateHandler);
}

// Small formatting for the record: no stdio and no heap while the process is crashing.
class RecordWriter
{
public:
    explicit RecordWriter(HANDLE file) : m_file(file) {}

    RecordWriter& Text(const char* text)
    {
        DWORD written = 0;
        m_ok = WriteFile(m_file, text, static_cast<DWORD>(strlen(text)), &written, nullptr) && m_ok;
        return *this;
    }
    RecordWriter& Decimal(unsigned long value)
    {
        char digits[24];
        int i = sizeof(digits) - 1;
        digits[i] = '\0';
        do
        {
            digits[--i] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        return Text(digits + i);
    }
    RecordWriter& Hex(uintptr_t value)
    {
        char digits[24];
        int i = sizeof(digits) - 1;
        digits[i] = '\0';
        do
        {
            digits[--i] = "0123456789ABCDEF"[value & 15];
            value >>= 4;
        } while (value != 0);
        digits[--i] = 'x';
        digits[--i] = '0';
        return Text(digits + i);
    }
    bool Ok() const { return m_ok; }

private:
    HANDLE m_file;
    bool m_ok = true;
};
} // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    std::call_once(g_installOnce, InstallHandlers);
    return g_filter.exchange(filter);
}

HANDLE GetCurrentProcess()
{
    // The pseudo handle Windows uses for "this process".
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}

BOOL MiniDumpWriteDump(HANDLE /*process*/, DWORD processId, HANDLE file, int /*dumpType*/,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception, const void* /*userStream*/,
                       const void* /*callback*/)
{
    int fd = -1;
    if (!Win32FdFromHandle(file, &fd))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RecordWriter out(file);
    out.Text("Crash record\nprocess: ").Decimal(processId).Text("\n");
    if (exception != nullptr)
    {
        out.Text("thread: ").Decimal(exception->ThreadId).Text("\n");
        const EXCEPTION_POINTERS* pointers = exception->ExceptionPointers;
        if (pointers != nullptr && pointers->ExceptionRecord != nullptr)
        {
            const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
            out.Text("signal: ").Decimal(static_cast<unsigned long>(record.Signal)).Text(" (");
            out.Text(SignalName(record.Signal)).Text(")\n");
            out.Text("code: ").Hex(record.ExceptionCode).Text("\n");
            out.Text("address: ").Hex(reinterpret_cast<uintptr_t>(record.ExceptionAddress)).Text("\n");
        }
    }
    if (g_uncaught[0] != '\0')
        out.Text("uncaught exception: ").Text(g_uncaught).Text("\n");
    out.Text("backtrace:\n");
    void* frames[64];
    int count = backtrace(frames, 64);
    backtrace_symbols_fd(frames, count, fd);
    return out.Ok() ? TRUE : FALSE;
}
