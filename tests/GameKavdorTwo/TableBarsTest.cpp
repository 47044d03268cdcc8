// The table's tool bar and package bar, the player list and the video zoom window, on the
// desktop with the generated skin of the runtime folder: the application object with a fake host
// whose player objects record what they are asked and draw their pictures in their own colours,
// driven by room messages and by mouse messages through the UI manager. Checked are the calls the
// host objects get, the dialogs that open, the log, and the pixels of rendered frames.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CDlgTableKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "DlgGameWndCL.h"
#include "DlgGameWndPropBuy2CL.h"
#include "DlgGameWndPropBuyCL.h"
#include "DlgIMChatZoomCL.h"
#include "DlgPackageCL.h"
#include "DlgPlayerInfoCL.h"
#include "DlgToolBarCL.h"
#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DListCL.h"
#include "NetMsgWriterCL.h"
#include "TableWindowTestSupport.h"
#include "Win32/Messages.h"

namespace
{
constexpr int kSelf = tabletest::kSelfId;
constexpr int kBob = 7;
constexpr int kAnn = 8;

// A player object of the host that counts the social windows it is asked to open and draws its
// picture as a block of its own colour.
class FakePlayer : public tabletest::IdlePlayer
{
public:
    FakePlayer(int id, const char* nickname, uint32_t colour) : IdlePlayer(id, nickname), colour(colour) {}
    int GetCoins() override { return info.coins; }
    void AddFriend(int playerId) override { friendRequests.push_back(playerId); }
    void DrawPicture(KelCanvasCL* canvas, int, int x, int y) override
    {
        canvas->FillRect(x, y, x + DlgGameWndCL::kPictureWidth, y + DlgGameWndCL::kPictureHeight, colour);
    }
    void ShowUserInfo() override { ++calls["ShowUserInfo"]; }
    void ShowPackage() override { ++calls["ShowPackage"]; }
    void ShowPromoter() override { ++calls["ShowPromoter"]; }
    void ShowMedia() override { ++calls["ShowMedia"]; }
    // The video frame: a mark in the frame's top-left corner.
    void DrawVideo(KelCanvasCL* canvas, int, int x, int y) override
    {
        canvas->FillRect(x, y, x + 10, y + 10, kVideoMark);
    }
    int GetPropCount() override { return static_cast<int>(package.size()); }
    const VarnokProp* GetProp(int index) override
    {
        return index >= 0 && index < GetPropCount() ? &package[static_cast<size_t>(index)] : nullptr;
    }
    void ShowFriends() override { ++calls["ShowFriends"]; }

    static constexpr uint32_t kVideoMark = 0xFF00FF00;
    uint32_t colour;
    std::map<std::string, int> calls;
    std::vector<int> friendRequests;
    std::vector<VarnokProp> package;
};

class FakePlayers : public tabletest::FakePlayerService<FakePlayer>
{
public:
    // The picture names the player's portrait; empty when he has none.
    FakePlayer& Add(int id, const char* nickname, uint32_t colour, const char* picture = "")
    {
        FakePlayer& player = FakePlayerService::Add(id, nickname, colour);
        std::snprintf(player.info.picture, sizeof player.info.picture, "%s", picture);
        return player;
    }
};

using FakeRoom = tabletest::FakeNet;

using BarsSystem = tabletest::ModuleSystem;

// The framework's table with a player list, as a game that wants one makes it.
class TableWithPlayerList : public CDlgTableKavdorTwoCL
{
public:
    void CreateWnd() override
    {
        CDlgTableKavdorTwoCL::CreateWnd();
        m_playerInfoWnd = CreatePlayerInfoWnd();
    }
    KelWnd2DBaseCL* CreatePlayerInfoWnd() override { return new DlgPlayerInfoCL(this, 280, 100); }
};

using tabletest::WinPath;

NetPlayerInfo Info(const std::string& nickname, int score, int coins = 0)
{
    NetPlayerInfo info;
    info.nickname = nickname;
    info.values[NET_INFO_SCORE] = score;
    info.values[NET_INFO_COINS] = coins;
    return info;
}

// How many pixels of the rectangle (screen coordinates) have the colour.
int CountColour(const TestFrame& frame, const KelRect& rect, uint32_t xrgb)
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            count += frame.At(x, y) == (xrgb & 0xFFFFFF) ? 1 : 0;
    return count;
}

