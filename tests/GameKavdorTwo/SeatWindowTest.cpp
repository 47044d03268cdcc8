// The seat window at a table: the application object with a fake host (dispatcher, sender and
// player service whose player objects record what they are asked), a table dialog that holds the
// window and a chat window, and a play window of the test's own that draws the four seats the way
// the game's play window does, with RenderPlayer. Room messages reach the window through the
// application's room sink, as the host delivers them; what the window sends is read back as the
// bytes of the chat requests, and what it draws as the pixels of rendered frames.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CGameCardKavdorTwoCL.h"
#include "DlgGameWndCardBaseCL.h"
#include "DlgGameWndPropBuy2CL.h"
#include "DlgGameWndPropBuyCL.h"
#include "DlgGameWndPropMoneyCL.h"
#include "DlgGameWndScoreRecordCL.h"
#include "DlgGameWndUserInfoCL.h"
#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "KelMessageBoxCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DListCL.h"
#include "TableWindowTestSupport.h"
#include "Win32/Messages.h"
#include "Win32/Shell.h"

namespace
{
constexpr int kSelf = tabletest::kSelfId;
constexpr int kWidth = 400;
constexpr int kHeight = 300;
// What the fake player objects draw: the picture in the player's own colour, and a small mark
// for the video frame.
constexpr uint32_t kVideoMark = 0xFF00FF00;
// Each seat button's normal image has its own colour.
const std::map<std::string, uint32_t> kButtonColours = {
    {"userinfobtn", 0xFF102030}, {"package", 0xFF203040}, {"duihuanbb", 0xFF304050},
    {"faceRWBQ", 0xFF405060},    {"friend", 0xFF506070},  {"video", 0xFF607080},
    {"audio", 0xFF708090},       {"capture", 0xFF8090A0}, {"VideoZoom", 0xFF90A0B0},
};

uint32_t Rgb(uint32_t argb)
{
    return argb & 0xFFFFFF;
}

struct Drawn
{
    int layout, x, y;
    bool operator==(const Drawn&) const = default;
};
struct Switch
{
    bool on;
    int playerId;
    bool operator==(const Switch&) const = default;
};
struct Purchase
{
    int propId, count, targetId;
    bool operator==(const Purchase&) const = default;
};

// A player object of the host that records what the module asks of it.
class FakePlayer : public tabletest::IdlePlayer
{
public:
    FakePlayer(int id, const std::string& nickname, int sex, uint32_t colour)
        : IdlePlayer(id, nickname.c_str(), sex), colour(colour)
    {
    }

    void PlaySound(const char* name) override { sounds.push_back(name); }
    int GetCoins() override { return info.coins; }
    void ShowFace(int face) override { faces.push_back(face); }
    void ShowBubble(const char* text) override { bubbles.push_back(text); }
    void AddFriend(int playerId) override { friends.push_back(playerId); }
    void SetSeatState(int seat, int state, int flag, int reserved) override
    {
        seatStates.push_back({seat, state, flag, reserved});
    }
    void DrawPicture(KelCanvasCL* canvas, int layout, int x, int y) override
    {
        pictures.push_back({layout, x, y});
        canvas->FillRect(x, y, x + DlgGameWndCL::kPictureWidth, y + DlgGameWndCL::kPictureHeight, colour);
    }
    void SetVideoOn(bool on, int playerId) override { video.push_back({on, playerId}); }
    void SetAudioOn(bool on, int playerId) override { audio.push_back({on, playerId}); }
    void ShowUserInfo() override { ++userInfoShown; }
    void ShowPackage() override { ++packageShown; }
    void ShowMedia() override { ++mediaShown; }
    void DrawVideo(KelCanvasCL* canvas, int layout, int x, int y) override
    {
        videoFrames.push_back({layout, x, y});
        canvas->FillRect(x + 5, y + 5, x + 25, y + 20, kVideoMark);
    }
    void StopMedia() override { ++mediaStopped; }
    void LeaveTable() override { ++leftTable; }
    bool CaptureVideo(const char* path) override
    {
        captures.push_back(path);
        return captureWorks;
    }
    int GetPropCount() override { return static_cast<int>(package.size()); }
    const VarnokProp* GetProp(int index) override
    {
        return index >= 0 && index < GetPropCount() ? &package[static_cast<size_t>(index)] : nullptr;
    }
    void BuyProp(int propId, int count, int targetId) override
    {
        purchases.push_back({propId, count, targetId});
    }
    bool IsMediaLinked() override { return linked; }
    void KeepMediaLink() override { ++linksKept; }

    void AddProp(int id, const char* name, int price, int count, int secondsLeft = 0)
    {
        VarnokProp prop;
        prop.id = id;
        std::strncpy(prop.name, name, sizeof prop.name - 1);
        prop.price = price;
        prop.count = count;
        prop.secondsLeft = secondsLeft;
        package.push_back(prop);
    }

    uint32_t colour;
    std::vector<std::string> sounds;
    std::vector<int> faces;
    std::vector<std::string> bubbles;
    std::vector<int> friends;
    std::vector<std::array<int, 4>> seatStates;
    std::vector<Drawn> pictures;
    std::vector<Drawn> videoFrames;
    std::vector<Switch> video;
    std::vector<Switch> audio;
    std::vector<std::string> captures;
    std::vector<VarnokProp> package;
    std::vector<Purchase> purchases;
    int userInfoShown = 0;
    int packageShown = 0;
    int mediaShown = 0;
    int mediaStopped = 0;
    int leftTable = 0;
    int linksKept = 0;
    bool linked = true;
    bool captureWorks = true;
};

using FakePlayers = tabletest::FakePlayerService<FakePlayer>;

// The room-level dispatcher and sender: the texts of the chat requests sent.
class FakeNet : public tabletest::FakeNet
{
public:
    std::vector<std::string> ChatTexts() const
    {
        std::vector<std::string> texts;
        for (const std::vector<uint8_t>& m : sent)
        {
            EXPECT_GE(m.size(), 5u);
            EXPECT_EQ((std::vector<uint8_t>{m[0], m[1], m[2], m[3]}), (std::vector<uint8_t>{100, 0, 9, 0}))
                << "a chat request of the room";
            EXPECT_EQ(m[4], m.size() - 5) << "the length byte counts the text";
            texts.emplace_back(m.begin() + 5, m.end());
        }
        return texts;
    }
};

class FakeChat : public KelWnd2DBaseCL, public TableChatWindow
{
public:
    explicit FakeChat(KelWndBaseCL* parent) : KelWnd2DBaseCL("chat", parent, 0) {}
    void OnChat(const std::string& text, int, int, int, int, bool) override { lines.push_back(text); }
    void OnRecChatFace(const std::string&) override {}
    void GameScoreCL(const std::vector<int>&, const std::vector<int>&, const std::vector<int>&,
                     const std::string&) override
    {
    }
    std::vector<std::string> lines;
};

// The game's play window as far as the seat window is concerned: it draws the four seats with
// RenderPlayer, as the game draws them, and takes the game's own messages without acting.
class TestPlayWindow : public DlgGameWndCardBaseCL, public tabletest::IdleTablePlay
{
public:
    // Seat, layout and picture place in the window.
    static constexpr std::array<Drawn, 4> kSeats = {Drawn{3, 20, 170}, Drawn{2, 290, 60}, Drawn{3, 20, 10},
                                                    Drawn{2, 290, 170}};

