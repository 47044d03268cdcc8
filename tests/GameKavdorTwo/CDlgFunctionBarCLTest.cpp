// The action bar on a table: which buttons a frame shows, where, and what a click on each sends
// or asks of the play window.

#include "CDlgFunctionBarCL.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CGameCardKavdorTwoCL.h"
#include "TableWindowTestSupport.h"

using namespace tabletest;

namespace
{
// The bar's origin as the play window puts it (the play window fills the screen), and a row of
// the screen through every button.
constexpr int kBarX = kScreenWidth / 2;
constexpr int kBarY = kScreenHeight - 297;
constexpr int kRow = kBarY + 10 + 17;

enum Button
{
    kReady,
    kBid1,
    kBid2,
    kBid3,
    kNoBid,
    kPlay,
    kPass,
    kHint,
};

// A stretch of a row that shows one button's picture in one state.
struct Stretch
{
    int button;
    int state;
    int from;
    int to;
    bool operator==(const Stretch&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Stretch& stretch)
{
    if (stretch.button < 0)
        out << "colour " << std::hex << stretch.state << std::dec;
    else
        out << ButtonLooks().at(static_cast<size_t>(stretch.button)).imageId << "_" << stretch.state;
    return out << " at " << stretch.from << ".." << stretch.to;
}

// A button in its normal look, its left edge `dx` from the bar's origin.
Stretch Shown(int button, int dx)
{
    return {button, 0, kBarX + dx, kBarX + dx + ButtonLooks().at(static_cast<size_t>(button)).width - 1};
}

// The buttons a row of the frame shows, left to right; a pixel that is neither felt nor a
// button's picture is reported as button -1.
std::vector<Stretch> ButtonsInRow(const TestFrame& frame, int y = kRow)
{
    std::vector<Stretch> stretches;
    for (int x = 0; x < frame.width; ++x)
    {
        const uint32_t colour = frame.At(x, y);
        if (colour == kFelt)
            continue;
        Stretch here{-1, static_cast<int>(colour), x, x};
        for (size_t b = 0; b < ButtonLooks().size(); ++b)
            for (int state = 0; state < 4; ++state)
                if (ButtonLooks()[b].colours[static_cast<size_t>(state)] == colour)
                    here = {static_cast<int>(b), state, x, x};
        if (!stretches.empty() && stretches.back().button == here.button &&
            stretches.back().state == here.state && stretches.back().to == x - 1)
            stretches.back().to = x;
        else
            stretches.push_back(here);
    }
    return stretches;
}

// The middle of a button whose left edge is `dx` from the bar's origin.
int Middle(int button, int dx)
{
    return kBarX + dx + ButtonLooks().at(static_cast<size_t>(button)).width / 2;
}

class CDlgFunctionBarCLTest : public TableWindowTest
{
protected:
    void SetUp() override
    {
        TableWindowTest::SetUp();
        LoadSkin();
        m_play = OpenTable();
        m_bar = new CDlgFunctionBarCL(m_play);
    }

    FakePlayWindow* m_play = nullptr;
    CDlgFunctionBarCL* m_bar = nullptr;
};
} // namespace

TEST_F(CDlgFunctionBarCLTest, BuiltWithNothingShown)
{
    EXPECT_EQ(m_bar->GetParentM(), m_play);
    EXPECT_EQ(m_play->FindChildM("CDlgFunctionBarCL"), m_bar);
    for (const char* name : {"m_ready", "m_callScore1", "m_callScore2", "m_callScore3", "m_callNo",
                             "m_outCard", "m_unOutCard", "m_hint"})
        EXPECT_NE(m_bar->FindChildM(name), nullptr) << name;
    EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{});
    EXPECT_FALSE(m_bar->GetShowState());
}

// The bid buttons a user is offered after the seats' bids so far, one hand after another on
// the same bar: only bids above the highest, always "no bid"; a declined seat (-1) raises
// nothing. Every offered button is in its normal look, so one disabled in an earlier hand has
// been enabled again.
TEST_F(CDlgFunctionBarCLTest, OffersOnlyBidsAboveTheHighestSoFar)
{
    const std::vector<Stretch> all = {Shown(kBid1, -210), Shown(kBid2, -100), Shown(kBid3, 10),
                                      Shown(kNoBid, 120)};
    const struct
    {
        std::array<int, 4> calls;
        std::vector<Stretch> shown;
    } hands[] = {
        {{0, 0, 0, 0}, all},
        {{-1, 0, -1, 0}, all},
        {{1, 0, 0, -1}, {Shown(kBid2, -100), Shown(kBid3, 10), Shown(kNoBid, 120)}},
        {{0, 2, -1, 0}, {Shown(kBid3, 10), Shown(kNoBid, 120)}},
        {{0, 0, 3, 1}, {Shown(kNoBid, 120)}},
        {{0, 0, 0, 0}, all},
    };
    int n = 0;
    for (const auto& hand : hands)
    {
        SCOPED_TRACE("hand " + std::to_string(n));
        m_play->calls = hand.calls;
        m_bar->ShowCall(true, 0);
        const TestFrame frame = Frame();
        EXPECT_EQ(ButtonsInRow(frame), hand.shown);
        Snapshot(frame, "bar_bids_" + std::to_string(n++));
    }

    // After a bid of 2 the hidden bid buttons cannot be clicked where they would be.
    m_play->calls = {0, 2, 0, 0};
    m_bar->ShowCall(true, 0);
    Frame();
    Click(Middle(kBid1, -210), kRow);
    Click(Middle(kBid2, -100), kRow);
    EXPECT_TRUE(m_game.sent.empty());
    EXPECT_EQ(ButtonsInRow(Frame()), (std::vector<Stretch>{Shown(kBid3, 10), Shown(kNoBid, 120)}));
}