class TableBarsTest : public EngineTestBase<BarsSystem>
{
protected:
    TableBarsTest() : EngineTestBase(800, 600) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        ASSERT_TRUE(std::filesystem::exists(m_run / "image" / "config" / "gameWndEX.xml"));
        m_system.directory = WinPath(m_run);
        m_textureInfo.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textureInfo.LoadAllTextureInfo();
        ASSERT_TRUE(m_textureInfo.LoadTextureInfo(
            "kavdortwoTextureInfo",
            WinPath(m_run / "game" / "kavdortwo" / "Texturekavdortwo" / "kavdortwotextureInfo.xml")));
        // The runtime folder is the module directory, which the configuration's path starts from.
        m_ui.SetGuiConfigM("Config\\Gui\\guiConfig.xml");
        m_ui.SetDeskTopSizeM(800, 600);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
        m_app->SetNetMsgDispatcher(&m_room);
        m_app->SetNetMsgSender(&m_room);
        m_app->SetPlayerService(&m_players);
        m_app->SetEffectLevel(1);
        m_app->OnInitial();
        m_players.Add(kSelf, "Tester", 0xFFC04040, "1");
        m_players.Add(kBob, "Bob", 0xFF4040C0, "3");
        m_players.Add(kAnn, "Ann", 0xFFC0C040);
    }

    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        m_app->OnDestroy();
        m_app->GetRoomSink().SetSender(nullptr);
        m_app->SetNetMsgDispatcher(nullptr);
        m_app->SetNetMsgSender(nullptr);
        m_app->SetPlayerService(nullptr);
        EngineTestBase::TearDown();
    }

    template <class Table = CDlgTableKavdorTwoCL>
    Table* OpenTable()
    {
        auto* table = new Table();
        table->CreateWnd();
        return table;
    }

    bool Room(const std::vector<uint8_t>& message)
    {
        return m_app->GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }
    bool Arrive(int id, int seat, const NetPlayerInfo& info)
    {
        return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                        .I32(id)
                        .I32(seat)
                        .I32(2)
                        .PlayerInfo(info)
                        .Data());
    }
    bool Leave(int id) { return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(id).Data()); }
    bool InfoChanged(int id, const NetPlayerInfo& info)
    {
        return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_INFO).I32(id).PlayerInfo(info).Data());
    }

    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }

    // A click at the middle of the window, as the mouse gives it.
    void Click(KelWndBaseCL* window, bool right = false)
    {
        auto* shown = dynamic_cast<KelWnd2DBaseCL*>(window);
        ASSERT_NE(shown, nullptr);
        const KelRect rect = shown->GetScreenRectM();
        ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, right);
    }
    void ClickAt(int x, int y, bool right = false)
    {
        m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        m_ui.PostMessageM(nullptr, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                          MAKELPARAM(x, y));
        m_ui.PostMessageM(nullptr, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    KelWnd2DPopupMenuCL* Menu() { return dynamic_cast<KelWnd2DPopupMenuCL*>(m_ui.GetPopupM()); }
    std::vector<std::string> MenuRows()
    {
        std::vector<std::string> rows;
        if (KelWnd2DPopupMenuCL* menu = Menu())
            for (int i = 0; i < menu->GetItemCountM(); ++i)
                rows.push_back(menu->GetItemTextM(i));
        return rows;
    }
    void Choose(int row)
    {
        KelWnd2DPopupMenuCL* menu = Menu();
        ASSERT_NE(menu, nullptr);
        const int height = menu->GetRowHeightM();
        const POINT at = menu->GetPosInScreenM(10, height * row + height / 2);
        ClickAt(at.x, at.y);
    }

    template <class T>
    T* Desktop(const char* name)
    {
        KelWndBaseCL* window = m_ui.GetDeskTopM()->FindChildM(name);
        return window != nullptr && window->IsAliveM() ? dynamic_cast<T*>(window) : nullptr;
    }

    int OpenZoomWindows()
    {
        int count = 0;
        for (KelWndBaseCL* w : m_ui.GetDeskTopM()->GetChildren())
            count += dynamic_cast<DlgIMChatZoomCL*>(w) != nullptr && w->IsAliveM() ? 1 : 0;
        return count;
    }

    static void Snapshot(const TestFrame& frame, const std::string& name)
    {
        tabletest::WriteSnapshot(frame, name);
    }

    const std::filesystem::path m_run = KAVDOR_RUN_FOLDER;
    KelUIManagerCL m_ui;
    FakeRoom m_room;
    FakePlayers m_players;
    CGameCardKavdorTwoCL* m_app = GetApp();
};

// A button's normal picture, every opaque pixel of it, at its place on the screen.
::testing::AssertionResult ButtonShown(const TestFrame& frame, KelWndBaseCL* window)
{
    auto* button = dynamic_cast<KelWnd2DButtonCL*>(window);
    if (button == nullptr || button->GetStateImage(0) == nullptr)
        return ::testing::AssertionFailure() << "no button with a picture";
    KelTextureCL* picture = button->GetStateImage(0);
    const POINT place = button->GetPosInScreenM(0, 0);
    int opaque = 0;
    for (int y = 0; y < picture->GetHeight(); ++y)
        for (int x = 0; x < picture->GetWidth(); ++x)
        {
            D3DCOLOR colour = 0;
            picture->GetPointColor(x, y, &colour);
            if ((colour >> 24) != 0xFF)
                continue;
            ++opaque;
            if (frame.At(place.x + x, place.y + y) != (colour & 0xFFFFFF))
                return ::testing::AssertionFailure()
                       << button->GetNameM() << ": pixel (" << x << ", " << y << ") differs";
        }
    // The arrows and the symbols are small on clear pictures; a few dozen pixels still place them.
    if (opaque < 30)
        return ::testing::AssertionFailure() << button->GetNameM() << ": " << opaque << " opaque pixels";
    return ::testing::AssertionSuccess();
}
} // namespace

