// The lobby host's parts (script, input translation, routing) and whole headless runs of the
// program against an embedded server and against a server that sends garbage.

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "EngineTestSupport.h"
#include "Game/MsgSinkCL.h"
#include "HostFacePickerCL.h"
#include "HostNetCL.h"
#include "HostPlayersCL.h"
#include "HostScriptCL.h"
#include "HostWindowCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "PlayerStoreCL.h"
#include "TestFolder.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"

namespace
{
std::string RunLobby(const TestFolder& folder, const std::string& arguments, int& code,
                     const std::string& program = KAVDOR_LOBBY)
{
    const std::string command = "cd '" + folder.Path().string() + "' && '" + program +
                                "' --headless --data data " + arguments + " > out.txt 2>&1";
    const int status = std::system(command.c_str());
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return folder.Read("out.txt");
}

class CountingSink : public MsgSinkCL
{
public:
    explicit CountingSink(uint16_t category) : MsgSinkCL(category) {}
    bool OnMessage(const uint8_t*, int) override
    {
        ++received;
        return accept;
    }
    int received = 0;
    bool accept = true;

protected:
    bool Dispatch(uint16_t, NetMsgReaderCL&) override { return true; }
};
} // namespace

TEST(HostScript, BadLinesAreReportedWithTheirNumberBeforeAnythingRuns)
{
    HostScriptCL script;
    std::string error;
    EXPECT_TRUE(script.Parse("# comment\n\nclick 1 2\nwait-traffic accepted.100 >= 3 500\nquit\n", error))
        << error;
    EXPECT_FALSE(script.Parse("click 1 2\nfly 3\n", error));
    EXPECT_EQ(error, "line 2: unknown command fly");
    EXPECT_FALSE(script.Parse("wait-traffic sent.100 >=\n", error));
    EXPECT_EQ(error, "line 1: wait-traffic needs 3 argument(s)");

    struct
    {
        long long value;
        const char* op;
        long long expected;
        bool holds;
        bool known;
    } const cases[] = {{3, "==", 3, true, true},  {3, "!=", 3, false, true}, {2, "<", 3, true, true},
                       {3, "<=", 3, true, true},  {4, ">", 3, true, true},   {3, ">=", 4, false, true},
                       {3, "=>", 3, false, false}};
    for (const auto& c : cases)
    {
        bool known = false;
        EXPECT_EQ(HostScriptCL::Compare(c.value, c.op, c.expected, known), c.holds) << c.op;
        EXPECT_EQ(known, c.known) << c.op;
    }
    EXPECT_EQ(HostScriptCL::KeyCode("Return"), VK_RETURN);
    EXPECT_EQ(HostScriptCL::KeyCode("F8"), 0x77);
    EXPECT_EQ(HostScriptCL::KeyCode("a"), 'A');
    EXPECT_EQ(HostScriptCL::KeyCode("F13"), 0);
}

namespace
{
// A desktop of named windows that the test shows and hides, recording the clicks it gets.
class FakeScriptTarget : public HostScriptTarget
{
public:
    FakeScriptTarget() : m_desktop("desk", nullptr, 0) {}
    KelWnd2DBaseCL* Add(const std::string& name, int x)
    {
        auto* window = new KelWnd2DBaseCL(name.c_str(), &m_desktop, 0);
        window->SetPosM(x, 0);
        window->SetSizeM(10, 10);
        return window;
    }
    void Input(UINT message, WPARAM, LPARAM lparam) override
    {
        if (message == WM_LBUTTONDOWN)
            clicks.push_back(LOWORD(lparam));
    }
    KelWndBaseCL* FindShownWindow(const std::string& name) override
    {
        KelWndBaseCL* window = m_desktop.FindChildM(name.c_str());
        return window != nullptr && window->IsShowM() ? window : nullptr;
    }
    bool Snapshot(const std::string&) override { return true; }
    const HostTraffic& Traffic() override { return m_traffic; }
    const VarnokPlayerInfo* SelfRecord() override { return self; }
    std::string LogText() override { return ""; }
    const std::vector<std::string>& SoundsPlayed() override { return m_sounds; }
    KelWndBaseCL* Popup() override { return nullptr; }
    int ShownFace(const std::string&) override { return -1; }
    KelWnd2DBaseCL& Desktop() { return m_desktop; }

