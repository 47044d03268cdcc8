#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "KelImeCL.h"
#include "KelWnd2DEditCL.h"
#include "Win32/Clipboard.h"
#include "Win32/Ime.h"
#include "Win32/Keyboard.h"

namespace
{
const std::string kDou = "\xB6\xB7"; // a two-byte GBK character

class EditTest : public ControlsTest
{
protected:
    KelWnd2DEditCL* NewEdit(int w = 100, int x = 10)
    {
        auto* edit = new KelWnd2DEditCL("edit", m_ui.GetDeskTopM(), x, 10, w, 20, 0);
        edit->SetMsgFunM(KWM_EDITCHANGE, [this](KelWndMsg) { ++m_changes; });
        Click(x + 2, 15); // the focus
        return edit;
    }
    void Key(WPARAM key, bool ctrl = false)
    {
        Win32SetKeyDown(VK_CONTROL, ctrl);
        m_ui.PostMessageM(nullptr, WM_KEYDOWN, key, 0);
        Win32SetKeyDown(VK_CONTROL, false);
    }
    void Type(const std::string& bytes)
    {
        for (char c : bytes)
            m_ui.PostMessageM(nullptr, WM_CHAR, static_cast<unsigned char>(c), 0);
    }

    int m_changes = 0;
};
} // namespace

TEST_F(EditTest, TypingCountsCharactersOfOneOrTwoBytes)
{
    KelWnd2DEditCL* edit = NewEdit();
    Type("a" + kDou + "b");
    EXPECT_EQ(edit->GetEditText(), "a" + kDou + "b");
    EXPECT_EQ(edit->GetCaret(), 3) << "the two bytes of one character move the caret by one";
    EXPECT_EQ(m_changes, 3);
    Key(VK_LEFT);
    Key(VK_BACK);
    EXPECT_EQ(edit->GetEditText(), "ab") << "Backspace after a Chinese character removes both bytes";
    EXPECT_EQ(edit->GetCaret(), 1);
    Key(VK_HOME); // not handled by the edit: nothing happens
    Key(VK_LEFT);
    Key(VK_BACK);
    EXPECT_EQ(edit->GetEditText(), "ab") << "Backspace at position 0 changes nothing";
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    const int before = m_changes;
    Key(VK_DELETE);
    EXPECT_EQ(edit->GetEditText(), "ab");
    EXPECT_EQ(m_changes, before) << "Delete at the end sends nothing";
    Key(VK_LEFT);
    Key(VK_DELETE);
    EXPECT_EQ(edit->GetEditText(), "a");
    EXPECT_EQ(m_changes, before + 1);
}

TEST_F(EditTest, TheByteLimitRefusesWhatWouldPassIt)
{
    KelWnd2DEditCL* edit = NewEdit();
    edit->SetLimitM(10);
    Type("123456789");
    Type(kDou);
    EXPECT_EQ(edit->GetEditText(), "123456789") << "a two-byte character would make 11 bytes";
    Type("x");
    EXPECT_EQ(edit->GetEditText(), "123456789x");
    Win32SetClipboardText("more");
    Key('V', true);
    EXPECT_EQ(edit->GetEditText(), "123456789x") << "nor does pasting pass it";
}

TEST_F(EditTest, CopyCutAndPasteGoThroughTheClipboard)
{
    KelWnd2DEditCL* edit = NewEdit();
    Type("hello" + kDou);
    edit->SetSelection(1, 3); // "el"
    Key('C', true);
    EXPECT_EQ(Win32GetClipboardText(), "el");
    Key('C'); // without Ctrl: a plain key, nothing to do
    const int before = m_changes;
    edit->SetSelection(6, 4); // "o" and the double-byte character
    Key('X', true);
    EXPECT_EQ(Win32GetClipboardText(), "o" + kDou);
    EXPECT_EQ(edit->GetEditText(), "hell");
    EXPECT_EQ(edit->GetCaret(), 4);
    EXPECT_EQ(m_changes, before) << "cutting sends no 2001";
    Key(VK_HOME);
    edit->SetSelection(-1, 0);
    Key('V', true);
    EXPECT_EQ(edit->GetEditText(), "o" + kDou + "hell");
    EXPECT_EQ(edit->GetCaret(), 2);
    // Typing replaces a selection.
    edit->SetSelection(0, 2);
    Type("X");
    EXPECT_EQ(edit->GetEditText(), "Xhell");
}

TEST_F(EditTest, LongTextScrollsToKeepTheCaretVisible)
{
    KelWnd2DEditCL* edit = NewEdit(60, 100);
    Type(std::string(30, 'w')); // 30 characters of 6 pixels in a 60-pixel box
    Frame();
    EXPECT_GT(edit->GetFirstVisible(), 19);
    // Dragging past the left edge scrolls back one character per move.
    const int first = edit->GetFirstVisible();
    Post(WM_LBUTTONDOWN, 110, 15, MK_LBUTTON);
    Post(WM_MOUSEMOVE, 90, 15, MK_LBUTTON);
    EXPECT_EQ(edit->GetFirstVisible(), first - 1);
    Post(WM_MOUSEMOVE, 89, 15, MK_LBUTTON);
    EXPECT_EQ(edit->GetFirstVisible(), first - 2);
    Post(WM_LBUTTONUP, 89, 15);
    Key(VK_RETURN);
}

