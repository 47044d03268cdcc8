#include "KelLogCL.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <latch>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KelConsoleCL.h"
#include "KelGuard.h"
#include "StdoutCapture.h"
#include "TestFolder.h"

namespace
{
const char kPrefix[] = R"(\[\d\d:\d\d:\d\d:\d\d\d\] -- )";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Matches(const std::string& text, const std::string& pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

// Each test runs in its own folder with its own log, which is the current one while it lives.
class KelLogTest : public ::testing::Test
{
protected:
    TestFolder m_folder{true};

    std::string ReadLog() const { return m_folder.Read("KelLogFile.txt"); }
};
} // namespace

TEST_F(KelLogTest, StartBannerOpensEveryRun)
{
    {
        KelLogCL log;
        log.Printf("entry %d", 7);
    }
    std::vector<std::string> lines = Lines(ReadLog());
    ASSERT_EQ(lines.size(), 7u);
    // The first entry is the prefix alone, followed by a blank line.
    EXPECT_TRUE(Matches(lines[0], kPrefix)) << lines[0];
    EXPECT_EQ(lines[1], "");
    EXPECT_TRUE(
        Matches(lines[2], std::string(kPrefix) + R"(/\*-----------------KelLogStart----------------\*/)"));
    // The date line is GBK: 年 月 日 and 星期 as their GBK bytes.
    EXPECT_TRUE(Matches(lines[3], std::string(kPrefix) +
                                      "LogStartTime : \\d{4}\xC4\xEA\\d{1,2}\xD4\xC2\\d{1,2}\xC8\xD5 , "
                                      "\xD0\xC7\xC6\xDA[0-6]"))
        << lines[3];
    EXPECT_TRUE(Matches(lines[4], std::string(kPrefix) + R"( {15}\d{1,2}:\d{1,2}:\d{1,2})")) << lines[4];
    EXPECT_TRUE(Matches(lines[5], kPrefix));
    EXPECT_TRUE(Matches(lines[6], std::string(kPrefix) + "entry 7"));

    // A second run appends its own banner after the first run's entries.
    {
        KelLogCL log;
    }
    lines = Lines(ReadLog());
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_TRUE(Matches(lines[6], std::string(kPrefix) + "entry 7"));
    EXPECT_TRUE(Matches(lines[9], std::string(kPrefix) + ".*KelLogStart.*"));
}

TEST_F(KelLogTest, LongEntryIsCutAt1023Characters)
{
    {
        KelLogCL log;
        log.Printf("%s", std::string(3000, 'x').c_str());
        log.Printf("%s", std::string(1023, 'y').c_str());
    }
    std::vector<std::string> lines = Lines(ReadLog());
    ASSERT_EQ(lines.size(), 8u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[6], match, std::regex(std::string(kPrefix) + "(x*)")));
    EXPECT_EQ(match[1].length(), 1023);
    ASSERT_TRUE(std::regex_match(lines[7], match, std::regex(std::string(kPrefix) + "(y*)")));
    EXPECT_EQ(match[1].length(), 1023);
    // Each cut entry still ends its line.
    EXPECT_EQ(ReadLog().back(), '\n');
}

TEST_F(KelLogTest, DisabledLogWritesNothingToFileOrConsole)
{
    std::string console;
    {
        KelConsoleCL consoleObject;
        StdoutCapture capture((m_folder.Path() / "console.txt").string());
        consoleObject.Open("log test");
        KelLogCL log;
        log.SetEnabled(0);
        log.Printf("hidden %d", 1);
        log.WriteLine("hidden 2\n");
        KelLogPrintf("hidden %d", 3);
        log.SetEnabled(1);
        log.Printf("shown");
        consoleObject.Close();
        log.Printf("file only");
        console = capture.Restore();
    }
    std::string file = ReadLog();
    EXPECT_EQ(file.find("hidden"), std::string::npos);
    EXPECT_NE(file.find("-- shown\n"), std::string::npos);
    EXPECT_NE(file.find("-- file only\n"), std::string::npos);
    // The console received the same entries, prefixes included, while it was open.
    EXPECT_EQ(console.find("hidden"), std::string::npos);
    EXPECT_TRUE(std::regex_search(console, std::regex(std::string(kPrefix) + "shown\n")));
    EXPECT_EQ(console.find("file only"), std::string::npos);
}

