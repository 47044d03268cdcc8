#include "VGameCardBaseCL.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "DlgGameScoreCL.h"
#include "DlgHintPlayerCL.h"
#include "DlgPlayerInfoCL.h"
#include "DlgTableCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelMessageBoxCL.h"
#include "KelSystemCL.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DBaseCL.h"
#include "Win32/Profile.h"

namespace
{
const char kTableDialogName[] = "CDlgTableKavdorTwoCL";
const char kRegisterFailed[] = "<Kavdor>注册网络消息失败";
const char kUnregisterFailed[] = "取消<Kavdor>注册网络消息失败";
constexpr int kSeatOffsetX[4] = {-52, -6, 45, -6};
constexpr int kSeatOffsetY[4] = {-8, 41, -8, -55};

struct TitleRow
{
    int from;
    const char* title;
};
// The first score of each title, from the top; 10 and below is the first title.
const TitleRow kTitles[] = {
    {70000, "帝王"}, {45000, "丞相"},  {30000, "巡抚"},  {20000, "总督"},  {14000, "知府"},  {10000, "通判"},
    {7700, "知县"},  {5500, "大地主"}, {4000, "小地主"}, {3000, "大财主"}, {2200, "小财主"}, {1500, "衙役"},
    {1000, "商人"},  {700, "掌柜"},    {500, "富农"},    {365, "中农"},    {230, "猎人"},    {140, "渔夫"},
    {80, "贫农"},    {40, "佃户"},     {25, "长工"},     {11, "短工"},
};

// The image of a texture-info set, as the table's pictures are made.
KelImageCL* TableImage(const char* set, const char* id)
{
    KelTextureCL* texture = KelTextureInfoManagerCL::GetInstance()->CreateTexture(set, id, true);
    if (texture == nullptr)
        return nullptr;
    KelImageCL* image = texture->GetImage();
    if (image != nullptr)
        image->AddReference();
    texture->Release();
    return image;
}

std::string ReadProfileText(const std::string& file, const char* section, const char* key)
{
    char value[255] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
    return value;
}

int ReadProfileNumber(const std::string& file, const char* section, const char* key)
{
    int number = 0;
    std::sscanf(ReadProfileText(file, section, key).c_str(), "%d", &number);
    return number;
}
} // namespace

VGameCardBaseCL::VGameCardBaseCL() = default;

VGameCardBaseCL::~VGameCardBaseCL() = default;

void VGameCardBaseCL::GetGameName(char* out)
{
    if (out != nullptr)
        std::strcpy(out, "Kavdor");
}

std::string VGameCardBaseCL::GetSavedSettingsPath()
{
    char name[64];
    std::snprintf(name, sizeof name, "\\save\\Game%d.ini", GetSelfID());
    return KelGetModuleDirectory() + name;
}

int VGameCardBaseCL::OnInitial()
{
    KEL_TRY
    KelTextureInfoManagerCL* textures = KelTextureInfoManagerCL::GetInstance();
    m_frameImageDirectory = textures->GetImageDirectory();
    char directory[512];
    GetImageDir(directory);
    textures->SetImageDirectoryVerbatim(directory);
    const std::string set = m_directoryKey + "textureInfo";
    textures->LoadTextureInfo(set,
                              std::string(directory) + "\\Texture" + m_directoryKey + "\\" + set + ".xml");
    UseFrameImagePath();
    return AddNetMsgHandle(&m_roomSink) ? 1 : 0;
    KEL_CATCH
}

void VGameCardBaseCL::OnDestroy()
{
    KEL_TRY
    if (IsGameRuning() != 0)
        m_roomSink.SendForceLeave();
    RemoveNetMsgHandle(&m_roomSink);
    KelTextureInfoManagerCL* textures = KelTextureInfoManagerCL::GetInstance();
    textures->SetImageDirectoryVerbatim(m_frameImageDirectory);
    std::string set = m_directoryKey + "textureInfo";
    for (char& c : set)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    textures->UnloadTextureInfo(set);
    KEL_CATCH
}

KelImageCL* VGameCardBaseCL::CreateGameIconBig()
{
    KEL_TRY
    KelTextureInfoManagerCL* textures = KelTextureInfoManagerCL::GetInstance();
    const std::string remembered = textures->GetImageDirectory();
    UseSelfImagePath();
    KelImageCL* image = TableImage("kavdorTextureInfo", "TableDefult");
    textures->SetImageDirectoryVerbatim(remembered);
    return image;
    KEL_CATCH
}

int VGameCardBaseCL::GetSeatCount()
{
    return 4;
}