TEST_F(TableBarsTest, TheTableCreatesBothBarsAtTheirPlacesBelowTheirButtons)
{
    CDlgTableKavdorTwoCL* table = OpenTable();
    auto* toolBar = dynamic_cast<DlgToolBarCL*>(m_app->GetDlgToolBarCL());
    ASSERT_NE(toolBar, nullptr) << "the application finds the table's tool bar";
    auto* package = dynamic_cast<DlgPackageCL*>(table->GetPackageWnd());
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(toolBar->GetScreenRectM(), KelRect(688, 578, 798, 613));
    KelTexturePtr tray = KelCreateGuiTexture("gameWndEX", "packagebarBK2");
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(package->GetScreenRectM(), KelRect(490, 578, 490 + tray->GetWidth(), 578 + tray->GetHeight()));

    const TestFrame frame = Frame();
    Snapshot(frame, "bars_table");
    const struct
    {
        KelWnd2DBaseCL* bar;
        const char* name;
        int x, y;
        const char* tip;
    } buttons[] = {
        {toolBar, "m_friendBtn", 687, 572, "好友系统"}, {toolBar, "m_userInfoBtn", 712, 571, "玩家信息"},
        {toolBar, "m_packageBtn", 740, 572, "包裹"},    {toolBar, "m_tuiguangBtn", 763, 570, "推广员"},
        {package, "btn_left", 495, 572, nullptr},       {package, "btn_jifen", 525, 571, "两小时双倍积分卡"},
        {package, "btn_right", 659, 572, nullptr},
    };
    for (const auto& b : buttons)
    {
        auto* button = dynamic_cast<KelWnd2DButtonCL*>(b.bar->FindChildM(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->GetScreenRectM().left, b.x) << b.name;
        EXPECT_EQ(button->GetScreenRectM().top, b.y) << b.name;
        EXPECT_TRUE(ButtonShown(frame, button));
        EXPECT_EQ(button->GetTip(), b.tip != nullptr ? b.tip : "") << b.name;
    }
    // The trays are drawn: hidden, the table shows through where they were.
    const int trayX = 688 + 105;
    const int trayY = 595;
    toolBar->ShowM(false);
    package->ShowM(false);
    const TestFrame bare = Frame();
    EXPECT_NE(frame.At(trayX, trayY), bare.At(trayX, trayY));
    EXPECT_NE(frame.At(490 + 190, trayY), bare.At(490 + 190, trayY));
}

TEST_F(TableBarsTest, ToolBarButtonsOpenTheUsersHostWindows)
{
    OpenTable();
    auto* toolBar = dynamic_cast<DlgToolBarCL*>(m_app->GetDlgToolBarCL());
    ASSERT_NE(toolBar, nullptr);
    Frame();
    const std::pair<const char*, const char*> cases[] = {{"m_friendBtn", "ShowFriends"},
                                                         {"m_userInfoBtn", "ShowUserInfo"},
                                                         {"m_packageBtn", "ShowPackage"},
                                                         {"m_tuiguangBtn", "ShowPromoter"}};
    for (const auto& [button, call] : cases)
    {
        FakePlayer& self = *m_players.GetPlayer(kSelf);
        self.calls.clear();
        Click(toolBar->FindChildM(button));
        EXPECT_EQ(self.calls, (std::map<std::string, int>{{call, 1}})) << button;
        EXPECT_TRUE(m_players.GetPlayer(kBob)->calls.empty()) << "only the user's own object";
    }
    // Without a host object for the user the buttons do nothing.
    m_players.players.erase(kSelf);
    for (const auto& [button, call] : cases)
        Click(toolBar->FindChildM(button));
    EXPECT_TRUE(m_players.GetPlayer(kBob)->calls.empty());
}

TEST_F(TableBarsTest, TheDoubleScoreButtonOffersTheCardThroughThePlayWindow)
{
    CDlgTableKavdorTwoCL* table = OpenTable();
    Frame();
    KelWndBaseCL* jifen = table->GetPackageWnd()->FindChildM("btn_jifen");
    Click(jifen);
    auto* noStock = Desktop<DlgGameWndPropBuyCL>(DlgGameWndPropBuyCL::kName);
    ASSERT_NE(noStock, nullptr) << "no card in the package";
    noStock->CloseM();

    VarnokProp card;
    card.id = 9;
    std::snprintf(card.name, sizeof card.name, "%s", "双倍积分卡");
    card.price = 30;
    card.count = 1;
    m_players.GetPlayer(kSelf)->package.push_back(card);
    Frame();
    Click(jifen);
    auto* offer = Desktop<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName);
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->GetOffer().propId, 9);
    EXPECT_EQ(offer->GetOffer().targetId, kSelf);
    EXPECT_EQ(offer->GetOffer().title, "双倍积分卡");
}

