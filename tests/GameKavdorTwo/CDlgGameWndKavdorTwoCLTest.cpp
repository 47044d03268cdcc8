// The game's play window at a real table: the game's table dialog with the generated skin of the
// runtime folder, four players whose host objects record their sounds and draw their pictures in
// their own colours, room and game messages delivered through the application's sinks as the
// host delivers them, and the mouse posted through the UI manager. Checked are the requests sent
// (bytes), the sounds played on the players' objects, the window's state and the pixels of the
// rendered frames.

#include "CDlgGameWndKavdorTwoCL.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "CDlgFunctionBarCL.h"
#include "CDlgTableKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "CGameKavdorLogicCl.h"
#include "CardCode.h"
#include "DlgCountDownCL.h"
#include "DlgGameWndScoreRecordCL.h"
#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "KelCanvasCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "NetMsgWriterCL.h"
#include "TableWindowTestSupport.h"
#include "Win32/Messages.h"
#include "Win32/Time.h"

namespace
{
using Bytes = std::vector<uint8_t>;

constexpr int kSelf = tabletest::kSelfId;
// The others in turn order after the user: seats 1, 2 and 3.
constexpr int kNext = 7;
constexpr int kAcross = 8;
constexpr int kPrevious = 9;

// Card codes: spades 1..13 (ace 1), hearts 14..26, clubs 27..39, diamonds 40..52.
constexpr uint8_t Spades(int face)
{
    return static_cast<uint8_t>(face);
}
constexpr uint8_t Hearts(int face)
{
    return static_cast<uint8_t>(13 + face);
}
constexpr uint8_t Clubs(int face)
{
    return static_cast<uint8_t>(26 + face);
}

// A host player object that keeps its sounds, seat states, picture layouts and media switches,
// and draws its picture in its own colour.
class FakePlayer : public tabletest::IdlePlayer
{
public:
    FakePlayer(int id, const char* nickname, int sex, uint32_t colour)
        : IdlePlayer(id, nickname, sex), colour(colour)
    {
    }
    void PlaySound(const char* name) override { sounds.emplace_back(name); }
    void SetSeatState(int seat, int state, int flag, int reserved) override
    {
        seatStates.push_back({seat, state, flag, reserved});
    }
    void SetPictureLayout(int layout) override { pictureLayouts.push_back(layout); }
    void DrawPicture(KelCanvasCL* canvas, int, int x, int y) override
    {
        canvas->FillRect(x, y, x + DlgGameWndCL::kPictureWidth, y + DlgGameWndCL::kPictureHeight, colour);
    }
    void SetVideoOn(bool on, int playerId) override { video.push_back({on ? 1 : 0, playerId}); }
    void SetAudioOn(bool on, int playerId) override { audio.push_back({on ? 1 : 0, playerId}); }

    // Takes the sounds played so far.
    std::vector<std::string> TakeSounds() { return std::exchange(sounds, {}); }

    uint32_t colour;
    std::vector<std::string> sounds;
    std::vector<std::array<int, 4>> seatStates;
    std::vector<int> pictureLayouts;
    std::vector<std::array<int, 2>> video;
    std::vector<std::array<int, 2>> audio;
};

using FakePlayers = tabletest::FakePlayerService<FakePlayer>;
using tabletest::FakeNet;

using PlaySystem = tabletest::ModuleSystem;

std::atomic<DWORD> g_ticks{0};

using tabletest::WinPath;

// A game request as the game sink encodes it.
Bytes GameRequest(uint16_t type, const Bytes& payload = {})
{
    Bytes message = {105, 0, static_cast<uint8_t>(type), 0};
    message.insert(message.end(), payload.begin(), payload.end());
    return message;
}

Bytes Cards(const Bytes& cards)
{
    Bytes field = {static_cast<uint8_t>(cards.size())};
    field.insert(field.end(), cards.begin(), cards.end());
    return field;
}

class PlayWindowTest : public EngineTestBase<PlaySystem>
{
protected:
    PlayWindowTest() : EngineTestBase(800, 600) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        g_ticks = 1000;
        Win32SetTickSource([] { return g_ticks.load(); });
        m_system.Initialize(nullptr);
        m_system.directory = WinPath(m_run);
        m_textureInfo.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textureInfo.LoadAllTextureInfo();
        ASSERT_TRUE(m_textureInfo.LoadTextureInfo(
            "kavdortwoTextureInfo",
            WinPath(m_run / "game" / "kavdortwo" / "Texturekavdortwo" / "kavdortwotextureInfo.xml")));
        ASSERT_NE(
            m_fonts.LoadImageFont((WinPath(m_run / "image") + "\\config\\TextNumberYellow.xml").c_str()),
            nullptr);
        m_ui.SetGuiConfigM("Config\\Gui\\guiConfig.xml");
        m_ui.SetDeskTopSizeM(800, 600);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
        m_app->SetNetMsgDispatcher(&m_room);
        m_app->SetNetMsgSender(&m_room);
        m_app->SetPlayerService(&m_players);
        m_app->SetEffectLevel(1);
        m_app->OnInitial();
        m_app->GetGameSink().SetSender(&m_game);