int VGameCardBaseCL::GetSeatOffsetX(int seat)
{
    return seat >= 0 && seat < 4 ? kSeatOffsetX[seat] : 0;
}

int VGameCardBaseCL::GetSeatOffsetY(int seat)
{
    return seat >= 0 && seat < 4 ? kSeatOffsetY[seat] : 0;
}

int VGameCardBaseCL::GetSeatOffsetX2(int seat)
{
    return GetSeatOffsetX(seat);
}

int VGameCardBaseCL::GetSeatOffsetY2(int seat)
{
    return GetSeatOffsetY(seat);
}

KelImageCL* VGameCardBaseCL::CreateTableImage()
{
    return TableImage("Table", "Table_4ren_Defult");
}

KelImageCL* VGameCardBaseCL::CreateTableStartGameImage()
{
    return TableImage("Table", "Pai_Table_4ren_Start");
}

KelImageCL* VGameCardBaseCL::CreatePlayerReadyImage()
{
    return TableImage("Table", "PlayerReady");
}

KelImageCL* VGameCardBaseCL::CreateStoolMouseOutImage()
{
    return TableImage("Table", "StoolMouse_In_2");
}

KelImageCL* VGameCardBaseCL::CreateStoolMouseInImage()
{
    return TableImage("Table", "StoolMouse_In_0");
}

void VGameCardBaseCL::SendTableSettings()
{
    char section[64];
    GetGameName(section);
    const std::string file = GetSavedSettingsPath();
    std::string password = ReadProfileText(file, section, "passWord");
    if (password.size() > 255)
        password.resize(255);
    m_roomSink.SendTableSettings(ReadProfileNumber(file, section, "jiFen"),
                                 ReadProfileNumber(file, section, "fenCha"),
                                 ReadProfileNumber(file, section, "IP"), password);
}

bool VGameCardBaseCL::EnterGame()
{
    KEL_TRY
    m_leaving = 0;
    if (!AddGameNetMsgHandle(&m_roomSink))
    {
        KelLogPrintf("%s", kRegisterFailed);
        new KelMessageBoxCL("01EnterGame", "提示信息", kRegisterFailed, KWS_MB_OK);
    }
    m_roomSink.SendEnterGame();
    SendTableSettings();
    if (MsgSinkCL* game = GameSinkM(); game != nullptr && !AddGameNetMsgHandle(game))
        KelLogPrintf("%s", kRegisterFailed);
    UseSelfImagePath();
    UseFrameImagePath();
    return true;
    KEL_CATCH
}

bool VGameCardBaseCL::ExitGame()
{
    KEL_TRY
    m_leaving = 1;
    // Deleted now, not at the next update: entering again before that must not find the old
    // table, nor its fonts destroyed under the new one.
    if (KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM())
        desktop->DeleteChildM(kTableDialogName);
    if (!RemoveGameNetMsgHandle(&m_roomSink))
        KelLogPrintf("%s", kUnregisterFailed);
    if (MsgSinkCL* game = GameSinkM(); game != nullptr && !RemoveGameNetMsgHandle(game))
        KelLogPrintf("%s", kUnregisterFailed);
    UseFrameImagePath();
    return true;
    KEL_CATCH
}

uint8_t VGameCardBaseCL::IsExiting()
{
    return m_leaving;
}

void VGameCardBaseCL::SetExiting(uint8_t exiting)
{
    m_leaving = exiting;
}

void VGameCardBaseCL::GetWorkDir(char* out)
{
    if (out != nullptr)
        std::snprintf(out, 512, "%s\\game\\%s", KelGetModuleDirectory().c_str(), m_directoryKey.c_str());
}

void VGameCardBaseCL::GetImageDir(char* out)
{
    GetWorkDir(out);
}

const char* VGameCardBaseCL::GetGameDirName()
{
    return m_directoryKey.c_str();
}

int VGameCardBaseCL::UseFrameImagePath()
{
    KEL_TRY
    KelTextureInfoManagerCL::GetInstance()->SetImageDirectoryVerbatim(m_frameImageDirectory);
    return 1;
    KEL_CATCH
}

void VGameCardBaseCL::UseSelfImagePath()
{
    KEL_TRY
    char directory[512];
    GetImageDir(directory);
    KelTextureInfoManagerCL::GetInstance()->SetImageDirectoryVerbatim(directory);
    KEL_CATCH
}

void VGameCardBaseCL::SetGameNet(MsgSender* sender, MsgDispatcher* dispatcher)
{
    m_gameSender = sender;
    m_gameDispatcher = dispatcher;
}

