#include "KelWndBaseCL.h"

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DBaseCL.h"

namespace
{
// A window that writes what happens to it into a shared event list.
class ProbeWnd : public KelWndBaseCL
{
public:
    ProbeWnd(const char* name, KelWndBaseCL* parent, std::vector<std::string>* events, DWORD style = 0)
        : KelWndBaseCL(name, parent, style), m_events(events)
    {
    }
    ~ProbeWnd() override { m_events->push_back("delete:" + m_name); }

    bool DrawM(KelCanvasCL*) override
    {
        m_events->push_back("draw:" + m_name);
        return drawChildren;
    }
    void DrawPostM(KelCanvasCL*) override { m_events->push_back("post:" + m_name); }
    void UpDatedataM() override
    {
        m_events->push_back("update:" + m_name);
        KelWndBaseCL::UpDatedataM();
    }
    bool OnPosChangeM() override
    {
        m_events->push_back("pos:" + m_name);
        return false;
    }
    bool OnParentSizeM(KelWndBaseCL*) override
    {
        m_events->push_back("size:" + m_name);
        return sizeResult;
    }
    bool CanAddChildM(KelWndBaseCL*) override { return acceptChildren; }
    bool IsCanSendMsgToChildM(const char* name) override { return blocked.count(name) == 0; }
    bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (recordPosts)
        {
            m_events->push_back("msg:" + m_name);
            return passOn;
        }
        return KelWndBaseCL::PostMessageM(window, message, wparam, lparam);
    }
    void Invalidate() override { ++invalidations; }

    bool drawChildren = true;
    bool sizeResult = true;
    bool acceptChildren = true;
    bool recordPosts = false;
    bool passOn = true;
    std::set<std::string> blocked;
    int invalidations = 0;

private:
    std::vector<std::string>* m_events;
};

class KelWndBaseTest : public LogFolderTest
{
protected:
    // Collects every message of the window as "code:param1".
    void Record(KelWndBaseCL* window, std::vector<std::string>* out)
    {
        for (int code = KWM_LBUTTONDOWN; code <= KWM_FOCUSCHANGED; ++code)
            window->SetMsgFunM(
                code, [out, code](KelWndMsg message)
                { out->push_back(std::to_string(code) + ":" + std::to_string(message.param1)); });
    }

    size_t Count(const std::string& event) const
    {
        size_t count = 0;
        for (const std::string& entry : m_events)
            count += entry == event ? 1 : 0;
        return count;
    }

    std::vector<std::string> Names(KelWndBaseCL* window)
    {
        std::vector<std::string> names;
        for (KelWndBaseCL* child : window->GetChildren())
            names.push_back(child->GetNameM());
        return names;
    }

    TestClockCL m_clock{1000};
    // Before the manager: the windows it deletes at the end still write here.
    std::vector<std::string> m_events;
    KelUIManagerCL m_ui;
};
} // namespace

TEST_F(KelWndBaseTest, ChildrenAreFoundByNameAndByPath)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* a = new ProbeWnd("a", &root, &m_events);
    auto* b = new ProbeWnd("b", &root, &m_events);
    auto* c = new ProbeWnd("c", &root, &m_events);
    auto* a1 = new ProbeWnd("a1", a, &m_events);
    auto* deep = new ProbeWnd("deep", a1, &m_events);

    EXPECT_EQ(Names(&root), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(a1->GetParentM(), a);
    EXPECT_EQ(root.FindChildM("b"), b);
    EXPECT_EQ(root.FindChildM("a1"), nullptr);
    EXPECT_EQ(root.FindWndM("c"), c);
    EXPECT_EQ(root.FindWndM("a\\a1\\deep"), deep);
    EXPECT_EQ(root.FindWndM("a\\b\\deep"), nullptr);
    EXPECT_EQ(root.FindWndM("a1"), nullptr);

    struct
    {
        const char* name;
        KelWndBaseCL* next;
    } const nextCases[] = {{"a", b}, {"b", c}, {"c", a}, {"missing", a}};
    for (const auto& row : nextCases)
        EXPECT_EQ(root.FindNextChildM(row.name), row.next) << row.name;
    EXPECT_EQ(deep->FindNextChildM("a"), nullptr);

    EXPECT_TRUE(root.HasWndM("deep"));
    EXPECT_TRUE(root.HasWndM("root"));
    EXPECT_FALSE(b->HasWndM("deep"));
    EXPECT_TRUE(deep->IsChildOfM("root"));
    EXPECT_TRUE(deep->IsChildOfM("a"));
    EXPECT_FALSE(deep->IsChildOfM("deep"));
    EXPECT_FALSE(root.IsChildOfM("root"));
}