    TestPlayWindow(KelWndBaseCL* parent, VGameCardBaseCL& app) : DlgGameWndCardBaseCL("gameWnd", parent, app)
    {
        SetSizeM(kWidth, kHeight);
    }

    bool DrawM(KelCanvasCL* canvas) override
    {
        const bool children = DlgGameWndCardBaseCL::DrawM(canvas);
        for (int seat = 0; seat < 4; ++seat)
            if (GameSeatRecordCL* record = SeatAt(seat))
            {
                // As the game does: the canvas at the seat's point, where the picture stands.
                const Drawn& place = kSeats[seat];
                const float x = static_cast<float>(place.x);
                const float y = static_cast<float>(place.y + kPictureHeight);
                canvas->Translate(x, y);
                RenderPlayer(canvas, record, place.layout, place.layout == 3 ? 140 : -100, 20);
                canvas->Translate(-x, -y);
            }
        return children;
    }
};

class FakeTable : public KelWnd2DBaseCL, public TableDialog
{
public:
    FakeTable(KelWndBaseCL* desktop, VGameCardBaseCL& app)
        : KelWnd2DBaseCL("CDlgTableKavdorTwoCL", desktop, 0)
    {
        SetSizeM(kWidth, kHeight);
        play = new TestPlayWindow(this, app);
        chat = new FakeChat(this);
    }
    void OnRecv_OnBaseRecPlayerWantToLeave(int, const std::string&) override {}
    void OnRecv_BaseRecPlayerExitType(int) override {}
    void OnRecv_BaseRecEnterPassWord() override {}
    KelWndBaseCL* GetGameWnd() override { return play; }
    KelWndBaseCL* GetChatWindow() override { return chat; }
    KelWndBaseCL* GetToolBar() override { return nullptr; }

    TestPlayWindow* play;
    FakeChat* chat;
};

// The clock the test sets, and the test's folder as the module directory.
class SeatSystem : public TestClockCL
{
public:
    const std::string& GetModuleDirectory() override { return directory; }
    std::string MakePath(const std::string& name) override { return directory + "\\" + name; }
    std::string directory;
};

class SeatWindowTest : public EngineTestBase<SeatSystem>
{
protected:
    SeatWindowTest() : EngineTestBase(kWidth, kHeight) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        m_system.directory = m_folder.WinPath();
        WriteSkin();
        m_ui.SetDeskTopSizeM(kWidth, kHeight);
        m_ui.SetGuiConfigM("Config\\Gui\\guiConfig.xml");
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
        m_app.SetNetMsgDispatcher(&m_net);
        m_app.SetNetMsgSender(&m_net);
        m_app.SetPlayerService(&m_players);
        // Notes the image directory of the frame (the test's folder) and registers the room sink.
        ASSERT_EQ(m_app.OnInitial(), 1);
        m_table = new FakeTable(m_ui.GetDeskTopM(), m_app);
        m_window = m_table->play;
    }

    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        EngineTestBase::TearDown();
    }

    // Solid pictures for the seat buttons in "gameWndEX", and the dialogs' button in the GUI
    // configuration.
    void WriteSkin()
    {
        std::string info = "<textureInfo name=\"gameWndEX\" type=\"2D\">";
        const auto add = [&](const std::string& id, uint32_t colour)
        {
            m_folder.Write("gui/" + id + ".tga", SolidTga(20, 20, colour));
            info += "<texture ID=\"" + id + "\" image=\"gui\\" + id +
                    ".tga\"><rect left=\"0\" top=\"0\" right=\"20\" bottom=\"20\"/></texture>";
        };
        for (const auto& [id, colour] : kButtonColours)
            for (int state = 0; state < 4; ++state)
                add(id + "_" + std::to_string(state), state == 0 ? colour : 0xFF000000u + state);
        for (int state = 0; state < 4; ++state)
            add("okbtn_" + std::to_string(state), 0xFFC0C0C0);
        m_folder.Write("config/gameWndEX.xml", info + "</textureInfo>");
        m_folder.Write("Config/Gui/guiConfig.xml", "<gui><button file=\"gameWndEX\" data=\"okbtn\"/></gui>");
        m_textureInfo.SetImageDirectoryVerbatim(m_folder.WinPath());
        m_textureInfo.LoadAllTextureInfo();
    }

    FakePlayer& AddPlayer(int id, const std::string& nickname, int sex = 0)
    {
        const uint32_t colours[] = {0xFFC04040, 0xFF4040C0, 0xFFC0C040, 0xFF40C0C0, 0xFFC040C0};
        auto player = std::make_unique<FakePlayer>(id, nickname, sex, colours[m_players.players.size() % 5]);
        FakePlayer& added = *player;
        m_players.players[id] = std::move(player);
        return added;
    }

    bool Room(const std::vector<uint8_t>& message)
    {
        return m_app.GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }

    // Room message 2 for a player of the fake host (or one it does not know).
    bool Arrive(int id, int seat, int state, const std::string& nickname = "", int sex = 0, int score = 0)
    {
        NetPlayerInfo info;
        info.nickname = nickname;
        info.values[NET_INFO_SEX] = sex;
        info.values[NET_INFO_SCORE] = score;
        return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN)
                        .I32(id)
                        .I32(seat)
                        .I32(state)
                        .PlayerInfo(info)
                        .Data());
    }

    bool Leave(int id) { return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_OUT).I32(id).Data()); }
    bool Chat(const std::string& text)
    {
        return Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_CHAT).Bytes(text).Data());
    }

    // The user (42, "Me") at seat 0 and Bob (7, a man), Ann (8, a woman) at seats 1 and 2.
    void SeatThree()
    {
        AddPlayer(kSelf, "Me", 0);
        AddPlayer(7, "Bob", 0);
        AddPlayer(8, "Ann", 1);
        ASSERT_TRUE(Arrive(kSelf, 0, 2, "Me", 0));
        ASSERT_TRUE(Arrive(7, 1, 2, "Bob", 0));
        ASSERT_TRUE(Arrive(8, 2, 2, "Ann", 1));
    }

    FakePlayer& Player(int id) { return *m_players.GetPlayer(id); }

    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }

    KelWnd2DButtonCL* Button(const std::string& name)
    {
        return dynamic_cast<KelWnd2DButtonCL*>(m_window->FindChildM(name.c_str()));
    }

    // A click on a shown button, as the host posts it.
    void Click(const std::string& name, bool right = false)
    {
        KelWnd2DButtonCL* button = Button(name);
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->IsShowM()) << name;
        const auto [w, h] = button->GetSizeM();
        const POINT at = button->GetPosInScreenM(w / 2, h / 2);
        m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        m_ui.PostMessageM(nullptr, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                          MAKELPARAM(at.x, at.y));
        m_ui.PostMessageM(nullptr, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }

    KelWnd2DPopupMenuCL* Menu() { return dynamic_cast<KelWnd2DPopupMenuCL*>(m_ui.GetPopupM()); }

    // A click on a row of the open menu, which closes it.
    void Choose(int row)
    {
        KelWnd2DPopupMenuCL* menu = Menu();
        ASSERT_NE(menu, nullptr);
        const int height = menu->GetRowHeightM();
        const POINT at = menu->GetPosInScreenM(10, height * row + height / 2);
        ASSERT_LT(at.y, kHeight) << "row " << row << " is on the screen";
        m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        m_ui.PostMessageM(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        m_ui.PostMessageM(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        EXPECT_EQ(Menu(), nullptr) << "the menu closes";
    }

    std::vector<std::string> MenuRows()
    {
        std::vector<std::string> rows;
        if (KelWnd2DPopupMenuCL* menu = Menu())
            for (int i = 0; i < menu->GetItemCountM(); ++i)
                rows.push_back(menu->GetItemTextM(i));
        return rows;
    }

    template <class T>
    T* Dialog(const char* name)
    {
        KelWndBaseCL* window = m_ui.GetDeskTopM()->FindChildM(name);
        return window != nullptr && window->IsAliveM() ? dynamic_cast<T*>(window) : nullptr;
    }

    static void Snapshot(const TestFrame& frame, const std::string& name)
    {
        tabletest::WriteSnapshot(frame, name);
    }

    KelUIManagerCL m_ui;
    CGameCardKavdorTwoCL m_app;
    FakeNet m_net;
    FakePlayers m_players;
    FakeTable* m_table = nullptr;
    TestPlayWindow* m_window = nullptr;
};
} // namespace