    std::vector<int> clicks;
    // The user's record; null: not logged in.
    VarnokPlayerInfo* self = nullptr;

private:
    KelWnd2DBaseCL m_desktop;
    HostTraffic m_traffic;
    std::vector<std::string> m_sounds;
};
} // namespace

// The blocks that let a script play whole hands: it answers whatever the table shows.
TEST(HostScript, BlocksRepeatLoopUntilAWindowShowsAndBranchOnShownWindows)
{
    HostScriptCL script;
    std::string error;
    EXPECT_FALSE(script.Parse("repeat 2\nclick 1 1\n", error));
    EXPECT_EQ(error, "line 1: repeat has no end");
    EXPECT_FALSE(script.Parse("click 1 1\nend\n", error));
    EXPECT_EQ(error, "line 2: end without a block");
    EXPECT_FALSE(script.Parse("repeat 2\nelse\nend\n", error));
    EXPECT_EQ(error, "line 2: else without an if");

    FakeScriptTarget target;
    target.Add("a", 10);
    KelWnd2DBaseCL* b = target.Add("b", 20);
    KelWnd2DBaseCL* done = target.Add("done", 30);
    b->ShowM(false);
    done->ShowM(false);
    ASSERT_TRUE(script.Parse("repeat 3\n  if-window a\n    click-window a\n  end\n  if-no-window b\n"
                             "    click-window done\n  end\nend\n"
                             "until-window done 1000\n  if-window b\n    click-window b\n  end\nend\n"
                             "click-window done\nquit\n",
                             error))
        << error;
    // The repeat runs its block three times: "a" is shown, "b" is not, so "done" (hidden) fails
    // to be clicked: the script stops there.
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Failed);
    EXPECT_NE(script.Failure().find("no shown window done"), std::string::npos) << script.Failure();
    target.clicks.clear();

    ASSERT_TRUE(script.Parse("repeat 3\n  if-window a\n    click-window a\n  end\nend\n"
                             "until-window done 1000\n  if-window b\n    click-window b\n  end\nend\n"
                             "click-window done\nquit\n",
                             error));
    b->ShowM(true);
    // The until goes round a frame at a time while "done" stays hidden.
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Running);
    EXPECT_EQ(script.Step(target, 10), HostScriptCL::Status::Running);
    EXPECT_EQ(target.clicks, (std::vector<int>{15, 15, 15, 25, 25}));
    done->ShowM(true);
    EXPECT_EQ(script.Step(target, 20), HostScriptCL::Status::Done);
    EXPECT_EQ(target.clicks.back(), 35);

    // Else: one of the two blocks, whatever the first one's clicks change.
    target.clicks.clear();
    ASSERT_TRUE(script.Parse("if-window b\n  click-window b\n  if-no-window a\n    click 1 1\n  else\n"
                             "    click 2 2\n  end\nelse\n  click 3 3\nend\nif-no-window b\n  click 4 4\n"
                             "else\n  click 5 5\nend\n",
                             error))
        << error;
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Done);
    EXPECT_EQ(target.clicks, (std::vector<int>{25, 2, 5}));

    // An until that never sees its window fails when its time is up.
    ASSERT_TRUE(script.Parse("until-window nothing 100\nend\n", error));
    EXPECT_EQ(script.Step(target, 1000), HostScriptCL::Status::Running);
    EXPECT_EQ(script.Step(target, 1050), HostScriptCL::Status::Running);
    EXPECT_EQ(script.Step(target, 1100), HostScriptCL::Status::Failed);
    EXPECT_NE(script.Failure().find("no window nothing after 100 ms"), std::string::npos) << script.Failure();
}