        m_table = new CDlgTableKavdorTwoCL();
        m_table->CreateWnd();
        m_window = dynamic_cast<CDlgGameWndKavdorTwoCL*>(m_app->GetDlgGameWnd());
        ASSERT_NE(m_window, nullptr) << "the game's table makes the game's play window";
    }

    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        m_app->OnDestroy();
        m_app->GetGameSink().SetSender(nullptr);
        m_app->GetRoomSink().SetSender(nullptr);
        m_app->SetNetMsgDispatcher(nullptr);
        m_app->SetNetMsgSender(nullptr);
        m_app->SetPlayerService(nullptr);
        Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(0).Data());
        Win32SetTickSource(nullptr);
        EngineTestBase::TearDown();
    }

    bool Room(const Bytes& message)
    {
        return m_app->GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }
    bool Game(const Bytes& message)
    {
        return m_app->GetGameSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }

    FakePlayer& Seat(int id, const char* nickname, int seat, int sex, uint32_t colour)
    {
        m_players.players[id] = std::make_unique<FakePlayer>(id, nickname, sex, colour);
        NetPlayerInfo info;
        info.nickname = nickname;
        info.values[NET_INFO_SEX] = sex;
        EXPECT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                             .I32(id)
                             .I32(seat)
                             .I32(2)
                             .PlayerInfo(info)
                             .Data()));
        return *m_players.players[id];
    }

    // The user at seat 0, a man at seat 1, a woman at seat 2, a man at seat 3; all ready.
    void SeatFour()
    {
        Seat(kSelf, "Me", 0, 0, 0xFFC04040);
        Seat(kNext, "Bob", 1, 0, 0xFF4040C0);
        Seat(kAcross, "Ann", 2, 1, 0xFFC0C040);
        Seat(kPrevious, "Cid", 3, 0, 0xFF40C0C0);
        for (int id : {kSelf, kNext, kAcross, kPrevious})
            Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(id).U8(1).Data());
    }

    // The hand starts: the table opens, the game runs and the user gets `hand`, the others 25
    // cards each.
    void Deal(const Bytes& hand)
    {
        ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY).Data()));
        ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1).Data()));
        ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_DEAL).I32(kSelf).Cards(hand).Data()));
        for (int id : {kNext, kAcross, kPrevious})
            ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(id).I32(25).Data()));
    }

    void Turn(int id, bool follow)
    {
        ASSERT_TRUE(
            Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(id).I32(follow ? 1 : 0).Data()));
    }
    void Play(int id, const Bytes& cards)
    {
        ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(id).Cards(cards).Data()));
    }

    FakePlayer& Player(int id) { return *m_players.players.at(id); }
    KavdorSeatRecord& Record(int id) { return *m_window->PlayerRecord(id); }
    CGameKavdorGroupCl& Hand() { return Record(kSelf).hand; }

    Bytes HandCodes()
    {
        Bytes codes;
        for (int i = 0; i < Hand().GetCardNum(); ++i)
            codes.push_back(Hand().GetCard(i)->GetCardCode());
        return codes;
    }
    Bytes Selected()
    {
        Bytes codes;
        for (int i = 0; i < Hand().GetCardNum(); ++i)
            if (Hand().GetCard(i)->GetSelectFlag() != 0)
                codes.push_back(Hand().GetCard(i)->GetCardCode());
        return codes;
    }

    // The screen point over the visible strip of hand card i (after a frame has laid it out).
    POINT HandCardPoint(int index)
    {
        CGameKavdorGroupCl& hand = Hand();
        const POINT origin = m_window->GetPosInScreenM(0, 0);
        return {origin.x + hand.GetX() + hand.GetSnapOffsetX() + 11 * index + 4,
                origin.y + hand.GetY() + hand.GetSnapOffsetY() + 60};
    }

    void Post(UINT message, POINT at, WPARAM keys = 0)
    {
        m_ui.PostMessageM(nullptr, message, keys, MAKELPARAM(at.x, at.y));
    }
    void ClickCard(int index)
    {
        const POINT at = HandCardPoint(index);
        Post(WM_MOUSEMOVE, at);
        Post(WM_LBUTTONDOWN, at, MK_LBUTTON);
        Post(WM_LBUTTONUP, at);
    }
    void DoubleClick(POINT at)
    {
        Post(WM_MOUSEMOVE, at);
        Post(WM_LBUTTONDBLCLK, at, MK_LBUTTON);
        Post(WM_LBUTTONUP, at);
    }
    // A click on a shown button of the play window or its action bar.
    void ClickButton(const std::string& path)
    {
        auto* button = dynamic_cast<KelWnd2DButtonCL*>(m_window->FindWndM(path.c_str()));
        ASSERT_NE(button, nullptr) << path;
        ASSERT_TRUE(button->IsShowM()) << path;
        const KelRect rect = button->GetScreenRectM();
        const POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        Post(WM_MOUSEMOVE, at);
        Post(WM_LBUTTONDOWN, at, MK_LBUTTON);
        Post(WM_LBUTTONUP, at);
    }
    bool Shown(const std::string& path)
    {
        auto* window = dynamic_cast<KelWnd2DBaseCL*>(m_window->FindWndM(path.c_str()));
        return window != nullptr && window->IsShowM();
    }

    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }
    void Advance(DWORD ms)
    {
        g_ticks += ms;
        m_system.Tick();
        m_ui.UpDatedataM();
    }

    // A point of the play window's drawing on the screen.
    POINT Screen(int x, int y)
    {
        const POINT origin = m_window->GetPosInScreenM(0, 0);
        return {origin.x + x, origin.y + y};
    }
    uint32_t PixelAt(const TestFrame& frame, int x, int y)
    {
        const POINT at = Screen(x, y);
        return frame.At(at.x, at.y);
    }
    // How many pixels of the rectangle (window coordinates) differ between two frames.
    int Changed(const TestFrame& a, const TestFrame& b, int left, int top, int right, int bottom)
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
            {
                const POINT at = Screen(x, y);
                if (at.x >= 0 && at.y >= 0 && at.x < a.width && at.y < a.height &&
                    a.At(at.x, at.y) != b.At(at.x, at.y))
                    ++count;
            }
        return count;
    }

    static void Snapshot(const TestFrame& frame, const std::string& name)
    {
        tabletest::WriteSnapshot(frame, name);
    }

    const std::filesystem::path m_run = KAVDOR_RUN_FOLDER;
    KelUIManagerCL m_ui;
    FakeNet m_room;
    FakeNet m_game;
    FakePlayers m_players;
    CGameCardKavdorTwoCL* m_app = GetApp();
    CDlgTableKavdorTwoCL* m_table = nullptr;
    CDlgGameWndKavdorTwoCL* m_window = nullptr;
};

