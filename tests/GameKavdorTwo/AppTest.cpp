#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "CGameCardKavdorTwoCL.h"
#include "EnginePointerBlock.h"
#include "EngineTestSupport.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DBaseCL.h"

namespace
{
// The host's side: dispatchers that record what registers with them, and senders that keep what
// is sent.
class FakeNet : public MsgDispatcher, public MsgSender
{
public:
    bool Add(MsgSinkCL* sink) override
    {
        sinks.push_back(sink);
        return accept;
    }
    void Remove(MsgSinkCL* sink) override { removed.push_back(sink); }
    void Send(const uint8_t* bytes, int length) override { sent.emplace_back(bytes, bytes + length); }

    // The type field of each message sent.
    std::vector<int> SentTypes() const
    {
        std::vector<int> types;
        for (const auto& m : sent)
            types.push_back(m[2] | (m[3] << 8));
        return types;
    }

    bool accept = true;
    std::vector<MsgSinkCL*> sinks;
    std::vector<MsgSinkCL*> removed;
    std::vector<std::vector<uint8_t>> sent;
};

class FakePlayers : public PlayerService
{
public:
    int GetSelfID() override { return 42; }
    VarnokPlayerInfo* GetPlayerInfo(int id) override { return id == 42 ? &self : nullptr; }
    VarnokPlayer* GetPlayer(int) override { return nullptr; }
    void* Malloc(size_t size) override { return std::malloc(size); }
    VarnokPlayerInfo self;
};

class ShowCounter : public CGameCardKavdorTwoCL
{
public:
    void OnShowChanged(uint8_t) override { ++changes; }
    int changes = 0;
};

// The test's folder as the module directory, so that "\save\Game42.ini" lies in it.
class FolderSystem : public KelSystemCL
{
public:
    const std::string& GetModuleDirectory() override { return directory; }
    std::string directory;
};

class AppTest : public EngineTestBase<FolderSystem>
{
protected:
    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        m_system.directory = m_folder.WinPath();
    }

    KelUIManagerCL m_ui;
    CGameCardKavdorTwoCL m_app;
    FakeNet m_room;
    FakeNet m_game;
    FakePlayers m_players;
};
} // namespace

TEST_F(AppTest, TitlesSeatsAndNames)
{
    struct
    {
        int score;
        const char* title;
    } const titles[] = {{10, "包身工"},   {-5, "包身工"},  {11, "短工"},   {2199, "衙役"},
                        {2200, "小财主"}, {69999, "丞相"}, {70000, "帝王"}};
    for (const auto& t : titles)
        EXPECT_STREQ(m_app.GetScoreTitle(t.score), t.title) << t.score;
    EXPECT_EQ(m_app.GetSeatCount(), 4);
    EXPECT_EQ(m_app.GetSeatOffsetX(0), -52);
    EXPECT_EQ(m_app.GetSeatOffsetY(3), -55);
    EXPECT_EQ(m_app.GetSeatOffsetX(4), 0);
    EXPECT_EQ(m_app.GetSeatOffsetY(-1), 0);
    char name[32];
    m_app.GetGameName(name);
    EXPECT_STREQ(name, "Kavdor");
    EXPECT_STREQ(m_app.GetGameDirName(), "kavdortwo");
    EXPECT_EQ(m_app.GetRoomName(), "---VARNOK游戏世界---");
    EXPECT_EQ(m_app.GetEffectLevel(), 1);
    EXPECT_EQ(m_app.GetIsShow(), 1);
    char work[512];
    m_app.GetWorkDir(work);
    EXPECT_EQ(std::string(work), KelGetModuleDirectory() + "\\game\\kavdortwo");
}

TEST_F(AppTest, SinksRegisterOnlyWithABothHalvesOfTheNet)
{
    EXPECT_EQ(m_app.GetVarnokPlayerInfo(42), nullptr) << "no player service yet";
    m_app.SetNetMsgDispatcher(&m_room);
    EXPECT_FALSE(m_app.AddNetMsgHandle(&m_app.GetRoomSink())) << "a dispatcher without a sender";
    EXPECT_TRUE(m_room.sinks.empty());
    m_app.SetNetMsgSender(&m_room);
    m_room.accept = false;
    EXPECT_FALSE(m_app.AddNetMsgHandle(&m_app.GetRoomSink()));
    EXPECT_EQ(m_app.GetRoomSink().GetSender(), nullptr);
    m_room.accept = true;
    EXPECT_TRUE(m_app.AddNetMsgHandle(&m_app.GetRoomSink()));
    EXPECT_EQ(m_app.GetRoomSink().GetSender(), &m_room);
    EXPECT_TRUE(m_app.RemoveNetMsgHandle(&m_app.GetRoomSink()));
    EXPECT_EQ(m_room.removed.size(), 1u);

    ShowCounter shown;
    shown.SetIsShow(1);
    EXPECT_EQ(shown.changes, 0) << "the same value changes nothing";
    shown.SetIsShow(0);
    EXPECT_EQ(shown.changes, 1);
}

