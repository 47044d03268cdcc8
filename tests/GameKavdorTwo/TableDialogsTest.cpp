// The table's small dialogs as a player meets them: opened on the desktop with the generated
// skin, driven by mouse and keyboard messages through the UI manager, timed by the engine's clock
// stepped through the system tick source. Checked are the requests the room receives (bytes),
// the settings file, the host's player object, and the pixels of rendered frames.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include "CDlgTableKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "DlgGameBetSetingCL.h"
#include "DlgGameExitCL.h"
#include "DlgGameForceExitCL.h"
#include "DlgGamePassWordCL.h"
#include "DlgGameScoreCL.h"
#include "DlgGameSetingtCL.h"
#include "DlgHintPlayerCL.h"
#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "TableWindowTestSupport.h"
#include "Win32/Messages.h"
#include "Win32/Profile.h"
#include "Win32/Shell.h"
#include "Win32/Time.h"

namespace
{
using Bytes = std::vector<uint8_t>;

// The host's room level: the dispatcher the room sink registers with, and the sender keeping
// every request.
using FakeRoom = tabletest::FakeNet;

// A player object of the host: his record, his coins and the sound switch.
class FakePlayer : public tabletest::IdlePlayer
{
public:
    FakePlayer(int id, const char* nickname, int coinCount) : IdlePlayer(id, nickname), coins(coinCount) {}
    int GetCoins() override { return coins; }
    void SetSoundOn(bool on) override { soundSwitches.push_back(on); }

    int coins;
    std::vector<bool> soundSwitches;
};

constexpr int kSelf = tabletest::kSelfId;

// New players have no coins unless the test gives them some.
class FakePlayers : public tabletest::FakePlayerService<FakePlayer>
{
public:
    FakePlayer& Add(int id, const char* nickname, int coins = 0)
    {
        return FakePlayerService::Add(id, nickname, coins);
    }
};

// The engine's system object with the test's folder as the module directory (where
// "\config.ini" lies). Its clock runs on the system tick source, which the test steps.
using DialogSystem = tabletest::ModuleSystem;

std::atomic<DWORD> g_ticks{0};

using tabletest::WinPath;

using tabletest::RoomMessage;

using tabletest::IntField;
using tabletest::TextField;

using tabletest::Luminance;

class TableDialogsTest : public EngineTestBase<DialogSystem>
{
protected:
    TableDialogsTest() : EngineTestBase(800, 600) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        g_ticks = 1000;
        Win32SetTickSource([] { return g_ticks.load(); });
        m_system.Initialize(nullptr);
        m_system.directory = m_folder.WinPath();

        // The host's skin: its image directory with every texture-info set, its GUI
        // configuration, and the yellow digits the table dialog loads for its windows.
        m_textureInfo.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textureInfo.LoadAllTextureInfo();
        ASSERT_NE(
            m_fonts.LoadImageFont((WinPath(m_run / "image") + "\\config\\TextNumberYellow.xml").c_str()),
            nullptr);
        std::string relative = std::filesystem::relative(m_run, m_folder.Path()).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        m_ui.SetGuiConfigM(relative + "\\Config\\Gui\\guiConfig.xml");
        m_ui.SetDeskTopSizeM(800, 600);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });

        m_app->SetNetMsgDispatcher(&m_room);
        m_app->SetNetMsgSender(&m_room);
        m_app->SetPlayerService(&m_players);
        m_app->SetEffectLevel(1);
        // Registers the room sink and remembers the host's image directory as the frame's.
        m_app->OnInitial();
        ASSERT_EQ(m_app->GetRoomSink().GetSender(), &m_room);
        m_players.Add(kSelf, "Tester", 1000);
    }

    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        m_app->OnDestroy();
        m_app->GetRoomSink().SetSender(nullptr);
        m_app->SetNetMsgDispatcher(nullptr);
        m_app->SetNetMsgSender(nullptr);
        m_app->SetPlayerService(nullptr);
        m_app->SetEffectLevel(1);
        DeliverRoom(RoomMessage(21, IntField(0)));
        Win32SetTickSource(nullptr);
        EngineTestBase::TearDown();
    }

    // A window of the desktop, or one of its children ("dialog\child").
    KelWnd2DBaseCL* Find(const std::string& path)
    {
        KelWnd2DBaseCL* desktop = m_ui.GetDeskTopM();
        return desktop != nullptr ? dynamic_cast<KelWnd2DBaseCL*>(desktop->FindWndM(path.c_str())) : nullptr;
    }

    bool Post(UINT message, int x, int y, WPARAM keys = 0)
    {
        return m_ui.PostMessageM(nullptr, message, keys, MAKELPARAM(x, y));
    }

    // A left click at the middle of the window, as the mouse gives it.
    void Click(KelWnd2DBaseCL* window)
    {
        ASSERT_NE(window, nullptr) << ReadLog();
        const KelRect rect = window->GetScreenRectM();
        const int x = (rect.left + rect.right) / 2;
        const int y = (rect.top + rect.bottom) / 2;
        Post(WM_MOUSEMOVE, x, y);
        Post(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Post(WM_LBUTTONUP, x, y);
    }
    void Click(const std::string& path) { Click(Find(path)); }

    void Type(const std::string& bytes)
    {
        for (char c : bytes)
            m_ui.PostMessageM(nullptr, WM_CHAR, static_cast<unsigned char>(c), 0);
    }

    // The host's frame: the manager's update, then the windows drawn.
    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }

    // What the screen shows once the windows have settled: a click raises its dialog, which
    // spends the next update on moving to the top, so the host's second frame shows the change.
    TestFrame Shown()
    {
        Frame();
        return Frame();
    }

    // Time passes: the system ticks and the windows' timers run.
    void Advance(DWORD ms)
    {
        g_ticks += ms;
        m_system.Tick();
        m_ui.UpDatedataM();
    }

    bool DeliverRoom(const Bytes& message)
    {
        return m_app->GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }

    // With KAVDOR_SNAPSHOT_DIR set, the part of the frame around the window is written there as
    // <name>.png, twice the size, for people to look at.
    static void Snapshot(const TestFrame& frame, const std::string& name, KelWnd2DBaseCL* window)
    {
        const char* folder = std::getenv("KAVDOR_SNAPSHOT_DIR");
        if (folder == nullptr || window == nullptr)
            return;
        const KelRect screen = window->GetScreenRectM();
        const int left = std::max(0, screen.left - 10);
        const int top = std::max(0, screen.top - 10);
        const int width = std::min(frame.width, screen.right + 10) - left;
        const int height = std::min(frame.height, screen.bottom + 10) - top;
        std::vector<uint8_t> rgb;
        for (int y = 0; y < height * 2; ++y)
            for (int x = 0; x < width * 2; ++x)
                for (int shift : {16, 8, 0})
                    rgb.push_back(static_cast<uint8_t>(frame.At(left + x / 2, top + y / 2) >> shift));
        const std::string path = (std::filesystem::path(folder) / (name + ".png")).string();
        stbi_write_png(path.c_str(), width * 2, height * 2, 3, rgb.data(), width * 2 * 3);
    }

    const std::filesystem::path m_run = KAVDOR_RUN_FOLDER;
    KelUIManagerCL m_ui;
    FakeRoom m_room;
    FakePlayers m_players;
    CGameCardKavdorTwoCL* m_app = GetApp();
};

