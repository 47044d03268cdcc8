// The table's chat panel as a player meets it: the table dialog with the generated skin, the
// room sink fed with real message bytes, typing and clicks through the UI manager. Checked are
// the requests the room receives (bytes), the record's text and colours, the panel's geometry
// and tooltips, and the pixels of rendered frames.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CDlgTableKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "DlgChatCL.h"
#include "DlgChatWindowCL.h"
#include "DlgGameWndCL.h"
#include "EngineTestSupport.h"
#include "FakeTableHost.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DCheckCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DListCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "KelWnd2DScrollBarCL.h"
#include "TableWindowTestSupport.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"
#include "Win32/Time.h"

namespace
{
using Bytes = std::vector<uint8_t>;

using FakeRoom = tabletest::FakeNet;

// A player object of the host that remembers where its face picker was opened and how often the
// small speaker was asked for.
class FakePlayer : public tabletest::IdlePlayer
{
public:
    FakePlayer(int id, const std::string& nickname) : IdlePlayer(id, nickname.c_str()) {}
    void OpenFacePicker(int x, int y) override { pickers.push_back({x, y}); }
    void OpenSpeaker() override { ++speakers; }

    std::vector<POINT> pickers;
    int speakers = 0;
};

constexpr int kSelf = tabletest::kSelfId;

using FakePlayers = tabletest::FakePlayerService<FakePlayer>;

using ChatSystem = tabletest::ModuleSystem;

std::atomic<DWORD> g_ticks{0};

using tabletest::WinPath;

using tabletest::RoomMessage;

using tabletest::IntField;
using tabletest::TextField;

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

using tabletest::Luminance;

bool Yellowish(uint32_t xrgb)
{
    return ((xrgb >> 16) & 0xFF) > 170 && ((xrgb >> 8) & 0xFF) > 170 && (xrgb & 0xFF) < 110;
}

class ChatWindowTest : public EngineTestBase<ChatSystem>
{
protected:
    ChatWindowTest() : EngineTestBase(800, 600) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        g_ticks = 1000;
        Win32SetTickSource([] { return g_ticks.load(); });
        m_system.Initialize(nullptr);
        m_system.directory = m_folder.WinPath();
        m_textureInfo.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textureInfo.LoadAllTextureInfo();
        std::string relative = std::filesystem::relative(m_run, m_folder.Path()).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        m_ui.SetGuiConfigM(relative + "\\Config\\Gui\\guiConfig.xml");
        m_ui.SetDeskTopSizeM(800, 600);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
        m_app->SetNetMsgDispatcher(&m_room);
        m_app->SetNetMsgSender(&m_room);
        m_app->SetPlayerService(&m_players);
        m_app->OnInitial();
        ASSERT_EQ(m_app->GetRoomSink().GetSender(), &m_room);
        m_players.Add(kSelf, "Tester");
        WritePhrases("[Num]\r\nnum=2\r\n[Text]\r\nNO1=快点出牌吧/\r\nNO2=你好\r\n");
    }

    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        m_app->OnDestroy();
        m_app->GetRoomSink().SetSender(nullptr);
        m_app->SetNetMsgDispatcher(nullptr);
        m_app->SetNetMsgSender(nullptr);
        m_app->SetPlayerService(nullptr);
        Win32SetTickSource(nullptr);
        EngineTestBase::TearDown();
    }

    // The phrase file of the game's work folder.
    void WritePhrases(const std::string& text)
    {
        const std::filesystem::path folder = m_folder.Path() / "game" / "kavdortwo";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "ChatText.ini", std::ios::binary) << text;
    }

    // The table with its windows, as entering a game opens it; its chat panel.
    DlgChatWindowCL* OpenTable()
    {
        auto* table = new CDlgTableKavdorTwoCL();
        table->CreateWnd();
        auto* chat = dynamic_cast<DlgChatWindowCL*>(m_app->GetDlgChatWindow());
        EXPECT_NE(chat, nullptr) << ReadLog();
        EXPECT_EQ(chat, Find(std::string("CDlgTableKavdorTwoCL\\") + DlgChatWindowCL::kName));
        return chat;
    }

    KelWnd2DBaseCL* Find(const std::string& path)
    {
        KelWnd2DBaseCL* desktop = m_ui.GetDeskTopM();
        return desktop != nullptr ? dynamic_cast<KelWnd2DBaseCL*>(desktop->FindWndM(path.c_str())) : nullptr;
    }

    void Click(KelWnd2DBaseCL* window)
    {
        ASSERT_NE(window, nullptr);
        const KelRect rect = window->GetScreenRectM();
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, point);
        m_ui.PostMessageM(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, point);
        m_ui.PostMessageM(nullptr, WM_LBUTTONUP, 0, point);
    }

    void Type(const std::string& bytes)
    {
        for (char c : bytes)
            m_ui.PostMessageM(nullptr, WM_CHAR, static_cast<unsigned char>(c), 0);
    }

    void PressReturn()
    {
        m_ui.PostMessageM(nullptr, WM_KEYDOWN, VK_RETURN, 0);
        m_ui.PostMessageM(nullptr, WM_KEYUP, VK_RETURN, 0);
    }

    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }

    bool DeliverRoom(const Bytes& message)
    {
        return m_app->GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
    }

    static std::string RecordText(DlgChatBaseCL* chat) { return chat->GetOutput()->GetPlainTextM(); }

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