// A session that plays until the user's record holds so many hands, clicking points inside
// windows: the loop runs while the record compares so, a frame apart, and a point outside the
// window is refused rather than clicked somewhere else.
TEST(HostScript, WhileRecordLoopsUntilTheRecordChangesAndClicksLandInsideTheWindow)
{
    FakeScriptTarget target;
    target.Add("a", 10);
    HostScriptCL script;
    std::string error;
    const char* const loop = "while-record hands < 2\n  click-window a 3 4\nend\nclick-window a\nquit\n";
    ASSERT_TRUE(script.Parse(loop, error)) << error;
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Failed);
    EXPECT_NE(script.Failure().find("not logged in"), std::string::npos) << script.Failure();

    VarnokPlayerInfo self;
    self.wins = 1;
    target.self = &self;
    ASSERT_TRUE(script.Parse(loop, error));
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Running);
    EXPECT_EQ(script.Step(target, 10), HostScriptCL::Status::Running);
    self.draws = 1; // hands = wins + losses + draws
    EXPECT_EQ(script.Step(target, 20), HostScriptCL::Status::Done);
    EXPECT_EQ(target.clicks, (std::vector<int>{13, 13, 15}));

    for (const char* bad : {"click-window a 10 0\n", "click-window a -1 2\n", "click-window a 2\n",
                            "while-record fame < 2\nend\n"})
    {
        ASSERT_TRUE(script.Parse(bad, error)) << bad;
        EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Failed) << bad;
    }
    EXPECT_NE(script.Failure().find("unknown value fame"), std::string::npos) << script.Failure();
}

TEST(HostInput, SdlEventsBecomeTheWindowsMessagesOfTheEngine)
{
    HostInputCL input;
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.clicks = 1;
    event.button.x = 30;
    event.button.y = 40;
    auto messages = input.Translate(event);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(messages[0].wparam, MK_LBUTTON);
    EXPECT_EQ(messages[0].lparam, MAKELPARAM(30, 40));
    event.button.clicks = 2;
    EXPECT_EQ(input.Translate(event)[0].message, WM_LBUTTONDBLCLK) << "the second press of a double click";

    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -2;
    messages = input.Translate(wheel);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(messages[0].wparam)), -2 * WHEEL_DELTA);
    EXPECT_EQ(messages[0].lparam, MAKELPARAM(30, 40)) << "at the last mouse point";

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_BACKSPACE;
    messages = input.Translate(key);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_KEYDOWN);
    EXPECT_EQ(messages[0].wparam, static_cast<WPARAM>(VK_BACK));
    EXPECT_EQ(messages[1].message, WM_CHAR) << "Backspace also types its control character";
    key.key.keysym.sym = SDLK_LSHIFT;
    messages = input.Translate(key);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wparam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    key.type = SDL_KEYUP;
    input.Translate(key);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);

    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "a\xe4\xb8\xad"); // "a" and the character for "middle"
    messages = input.Translate(text);
    ASSERT_EQ(messages.size(), 3u) << "one byte, then the two GBK bytes of the character";
    EXPECT_EQ(messages[0].wparam, static_cast<WPARAM>('a'));
    EXPECT_EQ(messages[1].wparam, 0xD6u);
    EXPECT_EQ(messages[2].wparam, 0xD0u);
}

TEST(HostNet, MessagesGoToTheGameLevelFirstAndRequestsOut)
{
    std::vector<std::vector<uint8_t>> out;
    HostNetCL net(
        [&out](const std::vector<uint8_t>& message)
        {
            out.push_back(message);
            return true;
        });
    CountingSink roomAtRoomLevel(100);
    CountingSink roomAtGameLevel(100);
    CountingSink game(105);
    net.RoomLevel().Add(&roomAtRoomLevel);
    const uint8_t room[] = {100, 0, 2, 0};
    net.Deliver(room, sizeof room);
    EXPECT_EQ(roomAtRoomLevel.received, 1);
    net.GameLevel().Add(&roomAtGameLevel);
    net.GameLevel().Add(&game);
    net.Deliver(room, sizeof room);
    EXPECT_EQ(roomAtRoomLevel.received, 1) << "once a game is entered, its sinks take the messages";
    EXPECT_EQ(roomAtGameLevel.received, 1);
    game.accept = false;
    const uint8_t gameMessage[] = {105, 0, 5, 0, 1};
    net.Deliver(gameMessage, sizeof gameMessage);
    const uint8_t lobby[] = {1, 0, 101, 0};
    net.Deliver(lobby, sizeof lobby);
    EXPECT_EQ(net.Traffic().accepted.at(100), 2);
    EXPECT_EQ(net.Traffic().refused.at(105), 1);
    EXPECT_EQ(net.Traffic().unrouted.at(1), 1);
    net.GameLevel().Remove(&game);
    EXPECT_EQ(net.GameLevel().Find(105), nullptr);

    const uint8_t request[] = {100, 0, 7, 0};
    net.Send(request, sizeof request);
    net.Send(request, 3); // no whole header: dropped
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(net.Traffic().sent.at(100), 1);
}