// The log echoes entries to the console from whichever thread writes them, while the UI thread
// may open or close it; under ThreadSanitizer this shows the console's handle is never read
// while it changes. Every echoed entry arrives whole.
TEST_F(KelLogTest, ConsoleOpenedAndClosedWhileAnotherThreadEchoes)
{
    std::string console;
    {
        KelConsoleCL consoleObject;
        StdoutCapture capture((m_folder.Path() / "console.txt").string());
        std::atomic<bool> done{false};
        std::thread writer(
            [&]
            {
                for (int i = 0; i < 2000; ++i)
                    consoleObject.Write("echo line\n");
                done = true;
            });
        while (!done)
        {
            consoleObject.Open("race");
            consoleObject.Close();
        }
        writer.join();
        console = capture.Restore();
    }
    std::istringstream lines(console);
    std::string line;
    while (std::getline(lines, line))
        EXPECT_EQ(line, "echo line");
}

TEST_F(KelLogTest, UnopenableFileDropsEntriesQuietly)
{
    KelLogCL log;
    log.Close();
    // The log file name is taken from the current directory when the file opens: a folder that
    // is a file's name cannot hold it.
    std::filesystem::create_directory(m_folder.Path() / "sub");
    std::filesystem::current_path(m_folder.Path() / "sub");
    std::filesystem::create_directory("KelLogFile.txt");
    EXPECT_FALSE(log.Open());
    log.Printf("lost");
    std::filesystem::current_path(m_folder.Path());
    EXPECT_TRUE(log.Open());
    log.Printf("kept");
    log.Close();
    std::string file = ReadLog();
    EXPECT_EQ(file.find("lost"), std::string::npos);
    EXPECT_NE(file.find("kept"), std::string::npos);
}

TEST_F(KelLogTest, FreeFunctionsWriteToTheCurrentLog)
{
    const void* installedAddress = nullptr;
    {
        KelLogCL host;
        KelLogCL module; // the newest log is current
        module.SetEnabled(0);
        EXPECT_EQ(KelLogCL::GetInstance(), &module);
        KelLogPrintf("to the module's log");
        KelLogCL::SetInstance(&host); // as when the host hands its log over
        KelLogPrintf("to the host's log");
        installedAddress = &host;
    }
    std::string file = ReadLog();
    EXPECT_EQ(file.find("to the module's log"), std::string::npos);
    EXPECT_NE(file.find("to the host's log"), std::string::npos);
    // With the installed log gone, the engine's own log takes over.
    KelLogCL* fallback = KelLogCL::GetInstance();
    ASSERT_NE(fallback, nullptr);
    EXPECT_NE(static_cast<const void*>(fallback), installedAddress);
}

namespace
{
class FailingDealerCL
{
public:
    bool Deal()
    {
        KEL_TRY
        throw std::runtime_error("no cards");
        KEL_CATCH_RETURN(false)
    }
};

// What a run of writers and failures left in a log or on the console: entries by writer and
// number, failures, and every line that is neither (a torn or merged entry).
struct LoggedEntries
{
    std::map<int, std::set<int>> entries;
    int failures = 0;
    std::vector<std::string> torn;
};

LoggedEntries ReadEntries(const std::string& text, size_t padding)
{
    const std::regex entry(std::string(kPrefix) + R"(writer (\d) entry (\d+) ([a-z]+))");
    const std::regex failure(std::string(kPrefix) +
                             R"(File:\S+  Line:\d+  Function:\{anonymous\}::FailingDealerCL::Deal)");
    LoggedEntries logged;
    for (const std::string& line : Lines(text))
    {
        std::smatch match;
        if (std::regex_match(line, match, entry))
        {
            const int writer = std::stoi(match[1]);
            const std::string pad = match[3];
            if (pad == std::string(padding, static_cast<char>('a' + writer)))
            {
                logged.entries[writer].insert(std::stoi(match[2]));
                continue;
            }
        }
        else if (std::regex_match(line, failure))
        {
            ++logged.failures;
            continue;
        }
        if (line.find("writer") != std::string::npos || line.find("File:") != std::string::npos)
            logged.torn.push_back(line);
    }
    return logged;
}
} // namespace