// A typed line leaves as two table-chat requests: the seat bubble's command, where a "/" would
// show as a stray face code and becomes a space, and the unchanged line for everybody's record.
// An empty line sends nothing. Enter in the line and the enter button both send; the line is
// emptied and keeps the keyboard.
TEST_F(ChatWindowTest, EnterSendsTheBubbleCommandAndTheVisibleLine)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    struct Case
    {
        std::string typed;
        bool byButton;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"", false, {}},
        {"", true, {}},
        {"你好/01 a/b", false, {"@ID:42#聊天气泡你好 01 a b", "[Tester]; 你好/01 a/b"}},
        {"出牌吧", true, {"@ID:42#聊天气泡出牌吧", "[Tester]; 出牌吧"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        m_room.sent.clear();
        Click(chat->GetEdit());
        ASSERT_EQ(m_ui.GetFocusWndM(), chat->GetEdit());
        Type(c.typed);
        ASSERT_EQ(chat->GetEdit()->GetEditText(), c.typed);
        if (c.byButton)
            Click(Find("CDlgTableKavdorTwoCL\\DlgGameChatWindowCL\\btnChat_Enter"));
        else
            PressReturn();
        std::vector<Bytes> expected;
        for (const std::string& text : c.sent)
            expected.push_back(RoomMessage(9, TextField(text)));
        EXPECT_EQ(m_room.sent, expected);
        EXPECT_EQ(chat->GetEdit()->GetEditText(), "");
        // A click on the button leaves the keyboard with the line by the next frame.
        Frame();
        EXPECT_EQ(m_ui.GetFocusWndM(), chat->GetEdit());
    }
}

// The phrase list: filled from the work folder's phrase file (none without its count); a click
// sends the phrase as it is, "/" and all, and only while the user's host object exists.
TEST_F(ChatWindowTest, PhrasesComeFromTheFileAndAClickSendsOne)
{
    struct FileCase
    {
        const char* text;
        std::vector<std::string> phrases;
    };
    const FileCase files[] = {
        {"[Num]\r\nnum=2\r\n[Text]\r\nNO1=快点出牌吧/\r\nNO2=你好\r\n", {"快点出牌吧/", "你好"}},
        {"[Text]\r\nNO1=快点出牌吧\r\n", {}},
        {"[Num]\r\nnum=3\r\n[Text]\r\nNO1=a\r\nNO3=c\r\n", {"a", "c"}},
        {"[Num]\r\nnum=-5\r\n[Text]\r\nNO1=a\r\n", {}},
    };
    for (const FileCase& file : files)
    {
        WritePhrases(file.text);
        EXPECT_EQ(DlgChatWindowCL::ReadPhrases(m_folder.WinPath() + "\\game\\kavdortwo\\ChatText.ini"),
                  file.phrases)
            << file.text;
    }

    WritePhrases(files[0].text);
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    KelWnd2DListCL* list = chat->GetPhraseList();
    ASSERT_EQ(list->GetItemCountM(), 2);
    EXPECT_EQ(list->GetSizeM(), std::make_pair(168, 270));
    EXPECT_FALSE(list->IsShowM());
    EXPECT_EQ(chat->GetPhraseButton()->GetTip(), "常用词语");
    Click(chat->GetPhraseButton());
    ASSERT_TRUE(list->IsShowM()) << "the phrase button opens the list";
    EXPECT_EQ(list->GetScreenRectM().bottom, 490) << "the list opens upwards from the panel";

    m_room.sent.clear();
    chat->OnClickPhrase(KelWndMsg{list, 0, 0, 0});
    EXPECT_EQ(m_room.sent, (std::vector<Bytes>{RoomMessage(9, TextField("@ID:42#聊天气泡快点出牌吧/")),
                                               RoomMessage(9, TextField("[Tester]; 快点出牌吧/"))}));
    EXPECT_FALSE(list->IsShowM()) << "a chosen phrase closes the list";

    m_room.sent.clear();
    m_players.players.erase(kSelf);
    chat->OnClickPhrase(KelWndMsg{list, 1, 0, 0});
    EXPECT_TRUE(m_room.sent.empty()) << "no host object of the user: no phrase";
}