// The box around the pixels of the rectangle (screen coordinates) that pass the test; empty when
// none does.
KelRect BoundingBox(const TestFrame& frame, const KelRect& rect, const std::function<bool(uint32_t)>& match)
{
    KelRect box(rect.right, rect.bottom, rect.left, rect.top);
    for (int y = std::max(0, rect.top); y < std::min(frame.height, rect.bottom); ++y)
        for (int x = std::max(0, rect.left); x < std::min(frame.width, rect.right); ++x)
            if (match(frame.At(x, y)))
            {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box.left < box.right ? box : KelRect();
}

KelRect Intersect(const KelRect& a, const KelRect& b)
{
    return KelRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom));
}

// How a line of text of one colour reads inside the rectangle: how many pixels it has, and what
// share of the pixels around them (within the text's own box) are too close in brightness to
// tell apart from it.
struct Legibility
{
    int textPixels = 0;
    double blendingShare = 1.0;
};

Legibility Legible(const TestFrame& frame, const KelRect& rect, uint32_t textColour)
{
    Legibility result;
    const KelRect box = BoundingBox(frame, rect, [textColour](uint32_t p) { return p == textColour; });
    if (box.Width() <= 0)
        return result;
    int others = 0;
    int blending = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
        {
            const uint32_t pixel = frame.At(x, y);
            if (pixel == textColour)
            {
                ++result.textPixels;
                continue;
            }
            ++others;
            if (std::abs(Luminance(pixel) - Luminance(textColour)) < 60)
                ++blending;
        }
    result.blendingShare = others > 0 ? static_cast<double>(blending) / others : 0.0;
    return result;
}

} // namespace