TEST_F(SeatWindowTest, PlayersTakeTheirSeatsAndWatchersTheEntriesAfterThem)
{
    SeatThree();
    AddPlayer(30, "Wat");
    AddPlayer(31, "Cher");
    ASSERT_TRUE(Arrive(30, 1, 1, "Wat"));
    ASSERT_TRUE(Arrive(31, 0, 1, "Cher"));
    EXPECT_EQ(m_window->GetSeatCount(), 4) << "the room sink tells the seat count first";
    const std::map<int, int> expected = {{0, kSelf}, {1, 7}, {2, 8}, {4, 30}, {5, 31}};
    for (int i = 0; i < DlgGameWndCL::kSeatListSize; ++i)
    {
        const GameSeatRecordCL* record = m_window->SeatAt(i);
        const auto want = expected.find(i);
        ASSERT_EQ(record != nullptr, want != expected.end()) << "entry " << i;
        if (record != nullptr)
        {
            EXPECT_EQ(record->playerId, want->second) << "entry " << i;
        }
    }
    EXPECT_EQ(m_window->SeatAt(4)->seat, 1) << "a watcher keeps the seat he watches";
    EXPECT_EQ(m_window->SeatAt(4)->state, 1);
    EXPECT_EQ(m_window->GetPlayer(7)->info.nickname, "Bob");
    EXPECT_EQ(m_window->GetSelfInfo()->playerId, kSelf);
    EXPECT_EQ(m_window->GetSelfSeat(), 0);
    EXPECT_EQ(m_window->GetPlayer(99), nullptr);
}

TEST_F(SeatWindowTest, ArrivalsThatCannotBeSeatedChangeNothing)
{
    SeatThree();
    AddPlayer(9, "Late");
    const size_t buttons = m_window->GetChildren().size();
    const struct
    {
        int id, seat, state;
        const char* log;
    } refused[] = {
        {7, 3, 2, "玩家已经在房间内 playerID:7"},
        {9, 1, 2, "座位上已经有人 seatIdx=1"},
        {9, 24, 2, nullptr},
        {9, -1, 1, nullptr},
        {9, 6, 2, "sits at seat 6 of a table of 4 seats"},
        {9, 3, 5, "neither watcher nor player"},
        {55, 3, 2, "玩家不存在 playerID:55 seatIdx:3"},
    };
    for (const auto& r : refused)
    {
        ASSERT_TRUE(Arrive(r.id, r.seat, r.state, "X"));
        if (r.log != nullptr)
        {
            EXPECT_NE(ReadLog().find(r.log), std::string::npos) << r.log;
        }
    }
    EXPECT_EQ(m_window->GetChildren().size(), buttons) << "no buttons made";
    EXPECT_EQ(m_window->GetPlayer(7)->seat, 1) << "the second arrival did not move Bob";
    EXPECT_EQ(m_window->SeatAt(3), nullptr);
    EXPECT_EQ(m_window->GetPlayer(9), nullptr);
    EXPECT_EQ(m_window->GetPlayer(55), nullptr);
}

TEST_F(SeatWindowTest, TheUserArrivingIsAnnouncedAndHisHostObjectToldHisState)
{
    SeatThree();
    ASSERT_EQ(m_table->chat->lines.size(), 1u) << "only the user's own arrival is announced";
    EXPECT_EQ(m_table->chat->lines[0], "[系统消息]: 游戏玩家“Me”进入");
    EXPECT_EQ(Player(kSelf).seatStates, (std::vector<std::array<int, 4>>{{-1, 2, 0, 0}}));
    EXPECT_TRUE(Player(7).seatStates.empty());

    // Watching: the own seat is the watched one.
    ASSERT_TRUE(Leave(kSelf));
    ASSERT_TRUE(Arrive(kSelf, 2, 1, "Me"));
    EXPECT_EQ(m_table->chat->lines.back(), "[系统消息]: 旁观玩家“Me”进入");
    EXPECT_EQ(m_window->GetSelfSeat(), 2);
    EXPECT_EQ(m_window->GetSelfInfo(), m_window->SeatAt(4));
}