// A phrase whose bubble command would pass what a message carries is not sent at all, rather
// than as a line without its bubble.
TEST_F(ChatWindowTest, APhraseTooLongForTheBubbleIsNotHalfSent)
{
    WritePhrases("[Num]\r\nnum=2\r\n[Text]\r\nNO1=" + std::string(245, 'x') +
                 "\r\nNO2=" + std::string(240, 'y') + "\r\n");
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    ASSERT_EQ(chat->GetPhraseList()->GetItemCountM(), 2);
    chat->OnClickPhrase(KelWndMsg{chat->GetPhraseList(), 0, 0, 0});
    EXPECT_TRUE(m_room.sent.empty());
    chat->OnClickPhrase(KelWndMsg{chat->GetPhraseList(), 1, 0, 0});
    EXPECT_EQ(m_room.sent.size(), 2u) << "255 bytes still go";
}

// The result block: the header, then one white line per player the host knows, the nickname
// followed by five spaces up to 24 bytes and by four from 25.
TEST_F(ChatWindowTest, TheResultBlockUsesTheNicknameFormats)
{
    const std::string name24(24, 'n');
    const std::string name25(25, 'm');
    struct Case
    {
        std::string nickname;
        std::string line;
    };
    const Case cases[] = {
        {"Tester", "Tester     12     -3"},
        {name24, name24 + "     12     -3"},
        {name25, name25 + "    12     -3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DlgChatBaseCL::ScoreLine(c.nickname, 12, -3), c.line);

    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    m_players.Add(7, name24);
    m_players.Add(8, name25);
    // The hand's result as the room sends it: players 42, 7, 8 and 99 (whom the host does not
    // know).
    Bytes records = {4};
    for (const auto& [id, score, coins] :
         std::vector<std::array<int, 3>>{{kSelf, 20, 5}, {7, -10, -2}, {8, -10, -3}, {99, 0, 0}})
        records = Join({records, IntField(id), IntField(score), IntField(coins), IntField(0)});
    ASSERT_TRUE(DeliverRoom(RoomMessage(6, records)));
    const std::string expected = " " + std::string("   昵称       得分     金币 ") + " Tester     20     5 " +
                                 name24 + "     -10     -2 " + name25 + "    -10     -3";
    std::string shown = RecordText(chat);
    // The record wraps long lines into several items; their texts run on.
    EXPECT_EQ(shown, expected);
    for (const auto& item : chat->GetOutput()->GetItems())
    {
        if (!item->IsImage())
        {
            EXPECT_EQ(static_cast<KelRichTextItemCL*>(item.get())->color, 0xFFFFFFFFu) << item->Text();
        }
    }
}

// Every path of the room that ends in the chat window reaches the record, in its colour: chat
// lines (not instant-chat commands), the lottery, loudspeaker and system lines, and the seat
// window's own records.
TEST_F(ChatWindowTest, EveryRoomPathReachesTheRecord)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    const auto lastLine = [chat]
    {
        std::string line;
        const auto& items = chat->GetOutput()->GetItems();
        for (auto it = items.rbegin(); it != items.rend() && (*it)->line == items.back()->line; ++it)
            line = (*it)->Text() + line;
        return line;
    };
    const auto lastColour = [chat]
    { return static_cast<KelRichTextItemCL*>(chat->GetOutput()->GetItems().back().get())->color; };

    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("[乙方]; 你好"))));
    EXPECT_EQ(lastLine(), " [乙方]; 你好");
    EXPECT_EQ(lastColour(), 0xFFFFFF00u);
    const size_t items = chat->GetOutput()->GetItems().size();
    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("@ID:7#聊天气泡你好"))));
    EXPECT_EQ(chat->GetOutput()->GetItems().size(), items) << "a command is not a line";

    ASSERT_TRUE(DeliverRoom(RoomMessage(18, IntField(500))));
    EXPECT_EQ(lastLine(), " [系统提示]：恭喜您桌面彩票中奖!奖金为 500 金币");

    m_app->OnRecv_OnTalkToAllforXLB(7, "乙方", "大家好");
    EXPECT_EQ(lastLine(), " 小喇叭-[乙方]说: 大家好");
    EXPECT_EQ(lastColour(), 0xFF23E1E6u);
    m_app->OnRecv_OnTalkToAllforXLB(2, "管理员", "维护");
    EXPECT_EQ(lastLine(), " [系统消息]: 维护");

    // The seat window's record of a face the user shows: the user sits first.
    const Bytes sitDown = Join({IntField(kSelf), IntField(0), IntField(1), IntField(0), IntField(0),
                                IntField(0), IntField(0), IntField(0), IntField(0), IntField(0), IntField(0),
                                IntField(0), TextField("Tester"), IntField(0)});
    ASSERT_TRUE(DeliverRoom(RoomMessage(2, sitDown)));
    auto* seats = dynamic_cast<DlgGameWndCL*>(m_app->GetDlgGameWnd());
    ASSERT_NE(seats, nullptr);
    ASSERT_NE(seats->GetSelfInfo(), nullptr);
    seats->ClickUseItemRWFace(KelWndMsg{nullptr, 0, 0, 0});
    EXPECT_EQ(lastLine().rfind(" Tester", 0), 0u) << lastLine();
    EXPECT_GT(lastLine().size(), std::string(" Tester").size());
}

