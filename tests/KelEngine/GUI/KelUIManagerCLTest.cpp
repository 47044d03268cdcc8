#include "KelUIManagerCL.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelGuiConfig.h"
#include "KelSystemCL.h"
#include "KelWnd2DBaseCL.h"
#include "UiFrameTestSupport.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

namespace
{
// Who saw what: raw host messages as "name>0x201", GUI notifications as "name:1001".
using EventLog = std::vector<std::string>;

std::string Hex(UINT message)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", message);
    return text;
}

// A window that records every host message handed to it and the GUI messages it raises, and can
// be told to consume key messages (as an edit box would).
class RecordingWnd : public KelWnd2DBaseCL
{
public:
    RecordingWnd(const char* name, KelWndBaseCL* parent, EventLog* log, int x, int y, int w, int h)
        : KelWnd2DBaseCL(name, parent, 0), m_log(log)
    {
        SetPosM(x, y);
        SetSizeM(w, h);
        for (int code : {KWM_LBUTTONDOWN, KWM_LBUTTONUP, KWM_LCLICK, KWM_RBUTTONDOWN, KWM_MOUSEMOVE,
                         KWM_MOUSEIN, KWM_MOUSEOUT})
            SetMsgFunM(code, [this, code](KelWndMsg)
                       { m_log->push_back(GetNameM() + ":" + std::to_string(code)); });
    }

    bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        m_log->push_back(GetNameM() + ">" + Hex(message));
        if (m_consumeKeys && (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR))
            return false;
        return KelWnd2DBaseCL::PostMessageM(window, message, wparam, lparam);
    }

    bool m_consumeKeys = false;

private:
    EventLog* m_log;
};

bool Contains(const EventLog& log, const std::string& entry)
{
    for (const std::string& seen : log)
        if (seen == entry)
            return true;
    return false;
}

bool AnyFrom(const EventLog& log, const std::string& name)
{
    for (const std::string& seen : log)
        if (seen.compare(0, name.size() + 1, name + ">") == 0 ||
            seen.compare(0, name.size() + 1, name + ":") == 0)
            return true;
    return false;
}

// A manager of the test's own on a 200 x 150 desktop, in a folder of the test's own.
class KelUIManagerTest : public LogFolderTest
{
protected:
    void SetUp() override { m_ui.SetDeskTopSizeM(200, 150); }

    bool Post(UINT message, int x, int y, WPARAM wparam = 0)
    {
        return m_ui.PostMessageM(&m_window, message, wparam, MAKELPARAM(x, y));
    }

    KelWnd2DBaseCL* Desk() { return m_ui.GetDeskTopM(); }

    KelSystemCL m_system;
    KelUIManagerCL m_ui;
    MemoryWindow m_window{200, 150};
    EventLog m_events;
};
} // namespace

TEST_F(KelUIManagerTest, StartsWithAnEmptyDesktopAndNoSlots)
{
    KelWnd2DBaseCL* desk = m_ui.GetDeskTopM();
    ASSERT_NE(desk, nullptr);
    EXPECT_EQ(desk->GetNameM(), "UIManager_DeskTop");
    EXPECT_EQ(desk->GetParentM(), nullptr);
    EXPECT_EQ(desk->GetStyleM() & ~KWS_SELFFONT, 0u);
    EXPECT_EQ(KelUIManagerCL::GetInstance(), &m_ui);
    EXPECT_EQ(KelUIGetDeskTop(), desk);
    EXPECT_EQ(m_ui.GetFocusWndM(), nullptr);
    EXPECT_EQ(m_ui.GetFocusNameM(), "");
    EXPECT_EQ(m_ui.GetCaptureNameM(), "");
    EXPECT_EQ(m_ui.GetHoverNameM(), "");
    EXPECT_EQ(m_ui.GetTopModalM(), nullptr);
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
    // The caret's owner comes with the manager.
    EXPECT_NE(m_ui.GetImeM(), nullptr);
    EXPECT_FALSE(m_ui.IsImeOnM());

    KelUISetGuiConfig("Config\\Gui\\guiConfig.xml");
    EXPECT_EQ(m_ui.GetGuiConfigM(), "Config\\Gui\\guiConfig.xml");
    m_ui.SetRedrawM(false);
    EXPECT_FALSE(m_system.GetRedrawM());
    m_ui.SetRedrawM(true);
    EXPECT_TRUE(m_ui.GetRedrawM());
}

