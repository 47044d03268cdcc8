// play_window_frame: the whole table as the lobby host draws it in the middle of a hand, at
// 800 x 600 on the software device (one core). The game's table dialog with its play window,
// entered as the host enters a table, with the generated skin of the build's runtime folder and
// the host's own player objects, so the seats show the host's portraits. Four seated players, all
// ready; the user is the landlord with 33 cards, the eight base cards shown; the three others
// have played a straight of five, a higher straight and a bomb of four, and it is the user's turn
// to follow, so the countdown and the action bar (play, pass, hint) are up; base score 3, times 2.
// The state is reached only through the module's room and game sinks with the server's messages.
// Each frame is what the host does per frame without input, network and sound: the engine's
// update, the module's update, then the screen's frame with the module's Render (the UI manager's
// RenderM). A different hand card is raised each frame, so every frame draws something new.
//
// The clock stands still: the countdown never runs out (which would play the user's turn and
// change the table), and every repetition draws the same frames.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "CDlgFunctionBarCL.h"
#include "CDlgGameWndKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "CardCode.h"
#include "FrameCheck.h"
#include "HostNetCL.h"
#include "HostPlayersCL.h"
#include "KelCanvasCL.h"
#include "KelEngineCL.h"
#include "KelFontManagerCL.h"
#include "KelLoadSystemCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "NetMsgWriterCL.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// The user, then the others in turn order after him (seats 1, 2 and 3).
constexpr int kSelf = 42;
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
constexpr uint8_t Diamonds(int face)
{
    return static_cast<uint8_t>(39 + face);
}

// The landlord's 33 cards: both jokers, every spade and heart, clubs ace to 5. No code is on the
// table more than twice (two decks) with the plays below.
Bytes LandlordHand()
{
    Bytes hand = {kCardBigJoker, kCardSmallJoker};
    for (int face = 1; face <= 13; ++face)
    {
        hand.push_back(Spades(face));
        hand.push_back(Hearts(face));
    }
    for (int face = 1; face <= 5; ++face)
        hand.push_back(Clubs(face));
    return hand;
}

// Eight of the landlord's cards, which the bidding gave him.
const Bytes kBaseCards = {Spades(1), Hearts(1), Clubs(1),        Spades(2),
                          Hearts(2), Clubs(2),  kCardSmallJoker, Spades(13)};
const Bytes kLead = {Diamonds(3), Diamonds(4), Clubs(5), Diamonds(6), Spades(7)};
const Bytes kHigherStraight = {Diamonds(8), Hearts(9), Clubs(10), Diamonds(11), Spades(12)};
const Bytes kBomb = {Spades(9), Clubs(9), Diamonds(9), Clubs(9)};

// The module's directory is the runtime folder, as when the host runs from it.
class RunFolderSystem : public KelSystemCL
{
public:
    const std::string& GetModuleDirectory() override { return directory; }
    std::string MakePath(const std::string& name) override { return directory + "\\" + name; }
    std::string directory;
};

DWORD StandingClock()
{
    return 100000;
}

std::string WinPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

struct Seating
{
    int id;
    const char* nickname;
    int sex;
};
const Seating kSeats[4] = {
    {kSelf, "逍遥客", 0}, {kNext, "老王", 0}, {kAcross, "小芳", 1}, {kPrevious, "大刘", 0}};