// The record box folds to the input row at the bottom and unfolds again, each time saying in
// the toggle's tooltip what a click will do; a new line opens a folded box by itself.
TEST_F(ChatWindowTest, TheRecordFoldsUnfoldsAndOpensForANewLine)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    struct Look
    {
        bool expanded;
        std::pair<int, int> pos;
        std::pair<int, int> size;
        const char* tip;
    };
    const Look unfolded{true, {0, 490}, {370, 110}, "关闭聊天纪录框"};
    const Look folded{false, {0, 570}, {370, 30}, "展开聊天纪录框"};
    const auto check = [chat](const Look& look)
    {
        EXPECT_EQ(chat->IsRecordExpanded(), look.expanded);
        EXPECT_EQ(chat->GetPosM(), look.pos);
        EXPECT_EQ(chat->GetSizeM(), look.size);
        EXPECT_EQ(chat->GetRecordToggle()->GetTip(), look.tip);
        EXPECT_EQ(chat->GetRecordToggle()->IsCheckM(), look.expanded);
        EXPECT_EQ(chat->GetOutput()->IsShowM(), look.expanded);
        // The input row stays at the bottom of the screen.
        EXPECT_EQ(chat->GetEdit()->GetScreenRectM().bottom, 600 - 4);
    };
    check(unfolded);
    Click(chat->GetRecordToggle());
    check(folded);
    Click(chat->GetRecordToggle());
    check(unfolded);
    EXPECT_FALSE(chat->IsRecordAutoOpened());

    chat->ChatRec();
    check(folded);
    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("[乙方]; 在吗"))));
    check(unfolded);
    EXPECT_TRUE(chat->IsRecordAutoOpened());
    chat->ChatRec();
    EXPECT_FALSE(chat->IsRecordAutoOpened());
}

// A record scrolled to its end follows new lines; one the user scrolled back stays where he
// reads; sending a line scrolls to the end.
TEST_F(ChatWindowTest, TheRecordFollowsNewLinesOnlyFromItsEnd)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    KelWnd2DRichEditIICL* record = chat->GetOutput();
    for (int n = 0; n < 12; ++n)
        ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("line " + std::to_string(n)))));
    ASSERT_GT(record->GetScrollPos(), 0) << "twelve lines do not fit";
    EXPECT_TRUE(record->IsScrollAtEndM());
    Frame();
    EXPECT_EQ(chat->GetOutputBar()->GetBarPosM(), record->GetScrollPos()) << "the bar follows";

    record->SetScrollPosM(0);
    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("line 12"))));
    EXPECT_EQ(record->GetScrollPos(), 0) << "a reader scrolled back is left there";

    Click(chat->GetEdit());
    Type("hi");
    PressReturn();
    EXPECT_TRUE(record->IsScrollAtEndM()) << "sending brings the end into view";
    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("line 13"))));
    EXPECT_TRUE(record->IsScrollAtEndM());
}

