#include "Win32/Shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{
intptr_t Result(HINSTANCE instance)
{
    return reinterpret_cast<intptr_t>(instance);
}
} // namespace

// A browser opens its parameter, a document is opened itself by its Linux path, and the result
// codes say what happened, as Windows' do.
TEST(Shell, OpensTheTargetWithTheDesktopsOpener)
{
    std::vector<std::string> opened;
    bool works = true;
    Win32SetShellOpener(
        [&](const std::string& target)
        {
            opened.push_back(target);
            return works;
        });
    EXPECT_GT(Result(ShellExecuteA(nullptr, "open", "iexplore", "https://example.org/help#a", nullptr,
                                   SW_SHOWNORMAL)),
              32);
    EXPECT_GT(Result(ShellExecuteA(nullptr, "open", "\\tmp\\help.html", nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "open", "iexplore", "", nullptr, SW_SHOWNORMAL)), 2);
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, SW_SHOWNORMAL)), 2);
    works = false;
    EXPECT_EQ(Result(ShellExecuteA(nullptr, "open", "IEXPLORE.EXE", "file:///x", nullptr, SW_SHOW)), 31);
    Win32SetShellOpener(nullptr);
    EXPECT_EQ(opened,
              (std::vector<std::string>{"https://example.org/help#a", "/tmp/help.html", "file:///x"}));
}