TEST_F(KelLogTest, EntriesFromManyThreadsStayWholeWhileTheGuardLogsFailures)
{
    // The texture loader's worker logs while the UI thread does, and a failure caught by the
    // guard flushes the log under both of them.
    const int kWriters = 4;
    const int kEntries = 300;
    const int kFailures = 200;
    const size_t kPadding = 200;
    std::string console;
    {
        KelConsoleCL consoleObject;
        StdoutCapture capture((m_folder.Path() / "console.txt").string());
        consoleObject.Open("log test");
        KelLogCL log;
        std::latch start(kWriters + 1);
        std::vector<std::thread> threads;
        for (int writer = 0; writer < kWriters; ++writer)
            threads.emplace_back(
                [&, writer]
                {
                    const std::string pad(kPadding, static_cast<char>('a' + writer));
                    start.arrive_and_wait();
                    for (int i = 0; i < kEntries; ++i)
                        log.Printf("writer %d entry %d %s", writer, i, pad.c_str());
                });
        threads.emplace_back(
            [&]
            {
                FailingDealerCL dealer;
                start.arrive_and_wait();
                for (int i = 0; i < kFailures; ++i)
                    EXPECT_FALSE(dealer.Deal());
            });
        for (std::thread& thread : threads)
            thread.join();
        consoleObject.Close();
        console = capture.Restore();
    }

    const std::pair<const char*, std::string> outputs[] = {{"file", ReadLog()}, {"console", console}};
    for (const auto& [where, text] : outputs)
    {
        SCOPED_TRACE(where);
        const LoggedEntries logged = ReadEntries(text, kPadding);
        EXPECT_TRUE(logged.torn.empty())
            << logged.torn.size() << " torn lines, the first: " << logged.torn[0];
        EXPECT_EQ(logged.failures, kFailures);
        ASSERT_EQ(logged.entries.size(), static_cast<size_t>(kWriters));
        for (const auto& [writer, numbers] : logged.entries)
            EXPECT_EQ(numbers.size(), static_cast<size_t>(kEntries)) << "writer " << writer;
    }
}

namespace
{
// Runs `crash` in a child process whose current directory is `folder`; returns the signal
// that ended the child (0 when it exited).
int CrashInChild(const std::filesystem::path& folder, void (*crash)())
{
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0)
    {
        if (chdir(folder.c_str()) != 0)
            _exit(2);
        KelLogCL log;
        // On a thread of its own, where nothing (the test framework included) catches what
        // the crash throws.
        std::thread(crash).join();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

std::vector<std::filesystem::path> CrashRecords(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> records;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".dmp")
            records.push_back(entry.path());
    return records;
}

void Segfault()
{
    raise(SIGSEGV);
}

void ThrowUncaught()
{
    throw std::runtime_error("the deck ran out");
}
} // namespace

TEST_F(KelLogTest, CrashWritesRecordNamedAfterLocalTime)
{
    EXPECT_EQ(CrashInChild(m_folder.Path(), Segfault), SIGSEGV);
    std::vector<std::filesystem::path> records = CrashRecords(m_folder.Path());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(
        Matches(records[0].filename().string(), R"(\d{4}_\d{1,2}_\d{1,2}_\d{1,2}_\d{1,2}_\d{1,2}\.dmp)"))
        << records[0];
    std::string record = m_folder.Read(records[0].filename().string());
    EXPECT_NE(record.find("signal: 11 (SIGSEGV)"), std::string::npos) << record;
    EXPECT_NE(record.find("code: 0xC0000005"), std::string::npos) << record;
    EXPECT_NE(record.find("backtrace:\n"), std::string::npos) << record;
}

TEST_F(KelLogTest, UncaughtExceptionIsRecordedWithItsMessage)
{
    EXPECT_EQ(CrashInChild(m_folder.Path(), ThrowUncaught), SIGABRT);
    std::vector<std::filesystem::path> records = CrashRecords(m_folder.Path());
    ASSERT_EQ(records.size(), 1u);
    std::string record = m_folder.Read(records[0].filename().string());
    EXPECT_NE(record.find("uncaught exception: the deck ran out"), std::string::npos) << record;
}