TEST_F(SeatWindowTest, EachPlayerGetsTheSevenSeatButtonsWithTheOwnSeatsLooks)
{
    SeatThree();
    const struct
    {
        const char* name;
        const char* tip;
    } buttons[] = {
        {"btn_userinfo_42", "鼠标右键显示玩家信息菜单"},
        {"btn_package_42", "兑换宝贝"},
        {"btn_friend_42", "表情"},
        {"btn_video_42", "视频"},
        {"btn_audio_42", "音频"},
        {"btn_capture_42", "视频照相"},
        {"btn_zoom_42", "视频缩放"},
        {"btn_package_7", "包裹"},
        {"btn_friend_7", "加为好友"},
        {"btn_userinfo_8", "鼠标右键显示玩家信息菜单"},
    };
    for (const auto& b : buttons)
    {
        KelWnd2DButtonCL* button = Button(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->GetTip(), b.tip) << b.name;
        EXPECT_FALSE(button->IsShowM()) << "hidden until the seat is drawn: " << b.name;
    }
    EXPECT_EQ(m_window->GetChildren().size(), 21u);
    // The pictures: "duihuanbb" and "faceRWBQ" on the own seat, "package" and "friend" on others.
    Frame();
    const TestFrame frame = Frame();
    const auto colourOf = [&](const char* name)
    {
        KelWnd2DButtonCL* button = Button(name);
        const POINT at = button->GetPosInScreenM(10, 10);
        return frame.At(at.x, at.y);
    };
    EXPECT_EQ(colourOf("btn_package_42"), Rgb(kButtonColours.at("duihuanbb")));
    EXPECT_EQ(colourOf("btn_friend_42"), Rgb(kButtonColours.at("faceRWBQ")));
    EXPECT_EQ(colourOf("btn_package_7"), Rgb(kButtonColours.at("package")));
    EXPECT_EQ(colourOf("btn_friend_7"), Rgb(kButtonColours.at("friend")));
    EXPECT_EQ(colourOf("btn_zoom_8"), Rgb(kButtonColours.at("VideoZoom")));
}

TEST_F(SeatWindowTest, ASeatIsDrawnByTheHostObjectWithItsButtonsBesideThePicture)
{
    SeatThree();
    Frame();
    TestFrame frame = Frame();
    Snapshot(frame, "seat_window");
    // Seat 0 (layout 3) at (20, 170): the picture, the video mark, the buttons at its right.
    EXPECT_EQ(Player(kSelf).pictures.back(), (Drawn{3, 0, -DlgGameWndCL::kPictureHeight}));
    EXPECT_EQ(Player(kSelf).videoFrames.back(), (Drawn{3, 0, -DlgGameWndCL::kPictureHeight}));
    EXPECT_EQ(frame.At(60, 250), Rgb(Player(kSelf).colour));
    EXPECT_EQ(frame.At(10 + 20, 10 + 170), Rgb(kVideoMark));
    // Three columns at the picture's right, level with its foot.
    const int right = 20 + DlgGameWndCL::kPictureWidth + 4;
    const int top = 170 + DlgGameWndCL::kPictureHeight - 64;
    const struct
    {
        const char* image;
        int x, y;
    } own[] = {{"userinfobtn", right, top},     {"duihuanbb", right + 22, top},
               {"faceRWBQ", right + 44, top},   {"video", right, top + 22},
               {"audio", right + 22, top + 22}, {"capture", right + 44, top + 22},
               {"VideoZoom", right, top + 44}};
    for (const auto& b : own)
        EXPECT_EQ(frame.At(b.x + 10, b.y + 10), Rgb(kButtonColours.at(b.image))) << b.image;
    // Seat 1 (layout 2) at (290, 60): the buttons at the picture's left.
    EXPECT_EQ(frame.At(290 - 46 + 10, 60 + 10), Rgb(kButtonColours.at("userinfobtn")));
    EXPECT_EQ(frame.At(290 - 46 + 22 + 10, 60 + 10), Rgb(kButtonColours.at("package")));
    EXPECT_EQ(frame.At(330, 150), Rgb(Player(7).colour));
    // Nothing at the empty seat 3: the screen's background, as between the seats.
    EXPECT_EQ(frame.At(330, 250), frame.At(200, 150));

    // Low effects (level 2) show no video frame; other levels do.
    m_app.SetEffectLevel(2);
    frame = Frame();
    EXPECT_NE(frame.At(30, 180), Rgb(kVideoMark));
    m_app.SetEffectLevel(3);
    frame = Frame();
    EXPECT_EQ(frame.At(30, 180), Rgb(kVideoMark));
}

TEST_F(SeatWindowTest, AnotherPlayerLeavingTakesOnlyHisSeatAndButtons)
{
    SeatThree();
    Frame();
    KelWnd2DButtonCL* bobs = Button("btn_video_7");
    ASSERT_TRUE(Leave(7));
    EXPECT_EQ(Player(7).leftTable, 1) << "his host object is told";
    EXPECT_EQ(m_window->SeatAt(1), nullptr);
    EXPECT_FALSE(bobs->IsAliveM()) << "his buttons are closed";
    EXPECT_TRUE(Button("btn_video_8")->IsAliveM());
    EXPECT_TRUE(Player(kSelf).video.empty()) << "nobody else's media change";
    EXPECT_EQ(Player(kSelf).mediaStopped, 0);
    // He may come back at once, before the window's update has taken the old buttons away.
    ASSERT_TRUE(Arrive(7, 1, 2, "Bob"));
    ASSERT_NE(Button("btn_video_7"), nullptr);
    EXPECT_TRUE(Button("btn_video_7")->IsAliveM());
    Frame();
    EXPECT_TRUE(Button("btn_video_7")->IsShowM());
    ASSERT_TRUE(Leave(99)) << "a player without a seat";
    EXPECT_EQ(Player(7).leftTable, 1);
}