// The picker stays on the desktop, and the face clicked is typed into the chat line that had
// the focus when it opened.
TEST_F(EngineTest, FacePickerTypesThePickedFacesCodeWhereTheFocusWas)
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    KelUIManagerCL ui;
    ui.SetDeskTopSizeM(800, 600);
    auto* line = new KelWnd2DEditCL("chat_line", ui.GetDeskTopM(), 10, 560, 300, 22, 0);
    ui.SetFocusWndM(line);
    line->InsertTextM("hi ", false);
    auto* picker = new HostFacePickerCL(790, 590);
    const auto [x, y] = picker->GetPosM();
    const auto [w, h] = picker->GetSizeM();
    EXPECT_EQ(x + w, 800) << "kept inside the desktop";
    EXPECT_EQ(y + h, 600);
    EXPECT_EQ(HostFacePickerCL::FaceAt(POINT{4 + 30 + 5, 4 + 30 + 5}), 8);
    EXPECT_EQ(HostFacePickerCL::FaceAt(POINT{2, 2}), 0);
    // Face 8: the second row, the second column.
    const LPARAM point = MAKELPARAM(x + 4 + 30 + 15, y + 4 + 30 + 15);
    ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, point);
    ui.PostMessageM(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ui.PostMessageM(nullptr, WM_LBUTTONUP, 0, point);
    EXPECT_EQ(line->GetEditText(), "hi /08");
    ui.UpDatedataM();
    EXPECT_EQ(ui.GetDeskTopM()->FindChildM("HostFacePicker"), nullptr) << "closed after the pick";
}

// The chat panel asks for a face: the picked face's code goes back to the module (on the host's
// next frame), not into whatever window has the keyboard.
TEST_F(EngineTest, AFacePickedForTheChatGoesBackToTheModule)
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    KelUIManagerCL ui;
    ui.SetDeskTopSizeM(800, 600);
    auto* line = new KelWnd2DEditCL("chat_line", ui.GetDeskTopM(), 10, 560, 300, 22, 0);
    ui.SetFocusWndM(line);
    HostPlayersCL players;
    NetPlayerInfo info;
    info.nickname = "me";
    players.Update(5, info).OpenFacePicker(215, 440);
    auto* picker = dynamic_cast<KelWnd2DBaseCL*>(ui.GetDeskTopM()->FindChildM("HostFacePicker"));
    ASSERT_NE(picker, nullptr);
    const auto [x, y] = picker->GetPosM();
    EXPECT_EQ(x, 215);
    EXPECT_EQ(y, 440);
    const LPARAM point = MAKELPARAM(x + 4 + 30 + 15, y + 4 + 30 + 15);
    ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, point);
    ui.PostMessageM(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ui.PostMessageM(nullptr, WM_LBUTTONUP, 0, point);
    EXPECT_EQ(line->GetEditText(), "") << "nothing typed";
    EXPECT_EQ(players.TakePickedFaces(), (std::vector<std::string>{"/08"}));
    EXPECT_TRUE(players.TakePickedFaces().empty()) << "taken once";
    players.ReleasePictures();
}

