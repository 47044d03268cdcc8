#include "KelWnd2DBaseCL.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelImageCL.h"
#include "KelUIManagerCL.h"
#include "UiFrameTestSupport.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

namespace
{
std::string Text(POINT point)
{
    return std::to_string(point.x) + "," + std::to_string(point.y);
}

// A window that fills its rectangle with its fill colour (and writes its text, if any), and
// tells what it was asked.
class Probe2D : public KelWnd2DBaseCL
{
public:
    Probe2D(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style = 0)
        : KelWnd2DBaseCL(name, parent, style)
    {
        SetPosM(x, y);
        SetSizeM(w, h);
    }
    ~Probe2D() override
    {
        if (deleted != nullptr)
            *deleted = true;
    }

    bool DrawM(KelCanvasCL* canvas) override
    {
        ++draws;
        float x = 0;
        float y = 0;
        canvas->GetOrigin(&x, &y);
        drawnAt.push_back(m_name + "@" + std::to_string(static_cast<int>(x)) + "," +
                          std::to_string(static_cast<int>(y)) + " " + canvas->GetFontName());
        canvas->FillRect(0, 0, m_w, m_h, m_fillColor);
        if (!text.empty())
        {
            canvas->SetTextColor(0xFFFFFFFF);
            canvas->DrawText(text.c_str(), 2, 2, nullptr, false, 0);
        }
        return true;
    }
    bool CanDragM(POINT) override { return canDrag; }
    bool ChangeWindowSizeM(POINT point, POINT press) override
    {
        resizes.push_back(Text(point) + " " + Text(press));
        return false;
    }

    int draws = 0;
    std::vector<std::string> drawnAt;
    bool canDrag = true;
    std::vector<std::string> resizes;
    std::string text;
    bool* deleted = nullptr;
};

// A canvas without a device that writes down what it is asked to draw.
class RecordingCanvasCL : public KelCanvasCL
{
public:
    RecordingCanvasCL() : KelCanvasCL(nullptr) {}

    void FillRect(const KelRect& rect, D3DCOLOR color) override
    {
        FillRect(rect.left, rect.top, rect.right, rect.bottom, color);
    }
    void FillRect(int left, int top, int right, int bottom, D3DCOLOR color) override
    {
        char entry[96];
        std::snprintf(entry, sizeof(entry), "fill %d,%d,%d,%d %08X", left, top, right, bottom, color);
        events.push_back(entry);
    }
    void SetFont(const char* name) override
    {
        font = name;
        events.push_back("font " + font);
    }
    std::string GetFontName() override { return font; }
    void SetTextColor(D3DCOLOR color) override
    {
        char entry[32];
        std::snprintf(entry, sizeof(entry), "colour %08X", color);
        events.push_back(entry);
    }
    void DrawText(const char* text, int x, int y, const KelRect* clip, bool centre, int maxChars) override
    {
        events.push_back("text " + std::string(text) + " " + std::to_string(x) + "," + std::to_string(y) +
                         (clip != nullptr ? " clip" : "") + (centre ? " centre" : "") +
                         (maxChars > 0 ? " limit" : ""));
    }
    void FlushText() override { events.push_back("flush text"); }
    int GetFontHeight() override { return 12; }
    int GetTextWidth(const char* text) override { return 6 * static_cast<int>(std::strlen(text)); }

    std::string font = "system";
    std::vector<std::string> events;
};

class KelWnd2DBaseTest : public LogFolderTest
{
protected:
    void SetUp() override { m_ui.SetDeskTopSizeM(800, 600); }

    KelWnd2DBaseCL* Desktop() { return m_ui.GetDeskTopM(); }