TEST_F(EditTest, LabelsDrawNoBackgroundAndIgnoreTyping)
{
    auto* label = new KelWnd2DLabelCL("label", m_ui.GetDeskTopM(), "", 0xFFFFFFFF, 10, 50, 80, 20);
    auto* edit = NewEdit();
    const TestFrame frame = Frame();
    EXPECT_EQ(frame.At(12, 52), 0x646464u) << "the label: no fill";
    EXPECT_EQ(frame.At(60, 12), 0xDCDCDCu) << "the edit: its fill";
    label->SetFocusM(true);
    Type("abc");
    EXPECT_EQ(label->GetEditText(), "");
    label->SetTextM("set in code");
    EXPECT_EQ(label->GetEditText(), "set in code");
    EXPECT_FALSE(label->IsEnableM());
    EXPECT_EQ(edit->GetEditText(), "");
}

TEST_F(EditTest, TheCaretBlinksWhileTheEditHasTheFocus)
{
    KelWnd2DEditCL* edit = NewEdit();
    Type("ab");
    // The caret after two 6-pixel characters, at the edit's left plus 12.
    const auto caretShown = [this]
    {
        const TestFrame frame = Frame();
        for (int y = 10; y < 30; ++y)
            if (frame.At(22, y) == 0xFFFFFFu)
                return true;
        return false;
    };
    m_system.now = 1200 + 350;
    Frame(); // the first frame tells the caret where it is
    EXPECT_TRUE(caretShown());
    m_system.now = 1200 + 250;
    EXPECT_FALSE(caretShown());
    m_system.now = 1800 + 599;
    EXPECT_TRUE(caretShown());
    edit->SetFocusM(false);
    m_ui.SetFocusWndM(nullptr);
    EXPECT_FALSE(caretShown());
}

TEST_F(EditTest, TheInputMethodsTextReachesTheFocusedEditWhileTheSwitchIsOn)
{
    KelWnd2DEditCL* edit = NewEdit();
    m_ui.SetImeOnM(true);
    KelImeCL* ime = m_ui.GetImeM();
    const std::string ni = "\xC4\xE3";  // 你
    const std::string mud = "\xC4\xE0"; // 泥
    Win32ImeState state;
    state.active = true;
    state.description = "pinyin";
    state.composition = "ni";
    state.candidates = {ni, mud};
    Win32SetImeState(state);
    m_ui.PostMessageM(nullptr, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 0);
    EXPECT_EQ(ime->GetDescription(), "pinyin");
    EXPECT_EQ(ime->GetCandidates(), "1." + ni + "2." + mud);
    m_ui.PostMessageM(nullptr, WM_IME_COMPOSITION, 0, GCS_COMPSTR);
    EXPECT_EQ(ime->GetComposition(), "ni");
    // The composition, the description and the candidates are drawn in their boxes.
    EXPECT_NE(Frame().At(6, 6), 0x646464u);

    state.composition.clear();
    state.result = ni;
    Win32SetImeState(state);
    m_ui.PostMessageM(nullptr, WM_IME_COMPOSITION, 0, GCS_RESULTSTR | GCS_COMPSTR);
    EXPECT_EQ(edit->GetEditText(), ni);
    EXPECT_EQ(m_changes, 1);
    EXPECT_EQ(ime->GetResult(), "") << "handed on";
    m_ui.PostMessageM(nullptr, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 0);
    EXPECT_EQ(ime->GetCandidates(), "");

    // More than 253 bytes at once are refused with a beep.
    const unsigned beeps = Win32BeepCount();
    state.result = std::string(254, 'x');
    Win32SetImeState(state);
    m_ui.PostMessageM(nullptr, WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
    EXPECT_EQ(Win32BeepCount(), beeps + 1);
    EXPECT_EQ(edit->GetEditText(), ni);

    // Without an active input method its characters come one by one, and the description says so.
    Win32SetImeState(Win32ImeState{});
    m_ui.PostMessageM(nullptr, WM_IME_NOTIFY, 0, 0);
    EXPECT_EQ(ime->GetDescription(), "输入法关闭");
    m_ui.PostMessageM(nullptr, WM_IME_CHAR, 'a', 0);
    EXPECT_EQ(edit->GetEditText(), ni + "a");

    // With the switch off the messages go to the focus window, and the boxes are not drawn.
    m_ui.SetImeOnM(false);
    m_ui.PostMessageM(nullptr, WM_IME_CHAR, 'b', 0);
    EXPECT_EQ(edit->GetEditText(), ni + "a");
    EXPECT_EQ(Frame().At(6, 6), 0x646464u);
}