MsgSender* VGameCardBaseCL::GetGameNetSender()
{
    return m_gameSender;
}

MsgDispatcher* VGameCardBaseCL::GetGameNetDispatcher()
{
    return m_gameDispatcher;
}

bool VGameCardBaseCL::AddGameNetMsgHandle(MsgSinkCL* sink)
{
    return AddHandle(m_gameDispatcher, m_gameSender, sink);
}

bool VGameCardBaseCL::RemoveGameNetMsgHandle(MsgSinkCL* sink)
{
    return RemoveHandle(m_gameDispatcher, m_gameSender, sink);
}

const char* VGameCardBaseCL::GetScoreTitle(int score)
{
    for (const TitleRow& row : kTitles)
        if (score >= row.from)
            return row.title;
    return "包身工";
}

void VGameCardBaseCL::OnRecv_OnTalkToAllforXLB(int type, const char* sender, const char* text)
{
    KEL_TRY
    const std::string from = sender != nullptr ? sender : "";
    const std::string said = text != nullptr ? text : "";
    std::string line;
    if (type >= 0 && type <= 5)
    {
        if (from != "系统提示")
            line = "[系统消息]: " + said;
    }
    else
    {
        line = "小喇叭-[" + from + "]说: " + said;
    }
    if (TableChatWindow* chat = ChatWindow())
        chat->OnChat(line, 255, 35, 225, 230, true);
    KEL_CATCH
}

void VGameCardBaseCL::OnRecv_OnChatFace(const std::string& text)
{
    if (TableChatWindow* chat = ChatWindow())
        chat->OnRecChatFace(text);
}

void VGameCardBaseCL::OnRecv_OnGameRoomInfo(const std::string& text)
{
    m_roomName = text;
}

void VGameCardBaseCL::OnRecv_BuyProp(int32_t first, int32_t second)
{
    if (TableSeatWindow* play = SeatWindow())
        play->OnRecv_BuyProp(first, second);
}

KelWndBaseCL* VGameCardBaseCL::GetDlgTable()
{
    KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    return desktop != nullptr ? desktop->FindWndM(kTableDialogName) : nullptr;
}

KelWndBaseCL* VGameCardBaseCL::GetDlgExtraA()
{
    return nullptr;
}

TableDialog* VGameCardBaseCL::Table()
{
    return dynamic_cast<TableDialog*>(GetDlgTable());
}

KelWndBaseCL* VGameCardBaseCL::GetDlgGameWnd()
{
    TableDialog* table = Table();
    return table != nullptr ? table->GetGameWnd() : nullptr;
}

KelWndBaseCL* VGameCardBaseCL::GetDlgExtraB()
{
    return nullptr;
}

KelWndBaseCL* VGameCardBaseCL::GetDlgPlayerInfo()
{
    // The framework's table keeps a player list only when its game makes one; this game's does
    // not.
    auto* table = dynamic_cast<DlgTableCL*>(GetDlgTable());
    return table != nullptr ? table->GetPlayerInfoWnd() : nullptr;
}

KelWndBaseCL* VGameCardBaseCL::GetDlgChatWindow()
{
    TableDialog* table = Table();
    return table != nullptr ? table->GetChatWindow() : nullptr;
}

KelWndBaseCL* VGameCardBaseCL::GetDlgToolBarCL()
{
    TableDialog* table = Table();
    return table != nullptr ? table->GetToolBar() : nullptr;
}

TablePlayWindow* VGameCardBaseCL::PlayWindow()
{
    return dynamic_cast<TablePlayWindow*>(GetDlgGameWnd());
}

TableSeatWindow* VGameCardBaseCL::SeatWindow()
{
    return dynamic_cast<TableSeatWindow*>(GetDlgGameWnd());
}

TableChatWindow* VGameCardBaseCL::ChatWindow()
{
    return dynamic_cast<TableChatWindow*>(GetDlgChatWindow());
}

void VGameCardBaseCL::SetGameRuning(uint8_t running)
{
    KEL_TRY
    m_running = running;
    TablePlayWindow* play = PlayWindow();
    if (play == nullptr)
        return;
    play->SetGameRunning(running != 0);
    if (running == 0)
        play->OnEndGame();
    KEL_CATCH
}

uint8_t VGameCardBaseCL::IsGameRuning()
{
    return m_running;
}

void VGameCardBaseCL::SetEffectLevel(int level)
{
    m_effectLevel = level;
}

int VGameCardBaseCL::GetEffectLevel()
{
    return m_effectLevel;
}