// A hand of 25: four 7s, three queens, and singles.
const Bytes kHand = {Spades(7), Hearts(7),  Clubs(7),   Spades(7),    Spades(12), Hearts(12), Clubs(12),
                     Spades(1), Spades(2),  Spades(3),  Spades(4),    Spades(5),  Spades(6),  Spades(8),
                     Spades(9), Spades(10), Spades(11), Spades(13),   Hearts(3),  Hearts(4),  Hearts(5),
                     Hearts(6), Hearts(8),  Hearts(9),  kCardBigJoker};
} // namespace

// Bidding through the action bar, the bid voices by the bidder's sex, the base cards and a lead
// played with the mouse: the requests are the bytes the server expects.
TEST_F(PlayWindowTest, BidsAndALeadGoOutAsTheActionBarIsClicked)
{
    SeatFour();
    Deal(kHand);
    EXPECT_EQ(Player(kSelf).TakeSounds(), std::vector<std::string>{"qipai\\start.ogg"});
    ASSERT_EQ(Hand().GetCardNum(), 25);
    Bytes sorted = kHand;
    KavdorSortCards(sorted);
    EXPECT_EQ(HandCodes(), sorted) << "a deal is shown high to low";
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(m_window->GetBaseCard(i), nullptr);
    EXPECT_EQ(m_window->GetBaseCard(0)->GetCardCode(), kCardLandlordBack);
    EXPECT_EQ(Record(kNext).hand.GetCardNum(), 25);
    EXPECT_EQ(Record(kNext).hand.GetCard(0)->GetCardCode(), kCardBack);

    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kSelf).I32(0).Data()));
    EXPECT_TRUE(Shown("CDlgFunctionBarCL\\m_callScore1"));
    EXPECT_TRUE(Shown("CDlgFunctionBarCL\\m_callNo"));
    EXPECT_TRUE(Player(kSelf).TakeSounds().empty()) << "nothing was bid before the first bidder";
    ASSERT_NE(m_window->GetCountDown(), nullptr);
    EXPECT_EQ(m_window->GetCountDown()->GetNameM().rfind("callCardWindow_", 0), 0u);
    Frame();
    ClickButton("CDlgFunctionBarCL\\m_callScore2");
    Frame();
    EXPECT_EQ(m_game.Take(), std::vector<Bytes>{GameRequest(GAME_REQ_BID, {1, 0, 0, 0})});
    EXPECT_FALSE(Shown("CDlgFunctionBarCL\\m_callScore3"));

    // Each bid turn names the seat before the bidder's bid.
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kNext).I32(2).Data()));
    EXPECT_EQ(m_window->GetSeatCall(0), 2);
    EXPECT_EQ(Player(kSelf).TakeSounds(), std::vector<std::string>{"kavdor\\2_m.ogg"});
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kAcross).I32(-1).Data()));
    EXPECT_EQ(m_window->GetSeatCall(1), -1);
    EXPECT_EQ(Player(kNext).TakeSounds(), std::vector<std::string>{"kavdor\\0_m.ogg"});
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kPrevious).I32(3).Data()));
    EXPECT_EQ(Player(kAcross).TakeSounds(), std::vector<std::string>{"kavdor\\3_f.ogg"});

    const Bytes base = {Spades(1), Hearts(1), Clubs(1),        Spades(2),
                        Hearts(2), Clubs(2),  kCardSmallJoker, Spades(13)};
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BASE_CARDS).Cards(base).Data()));
    EXPECT_EQ(m_window->GetCountDown(), nullptr);
    for (int seat = 0; seat < 4; ++seat)
        EXPECT_EQ(m_window->GetSeatCall(seat), 0);
    EXPECT_EQ(m_window->GetBaseCard(6)->GetCardCode(), kCardSmallJoker);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(kSelf).Data()));
    EXPECT_EQ(m_window->GetLandlord(), kSelf);

    // The user leads: play alone, centred; a click picks the lowest card.
    Turn(kSelf, false);
    EXPECT_TRUE(Shown("CDlgFunctionBarCL\\m_outCard"));
    EXPECT_FALSE(Shown("CDlgFunctionBarCL\\m_unOutCard"));
    EXPECT_FALSE(Shown("CDlgFunctionBarCL\\m_hint"));
    Frame();
    ClickCard(24);
    Frame();
    ASSERT_EQ(Selected(), Bytes{sorted[24]});
    ClickButton("CDlgFunctionBarCL\\m_outCard");
    Frame();
    EXPECT_EQ(m_game.Take(), std::vector<Bytes>{GameRequest(GAME_REQ_PLAY, Cards({sorted[24]}))});
    EXPECT_EQ(Hand().GetCardNum(), 24);
    EXPECT_EQ(Record(kSelf).played.GetCardNum(), 1);
    EXPECT_EQ(Player(kSelf).TakeSounds(), std::vector<std::string>{"qipai\\give.ogg"});
    EXPECT_FALSE(m_window->GetFunctionBar()->GetShowState());
    EXPECT_EQ(m_window->GetCountDown(), nullptr);

    // The server's echo of the user's own play changes nothing more.
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_ANSWER).I32(0).Cards({sorted[24]}).Data()));
    Play(kSelf, {sorted[24]});
    EXPECT_EQ(Hand().GetCardNum(), 24);
    EXPECT_EQ(Record(kSelf).history.size(), 1u);
    EXPECT_TRUE(Player(kSelf).TakeSounds().empty());
}