TEST_F(KelWndBaseTest, AddingRefusesEmptyDuplicateAndVetoedChildren)
{
    ProbeWnd root("root", nullptr, &m_events);
    new ProbeWnd("a", &root, &m_events);
    EXPECT_FALSE(root.AddChildM(nullptr));
    {
        ProbeWnd loose("a", nullptr, &m_events);
        EXPECT_FALSE(root.AddChildM(&loose));
        EXPECT_EQ(loose.GetParentM(), nullptr);
    }
    EXPECT_EQ(root.GetChildren().size(), 1u);

    ProbeWnd strict("strict", nullptr, &m_events);
    strict.acceptChildren = false;
    {
        ProbeWnd refused("x", &strict, &m_events);
        EXPECT_TRUE(strict.GetChildren().empty());
        EXPECT_EQ(refused.GetParentM(), nullptr);
    }
    EXPECT_TRUE(strict.GetChildren().empty());
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 0u);
}

TEST_F(KelWndBaseTest, RefusedChildIsClosedAndDeletedByTheManagersNextUpdate)
{
    ProbeWnd strict("strict", nullptr, &m_events);
    strict.acceptChildren = false;
    auto* orphan = new ProbeWnd("orphan", &strict, &m_events);
    EXPECT_EQ(orphan->GetParentM(), nullptr);
    EXPECT_FALSE(orphan->IsAliveM());
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 1u);
    EXPECT_NE(ReadLog().find("窗口 orphan 不能加入 strict"), std::string::npos);

    m_ui.UpDatedataM();
    EXPECT_EQ(Count("delete:orphan"), 1u);
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 0u);

    // Deleted by its creator first: the manager's pass must not delete it a second time.
    auto* early = new ProbeWnd("early", &strict, &m_events);
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 1u);
    early->ReleaseM();
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 0u);
    m_ui.UpDatedataM();
    EXPECT_EQ(Count("delete:early"), 1u);
}

TEST_F(KelWndBaseTest, RemovedChildBelongsToTheCallerAndDeletedChildIsGone)
{
    ProbeWnd root("root", nullptr, &m_events);
    ProbeWnd other("other", nullptr, &m_events);
    new ProbeWnd("a", &root, &m_events);
    KelWndBaseCL* b = new ProbeWnd("b", &root, &m_events);

    EXPECT_TRUE(root.RemoveChildM("b"));
    EXPECT_FALSE(root.RemoveChildM("b"));
    EXPECT_EQ(Names(&root), (std::vector<std::string>{"a"}));
    EXPECT_EQ(b->GetParentM(), nullptr);
    EXPECT_EQ(Count("delete:b"), 0u);

    // Re-parented, then deleted by its caller: the first parent is left alone.
    EXPECT_TRUE(other.AddChildM(b));
    EXPECT_EQ(b->GetParentM(), &other);
    EXPECT_TRUE(other.RemoveChildM("b"));
    b->ReleaseM();
    EXPECT_EQ(Count("delete:b"), 1u);
    EXPECT_EQ(Names(&root), (std::vector<std::string>{"a"}));

    EXPECT_TRUE(root.DeleteChildM("a"));
    EXPECT_EQ(Count("delete:a"), 1u);
    EXPECT_FALSE(root.DeleteChildM("a"));
    EXPECT_TRUE(root.GetChildren().empty());
}

TEST_F(KelWndBaseTest, DuplicateNameIsRenamedClosedAndDeletedAtTheNextUpdate)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* first = new ProbeWnd("dup", &root, &m_events);
    auto* second = new ProbeWnd("dup", &root, &m_events);

    const std::string renamed = second->GetNameM();
    EXPECT_TRUE(std::regex_match(renamed, std::regex("dup_1000_[0-9]+"))) << renamed;
    EXPECT_FALSE(second->IsAliveM());
    EXPECT_TRUE(first->IsAliveM());
    ASSERT_EQ(root.GetChildren().size(), 2u);

    // Still drawn until the parent's update pass removes it.
    root.RenderM(nullptr);
    EXPECT_EQ(Count("draw:" + renamed), 1u);

    root.UpDatedataM();
    EXPECT_EQ(Count("delete:" + renamed), 1u);
    EXPECT_EQ(Names(&root), (std::vector<std::string>{"dup"}));
    EXPECT_EQ(Count("update:dup"), 1u);
}