// Every button of every dialog: what it sends to the room and whether its dialog goes.
TEST_F(TableDialogsTest, EachButtonSendsItsRequestAndClosesItsDialog)
{
    struct Case
    {
        const char* what;
        std::function<void()> open;
        const char* dialog;
        const char* button;
        std::vector<Bytes> sent;
        bool closes;
    };
    const Bytes selfLine = TextField("[Tester]说：");
    const std::vector<Case> cases = {
        {"force exit",
         [] { new DlgGameForceExitCL(); },
         "DlgGameForceExitCL",
         "m_ok",
         {RoomMessage(2)},
         true},
        {"force exit cancel", [] { new DlgGameForceExitCL(); }, "DlgGameForceExitCL", "m_cancel", {}, true},
        {"plain exit", [] { new DlgGameExitCL(true, 3); }, "DlgGameExitCL", "btn_ok", {RoomMessage(8)}, true},
        {"plain exit cancel", [] { new DlgGameExitCL(true, 3); }, "DlgGameExitCL", "btn_cancel", {}, true},
        {"exit request",
         [] { new DlgGameExitCL(false, 3); },
         "DlgGameExitCL",
         "btn_ok",
         {RoomMessage(1, selfLine)},
         true},
        {"exit request by force",
         [] { new DlgGameExitCL(false, 3); },
         "DlgGameExitCL",
         "btn_force",
         {RoomMessage(2)},
         true},
        {"exit request cancel", [] { new DlgGameExitCL(false, 3); }, "DlgGameExitCL", "btn_cancel", {}, true},
        {"settings", [] { new DlgGameSetingtCL(); }, "DlgGameSetingtCL", "m_ok", {}, true},
        {"stake",
         [] { new DlgGameBetSetingCL(); },
         "DlgGameBetSetingCL",
         "m_ok",
         {RoomMessage(14, IntField(0))},
         true},
        {"stake skipped", [] { new DlgGameBetSetingCL(); }, "DlgGameBetSetingCL", "m_cancel", {}, true},
        {"score", [] { new DlgGameScoreCL(1, {kSelf}, {5}, {50}); }, "DlgGameScoreCL", "m_ok", {}, true},
        {"password",
         [] { new DlgGamePassWordCL(); },
         "DlgGamePassWordCL",
         "ok_btn",
         {RoomMessage(13, TextField(""))},
         false},
        {"hint",
         [] { new DlgHintPlayerCL("DlgHintPlayerCL", "hint", 320, 130, 180, 90, 10); },
         "DlgHintPlayerCL",
         "m_ok",
         {},
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_room.sent.clear();
        c.open();
        auto* dialog = Find(c.dialog);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(m_ui.GetTopModalM(), dialog) << "the dialog alone receives the mouse";
        Frame();
        Click(std::string(c.dialog) + "\\" + c.button);
        EXPECT_EQ(m_room.sent, c.sent);
        Frame();
        EXPECT_EQ(Find(c.dialog) == nullptr, c.closes);
        EXPECT_EQ(m_ui.GetTopModalM() == nullptr, c.closes);
        // The password dialog waits for the room's answer; the next case starts on an empty desktop.
        if (KelWnd2DBaseCL* open = Find(c.dialog))
        {
            open->CloseM();
            Frame();
        }
    }
}

// Each dialog drawn with the generated skin: every label and every button caption stands out
// from what lies beneath it. A white label over the light dialog body, or a black caption on a
// dark face, would leave its text unreadable.
TEST_F(TableDialogsTest, EveryDialogReadsWithTheSkin)
{
    m_players.Add(7, "West", 0);
    m_players.Add(8, "North", 0);
    const std::vector<std::pair<std::string, std::function<void()>>> dialogs = {
        {"DlgGameForceExitCL", [] { new DlgGameForceExitCL(); }},
        {"DlgGameExitCL", [] { new DlgGameExitCL(true, 3); }},
        {"DlgGameExitCL", [] { new DlgGameExitCL(false, 2); }},
        {"DlgGameSetingtCL", [] { new DlgGameSetingtCL(); }},
        {"DlgGameBetSetingCL", [] { new DlgGameBetSetingCL(); }},
        {"DlgGameScoreCL",
         [] {
             new DlgGameScoreCL(4, {kSelf, 7, 8, 9}, {24, -8, -8, -8}, {240, -80, -80, -80});
         }},
        {"DlgGamePassWordCL", [] { new DlgGamePassWordCL(); }},
        {"DlgHintPlayerCL",
         []
         {
             new DlgHintPlayerCL("DlgHintPlayerCL", "在本游戏桌游戏，每盘游戏开始后，您将消耗40游戏金币。",
                                 320, 130, 180, 90, 10);
         }},
    };
    int shot = 0;
    for (const auto& [name, open] : dialogs)
    {
        SCOPED_TRACE(name);
        open();
        KelWnd2DBaseCL* dialog = Find(name);
        ASSERT_NE(dialog, nullptr);
        const TestFrame frame = Frame();
        Snapshot(frame, "dialog_" + std::to_string(shot++) + "_" + name, dialog);
        const KelRect area = dialog->GetScreenRectM();
        for (KelWndBaseCL* child : dialog->GetChildren())
        {
            auto* control = dynamic_cast<KelWnd2DBaseCL*>(child);
            const bool label = dynamic_cast<KelWnd2DLabelCL*>(child) != nullptr;
            const bool button = dynamic_cast<KelWnd2DButtonCL*>(child) != nullptr;
            if (!label && !(button && !control->GetTextM().empty()))
                continue;
            SCOPED_TRACE(control->GetNameM());
            const Legibility text =
                Legible(frame, Intersect(control->GetScreenRectM(), area), control->GetColor() & 0xFFFFFF);
            EXPECT_GE(text.textPixels, 10) << "its text is drawn";
            EXPECT_LT(text.blendingShare, 0.02) << "its text stands out from what lies beneath";
        }
        dialog->CloseM();
        Frame();
    }
}

// The request form: the reason typed into the box goes out after the user's nickname; the box
// takes at most 120 bytes, and the label tells the requests left.
TEST_F(TableDialogsTest, ExitRequestSendsTheTypedReasonAfterTheNickname)
{
    new DlgGameExitCL(false, 3);
    Frame();
    auto* chances = dynamic_cast<KelWnd2DLabelCL*>(Find("DlgGameExitCL\\s_gameExit"));
    ASSERT_NE(chances, nullptr);
    EXPECT_EQ(chances->GetEditText(), "  请输入您退出的理由，你还有3次退出请求机会。");
    EXPECT_EQ(chances->GetColor(), 0xFF000000u);
    EXPECT_EQ(m_ui.GetFocusWndM(), Find("DlgGameExitCL\\richEdit")) << "the reason box takes the keys";

    Type("ab中");
    const TestFrame typed = Frame();
    const KelRect box = Find("DlgGameExitCL\\richEdit")->GetScreenRectM();
    EXPECT_GE(Legible(typed, box, 0xFFFFFF).textPixels, 20) << "the reason is written in white";
    EXPECT_LT(Legible(typed, box, 0xFFFFFF).blendingShare, 0.02);
    Click("DlgGameExitCL\\btn_ok");
    EXPECT_EQ(m_room.sent, (std::vector<Bytes>{RoomMessage(1, TextField("[Tester]说：ab中"))}));
    Frame();
    EXPECT_EQ(Find("DlgGameExitCL"), nullptr);

    m_room.sent.clear();
    new DlgGameExitCL(false, 1);
    Frame();
    Type(std::string(130, 'x'));
    Click("DlgGameExitCL\\btn_ok");
    EXPECT_EQ(m_room.sent,
              (std::vector<Bytes>{RoomMessage(1, TextField("[Tester]说：" + std::string(120, 'x')))}));
}

// A request field holds at most 255 bytes: a longer line is refused, nothing is sent and the
// dialog stays open for a shorter reason.
TEST_F(TableDialogsTest, ExitRequestRefusesALineOverTheFieldLimit)
{
    const size_t prefix = std::string("[Tester]说：").size();
    for (const size_t reason : {255 - prefix, 256 - prefix})
    {
        SCOPED_TRACE(reason);
        m_room.sent.clear();
        new DlgGameExitCL(false, 3);
        auto* box = dynamic_cast<KelWnd2DRichEditIICL*>(Find("DlgGameExitCL\\richEdit"));
        ASSERT_NE(box, nullptr);
        // Typing stops at 120 bytes; text put into the box otherwise is not limited.
        box->AddTextM(std::string(reason, 'r'));
        Frame();
        Click("DlgGameExitCL\\btn_ok");
        Frame();
        const bool fits = prefix + reason <= 255;
        EXPECT_EQ(m_room.sent.size(), fits ? 1u : 0u);
        EXPECT_EQ(Find("DlgGameExitCL") == nullptr, fits);
        if (!fits)
        {
            EXPECT_NE(ReadLog().find("长度太长！"), std::string::npos);
            Find("DlgGameExitCL")->CloseM();
            Frame();
        }
    }
}

// The stake rises only while the user's coins cover it and it stays within 500; without the
// user's player object it does not move. "清零" clears it, "确定" sends it.
TEST_F(TableDialogsTest, StakeStaysWithinTheCoinsAndTheMaximum)
{
    struct Step
    {
        const char* button;
        int stake;
    };
    struct Case
    {
        const char* what;
        int coins; // below 0: the host has no player object for the user
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"up to the maximum",
         1000,
         {{"m_btn10", 100},
          {"m_btn10", 200},
          {"m_btn10", 300},
          {"m_btn10", 400},
          {"m_btn5", 450},
          {"m_btn2", 470},
          {"m_btn1", 480},
          {"m_btn1", 490},
          {"m_btn2", 490},
          {"m_btn1", 500},
          {"m_btn1", 500}}},
        {"up to the coins", 30, {{"m_btn2", 20}, {"m_btn2", 20}, {"m_btn1", 30}, {"m_btn1", 30}}},
        {"cleared", 1000, {{"m_btn10", 100}, {"m_btn5", 150}, {"m_zero", 0}}},
        {"no player object", -1, {{"m_btn1", 0}, {"m_btn10", 0}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_players.players.clear();
        if (c.coins >= 0)
            m_players.Add(kSelf, "Tester", c.coins);
        m_room.sent.clear();
        new DlgGameBetSetingCL();
        Frame();
        auto* dialog = dynamic_cast<DlgGameBetSetingCL*>(Find("DlgGameBetSetingCL"));
        ASSERT_NE(dialog, nullptr);
        for (const Step& step : c.steps)
        {
            Click(std::string("DlgGameBetSetingCL\\") + step.button);
            EXPECT_EQ(dialog->GetStake(), step.stake) << step.button;
        }
        Click("DlgGameBetSetingCL\\m_ok");
        EXPECT_EQ(m_room.sent, (std::vector<Bytes>{RoomMessage(14, IntField(c.steps.back().stake))}));
        Frame();
        EXPECT_EQ(Find("DlgGameBetSetingCL"), nullptr);
    }
}

// The stake is written with the yellow digits, centred under the stake buttons, and follows
// every change (the dialog keeps a picture of itself that each change must renew).
TEST_F(TableDialogsTest, StakeIsDrawnInYellowDigitsCentredUnderTheButtons)
{
    new DlgGameBetSetingCL();
    KelWnd2DBaseCL* dialog = Find("DlgGameBetSetingCL");
    ASSERT_NE(dialog, nullptr);
    const auto [x, y] = dialog->GetPosM();
    // The digits' gold, not the white label nor the green buttons nor the blue-grey panel.
    const auto gold = [](uint32_t p)
    { return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 120 && (p & 0xFF) < 100; };
    const KelRect area(x, y, x + 221, y + 133);
    const auto digits = [&](const char* shot)
    {
        const TestFrame frame = Shown();
        Snapshot(frame, shot, dialog);
        return BoundingBox(frame, area, gold);
    };
    const KelRect zero = digits("stake_0");
    ASSERT_GT(zero.Width(), 0) << "the stake 0 is drawn";
    for (int i = 0; i < 5; ++i)
        Click("DlgGameBetSetingCL\\m_btn10");
    const KelRect five = digits("stake_500");
    ASSERT_GT(five.Width(), 0);
    EXPECT_GE(five.Width(), 2 * zero.Width()) << "three digits";
    for (const KelRect& box : {zero, five})
    {
        EXPECT_NEAR((box.left + box.right) / 2.0, x + 215 / 2.0, 2.0) << "centred";
        // The digits' cell starts 65 below the top; the gold lies inside its outline.
        EXPECT_GE(box.top, y + 65);
        EXPECT_LE(box.top, y + 65 + 8);
        EXPECT_GT(box.top, Find("DlgGameBetSetingCL\\m_btn1")->GetScreenRectM().bottom);
        EXPECT_LT(box.bottom, Find("DlgGameBetSetingCL\\m_ok")->GetScreenRectM().top);
    }
    Click("DlgGameBetSetingCL\\m_zero");
    EXPECT_EQ(digits("stake_cleared"), zero);
}

// The sound switch starts from "\config.ini" and writes it back, and switches the host's sounds;
// the effect level goes to the application object.
TEST_F(TableDialogsTest, SettingsReadAndWriteTheSoundSwitchAndTheEffectLevel)
{
    struct Case
    {
        const char* ini;
        const char* ticked;
    };
    const Case cases[] = {
        {nullptr, "audioOpen"},
        {"[System]\nOpenAudio=1\n", "audioClose"},
        {"[System]\nOpenAudio=0\n", "audioOpen"},
    };
    // A ticked radio button has a blue dot in its middle; an empty one is white there.
    const auto dotted = [this](const TestFrame& frame, const std::string& radio)
    {
        const std::string group = radio.rfind("audio", 0) == 0 ? "SetAudio" : "SetLogicPos";
        KelWnd2DBaseCL* box = Find("DlgGameSetingtCL\\" + group + "\\" + radio);
        if (box == nullptr)
        {
            ADD_FAILURE() << "no radio button " << radio;
            return false;
        }
        const KelRect rect = box->GetScreenRectM();
        return frame.At(rect.left + 7, (rect.top + rect.bottom) / 2) == 0x286EC8u;
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.ini != nullptr ? c.ini : "no file");
        std::filesystem::remove(m_folder.Path() / "config.ini");
        if (c.ini != nullptr)
            m_folder.Write("config.ini", c.ini);
        new DlgGameSetingtCL();
        const TestFrame frame = Shown();
        for (const char* radio : {"audioOpen", "audioClose"})
            EXPECT_EQ(dotted(frame, radio), std::string(radio) == c.ticked) << radio;
        Find("DlgGameSetingtCL")->CloseM();
        Frame();
    }

    FakePlayer& user = *m_players.GetPlayer(kSelf);
    m_app->SetEffectLevel(2);
    new DlgGameSetingtCL();
    Frame();
    EXPECT_TRUE(dotted(Shown(), "effectLow"));
    Click("DlgGameSetingtCL\\SetAudio\\audioClose");
    EXPECT_EQ(GetPrivateProfileIntA("System", "OpenAudio", -1, DlgGameSetingtCL::ConfigPath().c_str()), 1u);
    Click("DlgGameSetingtCL\\SetAudio\\audioOpen");
    EXPECT_EQ(GetPrivateProfileIntA("System", "OpenAudio", -1, DlgGameSetingtCL::ConfigPath().c_str()), 0u);
    EXPECT_EQ(user.soundSwitches, (std::vector<bool>{true, false}));
    EXPECT_TRUE(dotted(Shown(), "audioOpen"));
    Click("DlgGameSetingtCL\\SetLogicPos\\effectHight");
    EXPECT_EQ(m_app->GetEffectLevel(), 0);
    Click("DlgGameSetingtCL\\SetLogicPos\\effcetMid");
    EXPECT_EQ(m_app->GetEffectLevel(), 1);
    EXPECT_TRUE(dotted(Shown(), "effcetMid"));

    // Without the user's player object the choice is still kept.
    m_players.players.clear();
    Click("DlgGameSetingtCL\\SetAudio\\audioClose");
    EXPECT_EQ(GetPrivateProfileIntA("System", "OpenAudio", -1, DlgGameSetingtCL::ConfigPath().c_str()), 1u);
}

// One row per record, 20 pixels apart, a name only for players the host knows; the OK button
// counts the seconds down and the dialog goes by itself at the twelfth second.
TEST_F(TableDialogsTest, ScoreShowsOneRowPerRecordAndClosesAfterTwelveSeconds)
{
    m_players.Add(7, "West");
    m_players.Add(8, "North");
    new DlgGameScoreCL(4, {kSelf, 7, 8, 99}, {24, -8, -8, -8}, {240, -80, -80, -81});
    auto* dialog = dynamic_cast<KelWnd2DDialogCL*>(Find("DlgGameScoreCL"));
    ASSERT_NE(dialog, nullptr);
    const int t = dialog->GetTitleRectM().Height();
    const char* names[4] = {"Tester", "West", "North", nullptr};
    const char* scores[4] = {"24", "-8", "-8", "-8"};
    const char* coins[4] = {"240", "-80", "-80", "-81"};
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        const std::string row = std::to_string(i);
        const int y = t + 5 + 20 * (i + 1);
        auto* name = dynamic_cast<KelWnd2DLabelCL*>(Find("DlgGameScoreCL\\tital_n_" + row));
        auto* score = dynamic_cast<KelWnd2DLabelCL*>(Find("DlgGameScoreCL\\tital_c_" + row));
        auto* coin = dynamic_cast<KelWnd2DLabelCL*>(Find("DlgGameScoreCL\\tital_co_" + row));
        ASSERT_EQ(name != nullptr, names[i] != nullptr);
        ASSERT_NE(score, nullptr);
        ASSERT_NE(coin, nullptr);
        if (name != nullptr)
        {
            EXPECT_EQ(name->GetEditText(), names[i]);
            EXPECT_EQ(name->GetPosM(), std::make_pair(20, y));
        }
        EXPECT_EQ(score->GetEditText(), scores[i]);
        EXPECT_EQ(score->GetPosM(), std::make_pair(110, y));
        EXPECT_EQ(coin->GetEditText(), coins[i]);
        EXPECT_EQ(coin->GetPosM(), std::make_pair(200, y));
    }
    EXPECT_EQ(Find("DlgGameScoreCL\\tital_c_4"), nullptr);

    // On the screen: the score column holds the header and four lines of white text, 20 apart.
    const TestFrame frame = Frame();
    const KelRect column = Find("DlgGameScoreCL\\tital_s_1")->GetScreenRectM();
    std::vector<int> lineTops;
    bool inLine = false;
    for (int y = column.top; y < column.top + 20 * 6; ++y)
    {
        const KelRect row(column.left, y, column.left + 60, y + 1);
        const bool white = BoundingBox(frame, row, [](uint32_t p) { return p == 0xFFFFFF; }).Width() > 0;
        if (white && !inLine)
            lineTops.push_back(y);
        inLine = white;
    }
    // The header's characters start higher in their line than digits do: the rows of numbers
    // are compared with each other.
    ASSERT_EQ(lineTops.size(), 5u);
    for (size_t i = 2; i < lineTops.size(); ++i)
        EXPECT_EQ(lineTops[i] - lineTops[i - 1], 20) << i;

    auto* ok = Find("DlgGameScoreCL\\m_ok");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetTextM(), "确定 ( 10 )");
    const std::vector<uint32_t> before = frame.pixels;
    for (int tick = 1; tick <= 11; ++tick)
    {
        SCOPED_TRACE(tick);
        Advance(1001);
        ASSERT_EQ(Find("DlgGameScoreCL"), dialog);
        char caption[32];
        std::snprintf(caption, sizeof caption, "确定 ( %d )", 11 - tick);
        EXPECT_EQ(ok->GetTextM(), caption);
    }
    EXPECT_NE(Frame().pixels, before) << "the button shows the new count";
    Advance(1001);
    Frame();
    EXPECT_EQ(Find("DlgGameScoreCL"), nullptr);
    EXPECT_EQ(m_ui.GetTopModalM(), nullptr);

    // More records announced than the lists hold: only the rows there are.
    new DlgGameScoreCL(6, {kSelf, 7}, {1, 2}, {3, 4});
    EXPECT_NE(Find("DlgGameScoreCL\\tital_co_1"), nullptr);
    EXPECT_EQ(Find("DlgGameScoreCL\\tital_co_2"), nullptr);
}

