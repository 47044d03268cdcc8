#include "Win32/ProcessState.h"

#include <gtest/gtest.h>

#include "Win32/Clipboard.h"
#include "Win32/Ime.h"
#include "Win32/Keyboard.h"
#include "Win32/Window.h"

// A copy of this layer that adopts another's state reads and writes that one: the keyboard, the
// clipboard, the input method and the capture; going back finds its own untouched.
TEST(ProcessState, AnAdoptedStateIsTheOneReadAndWritten)
{
    MemoryWindow window(4, 4);
    Win32ReleaseAllKeys();
    Win32SetClipboardText("own");
    ReleaseCapture();

    Win32ProcessStateStorage host;
    Win32AdoptProcessState(host.State());
    EXPECT_EQ(&Win32CurrentProcessState(), host.State());
    EXPECT_EQ(Win32GetClipboardText(), "") << "the host's clipboard, not the own";
    Win32SetKeyDown(VK_LCONTROL, true);
    Win32SetClipboardText("shared");
    SetCapture(&window);
    Win32ImeState ime;
    ime.active = true;
    ime.composition = "zhong";
    Win32SetImeState(ime);

    Win32AdoptProcessState(nullptr);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    EXPECT_EQ(Win32GetClipboardText(), "own");
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(Win32GetImeState().active);

    Win32AdoptProcessState(host.State());
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    EXPECT_EQ(Win32GetClipboardText(), "shared");
    EXPECT_EQ(GetCapture(), &window);
    EXPECT_EQ(Win32GetImeState().composition, "zhong");
    ReleaseCapture();
    Win32AdoptProcessState(Win32OwnProcessState());
    EXPECT_EQ(&Win32CurrentProcessState(), Win32OwnProcessState()) << "adopting the own state is going back";
}