    bool Post(UINT message, int x, int y, WPARAM keys = 0)
    {
        return m_ui.PostMessageM(nullptr, message, keys, MAKELPARAM(x, y));
    }
    bool Click(int x, int y)
    {
        Post(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        return Post(WM_LBUTTONUP, x, y);
    }

    // Every message of the window, as "name:code:param1:param2:param3".
    void Record(KelWndBaseCL* window)
    {
        const std::string name = window->GetNameM();
        for (int code = KWM_LBUTTONDOWN; code <= KWM_FOCUSCHANGED; ++code)
            window->SetMsgFunM(code,
                               [this, name, code](KelWndMsg m)
                               {
                                   m_seen.push_back(
                                       name + ":" + std::to_string(code) + ":" + std::to_string(m.param1) +
                                       ":" + std::to_string(m.param2) + ":" + std::to_string(m.param3));
                               });
    }
    // The codes seen so far, in order, those of one window only.
    std::vector<int> Codes(const std::string& name)
    {
        std::vector<int> codes;
        for (const std::string& entry : m_seen)
            if (entry.compare(0, name.size() + 1, name + ":") == 0)
                codes.push_back(std::stoi(entry.substr(name.size() + 1, 4)));
        return codes;
    }
    bool Saw(const std::string& entry)
    {
        for (const std::string& seen : m_seen)
            if (seen == entry)
                return true;
        return false;
    }

    TestClockCL m_clock{1000};
    std::vector<std::string> m_seen;
    KelUIManagerCL m_ui;
};
} // namespace

TEST_F(KelWnd2DBaseTest, ConstructionSetsTheDefaults)
{
    auto* w = new KelWnd2DBaseCL("w", Desktop(), KWS_NOTITLE);
    EXPECT_EQ(w->GetFontNameM(), "system");
    EXPECT_EQ(w->GetStyleM(), KWS_NOTITLE | KWS_SELFFONT);
    EXPECT_EQ(w->GetSizeM(), std::make_pair(0, 0));
    EXPECT_EQ(Text(w->GetLeftPressPoint()), "4095,4095");
    EXPECT_EQ(w->GetFillColor(), 0xFFFFFFFFu);
    EXPECT_TRUE(w->IsMoveEndM());
    EXPECT_FALSE(w->IsTabStopM());

    // A duplicate keeps the name it was asked for as its tab name.
    auto* twin = new KelWnd2DBaseCL("w", Desktop(), 0);
    EXPECT_NE(twin->GetNameM(), "w");
    EXPECT_EQ(twin->GetTabName(), "w");
}

TEST_F(KelWnd2DBaseTest, PositionsAreRelativeToTheParent)
{
    auto* p = new Probe2D("p", Desktop(), 100, 50, 200, 100);
    auto* c = new Probe2D("c", p, 10, 20, 30, 40);

    EXPECT_EQ(Text(c->GetPosInScreenM(1, 2)), "111,72");
    EXPECT_EQ(Text(c->ChangeScreenToClientM(115, 75)), "5,5");
    EXPECT_EQ(c->GetScreenRectM(), KelRect(110, 70, 140, 110));
    EXPECT_EQ(c->GetClientRectM(), KelRect(0, 0, 30, 40));

    struct
    {
        int x;
        int y;
        bool inside;
    } const points[] = {{0, 0, true}, {30, 40, true}, {31, 40, false}, {30, 41, false}, {-1, 5, false}};
    for (const auto& row : points)
        EXPECT_EQ(c->PtInWindowM(row.x, row.y), row.inside) << row.x << "," << row.y;
}

TEST_F(KelWnd2DBaseTest, ClickSendsDownClickAndUpAndTakesTheFocus)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
    Record(w);

    EXPECT_FALSE(Post(WM_LBUTTONDOWN, 110, 120, MK_LBUTTON));
    EXPECT_EQ(m_seen, (std::vector<std::string>{"w:1011:1:10:20", "w:1001:1:10:20"}));
    EXPECT_EQ(m_ui.GetCaptureWndM(), w);
    EXPECT_EQ(Text(w->GetLeftPressPoint()), "10,20");
    EXPECT_TRUE(w->IsMouseInM());

    m_seen.clear();
    EXPECT_FALSE(Post(WM_LBUTTONUP, 112, 121));
    EXPECT_EQ(m_seen, (std::vector<std::string>{"w:1016:1:0:0", "w:1003:0:12:21", "w:1002:0:12:21"}));
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);
    EXPECT_EQ(m_ui.GetFocusWndM(), w);
    EXPECT_EQ(Text(w->GetLeftPressPoint()), "4095,4095");

    // Nothing under the mouse but the desktop: the message is not consumed, and the window
    // hears that the mouse left and the focus went.
    m_seen.clear();
    EXPECT_TRUE(Click(400, 400));
    EXPECT_EQ(Codes("w"), (std::vector<int>{KWM_MOUSEOUT, KWM_FOCUSCHANGED}));
    EXPECT_FALSE(w->IsMouseInM());

    m_seen.clear();
    EXPECT_FALSE(Post(WM_LBUTTONDBLCLK, 110, 110, MK_LBUTTON));
    EXPECT_EQ(Codes("w"), (std::vector<int>{KWM_MOUSEIN, KWM_LBUTTONDBLCLK}));
}