// A user who leads a new round may not pass: play stands alone, near the middle. Following a
// play, pass and hint stand beside it; hiding hides all three.
TEST_F(CDlgFunctionBarCLTest, NewRoundShowsPlayAloneCentred)
{
    m_bar->ShowOutCard(true, false);
    TestFrame frame = Frame();
    EXPECT_EQ(ButtonsInRow(frame), std::vector<Stretch>{Shown(kPlay, -30)});
    EXPECT_TRUE(m_bar->GetShowState());
    Snapshot(frame, "bar_lead");

    m_bar->ShowOutCard(true, true);
    frame = Frame();
    EXPECT_EQ(ButtonsInRow(frame),
              (std::vector<Stretch>{Shown(kPlay, -140), Shown(kPass, -30), Shown(kHint, 80)}));
    Snapshot(frame, "bar_follow");

    m_bar->ShowOutCard(false, true);
    EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{});
    EXPECT_FALSE(m_bar->GetShowState());
}

// Ready and the bids are the bar's own requests: one click sends the request once and hides
// every button of the bar at once.
TEST_F(CDlgFunctionBarCLTest, ReadyAndBidClicksSendTheirRequestAndHideTheBar)
{
    m_bar->ShowReady(true);
    EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{Shown(kReady, -50)});
    EXPECT_FALSE(m_bar->HasClickedReady());
    Click(Middle(kReady, -50), kRow);
    EXPECT_EQ(m_room.sent, (std::vector<std::vector<uint8_t>>{{100, 0, 3, 0}}));
    EXPECT_TRUE(m_game.sent.empty());
    EXPECT_TRUE(m_bar->HasClickedReady());
    EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{});

    const struct
    {
        Button button;
        int dx;
        uint8_t code;
    } bids[] = {{kBid1, -210, 0}, {kBid2, -100, 1}, {kBid3, 10, 2}, {kNoBid, 120, 3}};
    for (const auto& bid : bids)
    {
        SCOPED_TRACE(ButtonLooks()[bid.button].imageId);
        m_game.sent.clear();
        m_bar->ShowCall(true, 0);
        Frame();
        Click(Middle(bid.button, bid.dx), kRow);
        EXPECT_EQ(m_game.sent, (std::vector<std::vector<uint8_t>>{{105, 0, 2, 0, bid.code, 0, 0, 0}}));
        EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{});
        EXPECT_FALSE(m_bar->GetShowState());
    }
    EXPECT_EQ(m_room.sent.size(), 1u);
}

// Play, pass and hint are the play window's actions: the bar hands them over and stays as it
// is, for the play window decides whether the turn is over.
TEST_F(CDlgFunctionBarCLTest, PlayPassAndHintGoToThePlayWindow)
{
    m_bar->ShowOutCard(true, true);
    Frame();
    Click(Middle(kPlay, -140), kRow);
    Click(Middle(kPass, -30), kRow);
    Click(Middle(kHint, 80), kRow);
    EXPECT_EQ(m_play->actions, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(m_room.sent.empty());
    EXPECT_TRUE(m_game.sent.empty());
    EXPECT_TRUE(m_bar->GetShowState());
    // The mouse is still over the hint button.
    EXPECT_EQ(
        ButtonsInRow(Frame()),
        (std::vector<Stretch>{Shown(kPlay, -140), Shown(kPass, -30), {kHint, 1, kBarX + 80, kBarX + 159}}));
}

// A bar whose table has no play window: it has no bids to read, so it offers none, and play,
// pass and hint reach nobody.
TEST_F(CDlgFunctionBarCLTest, WithoutAPlayWindowThereAreNoBidsAndNoActions)
{
    auto* ground = new FakePlayWindow(m_ui.GetDeskTopM());
    m_table->CloseM();
    auto* bar = new CDlgFunctionBarCL(ground);
    Frame();
    ASSERT_EQ(GetApp()->GetDlgGameWnd(), nullptr);

    bar->ShowCall(true, 0);
    EXPECT_EQ(ButtonsInRow(Frame()), std::vector<Stretch>{});
    bar->ShowOutCard(true, true);
    Frame();
    Click(Middle(kPlay, -140), kRow);
    Click(Middle(kPass, -30), kRow);
    Click(Middle(kHint, 80), kRow);
    EXPECT_TRUE(ground->actions.empty());
    EXPECT_TRUE(m_room.sent.empty());
    EXPECT_TRUE(m_game.sent.empty());
    EXPECT_TRUE(bar->GetShowState());
}