class PlayWindowFrame
{
public:
    PlayWindowFrame() : m_window(kWidth, kHeight), m_net([](const Bytes&) { return true; })
    {
        Win32SetTickSource(&StandingClock);
        m_system.Initialize(nullptr);
        m_system.directory = WinPath(KAVDOR_RUN_FOLDER);
        if (!m_engine.KelObjLoaderInit(nullptr))
            return;
        m_screen = m_engine.CreateKelWindow("main");
        if (m_screen == nullptr || !m_screen->CreateDevice(&m_window, 0))
        {
            m_screen = nullptr;
            return;
        }
        m_engine.SetImageDirectory("image");
        m_ui.SetGuiConfigM("Config\\Gui\\guiConfig.xml");
        m_ui.SetDeskTopSizeM(kWidth, kHeight);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_app->Render(canvas); });
        LoadModule();
        m_moduleLoaded = true;
        EnterTable();
        PlayToTheUsersTurn();
    }

    ~PlayWindowFrame()
    {
        if (m_screen != nullptr)
            m_screen->SetRenderCallback(nullptr);
        if (m_moduleLoaded)
            UnloadModule();
        // The players' portraits are textures of the engine's images, which its shutdown frees.
        m_players.reset();
        m_engine.KelObjLoaderDestroy();
        Win32SetTickSource(nullptr);
    }

    PlayWindowFrame(const PlayWindowFrame&) = delete;
    PlayWindowFrame& operator=(const PlayWindowFrame&) = delete;

    // Empty when the table is as described at the top; otherwise what is missing.
    std::string Problem()
    {
        if (m_screen == nullptr)
            return "no screen with a device";
        if (m_playWindow == nullptr)
            return "the table dialog made no play window";
        KavdorSeatRecord* self = m_playWindow->PlayerRecord(kSelf);
        if (self == nullptr || self->hand.GetCardNum() != 33)
            return "the user does not hold 33 cards";
        if (m_playWindow->GetLandlord() != kSelf)
            return "the user is not the landlord";
        if (m_playWindow->GetBaseCard(0) == nullptr ||
            m_playWindow->GetBaseCard(0)->GetCardCode() != kBaseCards[0])
            return "the base cards are not shown";
        const std::pair<int, size_t> plays[] = {
            {kNext, kLead.size()}, {kAcross, kHigherStraight.size()}, {kPrevious, kBomb.size()}};
        for (const auto& [id, count] : plays)
            if (m_playWindow->PlayerRecord(id) == nullptr ||
                m_playWindow->PlayerRecord(id)->played.GetCardNum() != static_cast<int>(count))
                return "a seat's play is not on the table";
        if (m_playWindow->GetCurrentPlayer() != kSelf || m_playWindow->GetCountDown() == nullptr)
            return "it is not the user's turn with a countdown";
        if (!m_playWindow->GetFunctionBar()->GetShowState())
            return "the action bar is hidden";
        for (const Seating& seat : kSeats)
            if (m_players->Find(seat.id) == nullptr)
                return "the host has no player object for a seat";
        return {};
    }

    // One frame of the host: the engine's and the module's updates, a different card raised,
    // the screen drawn.
    void Render(int frame)
    {
        m_engine.OnUpdateM();
        m_app->Update();
        CGameKavdorGroupCl& hand = m_playWindow->PlayerRecord(kSelf)->hand;
        hand.SetSelectFlag(0);
        hand.GetCard(frame % hand.GetCardNum())->SetCardSelect(1);
        m_screen->RenderFrame();
    }

    void WritePng(const std::string& name) const { WriteFramePng(name, m_window.Frame(), kWidth, kHeight); }

    uint32_t Hash() const { return FrameHash(m_window.Frame()); }