TEST_F(KelWnd2DBaseTest, ClickEdgesAreInclusive)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
    Record(w);
    struct
    {
        int dx;
        int dy;
        bool click;
    } const releases[] = {{50, 40, true}, {0, 0, true}, {51, 40, false}, {50, 41, false}, {-1, 0, false}};
    for (const auto& row : releases)
    {
        Post(WM_LBUTTONDOWN, 110, 110, MK_LBUTTON);
        m_seen.clear();
        // The pressed window has the capture, so the release reaches it wherever it is.
        Post(WM_LBUTTONUP, 100 + row.dx, 100 + row.dy);
        EXPECT_EQ(Saw("w:1003:0:" + std::to_string(row.dx) + ":" + std::to_string(row.dy)), row.click)
            << row.dx << "," << row.dy;
        EXPECT_TRUE(Saw("w:1002:0:" + std::to_string(row.dx) + ":" + std::to_string(row.dy)));
    }
}

TEST_F(KelWnd2DBaseTest, RightClickNeedsLessThanFourPixelsOfMovement)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 50);
    Record(w);
    struct
    {
        int dx;
        int dy;
        bool click;
    } const releases[] = {{0, 0, true},  {3, 3, true},  {-3, -3, true},
                          {4, 0, false}, {0, 4, false}, {0, -4, false}};
    for (const auto& row : releases)
    {
        m_seen.clear();
        Post(WM_RBUTTONDOWN, 120, 120, MK_RBUTTON);
        EXPECT_TRUE(Saw("w:1005:2:20:20"));
        Post(WM_RBUTTONUP, 120 + row.dx, 120 + row.dy);
        EXPECT_EQ(Codes("w").back(), KWM_RBUTTONUP);
        EXPECT_EQ(Saw("w:1007:0:" + std::to_string(20 + row.dx) + ":" + std::to_string(20 + row.dy)),
                  row.click)
            << row.dx << "," << row.dy;
        EXPECT_EQ(Text(w->GetRightPressPoint()), "4095,4095");
    }
    EXPECT_EQ(m_ui.GetFocusWndM(), w);
}