TEST_F(TableBarsTest, PlayerListRowsSelectionMenuAndRefresh)
{
    auto* table = OpenTable<TableWithPlayerList>();
    auto* list = dynamic_cast<DlgPlayerInfoCL*>(m_app->GetDlgPlayerInfo());
    ASSERT_NE(list, nullptr);
    DlgPlayerInfoLstCL* rows = list->GetList();
    const KelRect summaryName(280 + 160, 100 + 27, 280 + 232, 100 + 43);
    EXPECT_EQ(CountColour(Frame(), summaryName, 0xFFFFFF), 0) << "no summary before the user has a row";

    NetPlayerInfo bob = Info("Bob", 800);
    bob.values[NET_INFO_LEVEL] = 3;
    bob.values[NET_INFO_WINS] = 6;
    bob.values[NET_INFO_GAMES] = 8;
    bob.values[NET_INFO_ESCAPE_RATE] = 12;
    ASSERT_TRUE(Arrive(kSelf, 0, Info("Tester", 1200, 500)));
    ASSERT_TRUE(Arrive(kBob, 1, bob));
    ASSERT_EQ(rows->GetItemCountM(), 2);
    EXPECT_EQ(rows->GetItemTextM(0), "Tester");
    EXPECT_EQ(rows->GetItemTextM(1), "Bob");
    TestFrame frame = Frame();
    Snapshot(frame, "bars_player_list");
    EXPECT_GT(CountColour(frame, summaryName, 0xFFFFFF), 10) << "the user's nickname in the summary";

    // Choosing Bob's row shows his lines; each line is drawn in white below the list.
    const POINT bobRow = rows->GetPosInScreenM(100, DlgPlayerInfoLstCL::kRowHeight * 3 / 2);
    ClickAt(bobRow.x, bobRow.y);
    const std::vector<std::string> lines = {
        "昵称:Bob",  "等级:3",     "积分:800",   "称号:" + std::string(m_app->GetScoreTitle(800)),
        "胜率:75％", "对战次数:8", "逃跑率:12％"};
    EXPECT_EQ(list->GetSelectedLines(), lines);
    frame = Frame();
    for (int i = 0; i < 7; ++i)
        EXPECT_GT(CountColour(frame, KelRect(298, 370 + 19 * i, 500, 370 + 19 * i + 16), 0xFFFFFF), 5)
            << "line " << i;

    // The room's new information refreshes the row and the chosen player's lines.
    ASSERT_TRUE(InfoChanged(kBob, Info("Bobby", 950)));
    EXPECT_EQ(rows->GetItemTextM(1), "Bobby");
    EXPECT_EQ(list->GetSelectedLines()[2], "积分:950");
    ASSERT_TRUE(InfoChanged(kAnn, Info("Ann", 10)));
    EXPECT_EQ(rows->GetItemCountM(), 2) << "a player not at the table gets no row";

    // The row menu: information for everybody, a friend request only for others.
    const struct
    {
        int row;
        std::vector<std::string> menu;
    } menus[] = {{0, {"玩家信息"}}, {1, {"玩家信息", "加为好友"}}};
    for (const auto& m : menus)
    {
        const POINT at = rows->GetPosInScreenM(100, DlgPlayerInfoLstCL::kRowHeight * m.row + 20);
        ClickAt(at.x, at.y, true);
        EXPECT_EQ(MenuRows(), m.menu) << "row " << m.row;
        Choose(static_cast<int>(m.menu.size()) - 1);
    }
    EXPECT_EQ(m_players.GetPlayer(kSelf)->calls["ShowUserInfo"], 1) << "the user's own information";
    EXPECT_EQ(m_players.GetPlayer(kSelf)->friendRequests, std::vector<int>{kBob})
        << "asked through the user's object";
    const POINT bobAgain = rows->GetPosInScreenM(100, DlgPlayerInfoLstCL::kRowHeight + 20);
    ClickAt(bobAgain.x, bobAgain.y, true);
    Choose(0);
    EXPECT_EQ(m_players.GetPlayer(kBob)->calls["ShowUserInfo"], 1) << "Bob's information from his object";

    // Bob leaves: his row goes; the user leaves: the list is empty.
    ASSERT_TRUE(Leave(kBob));
    EXPECT_EQ(rows->GetItemCountM(), 1);
    EXPECT_TRUE(list->GetSelectedLines().empty());
    ASSERT_TRUE(Leave(kSelf));
    EXPECT_EQ(rows->GetItemCountM(), 0);
    EXPECT_EQ(CountColour(Frame(), summaryName, 0xFFFFFF), 0);
    (void)table;
}