// wait-text: until a shown window's text holds the script's (UTF-8) text in GBK, an edit's line
// or a rich text box's whole record, wrapped or not.
TEST_F(EngineTest, ScriptWaitsForTextInAnEditOrARichTextBox)
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    KelUIManagerCL ui;
    FakeScriptTarget target;
    auto* line = new KelWnd2DEditCL("edit", &target.Desktop(), 0, 0, 100, 20, 0);
    auto* record = new KelWnd2DRichEditIICL("outPut", &target.Desktop(), 0, 30, 40, 80, 0);
    const auto utf8 = [](const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); };
    HostScriptCL script;
    std::string error;
    ASSERT_TRUE(
        script.Parse(utf8(u8"wait-text outPut 你好，乙方！出牌吧 500\nwait-text edit a  b\nquit\n"), error))
        << error;
    EXPECT_EQ(script.Step(target, 0), HostScriptCL::Status::Running);
    record->AddTextM(" [甲方]; 你好，乙方！");
    EXPECT_EQ(script.Step(target, 100), HostScriptCL::Status::Running) << "only half of it yet";
    record->AddTextM("出牌吧");
    EXPECT_EQ(script.Step(target, 200), HostScriptCL::Status::Running) << "now the edit's turn";
    line->SetTextM("xa  by");
    EXPECT_EQ(script.Step(target, 300), HostScriptCL::Status::Done) << script.Failure();

    struct
    {
        const char* script;
        const char* failure;
    } const failures[] = {
        {"wait-text outPut nothing 100\n", "outPut does not show \"nothing\" after 100 ms"},
        {"wait-text gone text 100\n", "no window gone after 100 ms"},
    };
    for (const auto& f : failures)
    {
        ASSERT_TRUE(script.Parse(f.script, error)) << error;
        EXPECT_EQ(script.Step(target, 1000), HostScriptCL::Status::Running);
        EXPECT_EQ(script.Step(target, 1100), HostScriptCL::Status::Failed);
        EXPECT_NE(script.Failure().find(f.failure), std::string::npos) << script.Failure();
    }
    EXPECT_FALSE(script.Parse("wait-text outPut\n", error));
    EXPECT_EQ(error, "line 1: wait-text needs 2 argument(s)");
}

// The whole program: the lobby, the embedded server with bots, the module at the table.
TEST(HostRun, QuickStartSeatsTheUserWithBotsAndTheModuleTalksToTheServer)
{
    TestFolder folder;
    int code = -1;
    const std::string out = RunLobby(
        folder, "--script '" KAVDOR_HOST_SCRIPTS "/quickstart.script' --bot-delay 0 --turn-seconds 3", code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "table.png"));
    // Whole hands were played at the table: bid, played, scored.
    for (const char* snapshot : {"bid.png", "play.png", "result.png"})
        EXPECT_TRUE(std::filesystem::exists(folder.Path() / snapshot)) << snapshot;

    // The player database holds exactly what the hand results showed, hand after hand.
    std::map<std::string, std::pair<long long, long long>> shown;
    int hands = 0;
    {
        std::istringstream tally(folder.Read("scores.txt"));
        std::string word;
        ASSERT_TRUE(tally >> word >> hands) << "no tally written";
        for (std::string line; std::getline(tally, line);)
        {
            const size_t tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            std::istringstream numbers(line.substr(tab + 1));
            auto& [score, coins] = shown[line.substr(0, tab)];
            numbers >> score >> coins;
        }
    }
    EXPECT_EQ(hands, 21);
    PlayerStoreCL store;
    ASSERT_TRUE(store.Open((folder.Path() / "data" / "players.db").string())) << store.LastError();
    PlayerRecord user;
    ASSERT_TRUE(store.Load(1, user));
    ASSERT_EQ(shown.count(user.nickname), 1u) << "the user's rows were tallied";
    EXPECT_EQ(user.score, shown[user.nickname].first);
    EXPECT_EQ(user.coins, PlayerStoreCL::kStartingCoins + shown[user.nickname].second);
    EXPECT_EQ(user.games, hands);
    EXPECT_EQ(user.wins + user.losses + user.draws, hands);
    // Every hand's changes add up to nothing: coins pass from the losers to the winners.
    long long total = 0;
    for (const auto& [nickname, change] : shown)
        total += change.first;
    EXPECT_EQ(total, 0);
    store.Close();
    // The nickname is remembered, never a password.
    const std::string remembered = folder.Read("data/lobby.ini");
    EXPECT_NE(remembered.find("nickname="), std::string::npos);
    EXPECT_EQ(remembered.find("pass"), std::string::npos);
}