TEST_F(KelWnd2DBaseTest, DraggedWindowFollowsTheMouseAndStopsTenPixelsFromTheEdge)
{
    struct
    {
        const char* name;
        void (KelWnd2DBaseCL::*mode)();
        UINT down;
        UINT up;
        WPARAM keys;
    } const buttons[] = {{"left", &KelWnd2DBaseCL::SetDragLeftM, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
                         {"right", &KelWnd2DBaseCL::SetDragRightM, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON}};
    for (const auto& button : buttons)
    {
        auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
        (w->*button.mode)();
        Post(button.down, 105, 105, button.keys);

        struct
        {
            int x;
            int y;
            const char* position;
        } const moves[] = {
            {300, 200, "295,195"}, {795, 598, "785,585"}, {-50, -50, "5,5"}, {200, 100, "195,95"}};
        for (const auto& move : moves)
        {
            Post(WM_MOUSEMOVE, move.x, move.y, button.keys);
            auto position = w->GetPosM();
            EXPECT_EQ(std::to_string(position.first) + "," + std::to_string(position.second), move.position)
                << button.name << " " << move.x << "," << move.y;
        }
        Post(button.up, 200, 100);
        Post(WM_MOUSEMOVE, 400, 400);
        EXPECT_EQ(w->GetPosM(), std::make_pair(195, 95)) << button.name;
        EXPECT_TRUE(w->resizes.empty()) << button.name;
        Desktop()->DeleteChildM("w");
    }
}

TEST_F(KelWnd2DBaseTest, PressWithoutADragResizesInstead)
{
    struct
    {
        int mode;
        bool canDrag;
    } const cases[] = {{0, true}, {1, false}, {2, true}};
    for (const auto& row : cases)
    {
        auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
        if (row.mode == 1)
            w->SetDragLeftM();
        if (row.mode == 2)
            w->SetDragRightM();
        w->canDrag = row.canDrag;
        Post(WM_LBUTTONDOWN, 105, 106, MK_LBUTTON);
        Post(WM_MOUSEMOVE, 160, 130, MK_LBUTTON);
        EXPECT_EQ(w->GetPosM(), std::make_pair(100, 100)) << row.mode;
        EXPECT_EQ(w->resizes, (std::vector<std::string>{"60,30 5,6"})) << row.mode;
        Post(WM_LBUTTONUP, 160, 130);
        Desktop()->DeleteChildM("w");
    }
}

TEST_F(KelWnd2DBaseTest, MouseInAndOutFollowTheWindowUnderTheMouse)
{
    auto* p = new Probe2D("p", Desktop(), 100, 100, 200, 200);
    auto* c = new Probe2D("c", p, 10, 10, 50, 50);
    auto* s = new Probe2D("s", Desktop(), 400, 100, 50, 50);
    for (KelWndBaseCL* window :
         {static_cast<KelWndBaseCL*>(p), static_cast<KelWndBaseCL*>(c), static_cast<KelWndBaseCL*>(s)})
    {
        const std::string name = window->GetNameM();
        window->SetMsgFunM(KWM_MOUSEIN, [this, name](KelWndMsg) { m_seen.push_back(name + " in"); });
        window->SetMsgFunM(KWM_MOUSEOUT,
                           [this, name, window](KelWndMsg m) {
                               m_seen.push_back(name + (m.sender == window ? " out" : " out from elsewhere"));
                           });
    }

    struct
    {
        int x;
        int y;
        std::vector<std::string> seen;
        KelWndBaseCL* hover;
    } const moves[] = {
        {105, 105, {"p in"}, p},
        {106, 105, {}, p},
        // Into a child: its parent is not left.
        {115, 115, {"c in"}, c},
        // Back to the parent: it was never left, so it is not entered again.
        {105, 105, {"c out"}, p},
        {410, 110, {"s in", "p out"}, s},
        {600, 500, {"s out"}, Desktop()},
    };
    for (const auto& move : moves)
    {
        m_seen.clear();
        Post(WM_MOUSEMOVE, move.x, move.y);
        EXPECT_EQ(m_seen, move.seen) << move.x << "," << move.y;
        EXPECT_EQ(m_ui.GetHoverWndM(), move.hover) << move.x << "," << move.y;
    }
}

TEST_F(KelWnd2DBaseTest, DisabledWindowHearsEnterAndLeaveButNoButtons)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
    Record(w);
    w->EnableM(false);
    m_seen.clear();

    Post(WM_MOUSEMOVE, 110, 110);
    Click(110, 110);
    Post(WM_LBUTTONDBLCLK, 110, 110);
    Post(WM_RBUTTONDOWN, 110, 110);
    Post(WM_RBUTTONUP, 110, 110);
    Post(WM_RBUTTONDBLCLK, 110, 110);
    Post(WM_MOUSEMOVE, 500, 500);
    // The click still takes the focus; that is not a button message.
    EXPECT_EQ(Codes("w"), (std::vector<int>{KWM_MOUSEIN, KWM_MOUSEMOVE, KWM_FOCUSCHANGED, KWM_MOUSEOUT}));
}

TEST_F(KelWnd2DBaseTest, TheTopMostShownChildIsHit)
{
    auto* a = new Probe2D("a", Desktop(), 100, 100, 50, 50);
    auto* b = new Probe2D("b", Desktop(), 100, 100, 50, 50);
    Record(a);
    Record(b);
    struct
    {
        const char* step;
        void (*prepare)(Probe2D* a, Probe2D* b);
        const char* hit;
    } const steps[] = {
        {"added last", [](Probe2D*, Probe2D*) {}, "b"},
        {"top hidden", [](Probe2D*, Probe2D* b) { b->ShowM(false); }, "a"},
        {"top invisible", [](Probe2D*, Probe2D* b) { b->ShowM(true), b->SetVisibleM(false); }, "a"},
        {"raised", [](Probe2D* a, Probe2D* b) { b->SetVisibleM(true), a->BringToTopM(); }, "a"},
    };
    for (const auto& step : steps)
    {
        step.prepare(a, b);
        m_ui.UpDatedataM();
        m_seen.clear();
        Click(110, 110);
        const std::string other = step.hit[0] == 'a' ? "b" : "a";
        EXPECT_EQ(Codes(step.hit).back(), KWM_LBUTTONUP) << step.step;
        for (int code : Codes(other))
            EXPECT_TRUE(code > KWM_RBUTTONDBLCLK) << step.step << " " << code;
    }
}

