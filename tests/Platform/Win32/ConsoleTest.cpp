#include <gtest/gtest.h>

#include "StdoutCapture.h"
#include "TestFolder.h"
#include "Win32/Console.h"

TEST(Console, AllocWriteFreeLifecycle)
{
    TestFolder folder;
    StdoutCapture capture((folder.Path() / "out.txt").string());

    ASSERT_TRUE(AllocConsole());
    EXPECT_FALSE(AllocConsole());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const char text[] = "牌局 ok\n"; // GBK at run time
    DWORD written = 0;
    EXPECT_TRUE(WriteConsoleA(out, text, sizeof(text) - 1, &written, nullptr));
    EXPECT_EQ(written, sizeof(text) - 1);

    EXPECT_TRUE(FreeConsole());
    EXPECT_FALSE(FreeConsole());
    EXPECT_EQ(capture.Restore(), "\xE7\x89\x8C\xE5\xB1\x80 ok\n"); // shown as UTF-8
}

TEST(Console, BadArgumentsAreRefused)
{
    DWORD written = 7;
    EXPECT_FALSE(WriteConsoleA(nullptr, "x", 1, &written, nullptr));
    EXPECT_FALSE(WriteConsoleA(INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetStdHandle(42), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetConsoleTitleA(nullptr));
}