TEST_F(SeatWindowTest, TheUserLeavingClearsEverySeatAndItsButtons)
{
    SeatThree();
    AddPlayer(30, "Wat");
    ASSERT_TRUE(Arrive(30, 1, 1, "Wat"));
    Frame();
    auto* zoom = new KelWnd2DBaseCL("DlgIMChatZoom", m_ui.GetDeskTopM(), 0);
    std::vector<KelWndBaseCL*> buttons(m_window->GetChildren().begin(), m_window->GetChildren().end());
    ASSERT_EQ(buttons.size(), 28u);
    ASSERT_TRUE(Leave(kSelf));
    EXPECT_EQ(Player(kSelf).mediaStopped, 1);
    EXPECT_FALSE(zoom->IsAliveM()) << "the video zoom window closes";
    for (KelWndBaseCL* button : buttons)
        EXPECT_FALSE(button->IsAliveM()) << button->GetNameM();
    for (int i = 0; i < DlgGameWndCL::kSeatListSize; ++i)
        EXPECT_EQ(m_window->SeatAt(i), nullptr) << i;
    // The seated players' links to the user go off; the watcher had none.
    for (int id : {7, 8})
    {
        EXPECT_EQ(Player(id).video, (std::vector<Switch>{{false, kSelf}})) << id;
        EXPECT_EQ(Player(id).audio, (std::vector<Switch>{{false, kSelf}})) << id;
        EXPECT_EQ(Player(id).leftTable, 0) << id;
    }
    EXPECT_TRUE(Player(30).video.empty());
    EXPECT_EQ(m_window->GetSelfSeat(), -1);
    Frame();
    EXPECT_TRUE(m_window->GetChildren().empty()) << "the update took the closed buttons away";
}

TEST_F(SeatWindowTest, ChatCommandsOfOtherPlayersShowOnTheirSeats)
{
    SeatThree();
    ASSERT_TRUE(Chat("@ID:7#人物表情5"));
    EXPECT_EQ(Player(7).faces, (std::vector<int>{5}));
    EXPECT_EQ(Player(7).bubbles, (std::vector<std::string>{"“黎叔很生气，后果很严重！”"}));
    EXPECT_EQ(Player(7).sounds, (std::vector<std::string>{"effect\\ogg\\man2_5.ogg"}));
    // Face 7 by the sender's sex.
    ASSERT_TRUE(Chat("@ID:8#人物表情7"));
    EXPECT_EQ(Player(8).bubbles.back(), "“哦哟~ 帅哥！”");
    EXPECT_EQ(Player(8).sounds.back(), "effect\\ogg\\woman1_7.ogg");
    ASSERT_TRUE(Chat("@ID:7#人物表情7"));
    EXPECT_EQ(Player(7).bubbles.back(), "“哦哟~ 美女！”");
    // A prop's effect plays on the sender's object; a bubble shows on his seat.
    ASSERT_TRUE(Chat("@ID:8#特效文件3"));
    EXPECT_EQ(Player(8).sounds.back(), "effect\\ogg\\effect_3.ogg");
    ASSERT_TRUE(Chat("@ID:7#聊天气泡hello / there"));
    EXPECT_EQ(Player(7).bubbles.back(), "hello / there");
    // Media: the seat's switches and their tooltips follow the sender.
    ASSERT_TRUE(Chat("@ID:7#关闭视频"));
    EXPECT_FALSE(m_window->GetPlayer(7)->videoOn);
    EXPECT_EQ(Button("btn_video_7")->GetTip(), "打开视频");
    ASSERT_TRUE(Chat("@ID:7#关闭音频"));
    EXPECT_FALSE(m_window->GetPlayer(7)->audioOn);
    EXPECT_EQ(Button("btn_audio_7")->GetTip(), "打开音频");
    ASSERT_TRUE(Chat("@ID:7#打开视频"));
    EXPECT_TRUE(m_window->GetPlayer(7)->videoOn);
    EXPECT_EQ(Button("btn_video_7")->GetTip(), "关闭视频");
    EXPECT_TRUE(Player(kSelf).faces.empty());
    EXPECT_TRUE(m_table->chat->lines.size() == 1) << "commands never reach the chat record";
}

TEST_F(SeatWindowTest, MalformedOrForeignCommandsAreIgnoredSafely)
{
    SeatThree();
    const std::string cases[] = {
        "@ID:",
        "@ID:7",
        "@ID:7人物表情5",
        "@ID:7#人物表",
        "@ID:0#人物表情5",
        "@ID:x7#人物表情5",
        "@ID:7#人物表请5",
        "@ID:7#人物表情0",
        "@ID:7#人物表情19",
        "@ID:7#人物表情5x",
        "@ID:7#人物表情" + std::string(240, '5'),
        "@ID:7#特效文件5",
        "@ID:7#特效文件",
        "@ID:7#聊天气泡",
        "@ID:99#人物表情5",
        "@ID:8#\xFF",
    };
    for (const std::string& text : cases)
        EXPECT_TRUE(Chat(text)) << text;
    // Longer than a chat message can carry: only a direct call can bring it.
    m_window->OnRecv_ImChat("@ID:7#聊天气泡" + std::string(255, 'y'));
    for (int id : {kSelf, 7, 8})
    {
        EXPECT_TRUE(Player(id).faces.empty()) << id;
        EXPECT_TRUE(Player(id).bubbles.empty()) << id;
        EXPECT_TRUE(Player(id).sounds.empty()) << id;
    }
    EXPECT_TRUE(m_window->GetPlayer(7)->videoOn);
    const std::string log = ReadLog();
    EXPECT_NE(log.find("chat command ignored: no '#' after the sender"), std::string::npos);
    EXPECT_NE(log.find("chat command ignored: shorter than its tag"), std::string::npos);
    EXPECT_NE(log.find("chat command ignored: the sender is not a player id"), std::string::npos);
    EXPECT_NE(log.find("chat command ignored: unknown tag"), std::string::npos);
    EXPECT_NE(log.find("chat command ignored: longer than a chat line"), std::string::npos);
    EXPECT_NE(log.find("face command of player 7 has no face number 1 to 18"), std::string::npos);
    EXPECT_NE(log.find("effect command of player 7 has no effect number 1 to 4"), std::string::npos);
    EXPECT_NE(log.find("chat command of player 99, who is not at the table"), std::string::npos);
}

TEST_F(SeatWindowTest, TheUsersOwnCommandsComingBackShowOnlyHisBubble)
{
    SeatThree();
    for (const char* text :
         {"@ID:42#人物表情3", "@ID:42#特效文件2", "@ID:42#关闭视频", "@ID:42#关闭音频", "@ID:42#聊天气泡"})
        ASSERT_TRUE(Chat(text));
    EXPECT_TRUE(Player(kSelf).faces.empty()) << "the face was shown when it was sent";
    EXPECT_TRUE(Player(kSelf).bubbles.empty());
    EXPECT_TRUE(Player(kSelf).sounds.empty());
    EXPECT_TRUE(m_window->GetSelfInfo()->videoOn);
    EXPECT_TRUE(m_window->GetSelfInfo()->audioOn);
    ASSERT_TRUE(Chat("@ID:42#聊天气泡hi all"));
    EXPECT_EQ(Player(kSelf).bubbles, (std::vector<std::string>{"hi all"}));
}