TEST_F(KelUIManagerTest, PopupIsDismissedOnlyByKeysButtonsAndWheelOutsideIt)
{
    RecordingWnd popup("popup", nullptr, &m_events, 100, 50, 50, 40);
    RecordingWnd focus("focus", Desk(), &m_events, 0, 100, 20, 20);
    m_ui.SetFocusWndM(&focus);

    struct Case
    {
        UINT message;
        int x, y;
        WPARAM wparam;
        bool stays;
    };
    const Case cases[] = {
        {WM_MOUSEMOVE, 10, 10, 0, true},
        {WM_MOUSEMOVE, 110, 60, 0, true},
        {WM_LBUTTONDOWN, 110, 60, 0, true},
        {WM_RBUTTONDOWN, 149, 89, 0, true},
        {WM_LBUTTONDOWN, 10, 10, 0, false},
        {WM_RBUTTONUP, 10, 10, 0, false},
        {WM_LBUTTONDBLCLK, 99, 60, 0, false},
        {WM_MOUSEWHEEL, 110, 60, MAKEWPARAM(0, WHEEL_DELTA), true},
        {WM_MOUSEWHEEL, 10, 10, MAKEWPARAM(0, WHEEL_DELTA), false},
        {WM_CHAR, 0, 0, 'a', true},
        {WM_KEYDOWN, 0, 0, 'A', false},
        {WM_KEYUP, 110, 60, 'A', false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(Hex(c.message) + " at " + std::to_string(c.x) + "," + std::to_string(c.y));
        m_ui.SetCaptureWndM(nullptr);
        m_ui.SetPopupM(&popup, false);
        m_events.clear();
        Post(c.message, c.x, c.y, c.wparam);
        EXPECT_EQ(m_ui.GetPopupM(), c.stays ? &popup : nullptr);
        // The popup always sees the message first.
        ASSERT_FALSE(m_events.empty());
        EXPECT_EQ(m_events.front(), "popup>" + Hex(c.message));
    }
    m_ui.SetCaptureWndM(nullptr);

    // A key dismisses the popup even when the focus window takes the key.
    focus.m_consumeKeys = true;
    m_ui.SetPopupM(&popup, false);
    m_events.clear();
    EXPECT_FALSE(Post(WM_KEYDOWN, 0, 0, 'B'));
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
    EXPECT_EQ(m_events, (EventLog{"popup>0x100", "focus>0x100"}));
}

TEST_F(KelUIManagerTest, ClickOutsidePopupPressesTheButtonUnderIt)
{
    RecordingWnd popup("popup", nullptr, &m_events, 100, 50, 50, 40);
    RecordingWnd button("button", Desk(), &m_events, 10, 10, 40, 20);
    m_ui.SetPopupM(&popup, false);

    // Inside the popup: the popup takes the press and nothing behind it hears of it.
    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 120, 60));
    EXPECT_FALSE(Post(WM_LBUTTONUP, 120, 60));
    EXPECT_TRUE(Contains(m_events, "popup:1003"));
    EXPECT_FALSE(AnyFrom(m_events, "button"));
    EXPECT_EQ(m_ui.GetPopupM(), &popup);

    m_events.clear();
    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 20, 15));
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
    EXPECT_TRUE(Contains(m_events, "button:1001"));
    EXPECT_EQ(m_ui.GetCaptureWndM(), &button);
    EXPECT_FALSE(Post(WM_LBUTTONUP, 20, 15));
    EXPECT_TRUE(Contains(m_events, "button:1003"));
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);
}