// A play that does not beat the standing one never reaches the server; nor does a server's
// refusal put cards back.
TEST_F(PlayWindowTest, APlayThatCannotBeatIsRefusedLocallyForASecondAndAHalf)
{
    SeatFour();
    Deal(kHand);
    Turn(kPrevious, false);
    Play(kPrevious, {Clubs(13), Clubs(13)});
    EXPECT_EQ(Player(kPrevious).TakeSounds(), std::vector<std::string>{"qipai\\give.ogg"});
    Turn(kSelf, true);
    EXPECT_TRUE(Shown("CDlgFunctionBarCL\\m_unOutCard"));
    Frame();
    ClickCard(24);
    Frame();
    Player(kSelf).TakeSounds();
    m_window->OnClickOutCard(1);
    EXPECT_TRUE(m_game.Take().empty());
    EXPECT_EQ(Player(kSelf).TakeSounds(), std::vector<std::string>{"qipai\\wrongGive.ogg"});
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Hand().GetCardNum(), 25);
    EXPECT_TRUE(m_window->GetFunctionBar()->GetShowState()) << "the user may try again";
    const TestFrame refused = Frame();
    Advance(1400);
    EXPECT_FALSE(m_window->GetStatusText().empty());
    Advance(200);
    EXPECT_TRUE(m_window->GetStatusText().empty());
    const TestFrame cleared = Frame();
    EXPECT_GT(Changed(refused, cleared, 200, 600 - 300, 600, 600 - 280), 20) << "the refusal text was drawn";

    // The server refuses: the text shows again and the hand is as it was.
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_ANSWER).I32(5).Cards({}).Data()));
    EXPECT_EQ(Hand().GetCardNum(), 25);
    EXPECT_FALSE(m_window->GetStatusText().empty());

    // A pass goes out, is heard, and is remembered as an empty play.
    m_window->OnClickOutCard(2);
    EXPECT_EQ(m_game.Take(), std::vector<Bytes>{GameRequest(GAME_REQ_PASS)});
    EXPECT_EQ(Player(kSelf).TakeSounds(), std::vector<std::string>{"qipai\\pass.ogg"});
    ASSERT_FALSE(Record(kSelf).history.empty());
    EXPECT_TRUE(Record(kSelf).history.back().empty());
}