TEST_F(SeatWindowTest, AFaceFromTheMenuShowsOnceLocallyAndIsSentToTheOthers)
{
    SeatThree();
    Frame();
    Click("btn_friend_42");
    std::vector<std::string> labels = MenuRows();
    ASSERT_EQ(labels.size(), 18u);
    EXPECT_EQ(labels[0], "早上好");
    EXPECT_EQ(labels[6], "美女~~");
    EXPECT_EQ(labels[17], "火眼");
    Choose(6);
    EXPECT_EQ(Player(kSelf).faces, (std::vector<int>{7}));
    EXPECT_EQ(Player(kSelf).bubbles, (std::vector<std::string>{"“哦哟~ 美女！”"}));
    EXPECT_EQ(Player(kSelf).sounds, (std::vector<std::string>{"effect\\ogg\\man2_7.ogg"}));
    EXPECT_EQ(m_table->chat->lines.back(), "Me色眯眯,眼前一亮！“哦哟~ 美女！”");
    EXPECT_EQ(m_net.ChatTexts(), (std::vector<std::string>{"@ID:42#人物表情7"}));
    EXPECT_EQ(m_net.sent[0],
              (std::vector<uint8_t>{100, 0,    9,    0,    16,   '@',  'I',  'D',  ':',  '4', '2',
                                    '#', 0xC8, 0xCB, 0xCE, 0xEF, 0xB1, 0xED, 0xC7, 0xE9, '7'}));
    // The server sends it back to everybody: the user's face is not shown a second time.
    ASSERT_TRUE(Chat(m_net.ChatTexts()[0]));
    EXPECT_EQ(Player(kSelf).faces.size(), 1u);
    // The same face again is a new choice.
    Click("btn_friend_42");
    Choose(6);
    EXPECT_EQ(Player(kSelf).faces.size(), 2u);

    // On another seat the same button asks for his friendship.
    Click("btn_friend_7");
    EXPECT_EQ(Player(kSelf).friends, (std::vector<int>{7}));
}

TEST_F(SeatWindowTest, APropIsChosenBoughtAndThrownAtAnotherSeat)
{
    SeatThree();
    FakePlayer& me = Player(kSelf);
    me.AddProp(11, "鲜花", 5, 10);
    me.AddProp(12, "双倍积分卡", 20, 1, 3600);
    me.AddProp(13, "板砖", 2, 0);
    Frame();
    Click("btn_package_8");
    ASSERT_EQ(MenuRows(), (std::vector<std::string>{"鲜花", "板砖"})) << "the package's interactive props";
    Choose(0);
    auto* dialog = Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetTitle(), "赠送鲜花");
    EXPECT_EQ(dialog->GetOffer().lines,
              (std::vector<std::string>{"向对方赠送鲜花", "每朵鲜花价格：5金币",
                                        "对方宝贝＋1，而且还会出现您意想不到的效果哦！"}));
    EXPECT_EQ(dialog->GetTotalText(), "总价：5金币");
    // Three pieces, typed into the count field.
    auto* count = dynamic_cast<KelWnd2DEditCL*>(dialog->FindChildM("buy_count"));
    ASSERT_NE(count, nullptr);
    count->SetTextM("3");
    count->SendMessageM(KWM_EDITCHANGE, KelWndMsg{count, 0, 0, 0});
    EXPECT_EQ(dialog->GetCount(), 3);
    EXPECT_EQ(dialog->GetTotalText(), "总价：15金币");
    dialog->OK();
    EXPECT_EQ(me.purchases, (std::vector<Purchase>{{11, 3, 8}}));
    EXPECT_TRUE(m_net.sent.empty()) << "nothing is thrown before the purchase is done";

    // An answer for another prop does not throw this one.
    m_app.OnRecv_BuyProp(VARNOK_BUY_DONE, 12);
    EXPECT_TRUE(m_net.sent.empty());
    m_app.OnRecv_BuyProp(VARNOK_BUY_DONE, 11);
    EXPECT_EQ(Player(8).sounds, (std::vector<std::string>{"effect\\ogg\\effect_2.ogg"}));
    EXPECT_EQ(m_net.ChatTexts(),
              (std::vector<std::string>{"“Me”向“Ann”赠送了一朵鲜花。", "@ID:42#特效文件2"}));
    // Done once: a second answer throws nothing more.
    m_app.OnRecv_BuyProp(VARNOK_BUY_DONE, 11);
    EXPECT_EQ(m_net.sent.size(), 2u);

    // A prop that is out of stock is not offered for purchase.
    Frame();
    Click("btn_package_7");
    Choose(1);
    EXPECT_NE(Dialog<DlgGameWndPropBuyCL>(DlgGameWndPropBuyCL::kName), nullptr);
}

TEST_F(SeatWindowTest, FailedPurchasesAreAnsweredWithTheirDialogs)
{
    SeatThree();
    // Without interactive props, the package button says there is nothing to be had.
    Frame();
    Click("btn_package_7");
    EXPECT_EQ(Menu(), nullptr);
    auto* none = Dialog<DlgGameWndPropBuyCL>(DlgGameWndPropBuyCL::kName);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetTitle(), "互动道具购买窗口");
    none->CloseM();

    Player(kSelf).AddProp(4, "板砖", 2, 5);
    Click("btn_package_7");
    Choose(0);
    ASSERT_NE(Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName), nullptr);
    Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName)->OK();
    m_app.OnRecv_BuyProp(VARNOK_BUY_NO_STOCK, 4);
    EXPECT_NE(Dialog<DlgGameWndPropBuyCL>(DlgGameWndPropBuyCL::kName), nullptr);
    m_app.OnRecv_BuyProp(VARNOK_BUY_DONE, 4);
    EXPECT_TRUE(m_net.sent.empty()) << "a failed purchase is forgotten";

    m_app.OnRecv_BuyProp(VARNOK_BUY_NO_MONEY, 4);
    auto* money = Dialog<DlgGameWndPropMoneyCL>(DlgGameWndPropMoneyCL::kName);
    ASSERT_NE(money, nullptr);
    // The recharge button opens the payment page in the browser.
    std::vector<std::string> opened;
    Win32SetShellOpener(
        [&opened](const std::string& target)
        {
            opened.push_back(target);
            return true;
        });
    auto* recharge = dynamic_cast<KelWnd2DButtonCL*>(money->FindChildM("btn_recharge"));
    ASSERT_NE(recharge, nullptr);
    EXPECT_EQ(recharge->GetTextM(), "充值");
    recharge->SendMessageM(KWM_LCLICK, KelWndMsg{recharge, 0, 0, 0});
    Win32SetShellOpener(nullptr);
    EXPECT_FALSE(money->IsAliveM());
    EXPECT_EQ(opened, (std::vector<std::string>{DlgGameWndPropMoneyCL::kPaymentPage}));
    EXPECT_STREQ(DlgGameWndPropMoneyCL::kPaymentPage + std::strlen(DlgGameWndPropMoneyCL::kPaymentPage) - 18,
                 "/epay/default.html");
}