TEST_F(KelUIManagerTest, ModalWindowTakesEveryClickAndConsumesIt)
{
    RecordingWnd other("other", Desk(), &m_events, 0, 0, 50, 50);
    RecordingWnd modal("modal", Desk(), &m_events, 100, 80, 60, 40);
    RecordingWnd focus("focus", Desk(), &m_events, 0, 100, 20, 20);
    RecordingWnd okButton("ok", &modal, &m_events, 5, 5, 20, 10);

    // Without a modal window an empty spot of the desktop is not consumed.
    EXPECT_TRUE(Post(WM_LBUTTONDOWN, 70, 20));
    EXPECT_TRUE(Post(WM_LBUTTONUP, 70, 20));
    EXPECT_TRUE(m_ui.AddModalM(&modal));
    EXPECT_EQ(m_ui.GetTopModalM(), &modal);

    m_events.clear();
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP})
        EXPECT_FALSE(Post(message, 10, 10)) << Hex(message);
    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 70, 20));
    EXPECT_FALSE(AnyFrom(m_events, "other"));
    EXPECT_TRUE(Contains(m_events, "modal>0x201"));
    // The modal window offers the clicks to its children, but none of them lies there.
    EXPECT_FALSE(Contains(m_events, "ok:1001"));
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);

    // The modal window's own children are reached through it.
    m_events.clear();
    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 110, 90));
    EXPECT_TRUE(Contains(m_events, "ok:1001"));
    EXPECT_FALSE(Post(WM_LBUTTONUP, 110, 90));
    EXPECT_TRUE(Contains(m_events, "ok:1003"));

    // Keys still go to the focus window.
    m_ui.SetFocusWndM(&focus);
    m_events.clear();
    Post(WM_KEYDOWN, 0, 0, 'A');
    EXPECT_EQ(m_events, EventLog{"focus>0x100"});

    // A second modal window lies on top; removing it hands the clicks back.
    RecordingWnd second("second", Desk(), &m_events, 180, 0, 10, 10);
    m_ui.AddModalM(&second);
    EXPECT_EQ(m_ui.GetTopModalM(), &second);
    EXPECT_TRUE(m_ui.RemoveModalM(&second));
    EXPECT_FALSE(m_ui.RemoveModalM(&second));
    EXPECT_TRUE(m_ui.RemoveModalM(&modal));
    EXPECT_EQ(m_ui.GetTopModalM(), nullptr);
    m_events.clear();
    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 10, 10));
    EXPECT_TRUE(Contains(m_events, "other:1001"));
    Post(WM_LBUTTONUP, 10, 10);
}

TEST_F(KelUIManagerTest, PressedWindowKeepsTheMouseUntilItsButtonComesUp)
{
    RecordingWnd pressed("pressed", Desk(), &m_events, 10, 10, 40, 20);
    RecordingWnd other("other", Desk(), &m_events, 100, 10, 40, 20);
    RecordingWnd modal("modal", Desk(), &m_events, 100, 100, 40, 20);

    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 20, 15));
    EXPECT_EQ(m_ui.GetCaptureWndM(), &pressed);
    EXPECT_EQ(m_ui.GetCaptureNameM(), "pressed");
    // Not even a modal window opening meanwhile takes the mouse away.
    m_ui.AddModalM(&modal);

    m_events.clear();
    Post(WM_MOUSEMOVE, 110, 15, MK_LBUTTON);
    Post(WM_RBUTTONDOWN, 110, 15, MK_LBUTTON);
    Post(WM_MOUSEMOVE, 120, 110, MK_LBUTTON);
    Post(WM_LBUTTONUP, 120, 15);
    EXPECT_FALSE(AnyFrom(m_events, "other"));
    EXPECT_FALSE(AnyFrom(m_events, "modal"));
    EXPECT_TRUE(Contains(m_events, "pressed:1009"));
    EXPECT_TRUE(Contains(m_events, "pressed:1002"));
    // Released away from the window: no click.
    EXPECT_FALSE(Contains(m_events, "pressed:1003"));
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);

    m_ui.RemoveModalM(&modal);
    m_events.clear();
    Post(WM_MOUSEMOVE, 110, 15);
    EXPECT_TRUE(Contains(m_events, "other:1011"));
    EXPECT_TRUE(Contains(m_events, "other:1009"));
    EXPECT_EQ(m_ui.GetHoverWndM(), &other);
    EXPECT_EQ(m_ui.GetHoverNameM(), "other");
}