// The countdown runs out twice: the user's turns are played for him and trusteeship comes on;
// then his turns are played at once, until the next deal switches it off.
TEST_F(PlayWindowTest, TheBiddingForgetsTheLastLandlordAndADealSwitchesOffTrusteeshipWhichTwoTimeoutsSwitchOn)
{
    SeatFour();
    // The last hand's landlord keeps his mark through a deal (the landlord's own hand is dealt
    // again after he is named) but not into the next bidding.
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(kNext).Data()));
    Deal(kHand);
    EXPECT_EQ(m_window->GetLandlord(), kNext);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kAcross).I32(0).Data()));
    EXPECT_EQ(m_window->GetLandlord(), 0);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_TURN_SECONDS).I32(20).Data()));
    for (int timeout = 1; timeout <= 2; ++timeout)
    {
        Turn(kNext, false);
        Turn(kSelf, false);
        ASSERT_NE(m_window->GetCountDown(), nullptr);
        EXPECT_EQ(m_window->GetCountDown()->GetNameM().rfind("countDownWindow_", 0), 0u);
        Frame();
        Advance(19000);
        Frame();
        EXPECT_TRUE(m_game.Take().empty()) << "one second is left";
        Advance(1000);
        Frame();
        const std::vector<Bytes> sent = m_game.Take();
        ASSERT_EQ(sent.size(), 1u) << "timeout " << timeout;
        EXPECT_EQ(sent[0][2], GAME_REQ_PLAY) << "a lead is always a card";
        EXPECT_EQ(m_window->IsTrusteeship(), timeout == 2);
        EXPECT_EQ(Hand().GetCardNum(), 25 - timeout);
    }
    const TestFrame on = Frame();
    auto* trustee = dynamic_cast<KelWnd2DBaseCL*>(m_window->FindChildM("btn_trusteeship"));
    ASSERT_NE(trustee, nullptr);
    EXPECT_EQ(trustee->GetPosM().second, 450);

    Turn(kNext, true);
    Turn(kSelf, false);
    EXPECT_EQ(m_window->GetCountDown(), nullptr) << "under trusteeship the turn is played at once";
    ASSERT_EQ(m_game.Take().size(), 1u);
    EXPECT_EQ(Hand().GetCardNum(), 22);

    Deal(kHand);
    EXPECT_FALSE(m_window->IsTrusteeship());
    Frame();
    EXPECT_EQ(trustee->GetPosM().second, 460);
}