// The face button opens the host's face picker above it; the face picked comes back from the
// host and lands at the end of the line, which takes the keyboard. The small speaker asks the
// host.
TEST_F(ChatWindowTest, TheFacePickerRoundTripAndTheSmallSpeaker)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    FakePlayer& self = *m_players.GetPlayer(kSelf);
    EXPECT_EQ(Find("CDlgTableKavdorTwoCL\\DlgGameChatWindowCL\\btnChat_face")->GetTip(), "表情");
    Click(Find("CDlgTableKavdorTwoCL\\DlgGameChatWindowCL\\btnChat_face"));
    ASSERT_EQ(self.pickers.size(), 1u);
    EXPECT_EQ(self.pickers[0].x, 215);
    EXPECT_EQ(self.pickers[0].y, 440);

    Click(chat->GetEdit());
    Type("ok");
    m_ui.SetFocusWndM(nullptr);
    m_app->OnRecv_OnChatFace("/05");
    EXPECT_EQ(chat->GetEdit()->GetEditText(), "ok/05");
    EXPECT_EQ(m_ui.GetFocusWndM(), chat->GetEdit());

    EXPECT_EQ(Find("CDlgTableKavdorTwoCL\\DlgGameChatWindowCL\\btnChat_Laba")->GetTip(), "小喇叭");
    Click(Find("CDlgTableKavdorTwoCL\\DlgGameChatWindowCL\\btnChat_Laba"));
    EXPECT_EQ(self.speakers, 1);
    EXPECT_TRUE(chat->IsSpeakerPending()) << "the speaker's window is not there yet";
}

// The received line is drawn in the record over a dark glass through which the table shows: the
// text's yellow pixels are there, the glass darkens the table without hiding it, and folding
// the record shows the table again.
TEST_F(ChatWindowTest, AReceivedChineseLineIsDrawnOverTheTable)
{
    DlgChatWindowCL* chat = OpenTable();
    ASSERT_NE(chat, nullptr);
    chat->ChatRec();
    const TestFrame bare = Frame();
    chat->ChatRec();
    ASSERT_TRUE(DeliverRoom(RoomMessage(12, TextField("[乙方]; 你好，出牌吧！"))));
    const TestFrame shown = Frame();
    Snapshot(shown, "chat-window-line");
    int yellow = 0;
    int minX = 800;
    for (int y = 490; y < 570; ++y)
        for (int x = 0; x < 370; ++x)
            if (Yellowish(shown.At(x, y)))
            {
                ++yellow;
                minX = std::min(minX, x);
            }
    EXPECT_GT(yellow, 40) << "the line's characters";
    EXPECT_LT(minX, 30) << "the line starts at the record's left";
    // A point of the glass away from the text.
    const int gx = 300;
    const int gy = 550;
    EXPECT_LT(Luminance(shown.At(gx, gy)), Luminance(bare.At(gx, gy)));
    EXPECT_NE(shown.At(gx, gy), 0u) << "the glass is not black";
    EXPECT_EQ(Yellowish(bare.At(20, 500)), false);
}

// The older chat panel, which this table does not create, shares the panel's behaviour on its
// own background: sending, receiving and the host's face picker unless a face window is there.
TEST_F(ChatWindowTest, TheOlderChatPanelSendsAndShowsLines)
{
    auto* chat = new DlgChatCL(m_ui.GetDeskTopM());
    EXPECT_EQ(chat->GetNameM(), "DlgChatCL");
    EXPECT_EQ(chat->GetPosM(), std::make_pair(0, 490));
    EXPECT_EQ(chat->GetSizeM(), std::make_pair(370, 110));
    Click(chat->GetEdit());
    Type("a/b");
    PressReturn();
    EXPECT_EQ(m_room.sent, (std::vector<Bytes>{RoomMessage(9, TextField("@ID:42#聊天气泡a b")),
                                               RoomMessage(9, TextField("[Tester]; a/b"))}));
    chat->OnChat("你好", 255, 255, 255, 0, true);
    EXPECT_EQ(RecordText(chat), " 你好");
    const TestFrame frame = Frame();
    Snapshot(frame, "chat-older-panel");
    int yellow = 0;
    for (int y = 490; y < 570; ++y)
        for (int x = 0; x < 370; ++x)
            yellow += Yellowish(frame.At(x, y)) ? 1 : 0;
    EXPECT_GT(yellow, 10);

    FakePlayer& self = *m_players.GetPlayer(kSelf);
    chat->OnFace();
    EXPECT_EQ(self.pickers.size(), 1u) << "no face window: the host's picker";
    auto* faces = new KelWnd2DBaseCL(DlgChatCL::kFaceWindow, m_ui.GetDeskTopM(), 0);
    faces->ShowM(false);
    chat->OnFace();
    EXPECT_EQ(self.pickers.size(), 1u);
    EXPECT_TRUE(faces->IsShowM()) << "the face window is brought up instead";
}
} // namespace