TEST_F(KelUIManagerTest, FocusMovesOnlyToAWindowOfAnotherName)
{
    KelWnd2DBaseCL left("left", Desk(), 0);
    KelWnd2DBaseCL right("right", Desk(), 0);
    KelWnd2DBaseCL* leftEdit = new KelWnd2DBaseCL("edit", &left, 0);
    KelWnd2DBaseCL* rightEdit = new KelWnd2DBaseCL("edit", &right, 0);
    KelWnd2DBaseCL* chat = new KelWnd2DBaseCL("chat", &right, 0);

    EXPECT_TRUE(m_ui.SetFocusWndM(leftEdit));
    EXPECT_EQ(m_ui.GetFocusWndM(), leftEdit);
    EXPECT_TRUE(leftEdit->IsFocusM());

    EXPECT_TRUE(m_ui.SetFocusWndM(rightEdit));
    EXPECT_EQ(m_ui.GetFocusWndM(), leftEdit);
    EXPECT_TRUE(leftEdit->IsFocusM());
    EXPECT_FALSE(rightEdit->IsFocusM());

    EXPECT_TRUE(m_ui.SetFocusWndM(chat));
    EXPECT_EQ(m_ui.GetFocusWndM(), chat);
    EXPECT_EQ(m_ui.GetFocusNameM(), "chat");
    EXPECT_FALSE(leftEdit->IsFocusM());
    EXPECT_TRUE(chat->IsFocusM());

    // A window taking the focus itself goes through the manager.
    leftEdit->SetFocusM(true);
    EXPECT_EQ(m_ui.GetFocusWndM(), leftEdit);
    EXPECT_FALSE(chat->IsFocusM());

    EXPECT_TRUE(m_ui.SetFocusWndM(nullptr));
    EXPECT_EQ(m_ui.GetFocusWndM(), nullptr);
    EXPECT_EQ(m_ui.GetFocusNameM(), "");
    EXPECT_FALSE(leftEdit->IsFocusM());
}

TEST_F(KelUIManagerTest, PopupOpensAtTheMouseInsideTheDesktop)
{
    KelWnd2DBaseCL popup("menu", nullptr, 0);
    popup.SetSizeM(50, 40);
    struct Case
    {
        int mouseX, mouseY;
        int x, y;
    };
    const Case cases[] = {
        {30, 20, 30, 20},   {150, 110, 150, 110}, // touches both edges exactly
        {190, 20, 150, 20}, {10, 140, 10, 110},   {500, 500, 150, 110},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.mouseX) + "," + std::to_string(c.mouseY));
        Post(WM_MOUSEMOVE, c.mouseX, c.mouseY);
        m_ui.SetPopupM(&popup, true);
        EXPECT_EQ(m_ui.GetPopupM(), &popup);
        EXPECT_EQ(popup.GetPosM(), std::make_pair(c.x, c.y));
    }
    // Without the place flag the popup stays where its owner put it.
    popup.SetPosM(3, 4);
    m_ui.SetPopupM(&popup, false);
    EXPECT_EQ(popup.GetPosM(), std::make_pair(3, 4));
    m_ui.SetPopupM(nullptr, true);
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
}

TEST_F(KelUIManagerTest, MousePositionIsClampedToTheDesktop)
{
    struct Case
    {
        int x, y;
        LONG keptX, keptY;
    };
    const Case cases[] = {
        {-5, -7, 0, 0}, {-32768, 40, 0, 40}, {250, 400, 200, 150}, {200, 150, 200, 150}, {30, 40, 30, 40},
    };
    for (const Case& c : cases)
    {
        Post(WM_MOUSEMOVE, c.x, c.y);
        EXPECT_EQ(m_ui.GetLastMousePos().x, c.keptX) << c.x << "," << c.y;
        EXPECT_EQ(m_ui.GetLastMousePos().y, c.keptY) << c.x << "," << c.y;
    }
    // Only moves set it.
    Post(WM_LBUTTONDOWN, 5, 5);
    Post(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(m_ui.GetLastMousePos().x, 30);
}

TEST_F(KelUIManagerTest, SizeMessageSizesTheDesktopFromTheClientArea)
{
    EXPECT_TRUE(m_ui.PostMessageM(&m_window, WM_SIZE, 0, MAKELPARAM(1, 1)));
    EXPECT_EQ(Desk()->GetSizeM(), std::make_pair(200, 150));
    m_window.Resize(320, 240);
    EXPECT_TRUE(KelUIPostMessage(&m_window, WM_SIZE, 0, MAKELPARAM(320, 240)));
    EXPECT_EQ(Desk()->GetSizeM(), std::make_pair(320, 240));
    // A window that cannot tell its size leaves the desktop alone.
    EXPECT_TRUE(m_ui.PostMessageM(nullptr, WM_SIZE, 0, 0));
    EXPECT_EQ(Desk()->GetSizeM(), std::make_pair(320, 240));
}

TEST_F(KelUIManagerTest, KeysAndCharactersGoToTheFocusWindow)
{
    RecordingWnd child("child", Desk(), &m_events, 0, 0, 200, 150);
    RecordingWnd focus("focus", Desk(), &m_events, 0, 0, 10, 10);

    // Without a focus window nothing consumes them and no window below the desktop sees them.
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_IME_CHAR, WM_IME_COMPOSITION, WM_IME_NOTIFY})
        EXPECT_TRUE(m_ui.PostMessageM(&m_window, message, 'A', 0)) << Hex(message);
    EXPECT_TRUE(m_events.empty());

    m_ui.SetFocusWndM(&focus);
    focus.m_consumeKeys = true;
    EXPECT_FALSE(m_ui.PostMessageM(&m_window, WM_KEYDOWN, 'A', 0));
    EXPECT_FALSE(m_ui.PostMessageM(&m_window, WM_CHAR, 'a', 0));
    focus.m_consumeKeys = false;
    EXPECT_TRUE(m_ui.PostMessageM(&m_window, WM_KEYUP, 'A', 0));
    // With the input-method switch off its messages reach the focus window as they are.
    m_ui.PostMessageM(&m_window, WM_IME_CHAR, 0xB0A1, 0);
    m_ui.PostMessageM(&m_window, WM_IME_COMPOSITION, 0, 0);
    m_ui.PostMessageM(&m_window, WM_IME_NOTIFY, 0, 0);
    EXPECT_EQ(m_events, (EventLog{"focus>0x100", "focus>0x102", "focus>0x101", "focus>0x286", "focus>0x10F",
                                  "focus>0x282"}));
}