// A bid countdown that runs out only forgets its window: nobody plays during the bidding.
TEST_F(PlayWindowTest, ABidCountdownRunningOutSendsNothing)
{
    SeatFour();
    Deal(kHand);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kSelf).I32(0).Data()));
    ASSERT_NE(m_window->GetCountDown(), nullptr);
    Frame();
    Advance(31000);
    Frame();
    EXPECT_EQ(m_window->GetCountDown(), nullptr);
    EXPECT_TRUE(m_game.Take().empty());
    EXPECT_FALSE(m_window->IsTrusteeship());
}

// Turns that must not open anything: a second message for the same player, and a player whose
// cards never arrived.
TEST_F(PlayWindowTest, RepeatedTurnsAndTurnsOfEmptyHandsOpenNoSecondCountdown)
{
    SeatFour();
    Deal(kHand);
    Turn(kNext, true);
    DlgCountDownCL* first = m_window->GetCountDown();
    ASSERT_NE(first, nullptr);
    Turn(kNext, true);
    EXPECT_EQ(m_window->GetCountDown(), first);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(kAcross).I32(0).Data()));
    Turn(kAcross, true);
    EXPECT_EQ(m_window->GetCurrentPlayer(), kNext);
    EXPECT_EQ(m_window->GetCountDown(), first);
}

// The mouse on the hand: a click toggles a card only while a game runs, a double click picks
// every card of that face, a double click beside the cards clears the pick.
TEST_F(PlayWindowTest, ClicksAndDoubleClicksPickCards)
{
    SeatFour();
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_DEAL).I32(kSelf).Cards(kHand).Data()));
    Frame();
    ClickCard(3);
    Frame();
    EXPECT_TRUE(Selected().empty()) << "no game is running";

    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1).Data()));
    Frame();
    int sevens = -1;
    for (int i = 0; i < Hand().GetCardNum(); ++i)
        if (GetFace(Hand().GetCard(i)->GetCardCode()) == 7)
            sevens = sevens < 0 ? i : sevens;
    ASSERT_GE(sevens, 0);
    ClickCard(0);
    Frame();
    DoubleClick(HandCardPoint(sevens));
    Frame();
    Bytes picked = Selected();
    ASSERT_EQ(picked.size(), 5u) << "the four 7s and the card picked before";
    EXPECT_EQ(std::count_if(picked.begin(), picked.end(), [](uint8_t c) { return GetFace(c) == 7; }), 4);
    // The table above the bid and play buttons: clear of the hand, the seats, the chat panel at
    // the bottom left and the bars at the bottom right.
    DoubleClick(Screen(400, 250));
    Frame();
    EXPECT_TRUE(Selected().empty());
}