TEST_F(TableBarsTest, ThePlayerListDrawsPortraitsAndEmptiesOnRequest)
{
    auto* list = new DlgPlayerInfoCL(m_ui.GetDeskTopM(), 20, 20);
    list->OnPlayerIn(kBob, Info("Bob", 1));
    list->OnPlayerIn(kAnn, Info("Ann", 2));
    const TestFrame frame = Frame();
    Snapshot(frame, "bars_player_list_portraits");
    // The rows' portraits: Bob's picture "Player_3", Ann without one the common mask.
    DlgPlayerInfoLstCL* rows = list->GetList();
    for (int row = 0; row < 2; ++row)
    {
        KelTextureCL* portrait = rows->Portrait(row == 0 ? kBob : kAnn);
        ASSERT_NE(portrait, nullptr);
        D3DCOLOR colour = 0;
        // The middle of the portrait, a third of its size in the row.
        ASSERT_TRUE(portrait->GetPointColor(45 * 3 / 10, 90 * 3 / 10, &colour));
        const POINT at = rows->GetPosInScreenM(4 + 13, DlgPlayerInfoLstCL::kRowHeight * row + 3 + 27);
        EXPECT_EQ(frame.At(at.x, at.y), colour & 0xFFFFFF) << "row " << row;
    }
    EXPECT_NE(rows->Portrait(kBob), rows->Portrait(kAnn));
    list->DestroyPlayerLst();
    EXPECT_EQ(rows->GetItemCountM(), 0);
}

