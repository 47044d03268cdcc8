#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "Win32/Crash.h"
#include "Win32/FileHandle.h"
#include "Win32/Sync.h"

namespace
{
int g_report = -1; // the pipe the child reports the exception code through

LONG ReportAndContinue(EXCEPTION_POINTERS* exception)
{
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    ssize_t ignored = write(g_report, &code, sizeof(code));
    (void)ignored;
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG OtherFilter(EXCEPTION_POINTERS*)
{
    return EXCEPTION_EXECUTE_HANDLER;
}
} // namespace

TEST(Crash, FilterSeesTheFaultAndTheProcessStillEnds)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0)
    {
        g_report = pipeFds[1];
        SetUnhandledExceptionFilter(ReportAndContinue);
        raise(SIGSEGV);
        _exit(0); // not reached: the process ends with the signal
    }
    close(pipeFds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    DWORD code = 0;
    EXPECT_EQ(read(pipeFds[0], &code, sizeof(code)), static_cast<ssize_t>(sizeof(code)));
    close(pipeFds[0]);
    EXPECT_EQ(code, EXCEPTION_ACCESS_VIOLATION);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}

TEST(Crash, SetFilterReturnsThePreviousOne)
{
    LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(OtherFilter);
    EXPECT_EQ(SetUnhandledExceptionFilter(before), OtherFilter);
}

TEST(Crash, RecordNeedsAnOpenFile)
{
    EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), nullptr, MiniDumpNormal, nullptr,
                                   nullptr, nullptr));
    EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), INVALID_HANDLE_VALUE,
                                   MiniDumpNormal, nullptr, nullptr, nullptr));
    EXPECT_EQ(CreateFileA("\\no\\such\\folder\\x.dmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
}