TEST_F(KelWnd2DBaseTest, BufferedWindowsKeepTheirChildrenFromBeingHitOutside)
{
    struct
    {
        DWORD style;
        bool childHit;
    } const cases[] = {{0, true}, {KWS_BKBUFFER, false}};
    for (const auto& row : cases)
    {
        auto* p = new Probe2D("p", Desktop(), 100, 100, 50, 50, row.style);
        auto* c = new Probe2D("c", p, 40, 40, 30, 30);
        Record(c);
        m_seen.clear();
        // Inside the child, outside its parent.
        EXPECT_EQ(Click(160, 160), !row.childHit);
        EXPECT_EQ(!Codes("c").empty(), row.childHit) << row.style;
        // Inside both, the child is hit either way.
        m_seen.clear();
        EXPECT_FALSE(Click(145, 145));
        EXPECT_FALSE(Codes("c").empty()) << row.style;
        Desktop()->DeleteChildM("p");
    }
}

TEST_F(KelWnd2DBaseTest, WindowClosedByItsClickHandlerGoesAtTheNextUpdate)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
    bool deleted = false;
    w->deleted = &deleted;
    std::vector<std::string> calls;
    const std::string tag(40, 'c');
    w->SetMsgFunM(KWM_LCLICK,
                  [w, &calls, tag](KelWndMsg)
                  {
                      w->CloseM();
                      calls.push_back(tag);
                  });
    w->SetMsgFunM(KWM_LBUTTONUP, [&calls](KelWndMsg) { calls.push_back("up"); });

    EXPECT_FALSE(Click(110, 110));
    EXPECT_EQ(calls, (std::vector<std::string>{tag}));
    EXPECT_FALSE(deleted);
    EXPECT_EQ(Desktop()->GetChildren().size(), 1u);

    m_ui.UpDatedataM();
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(Desktop()->GetChildren().empty());
    EXPECT_EQ(m_ui.GetFocusWndM(), nullptr);
    EXPECT_EQ(m_ui.GetHoverWndM(), nullptr);
    EXPECT_TRUE(Click(110, 110));
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(KelWnd2DBaseTest, TabMovesTheFocusToTheNextTabStopAmongTheSiblings)
{
    auto* p = new Probe2D("p", Desktop(), 0, 0, 300, 300);
    auto* a = new Probe2D("a", p, 0, 0, 10, 10);
    auto* b = new Probe2D("b", p, 20, 0, 10, 10);
    auto* c = new Probe2D("c", p, 40, 0, 10, 10);
    new Probe2D("d", p, 60, 0, 10, 10);
    a->SetTabStopM(true);
    c->SetTabStopM(true);
    auto tab = [this] { return m_ui.PostMessageM(nullptr, WM_KEYDOWN, VK_TAB, 0); };

    a->SetFocusM(true);
    EXPECT_TRUE(tab());
    EXPECT_EQ(m_ui.GetFocusWndM(), c);
    // Past the last sibling it wraps round.
    tab();
    EXPECT_EQ(m_ui.GetFocusWndM(), a);

    // No other tab stop: the focus comes back to the window itself.
    c->SetTabStopM(false);
    Record(a);
    tab();
    EXPECT_EQ(m_ui.GetFocusWndM(), a);
    EXPECT_TRUE(a->IsFocusM());
    EXPECT_TRUE(m_seen.empty());

    // A window that is no tab stop ignores Tab, as every other key.
    b->SetFocusM(true);
    EXPECT_TRUE(tab());
    EXPECT_TRUE(m_ui.PostMessageM(nullptr, WM_KEYDOWN, 'A', 0));
    EXPECT_EQ(m_ui.GetFocusWndM(), b);
}

TEST_F(KelWnd2DBaseTest, WheelCountsOnlyInsideTheWindow)
{
    auto* w = new Probe2D("w", Desktop(), 100, 100, 50, 40);
    Record(w);
    Post(WM_MOUSEMOVE, 110, 110);
    const WPARAM wheel = MAKEWPARAM(0, WHEEL_DELTA);
    m_seen.clear();

    EXPECT_FALSE(m_ui.PostMessageM(nullptr, WM_MOUSEWHEEL, wheel, MAKELPARAM(150, 140)));
    EXPECT_EQ(m_seen, (std::vector<std::string>{"w:1010:" + std::to_string(wheel) + ":50:40"}));

    // The manager sends the wheel to the hover window even when the mouse has left it since.
    m_seen.clear();
    EXPECT_TRUE(m_ui.PostMessageM(nullptr, WM_MOUSEWHEEL, wheel, MAKELPARAM(151, 140)));
    EXPECT_TRUE(m_seen.empty());
}

