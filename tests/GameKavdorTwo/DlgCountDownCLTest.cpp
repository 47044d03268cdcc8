// The turn clock: what it shows frame by frame on the engine clock, when it ticks, and that it
// ends its turn exactly once and goes away.

#include "DlgCountDownCL.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KelTextureInfoManagerCL.h"
#include "TableWindowTestSupport.h"

using namespace tabletest;

namespace
{
// Where the tests put the clock in the play window (which lies at the screen's origin).
constexpr int kClockX = 120;
constexpr int kClockY = 200;

// What a frame shows at the clock's place: the two digits as a number, or nothing when the
// digits' place shows no digit; the clock's picture tells whether the clock is there at all.
struct ClockView
{
    bool clock = false;
    std::optional<int> number;
};

ClockView ReadClock(const TestFrame& frame)
{
    ClockView view;
    // A corner of the picture that the digits leave free.
    view.clock = frame.At(kClockX + 5 + 2, kClockY + 2) == kClockBack;
    const int y = kClockY + 11 + kDigitHeight / 2;
    const std::optional<int> tens = DigitOfColour(frame.At(kClockX + 17 + kDigitWidth / 2, y));
    const std::optional<int> ones = DigitOfColour(frame.At(kClockX + 17 + kDigitWidth * 3 / 2, y));
    if (tens && ones)
        view.number = *tens * 10 + *ones;
    return view;
}

class DlgCountDownCLTest : public TableWindowTest
{
protected:
    void SetUp() override
    {
        TableWindowTest::SetUp();
        LoadSkin();
        m_play = OpenTable();
    }

    // A clock of the play window, as the play window opens one for a turn, counting the times
    // its end is reported.
    DlgCountDownCL* OpenClock(int seconds, int warning = 10)
    {
        auto* clock = new DlgCountDownCL("countDownWindow_1", m_play, seconds, kClockX, kClockY, warning);
        clock->SetMsgFunM(DlgCountDownCL::kTimeUpCode, [this](KelWndMsg) { ++m_timeUps; });
        return clock;
    }

    FakePlayWindow* m_play = nullptr;
    int m_timeUps = 0;
};
} // namespace

// Fifteen seconds with the warning at ten, drawn every half second: every number from 15 down
// to 1 shows, never 00; the clock ticks on the user's own player object once for each of 10 ... 1
// as it first shows; the end is reported once, and the clock closes and is gone.
TEST_F(DlgCountDownCLTest, CountsDownTicksInTheLastSecondsAndEndsOnce)
{
    OpenClock(15);
    std::vector<int> shown;
    std::vector<size_t> ticksWhenShown;
    int frames = 0;
    for (; m_timeUps == 0 && frames < 40; ++frames)
    {
        const TestFrame frame = Frame();
        const ClockView view = ReadClock(frame);
        ASSERT_TRUE(view.clock) << "frame " << frames;
        if (m_timeUps == 0)
        {
            ASSERT_TRUE(view.number.has_value()) << "frame " << frames;
            if (shown.empty() || shown.back() != *view.number)
            {
                shown.push_back(*view.number);
                ticksWhenShown.push_back(m_players.self.sounds.size());
            }
        }
        else
        {
            EXPECT_FALSE(view.number.has_value()) << "the last frame shows " << *view.number;
        }
        if (frames == 3 || frames == 25)
            Snapshot(frame, "countdown_" + std::to_string(*view.number));
        m_ticks.Advance(500);
    }
    EXPECT_EQ(m_timeUps, 1);
    // 0, 0.5, ... 14.5 seconds: the end comes with the first frame past 14 seconds, as the
    // seconds left are truncated.
    EXPECT_EQ(frames, 30);
    EXPECT_EQ(shown, (std::vector<int>{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(ticksWhenShown, (std::vector<size_t>{0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(m_players.self.sounds, std::vector<std::string>(10, "qipai\\dwonclock.ogg"));
    EXPECT_TRUE(m_players.other.sounds.empty());

    // Drawn again before the play window's next update: the closed clock shows nothing and
    // reports nothing.
    EXPECT_FALSE(ReadClock(DrawAgain()).clock);
    const TestFrame gone = Frame();
    EXPECT_FALSE(ReadClock(gone).clock);
    EXPECT_EQ(gone.At(kClockX + 20, kClockY + 20), kFelt);
    EXPECT_EQ(m_play->FindChildM("countDownWindow_1"), nullptr);
    EXPECT_EQ(m_timeUps, 1);
    EXPECT_EQ(m_players.self.sounds.size(), 10u);
}

// The number shown after a time on the clock, and when the end comes (none shown): a second that
// has begun no longer counts.
TEST_F(DlgCountDownCLTest, ShowsTheWholeSecondsLeft)
{
    const struct
    {
        int seconds;
        DWORD elapsed;
        std::optional<int> shown;
    } cases[] = {
        {15, 0, 15},     {15, 1, 14},     {15, 1000, 14}, {15, 1001, 13}, {15, 13999, 1}, {15, 14000, 1},
        {15, 14001, {}}, {15, 60000, {}}, {1, 0, 1},      {1, 1, {}},     {0, 0, {}},     {-3, 0, {}},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.seconds) + " s after " + std::to_string(c.elapsed) + " ms");
        m_timeUps = 0;
        const std::string name = "callCardWindow_" + std::to_string(++n);
        auto* clock = new DlgCountDownCL(name.c_str(), m_play, c.seconds, kClockX, kClockY, 10);
        clock->SetMsgFunM(DlgCountDownCL::kTimeUpCode, [this](KelWndMsg) { ++m_timeUps; });
        m_ticks.Advance(c.elapsed);
        const ClockView view = ReadClock(Frame());
        EXPECT_EQ(view.number, c.shown);
        EXPECT_EQ(m_timeUps, c.shown ? 0 : 1);
        clock->CloseM();
        Frame();
    }
}

// Without its picture the clock still counts: the digits show on the table.
TEST_F(DlgCountDownCLTest, WithoutItsPictureTheDigitsStillShow)
{
    m_textureInfo.UnloadTextureInfo("gamewndex");
    OpenClock(30);
    m_ticks.Advance(20500);
    const TestFrame frame = Frame();
    const ClockView view = ReadClock(frame);
    EXPECT_FALSE(view.clock);
    EXPECT_EQ(frame.At(kClockX + 5 + 2, kClockY + 2), kFelt);
    EXPECT_EQ(view.number, 9);
    EXPECT_EQ(m_players.self.sounds.size(), 1u);
}