// Sorting by count puts the four 7s first, then the queens, then the singles; sorting again
// goes back to high to low.
TEST_F(PlayWindowTest, SortByCountAndBackByRank)
{
    SeatFour();
    Deal(kHand);
    Frame();
    ClickButton("btn_sort");
    Frame();
    const Bytes byCount = HandCodes();
    ASSERT_EQ(byCount.size(), 25u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(GetFace(byCount[static_cast<size_t>(i)]), 7) << i;
    for (int i = 4; i < 7; ++i)
        EXPECT_EQ(GetFace(byCount[static_cast<size_t>(i)]), 12) << i;
    ClickButton("btn_sort");
    Frame();
    Bytes sorted = kHand;
    KavdorSortCards(sorted);
    EXPECT_EQ(HandCodes(), sorted);
}

// The previous-round view shows each seat's play before the last for two seconds; a second
// press meanwhile does nothing, and a play made during the view shows when it ends.
TEST_F(PlayWindowTest, ThePreviousRoundShowsForTwoSeconds)
{
    SeatFour();
    Deal(kHand);
    Turn(kNext, false);
    Play(kNext, {Clubs(3)});
    Turn(kAcross, true);
    Play(kAcross, {Clubs(4)});
    Turn(kPrevious, true);
    Play(kPrevious, {Clubs(5)});
    Turn(kNext, true);
    Play(kNext, {Clubs(6)});
    ASSERT_EQ(Record(kNext).played.GetCard(0)->GetCardCode(), Clubs(6));
    m_window->OnClickpreturn();
    EXPECT_TRUE(m_window->IsPreviewActive());
    EXPECT_EQ(Record(kNext).played.GetCard(0)->GetCardCode(), Clubs(3));
    Advance(1000);
    m_window->OnClickpreturn();
    Turn(kAcross, true);
    Play(kAcross, {Clubs(8)});
    EXPECT_EQ(Record(kAcross).played.GetCardNum(), 1);
    EXPECT_EQ(Record(kAcross).played.GetCard(0)->GetCardCode(), kCardNewRound) << "the view still shows";
    Advance(1001);
    EXPECT_FALSE(m_window->IsPreviewActive());
    EXPECT_EQ(Record(kNext).played.GetCard(0)->GetCardCode(), Clubs(6));
    EXPECT_EQ(Record(kAcross).played.GetCard(0)->GetCardCode(), Clubs(8));
}

// The marks of the bidding as drawn: no image for no bid, the no-bid image for a declined bid,
// and the bid-2 image for a bid of 3; the base cards only while the hand is on.
TEST_F(PlayWindowTest, BidImagesAndBaseCardsAreDrawnWhereTheTableSays)
{
    SeatFour();
    Deal(kHand);
    // The next seat is to bid first: nobody has bid, and the action bar stays hidden.
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kNext).I32(0).Data()));
    const TestFrame none = Frame();
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kAcross).I32(2).Data()));
    const TestFrame two = Frame();
    EXPECT_GT(Changed(none, two, 581, 152, 641, 182), 50) << "the next seat's bid of 2";
    EXPECT_EQ(Changed(none, two, 407, 305, 467, 335), 0) << "the user has not bid";
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kAcross).I32(3).Data()));
    const TestFrame three = Frame();
    EXPECT_EQ(Changed(two, three, 0, 0, 800, 400), 0) << "3 shows the same picture as 2";
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BID_TURN).I32(kAcross).I32(-1).Data()));
    const TestFrame declined = Frame();
    EXPECT_GT(Changed(two, declined, 581, 152, 641, 182), 50);
    Snapshot(declined, "play_window_bidding");

    // The base cards lie above the window's top edge, inside the table dialog.
    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(0).Data()));
    const TestFrame ended = Frame();
    EXPECT_GT(Changed(declined, ended, 10, -25, 150, 0), 200) << "the base cards are gone";
    EXPECT_EQ(Player(kSelf).sounds.back(), "qipai\\win.ogg");
}

// A whole table in play, for people to look at: four seats, the hand with a picked card, plays,
// a pass, the landlord and the stake.
TEST_F(PlayWindowTest, ATableInPlayLooksLikeACardTable)
{
    SeatFour();
    Deal(kHand);
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(kNext).Data()));
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(3).I32(4).Data()));
    const Bytes base = {Spades(1), Hearts(1), Clubs(1),        Spades(2),
                        Hearts(2), Clubs(2),  kCardSmallJoker, Spades(13)};
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BASE_CARDS).Cards(base).Data()));
    ASSERT_TRUE(Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(kNext).I32(33).Data()));
    Turn(kNext, false);
    Play(kNext, {Clubs(9), Hearts(9)});
    Turn(kAcross, true);
    Play(kAcross, {});
    Turn(kPrevious, true);
    Play(kPrevious, {Clubs(11), Clubs(11)});
    Turn(kSelf, true);
    const TestFrame before = Frame();
    ClickCard(2);
    const TestFrame frame = Frame();
    Snapshot(frame, "play_window_table");
    EXPECT_GT(Changed(before, frame, 300, 600 - 260, 600, 600 - 140), 100) << "the picked card moved up";
    // Each seat's picture in its player's colour, standing on its avatar place.
    EXPECT_EQ(PixelAt(frame, 39 + 10, 441 - 30) & 0xFFFFFF, 0xC04040u);
    EXPECT_EQ(PixelAt(frame, 712 + 10, 218 - 30) & 0xFFFFFF, 0x4040C0u);
    EXPECT_EQ(PixelAt(frame, 536 + 10, 65 - 30) & 0xFFFFFF, 0xC0C040u);
    EXPECT_EQ(PixelAt(frame, 39 + 10, 218 - 30) & 0xFFFFFF, 0x40C0C0u);
    EXPECT_EQ(Player(kNext).pictureLayouts.back(), 4);
    EXPECT_EQ(Player(kSelf).pictureLayouts.back(), 3);
}