TEST_F(KelWndBaseTest, ClosedWindowReportsNothingAndTheNextChildIsStillUpdated)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* a = new ProbeWnd("a", &root, &m_events);
    new ProbeWnd("b", &root, &m_events);
    std::vector<std::string> messages;
    Record(a, &messages);

    a->CloseM();
    a->ShowM(false);
    a->NotifyM(KWM_SHOWCHANGED);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(root.GetChildren().size(), 2u);

    root.UpDatedataM();
    EXPECT_EQ(Count("delete:a"), 1u);
    EXPECT_EQ(Count("update:a"), 0u);
    EXPECT_EQ(Count("update:b"), 1u);
    EXPECT_EQ(Names(&root), (std::vector<std::string>{"b"}));
}

TEST_F(KelWndBaseTest, RaiseRequestEndsThePassAndDelaysTheParentsTimers)
{
    ProbeWnd root("root", nullptr, &m_events);
    new ProbeWnd("a", &root, &m_events);
    auto* b = new ProbeWnd("b", &root, &m_events);
    new ProbeWnd("c", &root, &m_events);
    std::vector<int> fired;
    ASSERT_TRUE(root.SetTimerM(KelWndTimer{1, 10, 0, [&](int id) { fired.push_back(id); }}));
    m_clock.now = 1011;

    b->BringToTopM();
    root.UpDatedataM();
    EXPECT_EQ(Names(&root), (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(m_events, (std::vector<std::string>{"update:root", "update:a"}));
    EXPECT_TRUE(fired.empty());
    // The order is part of the picture: the parent is re-drawn.
    EXPECT_EQ(root.invalidations, 1);

    m_events.clear();
    root.UpDatedataM();
    EXPECT_EQ(m_events, (std::vector<std::string>{"update:root", "update:a", "update:c", "update:b"}));
    EXPECT_EQ(fired, (std::vector<int>{1}));
}

TEST_F(KelWndBaseTest, TimersFireStrictlyAfterTheirInterval)
{
    ProbeWnd window("w", nullptr, &m_events);
    std::vector<int> fired;
    auto record = [&](int id) { fired.push_back(id); };
    ASSERT_TRUE(window.SetTimerM(KelWndTimer{7, 100, 0, record}));
    EXPECT_FALSE(window.SetTimerM(KelWndTimer{7, 5, 0, record}));

    // Set at 1000; each firing restarts the interval.
    struct
    {
        DWORD now;
        size_t firedSoFar;
    } const steps[] = {{1099, 0}, {1100, 0}, {1101, 1}, {1201, 1}, {1202, 2}};
    for (const auto& step : steps)
    {
        m_clock.now = step.now;
        window.UpDatedataM();
        EXPECT_EQ(fired.size(), step.firedSoFar) << step.now;
    }
    EXPECT_EQ(fired, (std::vector<int>{7, 7}));

    EXPECT_TRUE(window.KillTimerM(7));
    EXPECT_FALSE(window.KillTimerM(7));
    m_clock.now = 5000;
    window.UpDatedataM();
    EXPECT_EQ(fired.size(), 2u);
}

// A timer set just before the signed millisecond count would overflow, and one set just before
// the clock wraps, fire after their interval: not at once, not never.
TEST_F(KelWndBaseTest, TimersFireOnTimeAcrossTheClockLimits)
{
    struct Case
    {
        DWORD set;
        DWORD notYet;
        DWORD due;
    } const cases[] = {
        {0x7FFFFF00u, 0x7FFFFF01u, 0x80000101u},
        {0x7FFFFF00u, 0x80000100u, 0x80000101u},
        {0xFFFFFF00u, 0x00000050u, 0x00000101u},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.set);
        ProbeWnd window("w", nullptr, &m_events);
        int fired = 0;
        m_clock.now = c.set;
        ASSERT_TRUE(window.SetTimerM(KelWndTimer{1, 0x200, 0, [&](int) { ++fired; }}));
        m_clock.now = c.notYet;
        window.UpDatedataM();
        EXPECT_EQ(fired, 0);
        m_clock.now = c.due;
        window.UpDatedataM();
        EXPECT_EQ(fired, 1);
    }
}

TEST_F(KelWndBaseTest, TimerCallbacksMayKillAndAddTimers)
{
    ProbeWnd window("w", nullptr, &m_events);
    std::vector<int> fired;
    // The first kills itself and the second, and adds a third; the third starts at "now".
    window.SetTimerM(
        KelWndTimer{1, 0, 0,
                    [&](int id)
                    {
                        window.KillTimerM(1);
                        window.KillTimerM(2);
                        window.SetTimerM(KelWndTimer{3, 0, 0, [&](int id3) { fired.push_back(id3); }});
                        fired.push_back(id);
                    }});
    window.SetTimerM(KelWndTimer{2, 0, 0, [&](int id) { fired.push_back(id); }});
    m_clock.now = 1001;
    window.UpDatedataM();
    EXPECT_EQ(fired, (std::vector<int>{1}));
    EXPECT_EQ(window.GetTimerCount(), 1u);
    m_clock.now = 1002;
    window.UpDatedataM();
    EXPECT_EQ(fired, (std::vector<int>{1, 3}));
}

TEST_F(KelWndBaseTest, DisabledWindowDropsOnlyTheMouseCodes)
{
    ProbeWnd window("w", nullptr, &m_events);
    std::vector<std::string> messages;
    Record(&window, &messages);

    window.EnableM(false);
    EXPECT_EQ(messages, (std::vector<std::string>{"1015:0"}));
    EXPECT_FALSE(window.IsEnableM());
    messages.clear();
    for (int code = KWM_LBUTTONDOWN; code <= KWM_FOCUSCHANGED; ++code)
        window.SendMessageM(code, KelWndMsg{&window, code, 0, 0});
    std::vector<std::string> expected;
    for (int code = KWM_MOUSEMOVE; code <= KWM_FOCUSCHANGED; ++code)
        expected.push_back(std::to_string(code) + ":" + std::to_string(code));
    EXPECT_EQ(messages, expected);

    struct
    {
        int code;
        bool mouse;
    } const codes[] = {{1000, false}, {1001, true}, {1008, true}, {1009, false}, {3003, false}};
    for (const auto& row : codes)
        EXPECT_EQ(window.IsMouseMsgM(row.code), row.mouse) << row.code;

    // Enabled again, the buttons come through.
    window.EnableM(true);
    messages.clear();
    window.SendMessageM(KWM_LCLICK, KelWndMsg{&window, 5, 0, 0});
    EXPECT_EQ(messages, (std::vector<std::string>{"1003:5"}));
}

TEST_F(KelWndBaseTest, HandlersAreReplacedAndNotifyCarriesTheSender)
{
    ProbeWnd window("w", nullptr, &m_events);
    std::vector<std::string> calls;
    window.SetMsgFunM(KWM_SELECT, [&](KelWndMsg) { calls.push_back("first"); });
    window.SetMsgFunM(KWM_SELECT,
                      [&](KelWndMsg message)
                      {
                          calls.push_back(message.sender == &window && message.param1 == 0 &&
                                                  message.param2 == 0 && message.param3 == 0
                                              ? "second"
                                              : "wrong record");
                      });
    window.NotifyM(KWM_SELECT);
    window.NotifyM(KWM_SCROLL);
    EXPECT_EQ(calls, (std::vector<std::string>{"second"}));
}

TEST_F(KelWndBaseTest, HandlerThatClosesItsWindowReturnsNormally)
{
    ProbeWnd window("w", nullptr, &m_events);
    std::vector<std::string> seen;
    // The callback's own captured state must outlive the table being emptied under it.
    const std::string tag(64, 'x');
    window.SetMsgFunM(KWM_SHOWCHANGED,
                      [&window, &seen, tag](KelWndMsg)
                      {
                          window.CloseM();
                          seen.push_back(tag);
                      });
    window.ShowM(false);
    EXPECT_EQ(seen, (std::vector<std::string>{tag}));
    EXPECT_FALSE(window.IsAliveM());
    window.ShowM(true);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(KelWndBaseTest, StateSwitchesNotifyAndInvalidateOnlyOnChange)
{
    struct Row
    {
        const char* name;
        int code;
        void (KelWndBaseCL::*set)(bool);
        bool (KelWndBaseCL::*get)();
        bool invalidates;
    };
    const Row rows[] = {
        {"show", KWM_SHOWCHANGED, &KelWndBaseCL::ShowM, &KelWndBaseCL::IsShowM, true},
        {"visible", KWM_VISIBLECHANGED, &KelWndBaseCL::SetVisibleM, &KelWndBaseCL::IsVisibleM, true},
        {"enable", KWM_ENABLECHANGED, &KelWndBaseCL::EnableM, &KelWndBaseCL::IsEnableM, false},
    };
    for (const Row& row : rows)
    {
        ProbeWnd window("w", nullptr, &m_events);
        std::vector<std::string> messages;
        Record(&window, &messages);
        const std::string off = std::to_string(row.code) + ":0";
        (window.*row.set)(false);
        (window.*row.set)(false);
        EXPECT_FALSE((window.*row.get)()) << row.name;
        EXPECT_EQ(messages, (std::vector<std::string>{off, off})) << row.name;
        EXPECT_EQ(window.invalidations, row.invalidates ? 1 : 0) << row.name;
    }
}

TEST_F(KelWndBaseTest, HiddenWindowsAreNotDrawnAndDrawMayStopTheChildren)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* a = new ProbeWnd("a", &root, &m_events);
    new ProbeWnd("a1", a, &m_events);
    auto* b = new ProbeWnd("b", &root, &m_events);
    auto* c = new ProbeWnd("c", &root, &m_events);
    a->drawChildren = false;
    b->ShowM(false);
    c->SetVisibleM(false);

    root.RenderM(nullptr);
    EXPECT_EQ(m_events, (std::vector<std::string>{"draw:root", "draw:a", "post:a", "post:root"}));
}

TEST_F(KelWndBaseTest, FocusGoesThroughTheManagerAndActivatesTheWindow)
{
    KelWnd2DBaseCL* desktop = m_ui.GetDeskTopM();
    auto* a = new ProbeWnd("a", desktop, &m_events, KWS_RAISEONACTIVE);
    auto* b = new ProbeWnd("b", desktop, &m_events);
    std::vector<std::string> aMessages;
    std::vector<std::string> bMessages;
    Record(a, &aMessages);
    Record(b, &bMessages);

    a->SetFocusM(true);
    EXPECT_EQ(m_ui.GetFocusWndM(), a);
    EXPECT_TRUE(a->IsFocusM());
    EXPECT_EQ(aMessages, (std::vector<std::string>{"1016:1"}));
    EXPECT_EQ(a->invalidations, 1);
    // Activation asked for a raise; the desktop honours it in its update pass.
    m_ui.UpDatedataM();
    EXPECT_EQ(Names(desktop), (std::vector<std::string>{"b", "a"}));

    b->SetFocusM(true);
    EXPECT_EQ(m_ui.GetFocusWndM(), b);
    EXPECT_FALSE(a->IsFocusM());
    EXPECT_EQ(aMessages, (std::vector<std::string>{"1016:1", "1016:0"}));
    EXPECT_EQ(bMessages, (std::vector<std::string>{"1016:1"}));
    m_ui.UpDatedataM();
    EXPECT_EQ(Names(desktop), (std::vector<std::string>{"b", "a"}));

    // Losing the focus does not touch the manager.
    b->SetFocusM(false);
    EXPECT_EQ(bMessages, (std::vector<std::string>{"1016:1", "1016:0"}));
    EXPECT_EQ(m_ui.GetFocusWndM(), b);
}

TEST_F(KelWndBaseTest, DestructionClearsTheManagersSlotsAndReportsNothing)
{
    KelWnd2DBaseCL* desktop = m_ui.GetDeskTopM();
    auto* w = new ProbeWnd("w", desktop, &m_events);
    auto* g = new ProbeWnd("g", w, &m_events);
    std::vector<std::string> messages;
    Record(g, &messages);
    g->SetFocusM(true);
    messages.clear();
    m_ui.SetHoverWndM(g);
    m_ui.SetCaptureWndM(w);
    m_ui.AddModalM(w);
    m_ui.AddModalM(g);
    m_ui.SetPopupM(w, false);

    EXPECT_TRUE(desktop->DeleteChildM("w"));
    EXPECT_EQ(m_events, (std::vector<std::string>{"delete:w", "delete:g"}));
    EXPECT_EQ(m_ui.GetFocusWndM(), nullptr);
    EXPECT_EQ(m_ui.GetHoverWndM(), nullptr);
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
    EXPECT_TRUE(m_ui.GetModalList().empty());
    // The focus loss during destruction is not reported: the owners of the handlers may be gone.
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(desktop->GetChildren().empty());
}

TEST_F(KelWndBaseTest, SlotsAreClearedByNameAndForRenamedWindows)
{
    KelWnd2DBaseCL* desktop = m_ui.GetDeskTopM();
    auto* left = new ProbeWnd("left", desktop, &m_events);
    auto* right = new ProbeWnd("right", desktop, &m_events);
    new ProbeWnd("same", left, &m_events);
    auto* sameRight = new ProbeWnd("same", right, &m_events);
    auto* renamed = new ProbeWnd("old", desktop, &m_events);

    // A window of the same name elsewhere in the tree loses its slot too.
    m_ui.SetHoverWndM(sameRight);
    EXPECT_TRUE(left->DeleteChildM("same"));
    EXPECT_EQ(m_ui.GetHoverWndM(), nullptr);

    // A window renamed after taking a slot still frees it.
    m_ui.SetCaptureWndM(renamed);
    renamed->SetNameM("new");
    EXPECT_TRUE(desktop->DeleteChildM("new"));
    EXPECT_EQ(m_ui.GetCaptureWndM(), nullptr);
}

TEST_F(KelWndBaseTest, ChildDeliveryGoesTopMostFirstAndStopsWhenConsumed)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* a = new ProbeWnd("a", &root, &m_events);
    auto* b = new ProbeWnd("b", &root, &m_events);
    auto* c = new ProbeWnd("c", &root, &m_events);
    auto* d = new ProbeWnd("d", &root, &m_events);
    auto* e = new ProbeWnd("e", &root, &m_events);
    for (ProbeWnd* child : {a, b, c, d, e})
        child->recordPosts = true;
    b->ShowM(false);
    c->SetVisibleM(false);
    root.blocked.insert("d");
    a->passOn = false;

    EXPECT_FALSE(root.PostMessageM(nullptr, 0x400, 1, 2));
    EXPECT_EQ(m_events, (std::vector<std::string>{"msg:e", "msg:a"}));

    m_events.clear();
    a->passOn = true;
    e->passOn = false;
    EXPECT_FALSE(root.PostMessageM(nullptr, 0x400, 1, 2));
    EXPECT_EQ(m_events, (std::vector<std::string>{"msg:e"}));

    e->passOn = true;
    EXPECT_TRUE(root.PostMessageM(nullptr, 0x400, 1, 2));
}