namespace
{
// A port nobody listens on now, for a server the test starts.
int FreePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}
} // namespace

// Two people at one table, each in his own lobby host on a shared table server: a face one of
// them sends with the mouse shows over his picture at the other's table.
TEST(HostRun, AFaceSentAtOneHostShowsAtTheOtherHostsTable)
{
    TestFolder serverFolder;
    TestFolder first;
    TestFolder second;
    const std::string port = std::to_string(FreePort());
    const std::string start = "cd '" + serverFolder.Path().string() + "' && '" KAVDOR_SERVER "' --port " +
                              port + " --db players.db --quiet > server.txt 2>&1 & echo $! > '" +
                              serverFolder.Path().string() + "/pid'";
    ASSERT_EQ(std::system(start.c_str()), 0);
    // The hosts connect once, at start: the server must be listening by then.
    bool listening = false;
    for (int waited = 0; waited < 300 && !listening; ++waited)
    {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
        listening = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(probe);
        if (!listening)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(listening) << serverFolder.Read("server.txt");
    const std::string server = "--server 127.0.0.1:" + port;
    // The first host takes its seat before the second one logs in, so the ids and seats are known.
    int firstCode = -1;
    std::string firstOut;
    std::thread sender(
        [&]
        {
            firstOut =
                RunLobby(first, server + " --script '" KAVDOR_HOST_SCRIPTS "/face-sender.script'", firstCode);
        });
    for (int waited = 0; waited < 600 && first.Read("KelLogFile.txt").find("seatIdx=0") == std::string::npos;
         ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int secondCode = -1;
    const std::string secondOut =
        RunLobby(second, server + " --script '" KAVDOR_HOST_SCRIPTS "/face-receiver.script'", secondCode);
    sender.join();
    const std::string stop = "kill $(cat '" + serverFolder.Path().string() + "/pid')";
    std::system(stop.c_str());
    EXPECT_EQ(firstCode, 0) << firstOut;
    EXPECT_EQ(secondCode, 0) << secondOut;
    EXPECT_TRUE(std::filesystem::exists(second.Path() / "face-seen.png"));
}

TEST(HostRun, MissingModuleScriptAndServerGiveClearExits)
{
    TestFolder folder;
    int code = -1;
    std::string out = RunLobby(folder, "--script none.script", code);
    EXPECT_EQ(code, 64);
    EXPECT_NE(out.find("cannot read the script"), std::string::npos) << out;
    out = RunLobby(folder, "--server 127.0.0.1:1 --frames 1", code);
    EXPECT_EQ(code, 4);
    EXPECT_NE(out.find("cannot reach the table server"), std::string::npos) << out;
    out = RunLobby(folder, "--fps 0", code);
    EXPECT_EQ(code, 64);
    // A copy of the program in a folder without the game module.
    std::filesystem::copy_file(KAVDOR_LOBBY, folder.Path() / "kavdor-lobby");
    out = RunLobby(folder, "--frames 1", code, (folder.Path() / "kavdor-lobby").string());
    EXPECT_EQ(code, 2);
    EXPECT_NE(out.find("cannot load the game module"), std::string::npos) << out;
}

// A server that answers the login with a frame of length 1: the host reports the bad frame and
// keeps running.
TEST(HostRun, AGarbledFrameFromTheServerClosesTheConnectionNotTheProgram)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::thread server(
        [listener]
        {
            const int peer = accept(listener, nullptr, nullptr);
            if (peer < 0)
                return;
            char buffer[512];
            if (recv(peer, buffer, sizeof buffer, 0) > 0)
            {
                const uint8_t garbage[] = {1, 0, 0, 0, 0x55};
                send(peer, garbage, sizeof garbage, MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            close(peer);
        });

    TestFolder folder;
    folder.Write("garbled.script",
                 "click-window lobby_nickname\ntype bob\nclick-window lobby_password\ntype pw\n"
                 "click-window lobby_login\nwait-log frame too short from the server 5000\nquit\n");
    int code = -1;
    const std::string out = RunLobby(
        folder, "--server 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + " --script garbled.script",
        code);
    server.join();
    close(listener);
    EXPECT_EQ(code, 0) << out;
}

// The user's package holds the table's props, free while the stock lasts; a purchase is answered
// on a later frame. The video frame of a player without a camera is his portrait, written as a
// bitmap.
TEST_F(EngineTest, HostPlayersSellTheTablesPropsAndWriteTheVideoFrame)
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    HostPlayersCL players;
    NetPlayerInfo me;
    me.nickname = "Me";
    me.values[NET_INFO_COINS] = 100;
    players.SetSelf(5, me);
    HostPlayerCL& other = players.Update(6, NetPlayerInfo{});
    VarnokPlayer* self = players.GetPlayer(5);
    ASSERT_EQ(self->GetPropCount(), 4);
    EXPECT_STREQ(self->GetProp(0)->name, "闪烁红心");
    EXPECT_STREQ(self->GetProp(1)->name, "鲜花");
    EXPECT_EQ(self->GetProp(4), nullptr);
    EXPECT_EQ(other.GetPropCount(), 0) << "only the user's own package is seen";

    players.Package()[3].price = 40;
    self->BuyProp(2, 3, 6);
    self->BuyProp(2, 18, 6);
    self->BuyProp(9, 1, 6);
    self->BuyProp(4, 3, 6);
    other.BuyProp(2, 1, 5);
    const std::vector<HostPlayersCL::PurchaseAnswer> answers = players.TakePurchaseAnswers();
    std::vector<std::pair<int, int>> got;
    for (const auto& answer : answers)
        got.emplace_back(answer.result, answer.propId);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{VARNOK_BUY_DONE, 2},
                                                     {VARNOK_BUY_NO_STOCK, 2},
                                                     {VARNOK_BUY_NO_STOCK, 9},
                                                     {VARNOK_BUY_NO_MONEY, 4}}));
    EXPECT_EQ(self->GetProp(1)->count, 17);
    EXPECT_EQ(self->GetProp(3)->count, 20) << "nothing bought without the coins";
    EXPECT_TRUE(players.TakePurchaseAnswers().empty());

    // The portraits of the set "Player", one colour for all.
    std::string info = "<textureInfo name=\"Player\" type=\"2D\">";
    for (int n = 1; n <= 8; ++n)
        info += "<texture ID=\"Player_" + std::to_string(n) +
                "\" image=\"p.tga\"><rect left=\"0\" top=\"0\" right=\"90\" bottom=\"110\"/></texture>";
    m_folder.Write("image/p.tga", SolidTga(90, 110, 0xFF336699));
    m_folder.Write("image/config/Player.xml", info + "</textureInfo>");
    m_textureInfo.SetImageDirectoryVerbatim(Path("image"));
    m_textureInfo.LoadAllTextureInfo();
    ASSERT_TRUE(self->CaptureVideo(Path("shot.bmp").c_str()));
    const std::string bmp = m_folder.Read("shot.bmp");
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    int width = 0;
    int height = 0;
    std::memcpy(&width, bmp.data() + 18, 4);
    std::memcpy(&height, bmp.data() + 22, 4);
    EXPECT_EQ(width, 90);
    EXPECT_EQ(height, 110);
    const size_t firstPixel = static_cast<unsigned char>(bmp[10]) | static_cast<unsigned char>(bmp[11]) << 8;
    ASSERT_LT(firstPixel + 2, bmp.size());
    EXPECT_EQ(static_cast<unsigned char>(bmp[firstPixel]), 0x99) << "blue";
    EXPECT_EQ(static_cast<unsigned char>(bmp[firstPixel + 1]), 0x66) << "green";
    EXPECT_EQ(static_cast<unsigned char>(bmp[firstPixel + 2]), 0x33) << "red";
    EXPECT_FALSE(self->CaptureVideo(Path("no-folder\\shot.bmp").c_str()));
}