private:
    // The application object lives as long as the process: each repetition leaves the table and
    // takes the module down as the host does, so that the next one starts from a fresh table.
    void UnloadModule()
    {
        m_app->ExitGame();
        Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(0).Data());
        m_app->Destroy();
        m_app->SetGameNet(nullptr, nullptr);
        m_app->SetNetMsgDispatcher(nullptr);
        m_app->SetNetMsgSender(nullptr);
        m_app->SetPlayerService(nullptr);
    }

    // What the host does with the module once loaded; both share this one engine.
    void LoadModule()
    {
        m_app->SetDllName("kavdortwo");
        m_app->SetWorkDirectory((m_system.directory + "\\game\\kavdortwo").c_str());
        m_app->SetNetMsgDispatcher(&m_net.RoomLevel());
        m_app->SetNetMsgSender(&m_net);
        m_app->SetPlayerService(m_players.get());
        m_app->SetScreenSize(kWidth, kHeight);
        m_app->Initial();
    }

    // The user logs in, enters a table (the module makes its table dialog and play window) and
    // the other three sit down; everybody is ready.
    void EnterTable()
    {
        m_players->SetSelf(kSelf, Info(kSeats[0]));
        // The frame is timed without the mixer.
        m_players->SetSoundOn(false);
        m_app->SetGameNet(&m_net, &m_net.GameLevel());
        m_app->EnterGame();
        m_playWindow = dynamic_cast<CDlgGameWndKavdorTwoCL*>(m_app->GetDlgGameWnd());
        for (int seat = 0; seat < 4; ++seat)
        {
            const NetPlayerInfo info = Info(kSeats[seat]);
            m_players->Update(kSeats[seat].id, info);
            Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                     .I32(kSeats[seat].id)
                     .I32(seat)
                     .I32(2)
                     .PlayerInfo(info)
                     .Data());
        }
        for (const Seating& seat : kSeats)
            Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(seat.id).U8(1).Data());
    }

    // The deal, the bidding's outcome and one round up to the user's turn. The user is dealt
    // his 33 cards at once: the landlord's second deal, which the server sends after naming him,
    // would take the landlord's mark away in this module.
    void PlayToTheUsersTurn()
    {
        if (m_playWindow == nullptr)
            return;
        Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_START_READY).Data());
        Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RUNNING).I32(1).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(0).I32(1).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_DEAL).I32(kSelf).Cards(LandlordHand()).Data());
        for (int id : {kNext, kAcross, kPrevious})
            Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(id).I32(25).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_BASE_CARDS).Cards(kBaseCards).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_LANDLORD).I32(kSelf).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(3).I32(1).Data());
        Play(kNext, false, kLead, 20);
        Play(kAcross, true, kHigherStraight, 20);
        Play(kPrevious, true, kBomb, 21);
        // The bomb doubles the stake.
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_SCORE_INFO).I32(3).I32(2).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(kSelf).I32(1).Data());
    }

    // A seat's turn, its play and what it has left, as the server sends them.
    void Play(int id, bool follow, const Bytes& cards, int left)
    {
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY_TURN).I32(id).I32(follow ? 1 : 0).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_PLAY).I32(id).Cards(cards).Data());
        Game(NetMsgWriterCL(NET_CATEGORY_GAME, GAME_CARD_COUNT).I32(id).I32(left).Data());
    }

    static NetPlayerInfo Info(const Seating& seat)
    {
        NetPlayerInfo info;
        info.nickname = seat.nickname;
        info.values[NET_INFO_SEX] = seat.sex;
        info.values[NET_INFO_LEVEL] = 3;
        info.values[NET_INFO_SCORE] = 1200;
        info.values[NET_INFO_COINS] = 5000;
        return info;
    }

    void Room(const Bytes& message)
    {
        m_app->GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }
    void Game(const Bytes& message)
    {
        m_app->GetGameSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }

    // The host's engine: each manager its own, the system object reading the runtime folder.
    RunFolderSystem m_system;
    KelRenderStateManagerCL m_states;
    KelLoadSystemCL m_loader;
    KelTextureInfoManagerCL m_textureInfo;
    KelFontManagerCL m_fonts;
    // Constructed after the registry, so that the registry gets the texture factory.
    KelResourceManagerCL m_images;
    KelScreenManagerCL m_screens;
    KelEngineCL m_engine;
    KelUIManagerCL m_ui;
    MemoryWindow m_window;
    KelScreenCL* m_screen = nullptr;
    HostNetCL m_net;
    std::unique_ptr<HostPlayersCL> m_players = std::make_unique<HostPlayersCL>();
    CGameCardKavdorTwoCL* m_app = GetApp();
    CDlgGameWndKavdorTwoCL* m_playWindow = nullptr;
    bool m_moduleLoaded = false;
};

void play_window_frame(benchmark::State& state)
{
    PlayWindowFrame table;
    const std::string problem = table.Problem();
    if (!problem.empty())
    {
        state.SkipWithError(("the table is not as it should be (is the skin built?): " + problem).c_str());
        return;
    }
    TimeFrames(state, [&table](int number) { table.Render(number); });
    state.counters["hash"] = static_cast<double>(table.Hash());
    table.WritePng("play_window_frame");
}
BENCHMARK(play_window_frame)->Iterations(300)->Unit(benchmark::kMillisecond);
} // namespace