TEST_F(TableBarsTest, TheZoomWindowShowsOnePlayersFrameEnlarged)
{
    OpenTable();
    ASSERT_TRUE(Arrive(kSelf, 0, Info("Tester", 0)));
    ASSERT_TRUE(Arrive(kBob, 1, Info("Bob", 0)));
    ASSERT_TRUE(Arrive(kAnn, 2, Info("Ann", 0)));
    Frame();
    auto* play = dynamic_cast<KelWnd2DBaseCL*>(m_app->GetDlgGameWnd());
    ASSERT_NE(play, nullptr);
    const auto zoomButton = [play](int id)
    { return play->FindChildM(("btn_zoom_" + std::to_string(id)).c_str()); };

    Click(zoomButton(kBob));
    Frame();
    Click(zoomButton(kBob));
    Frame();
    EXPECT_EQ(OpenZoomWindows(), 1) << "a second click does not open a second window";
    DlgIMChatZoomCL* bob = DlgIMChatZoomCL::FindOpen();
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->GetPlayerId(), kBob);
    EXPECT_EQ(bob->GetTitle(), "视频窗口");
    // Another player's zoom shows his video in the same window.
    Click(zoomButton(kAnn));
    Frame();
    EXPECT_EQ(OpenZoomWindows(), 1);
    EXPECT_EQ(bob->GetPlayerId(), kAnn);
    EXPECT_GT(CountColour(Frame(), bob->GetScreenRectM(), 0xC0C040), 2000) << "Ann's picture";
    bob->SetPosM(250, 150);
    Click(zoomButton(kBob));
    Frame();
    ASSERT_EQ(bob->GetPlayerId(), kBob);

    // The frame enlarged at each zoom step: Bob's colour over the drawn size, the video mark in
    // its top-left corner, the window inside the desktop, and the log line.
    for (int step = 0; step < 2; ++step)
    {
        const int zoom = DlgIMChatZoomCL::kZooms[step];
        EXPECT_EQ(bob->GetZoom(), zoom);
        const auto [w, h] = bob->GetDrawnSize();
        EXPECT_EQ(w, DlgGameWndCL::kPictureWidth * zoom);
        EXPECT_EQ(h, DlgGameWndCL::kPictureHeight * zoom);
        char line[160];
        std::snprintf(line, sizeof line, "m_Width:%d,m_Height:%d,ImageWidth:128,ImageHeight:128", w, h);
        EXPECT_NE(ReadLog().find(line), std::string::npos) << line;
        Frame();
        const TestFrame frame = Frame();
        Snapshot(frame, "bars_zoom_" + std::to_string(zoom));
        const KelRect rect = bob->GetScreenRectM();
        EXPECT_GE(rect.left, 0);
        EXPECT_GE(rect.top, 0);
        EXPECT_LE(rect.right, 800);
        EXPECT_LE(rect.bottom, 600);
        const KelRect inner = bob->GetInnerRect();
        const POINT corner =
            bob->GetPosInScreenM(inner.left + (inner.Width() - w) / 2, inner.top + (inner.Height() - h) / 2);
        const KelRect shown(corner.x, corner.y, corner.x + w, corner.y + h);
        EXPECT_GT(CountColour(frame, shown, 0x4040C0), w * h * 8 / 10)
            << "Bob's picture fills the frame" << ReadLog();
        EXPECT_GT(CountColour(frame, KelRect(corner.x, corner.y, corner.x + 10 * zoom, corner.y + 10 * zoom),
                              FakePlayer::kVideoMark),
                  10 * zoom * 10 * zoom * 8 / 10)
            << "the video mark, enlarged";
        Click(bob->FindChildM("sysBtnFunc"));
    }
    EXPECT_EQ(bob->GetZoom(), DlgIMChatZoomCL::kZooms[0]) << "the steps go round";

    // A window near the desktop's edge stays on it when it grows.
    bob->SetPosM(700, 500);
    bob->OnZoomM(KelWndMsg{});
    EXPECT_LE(bob->GetScreenRectM().right, 800);
    EXPECT_LE(bob->GetScreenRectM().bottom, 600);

    // The window goes with its player; the user leaving takes it with every seat. (A window raised
    // at the table ends that frame's update pass early, so the window may go one frame later.)
    ASSERT_TRUE(Leave(kBob));
    Frame();
    Frame();
    EXPECT_EQ(OpenZoomWindows(), 0);
    Click(zoomButton(kAnn));
    Frame();
    EXPECT_EQ(OpenZoomWindows(), 1);
    ASSERT_TRUE(Leave(kSelf));
    Frame();
    EXPECT_EQ(OpenZoomWindows(), 0);
}