// The room tells the user on his own arrival what each hand costs: a hint that wraps its text in
// its width and closes after its seconds.
TEST_F(TableDialogsTest, CoinCostHintCountsDownAndWrapsItsText)
{
    // Room message 2: player id, seat, state, then the player's record (nine values with the
    // coins eighth, the nickname, one more value).
    const auto arrival = [](int32_t playerId)
    {
        Bytes payload;
        const auto add = [&payload](const Bytes& field)
        {
            for (uint8_t byte : field)
                payload.push_back(byte);
        };
        for (int32_t value : {playerId, 0, 1, 0, 0, 0, 0, 0, 0, 0, 500, 0})
            add(IntField(value));
        add(TextField("Name"));
        add(IntField(0));
        return RoomMessage(2, payload);
    };
    ASSERT_TRUE(DeliverRoom(arrival(kSelf)));
    EXPECT_EQ(Find("DlgHintPlayerCL"), nullptr) << "no cost, no hint";
    ASSERT_TRUE(DeliverRoom(RoomMessage(21, IntField(40))));
    ASSERT_TRUE(DeliverRoom(arrival(7)));
    EXPECT_EQ(Find("DlgHintPlayerCL"), nullptr) << "another player's arrival";
    ASSERT_TRUE(DeliverRoom(arrival(kSelf)));
    auto* hint = dynamic_cast<DlgHintPlayerCL*>(Find("DlgHintPlayerCL"));
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->GetHintText(), "在本游戏桌游戏，每盘游戏开始后，您将消耗40游戏金币。");
    EXPECT_EQ(hint->GetPosM(), std::make_pair(320, 130));
    EXPECT_EQ(hint->GetSizeM(), std::make_pair(180, 90));

    // The text in cyan, in lines 16 pixels apart from 12 below the top, within 4 pixels of the
    // sides.
    const TestFrame frame = Shown();
    Snapshot(frame, "hint", hint);
    const auto cyan = [](uint32_t p) { return p == 0x00FFFF; };
    const KelRect all = BoundingBox(frame, KelRect(320, 130, 500, 220), cyan);
    EXPECT_GE(all.left, 324);
    EXPECT_LE(all.right, 496);
    EXPECT_GE(all.top, 142);
    const KelRect first = BoundingBox(frame, KelRect(320, 142, 500, 158), cyan);
    const KelRect second = BoundingBox(frame, KelRect(320, 158, 500, 174), cyan);
    EXPECT_GT(first.Width(), 120) << "the first line fills the width";
    EXPECT_GT(second.Width(), 0) << "the rest wraps to a second line";
    EXPECT_EQ(BoundingBox(frame, KelRect(320, 174, 500, 190), cyan).Width(), 0);

    auto* ok = Find("DlgHintPlayerCL\\m_ok");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetTextM(), "确定(10)");
    for (int tick = 1; tick <= 10; ++tick)
    {
        Advance(1001);
        ASSERT_EQ(Find("DlgHintPlayerCL"), hint) << tick;
        EXPECT_EQ(ok->GetTextM(), "确定(" + std::to_string(10 - tick) + ")");
    }
    Advance(1001);
    Frame();
    EXPECT_EQ(Find("DlgHintPlayerCL"), nullptr);
}