TEST_F(KelWnd2DBaseTest, ShowMoveSlidesInAndSlowsDown)
{
    auto* w = new Probe2D("w", Desktop(), 0, 0, 10, 10);
    w->ShowM(false);
    w->SetShowMoveM(0, 0, 100, 200);
    w->SetMoveTimeM(1000);
    w->StartShowMoveM();
    EXPECT_TRUE(w->IsShowM());
    EXPECT_FALSE(w->IsMoveEndM());

    struct
    {
        DWORD at;
        int x;
        int y;
        bool ended;
    } const steps[] = {
        {1000, 0, 0, false}, {1500, 70, 141, false}, {1900, 98, 197, false}, {2001, 100, 200, true}};
    for (const auto& step : steps)
    {
        m_clock.now = step.at;
        m_ui.UpDatedataM();
        EXPECT_NEAR(w->GetPosM().first, step.x, 1) << step.at;
        EXPECT_NEAR(w->GetPosM().second, step.y, 1) << step.at;
        EXPECT_EQ(w->IsMoveEndM(), step.ended) << step.at;
    }
}

TEST_F(KelWnd2DBaseTest, HideMovesShakeSlideAwayAndHide)
{
    struct
    {
        const char* name;
        void (KelWnd2DBaseCL::*start)();
        bool closes;
    } const modes[] = {{"close", &KelWnd2DBaseCL::StartHideCloseM, true},
                       {"hide", &KelWnd2DBaseCL::StartHideMoveM, false}};
    for (const auto& mode : modes)
    {
        m_clock.now = 1000;
        auto* w = new Probe2D("w", Desktop(), 0, 0, 10, 10);
        w->SetShowMoveM(0, 0, 10, 20);
        w->SetHideMoveM(100, 100, 100, 500);
        w->SetMoveTimeM(1000);
        w->SetShakeRatioM(0.5f);
        w->SetShakeRangeM(0.25f);
        (w->*mode.start)();

        // The shake lasts 500 ms: a swing of a quarter of the way towards the destination and as
        // far back past the start; then the slide over 1000 ms.
        struct
        {
            DWORD at;
            int y;
        } const steps[] = {{1125, 200}, {1250, 100}, {1375, 0}, {1750, 253}, {2000, 382}, {2499, 500}};
        for (const auto& step : steps)
        {
            m_clock.now = step.at;
            m_ui.UpDatedataM();
            EXPECT_NEAR(w->GetPosM().second, step.y, 1) << mode.name << " " << step.at;
            EXPECT_EQ(w->GetPosM().first, 100) << mode.name << " " << step.at;
            EXPECT_TRUE(w->IsShowM()) << mode.name;
        }
        m_clock.now = 2501;
        m_ui.UpDatedataM();
        EXPECT_TRUE(w->IsMoveEndM()) << mode.name;
        EXPECT_FALSE(w->IsShowM()) << mode.name;
        EXPECT_EQ(w->GetPosM(), std::make_pair(10, 20)) << mode.name;
        EXPECT_EQ(w->IsAliveM(), !mode.closes) << mode.name;
        m_ui.UpDatedataM();
        EXPECT_EQ(Desktop()->GetChildren().empty(), mode.closes) << mode.name;
        Desktop()->DeleteChildM("w");
    }
}

TEST_F(KelWnd2DBaseTest, AnimationWithoutDurationEndsAtOnce)
{
    auto* w = new Probe2D("w", Desktop(), 0, 0, 10, 10);
    w->SetShowMoveM(0, 0, 30, 40);
    w->SetHideMoveM(30, 40, 0, 0);
    w->SetMoveTimeM(0);
    w->StartShowMoveM();
    m_ui.UpDatedataM();
    EXPECT_TRUE(w->IsMoveEndM());
    EXPECT_EQ(w->GetPosM(), std::make_pair(30, 40));

    w->StartHideMoveM();
    m_ui.UpDatedataM();
    EXPECT_TRUE(w->IsMoveEndM());
    EXPECT_FALSE(w->IsShowM());
}