TEST_F(SeatWindowTest, TheDoubleScoreCardIsOfferedByThePackageBar)
{
    SeatThree();
    m_window->OnClickPropPackage(KelWndMsg{});
    EXPECT_NE(Dialog<DlgGameWndPropBuyCL>(DlgGameWndPropBuyCL::kName), nullptr) << "no card in the package";

    const struct
    {
        int price;
        std::vector<std::string> lines;
        const char* total;
    } offers[] = {
        {30,
         {"您将花费：30金币 购买1件道具：双倍积分卡  (2小时有效时间内游戏赢了双倍积分,输了不扣分) ;"},
         "总价：30金币"},
        {0,
         {"本件物品免费，Varnok祝您购物愉快！", "2小时有效时间内游戏赢了双倍积分,输了不扣分"},
         "总价：0金币"},
    };
    for (const auto& offer : offers)
    {
        Player(kSelf).package.clear();
        Player(kSelf).AddProp(5, "双倍积分卡", offer.price, 3);
        m_window->OnClickPropPackage(KelWndMsg{});
        auto* dialog = Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->GetOffer().lines, offer.lines);
        EXPECT_EQ(dialog->FindChildM("buy_count"), nullptr) << "one card at a time";
        EXPECT_EQ(dialog->GetTotalText(), offer.total);
        dialog->OK();
    }
    EXPECT_EQ(Player(kSelf).purchases, (std::vector<Purchase>{{5, 1, kSelf}, {5, 1, kSelf}}));
    m_app.OnRecv_BuyProp(VARNOK_BUY_DONE, 5);
    EXPECT_TRUE(m_net.sent.empty()) << "a card is kept, not thrown";
}

TEST_F(SeatWindowTest, DoubleScoreRemindersByTheTimeLeft)
{
    const struct
    {
        int seconds;
        const char* onEntry;
        const char* everyFiveMinutes;
    } cases[] = {
        {0, nullptr, nullptr},
        {59, "双倍积分卡,剩余有效时间：0分钟", "双倍积分卡,剩余有效时间：0分钟"},
        {1199, "双倍积分卡,剩余有效时间：19分钟", "双倍积分卡,剩余有效时间：19分钟"},
        {1200, "双倍积分卡,剩余有效时间：20分钟", nullptr},
        {3599, "双倍积分卡,剩余有效时间：59分钟", nullptr},
        {3600, "双倍积分卡,剩余有效时间：1小时0分钟", nullptr},
        {7259, "双倍积分卡,剩余有效时间：2小时0分钟", nullptr},
    };
    AddPlayer(kSelf, "Me");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.seconds);
        Player(kSelf).package.clear();
        Player(kSelf).AddProp(5, "双倍积分卡", 10, 1, c.seconds);
        ASSERT_TRUE(Arrive(kSelf, 0, 2, "Me"));
        m_table->chat->lines.clear();
        // Timer 2: once, two seconds after the user sat down.
        m_system.now += 1999;
        Frame();
        EXPECT_TRUE(m_table->chat->lines.empty());
        m_system.now += 2;
        Frame();
        m_system.now += 5000;
        Frame();
        ASSERT_EQ(m_table->chat->lines.size(), c.onEntry != nullptr ? 1u : 0u);
        if (c.onEntry != nullptr)
        {
            EXPECT_EQ(m_table->chat->lines[0], std::string("[系统消息]: ") + c.onEntry);
        }
        // Timer 1: every five minutes from the window's start.
        m_table->chat->lines.clear();
        m_system.now += 300000;
        Frame();
        ASSERT_EQ(m_table->chat->lines.size(), c.everyFiveMinutes != nullptr ? 1u : 0u);
        if (c.everyFiveMinutes != nullptr)
        {
            EXPECT_EQ(m_table->chat->lines[0], std::string("[系统消息]: ") + c.everyFiveMinutes);
        }
        ASSERT_TRUE(Leave(kSelf));
    }
}

TEST_F(SeatWindowTest, MediaLinksThatAreDownAreKeptEveryMinute)
{
    SeatThree();
    Player(7).linked = false;
    m_system.now += 60000;
    Frame();
    EXPECT_EQ(Player(7).linksKept, 0);
    m_system.now += 1;
    Frame();
    EXPECT_EQ(Player(7).linksKept, 1);
    EXPECT_EQ(Player(8).linksKept, 0);
    EXPECT_EQ(Player(kSelf).linksKept, 0);
    m_system.now += 60001;
    Frame();
    EXPECT_EQ(Player(7).linksKept, 2);
}