TEST_F(KelWndBaseTest, MoveAndSizeNotificationsWalkTheChildren)
{
    ProbeWnd root("root", nullptr, &m_events);
    auto* a = new ProbeWnd("a", &root, &m_events);
    new ProbeWnd("a1", a, &m_events);
    auto* b = new ProbeWnd("b", &root, &m_events);
    new ProbeWnd("c", &root, &m_events);

    EXPECT_FALSE(root.OnMoveM());
    EXPECT_EQ(m_events, (std::vector<std::string>{"pos:root", "pos:c", "pos:b", "pos:a", "pos:a1"}));

    m_events.clear();
    EXPECT_TRUE(root.OnSizeChangeM(&root));
    EXPECT_EQ(m_events, (std::vector<std::string>{"size:a", "size:b", "size:c"}));
    m_events.clear();
    b->sizeResult = false;
    EXPECT_FALSE(root.OnSizeChangeM(&root));
    EXPECT_EQ(m_events, (std::vector<std::string>{"size:a", "size:b"}));
}

TEST_F(KelWndBaseTest, StyleBitsAndTheRaiseRequest)
{
    ProbeWnd window("w", nullptr, &m_events, KWS_NOTITLE | KWS_BKBUFFER);
    // Xor is how callers clear a bit they know is set.
    window.XorStyleM(KWS_NOTITLE);
    EXPECT_EQ(window.GetStyleM(), KWS_BKBUFFER);
    // Any one of the bits is enough.
    EXPECT_TRUE(window.HasStyleM(KWS_BKBUFFER | KWS_SELFFONT));
    EXPECT_FALSE(window.HasStyleM(KWS_SELFFONT));

    // Reading the request clears it.
    EXPECT_FALSE(window.TakeRaiseRequestM());
    window.BringToTopM();
    EXPECT_TRUE(window.TakeRaiseRequestM());
    EXPECT_FALSE(window.TakeRaiseRequestM());
}