TEST_F(KelWnd2DBaseTest, TooltipGoesBelowTheWindowOrAboveNearTheBottom)
{
    auto* p = new Probe2D("p", Desktop(), 0, 500, 100, 100);
    auto* w = new Probe2D("w", p, 20, 0, 30, 12);
    w->SetTipColorM(0xFF00FF00);

    RecordingCanvasCL canvas;
    w->DrawTipM(&canvas);
    EXPECT_TRUE(canvas.events.empty());

    w->SetTipM("hi");
    // Text 12 wide and 12 high; the window's bottom is at screen y + 12.
    struct
    {
        int y;
        int textY;
    } const rows[] = {{36, 552}, {43, 559}, {44, 524}, {60, 540}};
    for (const auto& row : rows)
    {
        w->SetPosM(20, row.y);
        canvas.events.clear();
        w->DrawTipM(&canvas);
        char fill[64];
        std::snprintf(fill, sizeof(fill), "fill 20,%d,40,%d 96000000", row.textY - 4, row.textY + 16);
        EXPECT_EQ(canvas.events,
                  (std::vector<std::string>{fill, "colour FF00FF00",
                                            "text hi 24," + std::to_string(row.textY), "flush text"}))
            << row.y;
    }
}

TEST_F(KelWnd2DBaseTest, RenderTranslatesAndDrawsWithTheWindowsFont)
{
    auto* p = new Probe2D("p", Desktop(), 10, 20, 100, 100);
    auto* c = new Probe2D("c", p, 5, 5, 10, 10);
    auto* d = new Probe2D("d", p, 30, 5, 10, 10);
    p->SetFontNameM("big");
    // An empty name takes the font the parent draws with.
    c->GetFontNameM().clear();
    d->SetFontNameM("system");
    auto* hidden = new Probe2D("hidden", p, 0, 0, 10, 10);
    hidden->ShowM(false);
    Post(WM_MOUSEMOVE, 60, 60);
    p->SetTipM("tip");

    RecordingCanvasCL canvas;
    canvas.Translate(7, 7);
    m_ui.RenderM(&canvas);

    EXPECT_EQ(p->drawnAt, (std::vector<std::string>{"p@10,20 big"}));
    EXPECT_EQ(c->drawnAt, (std::vector<std::string>{"c@15,25 big"}));
    EXPECT_EQ(d->drawnAt, (std::vector<std::string>{"d@40,25 system"}));
    EXPECT_EQ(hidden->draws, 0);
    EXPECT_EQ(c->GetFontNameM(), "big");
    float x = -1;
    float y = -1;
    canvas.GetOrigin(&x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);

    std::vector<std::string> fonts;
    for (const std::string& event : canvas.events)
        if (event.rfind("font ", 0) == 0)
            fonts.push_back(event);
    EXPECT_EQ(fonts, (std::vector<std::string>{"font big", "font system", "font big", "font system"}));
    // The hover window's tooltip comes over the tree: no window draws after it (only the caret).
    const auto tip = std::find(canvas.events.begin(), canvas.events.end(), "text tip 14,124");
    ASSERT_NE(tip, canvas.events.end());
    EXPECT_EQ(std::find_if(tip, canvas.events.end(),
                           [](const std::string& event) { return event.rfind("font ", 0) == 0; }),
              canvas.events.end());
}

namespace
{
// A screen with its device on a 64 x 48 memory window, and the manager drawing on it.
class KelWnd2DDrawTest : public UiFrameTest
{
protected:
    KelWnd2DBaseCL* Desktop() { return m_ui.GetDeskTopM(); }

    // How many pixels of the rectangle differ from the colour.
    int Differing(int left, int top, int right, int bottom, uint32_t colour)
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += Pixel(x, y) != colour ? 1 : 0;
        return count;
    }

    static constexpr uint32_t kGrey = 0x646464;
};
} // namespace

TEST_F(KelWnd2DDrawTest, ChildrenDrawInTheirParentsPlaceAndTheLastOnTop)
{
    auto* p = new Probe2D("p", Desktop(), 4, 4, 30, 20);
    p->SetFillColorM(0xFFFF0000);
    auto* c = new Probe2D("c", p, 10, 10, 6, 6);
    c->SetFillColorM(0xFF00FF00);
    auto* s = new Probe2D("s", Desktop(), 28, 18, 20, 20);
    s->SetFillColorM(0xFF0000FF);

    Frame();
    EXPECT_EQ(Pixel(2, 2), kGrey);
    EXPECT_EQ(Pixel(6, 6), 0xFF0000u);
    EXPECT_EQ(Pixel(16, 16), 0x00FF00u);
    EXPECT_EQ(Pixel(30, 21), 0x0000FFu);

    p->BringToTopM();
    Frame();
    EXPECT_EQ(Pixel(30, 21), 0xFF0000u);
    EXPECT_EQ(Pixel(40, 30), 0x0000FFu);

    p->ShowM(false);
    Frame();
    EXPECT_EQ(Pixel(6, 6), kGrey);
    EXPECT_EQ(Pixel(16, 16), kGrey);
}

