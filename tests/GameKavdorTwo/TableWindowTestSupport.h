#pragma once
// A table for the game's own windows: the engine with a screen on an 800 x 600 memory window and
// a clock the test steps, the application object with the test's folder as its module
// directory, a table dialog and a play window of the test's own on the desktop (the play window
// fills its ground with felt and puts the action bar where the real one does), senders that keep
// the requests, and player objects that keep the sounds played on them.
//
// The skin is written into the test's folder with the real skin's layout: the host's pictures
// below "image" (the set "gameWndEX", the digit font), the game's set in its own folder with its
// pictures below "image" too, so that a window that asks in the wrong image directory gets
// nothing. Every picture is a plain colour, so a frame tells which one was drawn where; each
// digit of the font has its own colour, so a frame tells which number is shown.

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "HostInterfaces.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DBaseCL.h"
#include "TableWindows.h"

namespace tabletest
{
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr uint32_t kFelt = 0x205030;
constexpr uint32_t kClockBack = 0x3040C0;
constexpr int kClockWidth = 58;
constexpr int kClockHeight = 50;
constexpr int kDigitWidth = 10;
constexpr int kDigitHeight = 16;
constexpr int kOtherId = 7;

// The colour of a digit of the font (XRGB).
uint32_t DigitColour(int digit);
// The digit drawn in a colour, if it is one.
std::optional<int> DigitOfColour(uint32_t colour);

struct ButtonLook
{
    const char* imageId;
    int width;
    int height;
    // The four state pictures (XRGB).
    std::array<uint32_t, 4> colours;
};
// The bar's buttons in the bar's order: ready, bid 1, 2, 3, no bid, play, pass, hint.
const std::array<ButtonLook, 8>& ButtonLooks();

// The brightness of a colour (XRGB), 0 to 255.
inline int Luminance(uint32_t xrgb)
{
    return static_cast<int>((((xrgb >> 16) & 0xFF) * 299 + ((xrgb >> 8) & 0xFF) * 587 + (xrgb & 0xFF) * 114) /
                            1000);
}

// With KAVDOR_SNAPSHOT_DIR set, writes the frame there as <name>.png for people to look at.
void WriteSnapshot(const TestFrame& frame, const std::string& name);

// The engine clock's source: Win32's tick count, stepped by the test.
class FakeTicks
{
public:
    FakeTicks();
    ~FakeTicks();
    FakeTicks(const FakeTicks&) = delete;
    FakeTicks& operator=(const FakeTicks&) = delete;
    void Advance(DWORD ms) { s_now += ms; }

private:
    static inline std::atomic<DWORD> s_now{0};
};

// A sender that keeps the requests.
using RecordingSender = FakeNet;

// A player object that keeps the sounds played on it.
class RecordingPlayer : public IdlePlayer
{
public:
    void PlaySound(const char* name) override { sounds.emplace_back(name); }

    std::vector<std::string> sounds;
};

// The user (kSelfId) and one other player.
class TwoPlayers : public PlayerService
{
public:
    int GetSelfID() override { return kSelfId; }
    VarnokPlayerInfo* GetPlayerInfo(int id) override
    {
        RecordingPlayer* player = static_cast<RecordingPlayer*>(GetPlayer(id));
        return player != nullptr ? &player->info : nullptr;
    }
    VarnokPlayer* GetPlayer(int id) override;
    void* Malloc(size_t) override { return nullptr; }

    RecordingPlayer self;
    RecordingPlayer other;
};

// The play window as far as the action bar and the countdown need it: the seats' bids, the
// actions it is asked for, and its drawing of the felt and of the bar's place.
class FakePlayWindow : public KelWnd2DBaseCL, public tabletest::IdleTablePlay
{
public:
    explicit FakePlayWindow(KelWndBaseCL* parent);

    bool DrawM(KelCanvasCL* canvas) override;

    void OnClickOutCard(int kind) override { actions.push_back(kind); }
    int GetSeatCall(int seat) override { return calls.at(static_cast<size_t>(seat)); }

    void SetSeatCount(int) override {}
    void OnPlayerIn(int, int, int, const NetPlayerInfo&) override {}
    void OnPlayerOut(int) override {}
    void OnReady(int, bool) override {}
    void OnGameResult(const std::vector<NetResultRecord>&) override {}
    void OnRecv_ImChat(const std::string&) override {}
    void OnRecv_BuyProp(int, int) override {}

    std::array<int, 4> calls{};
    std::vector<int> actions;
};

// The table dialog under its own name, holding the play window.
class FakeTable : public KelWnd2DBaseCL, public TableDialog
{
public:
    explicit FakeTable(KelWndBaseCL* desktop);

    void OnRecv_OnBaseRecPlayerWantToLeave(int, const std::string&) override {}
    void OnRecv_BaseRecPlayerExitType(int) override {}
    void OnRecv_BaseRecEnterPassWord() override {}
    KelWndBaseCL* GetGameWnd() override { return play; }
    KelWndBaseCL* GetChatWindow() override { return nullptr; }
    KelWndBaseCL* GetToolBar() override { return nullptr; }

    FakePlayWindow* play;
};

// The test's folder as the module directory.
class FolderSystem : public KelSystemCL
{
public:
    const std::string& GetModuleDirectory() override { return directory; }
    std::string directory;
};

class TableWindowTest : public EngineTestBase<FolderSystem>
{
protected:
    TableWindowTest() : EngineTestBase(kScreenWidth, kScreenHeight) {}
    void SetUp() override;
    void TearDown() override;

    // Writes the test skin and loads it as the host and the application object do; the game's
    // set is loaded by the application object's start.
    void LoadSkin();
    // Opens the table with its play window on the desktop.
    FakePlayWindow* OpenTable();
    // One frame as the host runs it: the engine's clock, the windows' update, the drawing.
    TestFrame Frame();
    // The frame drawn again, without the update in between.
    TestFrame DrawAgain();
    // Mouse move, press and release at a point of the screen.
    void Click(int x, int y);
    static void Snapshot(const TestFrame& frame, const std::string& name) { WriteSnapshot(frame, name); }

    FakeTicks m_ticks;
    KelUIManagerCL m_ui;
    FakeTable* m_table = nullptr;
    RecordingSender m_room;
    RecordingSender m_game;
    TwoPlayers m_players;
};
} // namespace tabletest