TEST_F(AppTest, EnteringAGameSendsTheTableSettingsAndRegistersBothSinks)
{
    m_app.SetNetMsgDispatcher(&m_room);
    m_app.SetNetMsgSender(&m_room);
    m_app.SetPlayerService(&m_players);
    m_app.SetGameNet(&m_game, &m_game);
    EXPECT_EQ(m_app.GetSelfData(), &m_players.self);
    // No saved settings: zeros and an empty password.
    ASSERT_TRUE(m_app.EnterGame());
    ASSERT_EQ(m_game.SentTypes(), (std::vector<int>{7, 12}));
    EXPECT_EQ(m_game.sent[1], (std::vector<uint8_t>{100, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(m_game.sinks.size(), 2u);
    EXPECT_EQ(m_game.sinks[1], &m_app.GetGameSink());
    EXPECT_TRUE(m_app.ExitGame());
    EXPECT_EQ(m_app.IsExiting(), 1);
    EXPECT_EQ(m_game.removed.size(), 2u);

    // With saved settings in "\save\Game42.ini".
    const std::string saved = m_app.GetSavedSettingsPath();
    std::string posix = saved;
    for (char& c : posix)
        if (c == '\\')
            c = '/';
    std::filesystem::create_directories(std::filesystem::path(posix).parent_path());
    std::FILE* file = std::fopen(posix.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[Kavdor]\njiFen=300\nfenCha=-20\nIP=1\npassWord=abc\n", file);
    std::fclose(file);
    m_game.sent.clear();
    ASSERT_TRUE(m_app.EnterGame());
    ASSERT_EQ(m_game.SentTypes(), (std::vector<int>{7, 12}));
    const std::vector<uint8_t> settings = {100, 0,   12, 0, 44, 1, 0, 0,   236, 255,
                                           255, 255, 1,  0, 0,  0, 3, 'a', 'b', 'c'};
    EXPECT_EQ(m_game.sent[1], settings);
    m_app.ExitGame();
}

TEST_F(AppTest, RoomMessagesChangeTheRoomState)
{
    m_app.SetNetMsgDispatcher(&m_room);
    m_app.SetNetMsgSender(&m_room);
    ASSERT_TRUE(m_app.AddNetMsgHandle(&m_app.GetRoomSink()));
    const auto deliver = [this](std::vector<uint8_t> message)
    { return m_app.GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size())); };
    EXPECT_TRUE(deliver({100, 0, 10, 0, 1, 0, 0, 0}));
    EXPECT_EQ(m_app.IsGameRuning(), 1);
    EXPECT_TRUE(deliver({100, 0, 21, 0, 40, 0, 0, 0}));
    EXPECT_EQ(m_app.GetCoinCost(), 40);
    EXPECT_TRUE(deliver({100, 0, 11, 0, 1}));
    EXPECT_EQ(m_app.IsExiting(), 1);
    EXPECT_TRUE(deliver({100, 0, 6, 0, 0})) << "an empty result still ends the game";
    EXPECT_EQ(m_app.IsGameRuning(), 0);
    EXPECT_EQ(m_ui.GetDeskTopM()->FindChildM("DlgGameScoreCL"), nullptr) << "no score dialog without records";
    // One record: player 42 won 6 points and 12 coins.
    EXPECT_TRUE(deliver({100, 0, 6, 0, 1, 42, 0, 0, 0, 6, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_NE(m_ui.GetDeskTopM()->FindChildM("DlgGameScoreCL"), nullptr) << "the hand's score is shown";
    m_app.OnRecv_OnGameRoomInfo("Room 7");
    EXPECT_EQ(m_app.GetRoomName(), "Room 7");
    // Destroying while a game runs leaves the table by force.
    EXPECT_TRUE(deliver({100, 0, 10, 0, 1, 0, 0, 0}));
    m_app.OnDestroy();
    EXPECT_EQ(m_room.SentTypes(), (std::vector<int>{2}));
}

TEST(ModuleLibrary, ExportsExactlyOneSymbolAndLoadsAndUnloads)
{
    const std::string path = KAVDOR_MODULE_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(("nm -D --defined-only " + path).c_str(), "r"), pclose);
    ASSERT_NE(nm, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, nm.get()) != nullptr)
    {
        std::string text(line);
        const size_t name = text.find_last_of(' ');
        symbols.push_back(text.substr(name + 1, text.find_last_not_of("\n") - name));
    }
    EXPECT_EQ(symbols, (std::vector<std::string>{"ExportInterface"}));

    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Export = VAppBaseCL* (*)();
    auto exportInterface = reinterpret_cast<Export>(dlsym(module, "ExportInterface"));
    ASSERT_NE(exportInterface, nullptr);
    VAppBaseCL* first = exportInterface();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(exportInterface(), first) << "one application object";
    EXPECT_EQ(static_cast<VGameCardBaseCL*>(first)->GetSeatCount(), 4)
        << "called by position through the table";

    // The host's managers replace the module's own: the module's GUI code then works on them.
    KelLogCL log;
    KelSystemCL system;
    KelTextureInfoManagerCL textures;
    KelUIManagerCL ui;
    EnginePointerBlock block{};
    block.log = &log;
    block.system = &system;
    block.textureInfoManager = &textures;
    block.uiManager = &ui;
    first->RevertKelEnginePoint(&block);
    EXPECT_EQ(first->Initial(), 0) << "no dispatcher: the room sink cannot register";
    EXPECT_EQ(ui.GetGuiConfigM(), "Config\\Gui\\guiConfig.xml");
    first->Destroy();
    EXPECT_EQ(ui.GetDeskTopM(), nullptr) << "the windows went with the module's Destroy";
    EXPECT_EQ(dlclose(module), 0);
}