TEST_F(KelUIManagerTest, WheelGoesToTheHoverWindowOnly)
{
    RecordingWnd list("list", Desk(), &m_events, 10, 10, 50, 50);
    RecordingWnd other("other", Desk(), &m_events, 100, 10, 50, 50);
    EXPECT_TRUE(Post(WM_MOUSEWHEEL, 20, 20, MAKEWPARAM(0, WHEEL_DELTA)));
    EXPECT_TRUE(m_events.empty());

    Post(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(m_ui.GetHoverWndM(), &list);
    m_events.clear();
    Post(WM_MOUSEWHEEL, 20, 20, MAKEWPARAM(0, WHEEL_DELTA));
    EXPECT_EQ(m_events, EventLog{"list>0x20A"});
}

TEST_F(KelUIManagerTest, DestroyingTheDesktopClearsEverySlot)
{
    RecordingWnd* dialog = new RecordingWnd("dialog", Desk(), &m_events, 10, 10, 50, 50);
    RecordingWnd* edit = new RecordingWnd("edit", dialog, &m_events, 5, 5, 20, 10);
    m_ui.AddModalM(dialog);
    m_ui.SetFocusWndM(edit);
    Post(WM_MOUSEMOVE, 20, 20);
    ASSERT_EQ(m_ui.GetHoverWndM(), edit);

    KelUIDestroyDeskTop();
    EXPECT_EQ(m_ui.GetDeskTopM(), nullptr);
    EXPECT_EQ(m_ui.GetFocusWndM(), nullptr);
    EXPECT_EQ(m_ui.GetHoverWndM(), nullptr);
    EXPECT_EQ(m_ui.GetTopModalM(), nullptr);

    // Without a desktop the frame and the messages do nothing and nothing is consumed.
    m_ui.SetDeskTopSizeM(10, 10);
    KelUIUpdate();
    KelUIRender(nullptr);
    for (UINT message : {WM_SIZE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN, WM_CHAR, WM_MOUSEWHEEL})
        EXPECT_TRUE(Post(message, 300, 300)) << Hex(message);
    EXPECT_EQ(m_ui.GetLastMousePos().x, 300);
}

namespace
{
// A window that fills its rectangle, so that the frame shows what lies above what.
class FillWnd : public KelWnd2DBaseCL
{
public:
    FillWnd(const char* name, KelWndBaseCL* parent, D3DCOLOR color, int x, int y, int w, int h)
        : KelWnd2DBaseCL(name, parent, 0), m_color(color)
    {
        SetPosM(x, y);
        SetSizeM(w, h);
    }
    bool DrawM(KelCanvasCL* canvas) override
    {
        canvas->FillRect(0, 0, m_w, m_h, m_color);
        return true;
    }

private:
    D3DCOLOR m_color;
};

// The manager drawn on a screen after the frame has moved the canvas origin away.
class KelUIManagerFrameTest : public UiFrameTest
{
protected:
    void DrawUi(KelCanvasCL* canvas) override
    {
        canvas->Translate(30, 30);
        UiFrameTest::DrawUi(canvas);
    }
};
} // namespace

TEST_F(KelUIManagerFrameTest, FrameDrawsTheTreeThenThePopupThenTheTooltip)
{
    FillWnd* red = new FillWnd("red", m_ui.GetDeskTopM(), 0xFFFF0000, 4, 4, 20, 10);
    FillWnd* green = new FillWnd("green", m_ui.GetDeskTopM(), 0xFF00FF00, 14, 4, 20, 10);
    FillWnd popup("popup", nullptr, 0xFF0000FF, 30, 4, 20, 30);
    m_ui.SetPopupM(&popup, false);

    Frame();
    // The origin starts at the corner whatever the frame did before.
    EXPECT_EQ(Pixel(6, 6), 0xFF0000u);
    EXPECT_EQ(Pixel(36, 36), 0x646464u);
    // The later sibling lies on top, the popup above the whole tree.
    EXPECT_EQ(Pixel(18, 6), 0x00FF00u);
    EXPECT_EQ(Pixel(32, 6), 0x0000FFu);
    EXPECT_EQ(Pixel(2, 2), 0x646464u);

    // The update runs before the drawing: a raised window is on top in the same frame.
    red->BringToTopM();
    Frame();
    EXPECT_EQ(Pixel(18, 6), 0xFF0000u);

    // The hover window's tooltip lies below it and above the popup.
    green->SetTipM("tooltip text");
    m_ui.SetHoverWndM(green);
    Frame();
    uint32_t shaded = Pixel(31, 15);
    EXPECT_EQ(shaded & 0xFFFF00, 0u);
    EXPECT_LT(shaded & 0xFF, 0xC0u);
    // Hidden under the resting mouse, the window takes its tooltip away with it.
    green->ShowM(false);
    Frame();
    EXPECT_EQ(Pixel(31, 15), 0x0000FFu);
    green->ShowM(true);
    m_ui.SetHoverWndM(nullptr);
    Frame();
    EXPECT_EQ(Pixel(31, 15), 0x0000FFu);
}

namespace
{
// The configuration lies in the test's folder; the system object has no module directory, so
// the stored path is the folder's own path without its leading backslash.
class KelGuiConfigTest : public LogFolderTest
{
protected:
    void SetUp() override
    {
        m_ui.SetGuiConfigM(m_folder.WinPath().substr(1) + "\\Config\\Gui\\guiConfig.xml");
    }

    int LoggedFailures()
    {
        std::string log = ReadLog();
        int count = 0;
        for (size_t at = log.find("KelGetGuiPiece"); at != std::string::npos;
             at = log.find("KelGetGuiPiece", at + 1))
            ++count;
        return count;
    }

    KelSystemCL m_system;
    KelUIManagerCL m_ui;
};

const char kConfig[] =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
    "<gui>\r\n"
    "  <dialog>\r\n"
    "    <barLeft file=\"GuiII\" data=\"对话框_左\"/>\r\n"
    "    <backImage file=\"GuiII\"/>\r\n"
    "    <barLeft file=\"Other\" data=\"second\"/>\r\n"
    "  </dialog>\r\n"
    "  <button file=\"GuiII\" data=\"button_base\"/>\r\n"
    "  <check><status_0 file=\"GuiII\" data=\"check0\"/><status_5 file=\"G\" data=\"check5\"/></check>\r\n"
    "  <dialog><barRight file=\"later\" data=\"later\"/></dialog>\r\n"
    "</gui>\r\n";
} // namespace

TEST_F(KelGuiConfigTest, ReadsPiecesOfControlKinds)
{
    // The file on disk differs in letter case from the stored path, as files copied from
    // Windows do.
    m_folder.Write("config/gui/GUICONFIG.xml", kConfig);
    struct Case
    {
        const char* kind;
        const char* piece;
        bool found;
        const char* file;
        const char* data;
    };
    const Case cases[] = {
        {"dialog", "barLeft", true, "GuiII", "对话框_左"},
        {"dialog", "backImage", true, "GuiII", ""},
        {"button", "", true, "GuiII", "button_base"},
        {"check", "status_0", true, "GuiII", "check0"},
        {"check", "status_5", true, "G", "check5"},
        {"dialog", "", true, "", ""},
        {"dialog", "barRight", false, "", ""},
        {"dialog", "barleft", false, "", ""},
        {"check", "status_1", false, "", ""},
        {"edit", "backImage", false, "", ""},
        {"gui", "", false, "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.kind) + "/" + c.piece);
        KelGuiPiece piece{"stale", "stale"};
        EXPECT_EQ(KelGetGuiPiece(c.kind, c.piece, &piece), c.found);
        EXPECT_EQ(piece.file, c.file);
        EXPECT_EQ(piece.data, c.data);
    }
    EXPECT_FALSE(KelGetGuiPiece("dialog", "barLeft", nullptr));
    EXPECT_EQ(LoggedFailures(), 0);
}

TEST_F(KelGuiConfigTest, FollowsTheStoredPathAndTheFileOnDisk)
{
    m_folder.Write("Config/Gui/guiConfig.xml", "<a><edit><backImage file=\"one\" data=\"1\"/></edit></a>");
    m_folder.Write("Config/Gui/other.xml", "<b><edit><backImage file=\"two\" data=\"2\"/></edit></b>");
    KelGuiPiece piece;
    ASSERT_TRUE(KelGetGuiPiece("edit", "backImage", &piece));
    EXPECT_EQ(piece.file, "one");

    std::string first = m_ui.GetGuiConfigM();
    m_ui.SetGuiConfigM(m_folder.WinPath().substr(1) + "\\Config\\Gui\\other.xml");
    ASSERT_TRUE(KelGetGuiPiece("edit", "backImage", &piece));
    EXPECT_EQ(piece.file, "two");

    // A file replaced under the same path is read again.
    m_folder.Write("Config/Gui/other.xml", "<b><edit><backImage file=\"three!\" data=\"3\"/></edit></b>");
    ASSERT_TRUE(KelGetGuiPiece("edit", "backImage", &piece));
    EXPECT_EQ(piece.file, "three!");

    m_ui.SetGuiConfigM(first);
    ASSERT_TRUE(KelGetGuiPiece("edit", "backImage", &piece));
    EXPECT_EQ(piece.file, "one");
}

TEST_F(KelGuiConfigTest, UnreadableFilesFailAndAreLoggedOnce)
{
    const char* contents[] = {
        "<gui><dialog><barLeft file=\"a\" data=\"b\"/></gui>",
        "",
        "just text",
        "<gui><dialog file=\"unterminated></dialog></gui>",
    };
    int expected = 0;
    for (const char* content : contents)
    {
        SCOPED_TRACE(content);
        m_folder.Write("Config/Gui/guiConfig.xml", content);
        KelGuiPiece piece{"stale", "stale"};
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_FALSE(KelGetGuiPiece("dialog", "barLeft", &piece));
            EXPECT_EQ(piece.file, "");
            EXPECT_EQ(piece.data, "");
        }
        EXPECT_EQ(LoggedFailures(), ++expected);
    }

    // A missing file, and a stored path naming a folder.
    m_ui.SetGuiConfigM(m_folder.WinPath().substr(1) + "\\Config\\Gui\\missing.xml");
    KelGuiPiece piece;
    EXPECT_FALSE(KelGetGuiPiece("dialog", "barLeft", &piece));
    EXPECT_FALSE(KelGetGuiPiece("dialog", "barLeft", &piece));
    EXPECT_EQ(LoggedFailures(), ++expected);
    m_ui.SetGuiConfigM(m_folder.WinPath().substr(1) + "\\Config");
    EXPECT_FALSE(KelGetGuiPiece("dialog", "", &piece));
    EXPECT_EQ(LoggedFailures(), ++expected);

    // Once it is mended the file is read.
    m_folder.Write("Config/Gui/guiConfig.xml", kConfig);
    m_ui.SetGuiConfigM(m_folder.WinPath().substr(1) + "\\Config\\Gui\\guiConfig.xml");
    EXPECT_TRUE(KelGetGuiPiece("dialog", "barLeft", &piece));
}

TEST_F(KelGuiConfigTest, DeeplyNestedFileDoesNotExhaustTheStack)
{
    std::string deep = "<gui><dialog><barLeft file=\"a\" data=\"b\"/></dialog>";
    for (int i = 0; i < 3000; ++i)
        deep += "<x>";
    for (int i = 0; i < 3000; ++i)
        deep += "</x>";
    deep += "</gui>";
    m_folder.Write("Config/Gui/guiConfig.xml", deep);
    KelGuiPiece piece;
    EXPECT_TRUE(KelGetGuiPiece("dialog", "barLeft", &piece));
    EXPECT_EQ(piece.data, "b");
}