void VGameCardBaseCL::OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info)
{
    if (auto* list = dynamic_cast<DlgPlayerInfoCL*>(GetDlgPlayerInfo()))
        list->OnPlayerIn(playerId, info);
    if (TableSeatWindow* play = SeatWindow())
    {
        play->SetSeatCount(GetSeatCount());
        play->OnPlayerIn(playerId, seat, state, info);
    }
    // The user learns on arrival what each hand at this table will cost him.
    if (playerId == GetSelfID() && m_coinCost >= 1)
    {
        char hint[128];
        std::snprintf(hint, sizeof hint, "在本游戏桌游戏，每盘游戏开始后，您将消耗%d游戏金币。", m_coinCost);
        new DlgHintPlayerCL("DlgHintPlayerCL", hint, 320, 130, 180, 90, 10);
    }
}

void VGameCardBaseCL::OnPlayerOut(int playerId)
{
    if (auto* list = dynamic_cast<DlgPlayerInfoCL*>(GetDlgPlayerInfo()))
        list->OnPlayerOut(playerId);
    if (TableSeatWindow* play = SeatWindow())
        play->OnPlayerOut(playerId);
}

void VGameCardBaseCL::OnReady(int playerId, bool ready)
{
    if (TableSeatWindow* play = SeatWindow())
        play->OnReady(playerId, ready);
}

void VGameCardBaseCL::OnStartGame()
{
    if (TablePlayWindow* play = PlayWindow())
        play->OnStartGame();
}

void VGameCardBaseCL::OnGameResult(const std::vector<NetResultRecord>& records)
{
    SetGameRuning(static_cast<uint8_t>(0));
    if (records.empty())
        return;
    std::vector<int> ids;
    std::vector<int> scores;
    std::vector<int> coins;
    for (const NetResultRecord& record : records)
    {
        ids.push_back(record.playerId);
        scores.push_back(record.score);
        coins.push_back(record.coins);
    }
    // The desktop owns the score dialog; it closes itself.
    new DlgGameScoreCL(static_cast<int>(records.size()), ids, scores, coins);
    if (TableSeatWindow* play = SeatWindow())
        play->OnGameResult(records);
    if (TableChatWindow* chat = ChatWindow())
        chat->GameScoreCL(ids, scores, coins, "   昵称       得分     金币 ");
}

void VGameCardBaseCL::OnPlayerWantToLeave(int playerId, const std::string& text)
{
    if (TableDialog* table = Table())
        table->OnRecv_OnBaseRecPlayerWantToLeave(playerId, text);
}

void VGameCardBaseCL::OnGameRunning(bool running)
{
    SetGameRuning(static_cast<uint8_t>(running ? 1 : 0));
}

void VGameCardBaseCL::OnExiting(bool exiting)
{
    SetExiting(static_cast<uint8_t>(exiting ? 1 : 0));
}

void VGameCardBaseCL::OnChat(const std::string& text)
{
    if (text.rfind("@ID:", 0) == 0)
    {
        if (TableSeatWindow* play = SeatWindow())
            play->OnRecv_ImChat(text);
    }
    else if (TableChatWindow* chat = ChatWindow())
    {
        chat->OnChat(text, 255, 255, 255, 0, true);
    }
}

void VGameCardBaseCL::OnPlayerExitType(int type)
{
    if (TableDialog* table = Table())
        table->OnRecv_BaseRecPlayerExitType(type);
}

void VGameCardBaseCL::OnPlayerInfoChanged(int playerId, const NetPlayerInfo& info)
{
    // Only the player list shows what the message changes; this game's table has none.
    if (auto* list = dynamic_cast<DlgPlayerInfoCL*>(GetDlgPlayerInfo()))
        list->OnRecv_OnBaseRecPlayerInfoChanged(playerId, info);
}

void VGameCardBaseCL::OnEnterPassword()
{
    if (TableDialog* table = Table())
        table->OnRecv_BaseRecEnterPassWord();
}

void VGameCardBaseCL::OnPasswordResult(int result)
{
    if (result != 0)
        return;
    KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    if (KelWndBaseCL* dialog = desktop != nullptr ? desktop->FindWndM("DlgGamePassWordCL") : nullptr)
        dialog->CloseM();
}

void VGameCardBaseCL::OnLotteryWin(int amount)
{
    char line[128];
    std::snprintf(line, sizeof line, "[系统提示]：恭喜您桌面彩票中奖!奖金为 %d 金币", amount);
    if (TableChatWindow* chat = ChatWindow())
        chat->OnChat(line, 255, 255, 255, 0, true);
}

void VGameCardBaseCL::SetCoinCost(int coins)
{
    m_coinCost = coins;
}