TEST_F(KelWnd2DDrawTest, BufferedWindowIsDrawnOnceIntoItsImageAndCutToItsSize)
{
    auto* b = new Probe2D("b", Desktop(), 8, 8, 20, 12, KWS_BKBUFFER);
    b->SetFillColorM(0xFFFF0000);
    auto* c = new Probe2D("c", b, 4, 4, 4, 4);
    c->SetFillColorM(0xFF00FF00);
    auto* o = new Probe2D("o", b, 16, 8, 10, 10);
    o->SetFillColorM(0xFF0000FF);

    Frame();
    ASSERT_NE(b->GetBkBuffer(), nullptr);
    EXPECT_EQ(m_images.Find("bkBuffer_b_32_16"), b->GetBkBuffer());
    EXPECT_FALSE(b->IsBkDirty());
    EXPECT_EQ(Pixel(9, 9), 0xFF0000u);
    EXPECT_EQ(Pixel(13, 13), 0x00FF00u);
    EXPECT_EQ(Pixel(26, 18), 0x0000FFu);
    // The part of the child outside the window is cut off by the image.
    EXPECT_EQ(Pixel(30, 22), kGrey);
    EXPECT_EQ(Pixel(26, 22), kGrey);

    // Later frames show the image without drawing the windows again.
    const int draws = b->draws;
    const int childDraws = c->draws;
    Frame();
    Frame();
    EXPECT_EQ(b->draws, draws);
    EXPECT_EQ(c->draws, childDraws);
    EXPECT_EQ(Pixel(13, 13), 0x00FF00u);

    // A change inside reaches the picture through the child's Invalidate.
    c->SetFillColorM(0xFFFFFF00);
    c->Invalidate();
    EXPECT_TRUE(b->IsBkDirty());
    Frame();
    EXPECT_EQ(c->draws, childDraws + 1);
    EXPECT_EQ(Pixel(13, 13), 0xFFFF00u);
}

TEST_F(KelWnd2DDrawTest, BackgroundImageIsMadeAgainOnlyForANewSize)
{
    auto* b = new Probe2D("b", Desktop(), 8, 8, 20, 12, KWS_BKBUFFER);
    b->SetFillColorM(0xFFFF0000);
    Frame();
    KelImageCL* image = b->GetBkBuffer();
    ASSERT_NE(image, nullptr);
    int draws = b->draws;

    b->SetSizeM(20, 12);
    EXPECT_TRUE(b->IsBkDirty());
    Frame();
    EXPECT_EQ(b->GetBkBuffer(), image);
    EXPECT_EQ(b->draws, ++draws);

    // An image re-created after a device loss is drawn again though nothing changed.
    image->SetBeRecreated(true);
    Frame();
    EXPECT_EQ(b->draws, ++draws);
    Frame();
    EXPECT_EQ(b->draws, draws);

    b->SetSizeM(40, 12);
    Frame();
    ASSERT_NE(b->GetBkBuffer(), nullptr);
    EXPECT_EQ(b->GetBkBuffer(), m_images.Find("bkBuffer_b_64_16"));
    EXPECT_LT(image->GetReferenceCount(), 0);
    EXPECT_EQ(Pixel(45, 10), 0xFF0000u);
}

TEST_F(KelWnd2DDrawTest, TextOfABufferedWindowEndsUpInItsImage)
{
    auto* plain = new Probe2D("plain", Desktop(), 0, 0, 30, 20);
    plain->SetFillColorM(0xFF000080);
    plain->text = "W";
    auto* buffered = new Probe2D("buffered", Desktop(), 32, 0, 30, 20, KWS_BKBUFFER);
    buffered->SetFillColorM(0xFF000080);
    buffered->text = "W";

    Frame();
    // Anti-aliased edges blend differently through the image, so only the presence of the text
    // is compared.
    EXPECT_GT(Differing(0, 0, 30, 20, 0x000080), 0);
    EXPECT_GT(Differing(32, 0, 62, 20, 0x000080), 0);
}