TEST(DlgHintPlayerCLLines, SplitWholeCharactersWithinTheWidth)
{
    // Every byte 6 pixels wide, as the system font's half-width characters are.
    const auto measure = [](const std::string& text) { return static_cast<int>(text.size()) * 6; };
    struct Case
    {
        std::string text;
        int width;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", 60, {}},
        {"abcdefghij", 60, {"abcdefghij"}},
        {"abcdefghijk", 60, {"abcdefghij", "k"}},
        // A two-byte character is never cut: "中" does not fit in the last 6 pixels.
        {"abcdefghi中x", 60, {"abcdefghi", "中x"}},
        // Narrower than one character: one character per line.
        {"中国", 6, {"中", "国"}},
        // A lone lead byte at the end stays a character of its own.
        {std::string("ab\xD6"), 60, {std::string("ab\xD6")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DlgHintPlayerCL::SplitLines(c.text, c.width, measure), c.lines) << c.text;
}

// The password goes out as typed; the dialog waits until the room accepts it.
TEST_F(TableDialogsTest, PasswordIsSentAndTheDialogWaitsForTheRoom)
{
    new DlgGamePassWordCL();
    Frame();
    EXPECT_EQ(m_ui.GetFocusWndM(), Find("DlgGamePassWordCL\\edit_passWord"));
    Type("abc");
    Click("DlgGamePassWordCL\\ok_btn");
    Click("DlgGamePassWordCL\\edit_passWord");
    Type("d");
    Click("DlgGamePassWordCL\\ok_btn");
    EXPECT_EQ(m_room.sent,
              (std::vector<Bytes>{RoomMessage(13, TextField("abc")), RoomMessage(13, TextField("abcd"))}));
    ASSERT_TRUE(DeliverRoom(RoomMessage(16, IntField(1))));
    Frame();
    EXPECT_NE(Find("DlgGamePassWordCL"), nullptr) << "a refused password leaves it open";
    ASSERT_TRUE(DeliverRoom(RoomMessage(16, IntField(0))));
    Frame();
    EXPECT_EQ(Find("DlgGamePassWordCL"), nullptr);
}

// Without a desktop (the GUI already destroyed) a dialog has no parent to delete it: the UI
// manager takes it and deletes it at its next update.
TEST_F(TableDialogsTest, ADialogWithoutADesktopIsNotLeft)
{
    m_ui.DestroyDeskTopM();
    new DlgGameForceExitCL();
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 1u);
    EXPECT_EQ(m_ui.GetTopModalM(), nullptr) << "it takes no mouse";
    m_ui.UpDatedataM();
    EXPECT_EQ(m_ui.GetRefusedWindowCount(), 0u);
}

// The table dialog: the server's exit types open their dialogs, other players' leave requests ask
// the user, the system buttons send and open what they should, and the logo follows the scale
// flag.
TEST_F(TableDialogsTest, TheTableAnswersExitTypesAndLeaveRequests)
{
    auto* table = new CDlgTableKavdorTwoCL();
    table->CreateWnd();
    ASSERT_EQ(m_app->GetDlgTable(), table);
    ASSERT_NE(Find("CDlgTableKavdorTwoCL\\btn_exit"), nullptr);

    Click("CDlgTableKavdorTwoCL\\btn_exit");
    ASSERT_FALSE(m_room.sent.empty());
    EXPECT_EQ(m_room.sent.back(), RoomMessage(10)) << "the server decides how the user may leave";

    table->OnRecv_BaseRecPlayerExitType(1);
    EXPECT_NE(Find("DlgGameForceExitCL"), nullptr);
    EXPECT_EQ(Find("DlgGameExitCL"), nullptr) << "type 1 opens only the force-exit question";
    Find("DlgGameForceExitCL")->CloseM();
    m_ui.UpDatedataM();

    table->OnRecv_BaseRecPlayerExitType(5);
    EXPECT_EQ(table->GetExitChances(), 3);
    auto* reason = dynamic_cast<KelWnd2DEditCL*>(Find("DlgGameExitCL\\s_gameExit"));
    ASSERT_NE(reason, nullptr) << "type 5 asks for a reason";
    EXPECT_NE(reason->GetEditText().find("3"), std::string::npos) << reason->GetEditText();
    Find("DlgGameExitCL")->CloseM();
    m_ui.UpDatedataM();

    // The user's own leave request asks nothing; another player's asks, and the answer carries
    // his id.
    table->OnRecv_OnBaseRecPlayerWantToLeave(kSelf, "[Tester]说：bye");
    EXPECT_EQ(Find("OnRecv_OnBaseRecPlayerWantToLeave"), nullptr);
    table->OnRecv_OnBaseRecPlayerWantToLeave(7, "[Other]说：bye");
    ASSERT_NE(Find("OnRecv_OnBaseRecPlayerWantToLeave"), nullptr);
    m_room.sent.clear();
    Frame();
    Click(Find("OnRecv_OnBaseRecPlayerWantToLeave\\messageBox_ok"));
    ASSERT_EQ(m_room.sent.size(), 1u) << ReadLog();
    Bytes agree = IntField(7);
    agree.push_back(1);
    EXPECT_EQ(m_room.sent[0], RoomMessage(11, agree));

    // Leaving the game takes the table down at once, and an open stake dialog with it.
    table->CreateBetSetingWnd();
    ASSERT_NE(Find("DlgGameBetSetingCL"), nullptr);
    m_app->ExitGame();
    EXPECT_EQ(m_app->GetDlgTable(), nullptr);
    m_ui.UpDatedataM();
    EXPECT_EQ(Find("DlgGameBetSetingCL"), nullptr);
}

TEST_F(TableDialogsTest, TheLogoFollowsTheScaleFlagAndHelpOpensTheGamesPage)
{
    // The game's own pictures lie in the runtime folder's game folder.
    m_system.directory = WinPath(m_run);
    ASSERT_TRUE(m_textureInfo.LoadTextureInfo(
        "kavdortwoTextureInfo",
        WinPath(m_run / "game" / "kavdortwo" / "Texturekavdortwo" / "kavdortwotextureInfo.xml")));
    auto* table = new CDlgTableKavdorTwoCL();
    table->CreateWnd();
    const auto logoPixel = [this]
    {
        // The logo's left part lies at (794 - its width, 6); the system buttons cover its right.
        const TestFrame frame = Frame();
        return frame.At(794 - 260 + 20, 6 + 20);
    };
    const uint32_t teal = 0x154A5C;
    EXPECT_EQ(logoPixel(), teal) << "the scale flag starts at 1: no logo";
    table->OnClickScale();
    EXPECT_NE(logoPixel(), teal);
    table->OnClickScale();
    EXPECT_EQ(logoPixel(), teal);

    std::vector<std::string> opened;
    Win32SetShellOpener(
        [&opened](const std::string& target)
        {
            opened.push_back(target);
            return true;
        });
    table->OnClickHelp();
    Win32SetShellOpener(nullptr);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("file://", 0), 0u) << opened[0];
    EXPECT_NE(opened[0].find("/help/index.html#kavdortwo"), std::string::npos) << opened[0];
}