TEST_F(SeatWindowTest, TheVideoAndSoundSwitchesOfTheOwnSeatAndOfOthers)
{
    SeatThree();
    Frame();
    Click("btn_video_42");
    EXPECT_FALSE(m_window->GetSelfInfo()->videoOn);
    EXPECT_EQ(Button("btn_video_42")->GetTip(), "打开视频");
    EXPECT_EQ(m_net.ChatTexts(), (std::vector<std::string>{"@ID:42#关闭视频"}));
    for (int id : {7, 8})
        EXPECT_EQ(Player(id).video, (std::vector<Switch>{{false, kSelf}})) << "no more own video for " << id;
    // The seat itself shows no video frame now, and the button is struck through.
    const size_t frames = Player(kSelf).videoFrames.size();
    m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(200, 150));
    TestFrame frame = Frame();
    Snapshot(frame, "seat_window_video_off");
    EXPECT_EQ(Player(kSelf).videoFrames.size(), frames);
    const POINT corner = Button("btn_video_42")->GetPosInScreenM(0, 0);
    EXPECT_EQ(frame.At(corner.x + 10, corner.y + 10), 0xE03030u) << "the mark across the middle";
    EXPECT_EQ(frame.At(corner.x + 4, corner.y + 4), Rgb(kButtonColours.at("video"))) << "the corner is clear";
    Click("btn_video_42");
    EXPECT_EQ(Button("btn_video_42")->GetTip(), "关闭视频");
    EXPECT_EQ(m_net.ChatTexts().back(), "@ID:42#打开视频");

    Click("btn_audio_42");
    EXPECT_EQ(m_net.ChatTexts().back(), "@ID:42#关闭音频");
    EXPECT_EQ(Player(7).audio, (std::vector<Switch>{{false, kSelf}}));

    // Another player's seat: only his object is told whether to show his video; nothing is sent.
    m_net.sent.clear();
    Click("btn_video_7");
    EXPECT_EQ(Player(7).video.back(), (Switch{false, 7}));
    EXPECT_EQ(Button("btn_video_7")->GetTip(), "打开视频");
    Click("btn_audio_8");
    EXPECT_EQ(Player(8).audio, (std::vector<Switch>{{false, kSelf}, {false, 8}}));
    EXPECT_TRUE(m_net.sent.empty());
}

TEST_F(SeatWindowTest, ASnapshotIsWrittenByTheHostObjectIntoTheCaptureFolder)
{
    SeatThree();
    std::filesystem::create_directories(m_folder.Path() / "game" / "kavdortwo");
    Frame();
    Click("btn_capture_7");
    ASSERT_EQ(Player(7).captures.size(), 1u);
    const std::string path = Player(7).captures[0];
    const std::string folder = m_folder.WinPath() + "\\game\\kavdortwo\\Capture\\";
    ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
    const std::string name = path.substr(folder.size());
    ASSERT_EQ(name.size(), 14u) << name;
    EXPECT_TRUE(std::all_of(name.begin(), name.begin() + 10, ::isdigit)) << name;
    EXPECT_EQ(name.substr(10), ".bmp");
    EXPECT_TRUE(std::filesystem::is_directory(m_folder.Path() / "game" / "kavdortwo" / "Capture"));
    auto* box = Dialog<KelMessageBoxCL>("message_box_info");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetTitle(), "保存路径");
    box->CloseM();
    Frame();

    // A frame the host could not write shows no path.
    Player(8).captureWorks = false;
    Click("btn_capture_8");
    Frame();
    EXPECT_EQ(Dialog<KelMessageBoxCL>("message_box_info"), nullptr);
    EXPECT_NE(ReadLog().find("the snapshot of player 8 was not written"), std::string::npos);
}

TEST_F(SeatWindowTest, PlayerInformationFromTheRightButtonMenu)
{
    SeatThree();
    NetPlayerInfo info;
    info.nickname = "Cleo";
    info.values[NET_INFO_LEVEL] = 3;
    info.values[NET_INFO_SCORE] = 2200;
    info.values[NET_INFO_WINS] = 12;
    info.values[NET_INFO_LOSSES] = 5;
    info.values[NET_INFO_DRAWS] = 1;
    info.values[NET_INFO_GAMES] = 18;
    info.values[NET_INFO_ESCAPE_RATE] = 4;
    AddPlayer(9, "Cleo");
    ASSERT_TRUE(
        Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_PLAYER_IN).I32(9).I32(3).I32(2).PlayerInfo(info).Data()));
    Frame();
    Click("btn_userinfo_9");
    EXPECT_EQ(Player(9).userInfoShown, 1) << "the left button shows the host's own information";
    EXPECT_EQ(Menu(), nullptr);
    Click("btn_userinfo_9", true);
    ASSERT_EQ(MenuRows(), (std::vector<std::string>{"查看玩家信息"}));
    Choose(0);
    auto* dialog = Dialog<DlgGameWndUserInfoCL>(DlgGameWndUserInfoCL::kName);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetLines(),
              (std::vector<std::string>{"昵称:Cleo", "帐号:9", "等级:3", "积分:2200", "称号:小财主",
                                        "胜:12  负:5  平:1", "胜率:66％", "对战次数:18", "逃跑率:4％"}));
}

TEST_F(SeatWindowTest, ReadinessAndRunningTotalsAndTheScoreRecord)
{
    SeatThree();
    EXPECT_FALSE(m_window->GetPlayer(7)->ready);
    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(7).U8(1).Data()));
    EXPECT_TRUE(m_window->GetPlayer(7)->ready);
    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_READY).I32(7).U8(0).Data()));
    EXPECT_FALSE(m_window->GetPlayer(7)->ready);

    const std::vector<NetResultRecord> hand = {
        {kSelf, 12, 0, 0}, {7, -6, 0, 0}, {8, -6, 0, 0}, {99, 5, 0, 0}};
    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RESULT).ResultList(hand).Data()));
    ASSERT_TRUE(Room(NetMsgWriterCL(NET_CATEGORY_ROOM, ROOM_GAME_RESULT).ResultList(hand).Data()));
    EXPECT_EQ(m_window->GetSelfInfo()->scoreTotal, 24);
    EXPECT_EQ(m_window->GetPlayer(8)->scoreTotal, -12);

    m_window->ShowScoreRecord({kSelf, 7, 8}, {24, -12, -12});
    auto* record = Dialog<DlgGameWndScoreRecordCL>(DlgGameWndScoreRecordCL::kName);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetTitle(), "查看积分");
    EXPECT_EQ(record->GetRows(),
              (std::vector<std::pair<std::string, int>>{{"Me", 24}, {"Bob", -12}, {"Ann", -12}}));
    m_window->ShowScoreRecord({kSelf}, {0});
    EXPECT_EQ(Dialog<DlgGameWndScoreRecordCL>(DlgGameWndScoreRecordCL::kName), record) << "already open";
}

TEST_F(SeatWindowTest, AnOpenPurchaseGoesWithTheTable)
{
    SeatThree();
    Player(kSelf).AddProp(4, "板砖", 2, 5);
    Frame();
    Click("btn_package_7");
    Choose(0);
    auto* dialog = Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName);
    ASSERT_NE(dialog, nullptr);
    // The user leaves the table: the table dialog and the seat window in it are destroyed.
    m_table->CloseM();
    Frame();
    EXPECT_EQ(Dialog<DlgGameWndPropBuy2CL>(DlgGameWndPropBuy2CL::kName), nullptr)
        << "its OK would report to a window that is gone";
    EXPECT_EQ(m_ui.GetModalList().size(), 0u);
    Frame();
}
