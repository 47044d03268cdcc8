#include "DlgGameWndCL.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <boost/bind/bind.hpp>

#include "DlgGameWndPropBuy2CL.h"
#include "DlgGameWndPropBuyCL.h"
#include "DlgGameWndPropMoneyCL.h"
#include "DlgGameWndScoreRecordCL.h"
#include "DlgGameWndUserInfoCL.h"
#include "DlgIMChatZoomCL.h"
#include "HostInterfaces.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelMessageBoxCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DListCL.h"
#include "SeatSocialTables.h"
#include "VGameCardBaseCL.h"
#include "Win32/Files.h"

namespace
{
using boost::placeholders::_1;

const char kButtonSet[] = "gameWndEX";
const char kScoreCard[] = "双倍积分卡";
const char kScoreCardExplained[] = "2小时有效时间内游戏赢了双倍积分,输了不扣分";
const char kCaptureBox[] = "message_box_info";
const char kZoomWindow[] = "DlgIMChatZoom";
// The seat buttons stand in two columns beside the picture, this far apart.
constexpr int kButtonStep = 22;
// The marks over a switched-off video or sound button.
constexpr D3DCOLOR kOffMark = 0xFFE03030;

// How each seat button looks on the user's own seat and on the others'.
struct SeatButtonLook
{
    const char* format;
    const char* ownImage;
    const char* otherImage;
    const char* ownTip;
    const char* otherTip;
    void (DlgGameWndCL::*click)(KelWndMsg);
};
const SeatButtonLook kLooks[kSeatBtnCount] = {
    {"btn_userinfo_%d", "userinfobtn", "userinfobtn", "鼠标右键显示玩家信息菜单", "鼠标右键显示玩家信息菜单",
     &DlgGameWndCL::ClickUserInfo},
    {"btn_package_%d", "duihuanbb", "package", "兑换宝贝", "包裹", &DlgGameWndCL::ClickPackage},
    {"btn_friend_%d", "faceRWBQ", "friend", "表情", "加为好友", &DlgGameWndCL::ClickAddFriend},
    {"btn_video_%d", "video", "video", "视频", "视频", &DlgGameWndCL::ClickIsVideo},
    {"btn_audio_%d", "audio", "audio", "音频", "音频", &DlgGameWndCL::ClickIsAudio},
    {"btn_capture_%d", "capture", "capture", "视频照相", "视频照相", &DlgGameWndCL::ClickVCapture},
    {"btn_zoom_%d", "VideoZoom", "VideoZoom", "视频缩放", "视频缩放", &DlgGameWndCL::ClickVZoom},
};

std::string Printf(const char* format, int value)
{
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string PropName(const VarnokProp& prop)
{
    return std::string(prop.name, strnlen(prop.name, sizeof prop.name));
}

bool IsFemale(const GameSeatRecordCL& record)
{
    return record.info.values[NET_INFO_SEX] == 1;
}

KelWnd2DBaseCL* Desktop()
{
    return KelUIManagerCL::GetInstance()->GetDeskTopM();
}

// Closes a window under a name of its own. A closed window stays in its parent's list until the
// parent's next update, and a new window given a name that is still found there would be closed
// at once; the renamed one leaves the name free for its successor.
void Retire(KelWndBaseCL* window)
{
    char name[320];
    std::snprintf(name, sizeof name, "%s_closed_%p", window->GetNameM().c_str(), static_cast<void*>(window));
    window->SetNameM(name);
    window->CloseM();
}

// A dialog of the desktop opens in place of an open one of the same name.
void CloseDesktopWindow(const char* name)
{
    KelWnd2DBaseCL* desktop = Desktop();
    while (KelWndBaseCL* open = desktop != nullptr ? desktop->FindChildM(name) : nullptr)
        Retire(open);
}

// The menus: rebuilt each time they open, so that choosing the same row again is a new choice.
void FillMenu(KelWnd2DPopupMenuCL& menu, const std::vector<std::string>& rows)
{
    menu.ClearItemsM();
    for (const std::string& row : rows)
        menu.AddItemM(row);
    menu.ShowPopupM(true);
}
} // namespace

DlgGameWndCL::DlgGameWndCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app)
    : KelWnd2DBaseCL(name, parent, 0), m_app(app), m_seats(kSeatListSize)
{
    KEL_TRY
    m_propMenu = std::make_unique<KelWnd2DPopupMenuCL>();
    m_propMenu->SetMsgFunM(KWM_SELECT, boost::bind(&DlgGameWndCL::ClickUseItem, this, _1));
    m_faceMenu = std::make_unique<KelWnd2DPopupMenuCL>();
    m_faceMenu->SetMsgFunM(KWM_SELECT, boost::bind(&DlgGameWndCL::ClickUseItemRWFace, this, _1));
    m_infoMenu = std::make_unique<KelWnd2DPopupMenuCL>();
    m_infoMenu->SetMsgFunM(KWM_SELECT, boost::bind(&DlgGameWndCL::ClickUseInfoItem, this, _1));
    const KelWndTimerFun timer = boost::bind(&DlgGameWndCL::OnTimer, this, _1);
    SetTimerM(KelWndTimer{kTimerScoreCard, 300000, 0, timer});
    SetTimerM(KelWndTimer{kTimerMediaLinks, 60000, 0, timer});
    KEL_CATCH
}

DlgGameWndCL::~DlgGameWndCL()
{
    try
    {
        // The purchase dialog lives on the desktop and reports its OK to this window: it must not
        // outlive it.
        CloseDesktopWindow(DlgGameWndPropBuy2CL::kName);
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

GameSeatRecordCL* DlgGameWndCL::SeatAt(int index)
{
    return index >= 0 && index < kSeatListSize ? m_seats[static_cast<size_t>(index)].get() : nullptr;
}

int DlgGameWndCL::IndexOf(const GameSeatRecordCL* record) const
{
    for (int i = 0; i < kSeatListSize; ++i)
        if (record != nullptr && m_seats[static_cast<size_t>(i)].get() == record)
            return i;
    return -1;
}

GameSeatRecordCL* DlgGameWndCL::GetPlayer(int playerId)
{
    for (const std::unique_ptr<GameSeatRecordCL>& record : m_seats)
        if (record != nullptr && record->playerId == playerId)
            return record.get();
    return nullptr;
}

GameSeatRecordCL* DlgGameWndCL::GetSelfInfo()
{
    return GetPlayer(m_app.GetSelfID());
}

bool DlgGameWndCL::IsSelf(const GameSeatRecordCL& record)
{
    return record.playerId == m_app.GetSelfID();
}

VarnokPlayer* DlgGameWndCL::OwnPlayer()
{
    return m_app.GetVarnokPlayer(m_app.GetSelfID());
}

std::string DlgGameWndCL::OwnNickname()
{
    if (GameSeatRecordCL* self = GetSelfInfo())
        return self->info.nickname;
    const VarnokPlayerInfo* info = m_app.GetSelfData();
    return info != nullptr ? std::string(info->nickname, strnlen(info->nickname, sizeof info->nickname)) : "";
}

std::unique_ptr<GameSeatRecordCL> DlgGameWndCL::CreateSeatRecord()
{
    return std::make_unique<GameSeatRecordCL>();
}

void DlgGameWndCL::SetSeatCount(int count)
{
    if (count < 1 || count > kSeatListSize)
    {
        KelLogPrintf("seat count %d refused", count);
        return;
    }
    m_seatCount = count;
}

// Entering.

void DlgGameWndCL::OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info)
{
    KEL_TRY
    if (!CheckNewPlayer(playerId, seat, state))
        return;
    std::unique_ptr<GameSeatRecordCL> made = MakeRecord(playerId, seat, state, info);
    if (made == nullptr)
        return;
    GameSeatRecordCL& record = *made;
    if (StoreRecord(std::move(made)) < 0)
        return;
    if (IsSelf(record))
        WelcomeSelf(record);
    CreateSeatButtons(record);
    KEL_CATCH
}

bool DlgGameWndCL::CheckNewPlayer(int playerId, int seat, int state)
{
    if (state != 1 && state != 2)
    {
        KelLogPrintf("player %d arrives in state %d, which is neither watcher nor player", playerId, state);
        return false;
    }
    if (seat < 0 || seat >= kSeatListSize)
        return false;
    if (GetPlayer(playerId) != nullptr)
    {
        KelLogPrintf("玩家已经在房间内 playerID:%d", playerId);
        return false;
    }
    // Entries from the seat count on belong to watchers: a seated player beyond the table's
    // seats would take a watcher's place.
    if (state == 2 && seat >= m_seatCount)
    {
        KelLogPrintf("player %d sits at seat %d of a table of %d seats", playerId, seat, m_seatCount);
        return false;
    }
    if (state == 2 && m_seats[static_cast<size_t>(seat)] != nullptr)
    {
        KelLogPrintf("座位上已经有人 seatIdx=%d", seat);
        return false;
    }
    return true;
}

std::unique_ptr<GameSeatRecordCL> DlgGameWndCL::MakeRecord(int playerId, int seat, int state,
                                                           const NetPlayerInfo& info)
{
    std::unique_ptr<GameSeatRecordCL> record = CreateSeatRecord();
    if (record == nullptr)
    {
        KelLogPrintf("创建玩家数据结构失败");
        return nullptr;
    }
    record->player = m_app.GetVarnokPlayer(playerId);
    if (record->player == nullptr)
    {
        KelLogPrintf("玩家不存在 playerID:%d seatIdx:%d", playerId, seat);
        return nullptr;
    }
    record->playerId = playerId;
    record->seat = seat;
    record->state = state;
    record->info = info;
    return record;
}

int DlgGameWndCL::StoreRecord(std::unique_ptr<GameSeatRecordCL> record)
{
    int index = record->state == 2 ? record->seat : -1;
    for (int i = m_seatCount; index < 0 && i < kSeatListSize; ++i)
        if (m_seats[static_cast<size_t>(i)] == nullptr)
            index = i;
    if (index < 0)
    {
        KelLogPrintf("no room for watcher %d: every entry is taken", record->playerId);
        return -1;
    }
    assert(m_seats[static_cast<size_t>(index)] == nullptr);
    m_seats[static_cast<size_t>(index)] = std::move(record);
    return index;
}

void DlgGameWndCL::WelcomeSelf(GameSeatRecordCL& record)
{
    m_selfSeat = record.seat;
    WriteSystemLine(std::string(record.state == 1 ? "旁观玩家“" : "游戏玩家“") + record.info.nickname + "”" +
                    "进入");
    record.player->SetSeatState(-1, 2, record.videoOn ? 0 : 1, 0);
    KillTimerM(kTimerScoreCardOnEntry);
    SetTimerM(KelWndTimer{kTimerScoreCardOnEntry, 2000, 0, boost::bind(&DlgGameWndCL::OnTimer, this, _1)});
}

void DlgGameWndCL::CreateSeatButtons(GameSeatRecordCL& record)
{
    // The buttons' pictures are the host's, in the frame's image directory.
    m_app.UseFrameImagePath();
    const bool own = IsSelf(record);
    for (int i = 0; i < kSeatBtnCount; ++i)
    {
        const SeatButtonLook& look = kLooks[i];
        const std::string name = Printf(look.format, record.playerId);
        auto* button =
            new KelWnd2DButtonCL(name.c_str(), this, kButtonSet, own ? look.ownImage : look.otherImage, 0, 0);
        button->SetTipM(own ? look.ownTip : look.otherTip);
        button->SetMsgFunM(KWM_LCLICK, boost::bind(look.click, this, _1));
        // Hidden until the seat is drawn: a watcher's seat never is.
        button->ShowM(false);
        record.buttons[static_cast<size_t>(i)] = button;
    }
    record.buttons[kSeatBtnUserInfo]->SetMsgFunM(KWM_RCLICK,
                                                 boost::bind(&DlgGameWndCL::OnClickUserInfoChange, this, _1));
}

// Leaving.

void DlgGameWndCL::OnPlayerOut(int playerId)
{
    KEL_TRY
    GameSeatRecordCL* record = GetPlayer(playerId);
    if (record == nullptr)
        return;
    if (IsSelf(*record))
    {
        ClearSeatsForSelf();
        return;
    }
    record->player->LeaveTable();
    DestroyPlayer(IndexOf(record));
    KEL_CATCH
}

void DlgGameWndCL::ClearSeatsForSelf()
{
    const int selfId = m_app.GetSelfID();
    if (GameSeatRecordCL* self = GetSelfInfo())
        self->player->StopMedia();
    CloseDesktopWindow(kZoomWindow);
    for (int i = 0; i < kSeatListSize; ++i)
    {
        GameSeatRecordCL* record = SeatAt(i);
        if (record == nullptr)
            continue;
        if (record->playerId != selfId && record->state == 2)
        {
            record->player->SetVideoOn(false, selfId);
            record->player->SetAudioOn(false, selfId);
        }
        DestroyPlayer(i);
    }
    m_selfSeat = -1;
    m_pendingProp.reset();
    KillTimerM(kTimerScoreCardOnEntry);
}

void DlgGameWndCL::DestroyPlayer(int index)
{
    KEL_TRY
    GameSeatRecordCL* record = SeatAt(index);
    if (record == nullptr)
        return;
    CloseSeatButtons(*record);
    m_seats[static_cast<size_t>(index)].reset();
    KEL_CATCH
}

void DlgGameWndCL::CloseSeatButtons(GameSeatRecordCL& record)
{
    // Retired rather than only closed, so that a player who comes back before the window's next
    // update gets buttons of the same names.
    for (KelWnd2DButtonCL*& button : record.buttons)
    {
        if (button != nullptr)
            Retire(button);
        button = nullptr;
    }
}

void DlgGameWndCL::OnReady(int playerId, bool ready)
{
    if (GameSeatRecordCL* record = GetPlayer(playerId))
        record->ready = ready;
}

void DlgGameWndCL::OnGameResult(const std::vector<NetResultRecord>& records)
{
    for (const NetResultRecord& result : records)
        if (GameSeatRecordCL* record = GetPlayer(result.playerId))
            record->scoreTotal += result.score;
}

// Drawing.

void DlgGameWndCL::RenderPlayer(KelCanvasCL* canvas, GameSeatRecordCL* record, int layout, int dx, int dy)
{
    KEL_TRY
    if (canvas == nullptr || record == nullptr || record->player == nullptr)
        return;
    // The picture stands on the seat's point, so the marks and texts the game places around that
    // point (the landlord mark above, the card count below) frame it.
    const int x = 0;
    const int y = -kPictureHeight;
    record->player->DrawPicture(canvas, layout, x, y);
    DrawSeatName(canvas, *record, x, y);
    if (m_app.GetEffectLevel() != 2 && record->videoOn)
        record->player->DrawVideo(canvas, layout, x, y);
    PlaceSeatButtons(canvas, *record, layout, dx, dy);
    KEL_CATCH
}

void DlgGameWndCL::DrawSeatName(KelCanvasCL* canvas, const GameSeatRecordCL& record, int x, int y)
{
    const std::string& name = record.info.nickname;
    if (name.empty())
        return;
    // A dark band across the top of the picture keeps the name readable on any portrait.
    const int band = canvas->GetFontHeight() + 4;
    canvas->FillRect(x, y, x + kPictureWidth, y + band, 0xA0000000u);
    const int width = canvas->GetTextWidth(name.c_str());
    canvas->SetTextColor(0xFFFFFFFFu);
    canvas->DrawText(name.c_str(), x + std::max(2, (kPictureWidth - width) / 2), y + 2, nullptr, false, 0);
}

void DlgGameWndCL::PlaceSeatButtons(KelCanvasCL* canvas, GameSeatRecordCL& record, int layout, int dx, int dy)
{
    // The canvas origin is the seat's point somewhere inside this window; the buttons are placed
    // in the window's own coordinates.
    float originX = 0;
    float originY = 0;
    canvas->GetOrigin(&originX, &originY);
    const POINT corner = GetPosInScreenM(0, 0);
    const int pictureX = static_cast<int>(originX) - corner.x;
    const int pictureY = static_cast<int>(originY) - corner.y - kPictureHeight;
    // Layout 2 has the seat's drawing towards the left (dx < 0): two columns at the picture's
    // left, level with its top. Layout 3 has it towards the right: when the drawing goes down
    // (dy > 0, the user's own seat) three columns level with the picture's foot, narrow enough
    // to stay clear of a full hand and low enough to stay under the countdown; when it goes up,
    // two rows just below the foot, clear of the cards that seat plays beside its picture.
    int left = pictureX + kPictureWidth + 4;
    int columns = 3;
    int top = pictureY + kPictureHeight - 3 * kButtonStep + 2;
    if (layout == 2 || dx < 0)
    {
        left = pictureX - 2 * kButtonStep - 2;
        top = pictureY;
        columns = 2;
    }
    else if (dy <= 0)
    {
        columns = 4;
        top = pictureY + kPictureHeight + 16;
    }
    for (int i = 0; i < kSeatBtnCount; ++i)
    {
        KelWnd2DButtonCL* button = record.buttons[static_cast<size_t>(i)];
        if (button == nullptr)
            continue;
        button->SetPosM(left + (i % columns) * kButtonStep, top + (i / columns) * kButtonStep);
        button->ShowM(true);
    }
}

void DlgGameWndCL::DrawPostM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    // The buttons' pictures wait in the image batch; the marks must lie above them.
    canvas->FlushImages();
    canvas->SetColor(kOffMark);
    for (const std::unique_ptr<GameSeatRecordCL>& record : m_seats)
    {
        if (record == nullptr)
            continue;
        for (const auto& [index, on] :
             {std::pair{kSeatBtnVideo, record->videoOn}, std::pair{kSeatBtnAudio, record->audioOn}})
        {
            KelWnd2DButtonCL* button = record->buttons[static_cast<size_t>(index)];
            if (on || button == nullptr || !button->IsShowM())
                continue;
            const auto [x, y] = button->GetPosM();
            const auto [w, h] = button->GetSizeM();
            // Two pixels wide, so that the mark reads on a 20-pixel button.
            canvas->DrawLine(x + 3, y + h - 3, x + w - 3, y + 3);
            canvas->DrawLine(x + 4, y + h - 3, x + w - 3, y + 4);
        }
    }
    canvas->FlushLines();
    KEL_CATCH
}

// Chat commands.

bool DlgGameWndCL::SendImChat(const std::string& text)
{
    KEL_TRY
    const bool sent = m_app.GetRoomSink().SendChat(text);
    if (!sent)
        KelLogPrintf("table chat of %zu bytes not sent", text.size());
    return sent;
    KEL_CATCH
}

void DlgGameWndCL::OnRecv_ImChat(const std::string& text)
{
    KEL_TRY
    std::string why;
    const std::optional<SeatChatCommand> command = ParseSeatChatCommand(text, &why);
    if (!command)
    {
        KelLogPrintf("chat command ignored: %s (%zu bytes)", why.c_str(), text.size());
        return;
    }
    if (command->senderId == m_app.GetSelfID())
    {
        // The user's own commands come back from the server; all but the bubble were shown
        // when they were sent.
        GameSeatRecordCL* self = GetSelfInfo();
        if (command->tag == SeatCommandTag::Bubble && !command->argument.empty() && self != nullptr)
            self->player->ShowBubble(command->argument.c_str());
        return;
    }
    GameSeatRecordCL* sender = GetPlayer(command->senderId);
    if (sender == nullptr)
    {
        KelLogPrintf("chat command of player %d, who is not at the table", command->senderId);
        return;
    }
    ApplyCommand(*sender, command->tag, command->argument);
    KEL_CATCH
}

void DlgGameWndCL::ApplyCommand(GameSeatRecordCL& sender, SeatCommandTag tag, const std::string& argument)
{
    switch (tag)
    {
    case SeatCommandTag::VideoOn:
    case SeatCommandTag::VideoOff:
        SetSeatMedia(sender, true, tag == SeatCommandTag::VideoOn);
        return;
    case SeatCommandTag::AudioOn:
    case SeatCommandTag::AudioOff:
        SetSeatMedia(sender, false, tag == SeatCommandTag::AudioOn);
        return;
    case SeatCommandTag::Effect:
        if (const std::optional<int> effect = SeatCommandNumber(argument, kSeatPropEffectCount))
            sender.player->PlaySound(SeatPropSound(*effect).c_str());
        else
            KelLogPrintf("effect command of player %d has no effect number 1 to 4", sender.playerId);
        return;
    case SeatCommandTag::Face:
        if (const std::optional<int> face = SeatCommandNumber(argument, kSeatFaceCount))
            ShowFace(sender, *face);
        else
            KelLogPrintf("face command of player %d has no face number 1 to 18", sender.playerId);
        return;
    case SeatCommandTag::Bubble:
        if (!argument.empty())
            sender.player->ShowBubble(argument.c_str());
        return;
    }
}

void DlgGameWndCL::ShowFace(GameSeatRecordCL& record, int face)
{
    const SeatFace* shown = FindSeatFace(face);
    assert(shown != nullptr);
    const bool female = IsFemale(record);
    record.player->ShowFace(face);
    record.player->ShowBubble(SeatFaceBubble(*shown, female));
    record.player->PlaySound(SeatFaceVoice(face, female).c_str());
}

void DlgGameWndCL::SetSeatMedia(GameSeatRecordCL& record, bool video, bool on)
{
    (video ? record.videoOn : record.audioOn) = on;
    KelWnd2DButtonCL* button = record.buttons[video ? kSeatBtnVideo : kSeatBtnAudio];
    if (button != nullptr)
        button->SetTipM(video ? (on ? "关闭视频" : "打开视频") : (on ? "关闭音频" : "打开音频"));
}

// The seat buttons.

GameSeatRecordCL* DlgGameWndCL::RecordOfButton(const KelWndMsg& message, const char* format)
{
    if (message.sender == nullptr)
        return nullptr;
    int playerId = 0;
    if (std::sscanf(message.sender->GetNameM().c_str(), format, &playerId) != 1)
        return nullptr;
    return GetPlayer(playerId);
}

void DlgGameWndCL::ClickIsVideo(KelWndMsg message)
{
    KEL_TRY
    SwitchMedia(message, true);
    KEL_CATCH
}

void DlgGameWndCL::ClickIsAudio(KelWndMsg message)
{
    KEL_TRY
    SwitchMedia(message, false);
    KEL_CATCH
}

void DlgGameWndCL::SwitchMedia(KelWndMsg message, bool video)
{
    GameSeatRecordCL* record = RecordOfButton(message, video ? "btn_video_%d" : "btn_audio_%d");
    if (record == nullptr)
        return;
    const bool on = !(video ? record->videoOn : record->audioOn);
    SetSeatMedia(*record, video, on);
    const auto tell = [video, on](VarnokPlayer* player, int playerId)
    { video ? player->SetVideoOn(on, playerId) : player->SetAudioOn(on, playerId); };
    if (!IsSelf(*record))
    {
        // Only whether this seat shows the other player's video or plays his sound.
        tell(record->player, record->playerId);
        return;
    }
    const int selfId = record->playerId;
    const SeatCommandTag tag = video ? (on ? SeatCommandTag::VideoOn : SeatCommandTag::VideoOff)
                                     : (on ? SeatCommandTag::AudioOn : SeatCommandTag::AudioOff);
    SendImChat(FormatSeatChatCommand(selfId, tag));
    // Every other player is told whether he gets the user's own video or sound.
    for (const std::unique_ptr<GameSeatRecordCL>& other : m_seats)
        if (other != nullptr && other->playerId != selfId)
            tell(other->player, selfId);
}

void DlgGameWndCL::ClickVCapture(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = RecordOfButton(message, "btn_capture_%d");
    if (record == nullptr)
        return;
    char work[512];
    m_app.GetWorkDir(work);
    const std::string folder = std::string(work) + "\\Capture";
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder.c_str(), nullptr);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32];
    std::strftime(name, sizeof name, "%m%d%H%M%S.bmp", &local);
    const std::string path = folder + "\\" + name;
    if (!record->player->CaptureVideo(path.c_str()))
    {
        KelLogPrintf("the snapshot of player %d was not written to %s", record->playerId, path.c_str());
        return;
    }
    CloseDesktopWindow(kCaptureBox);
    new KelMessageBoxCL(kCaptureBox, "保存路径", path.c_str(), KWS_MB_OK);
    KEL_CATCH
}

void DlgGameWndCL::ClickVZoom(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = RecordOfButton(message, "btn_zoom_%d");
    auto* button = dynamic_cast<KelWnd2DBaseCL*>(message.sender);
    if (record == nullptr || button == nullptr)
        return;
    // Beside the button; a second click brings the open window to the front.
    const POINT at = button->GetPosInScreenM(button->GetSizeM().first + 4, 0);
    DlgIMChatZoomCL::OpenFor(record->playerId, record->player, at.x, at.y);
    KEL_CATCH
}

void DlgGameWndCL::ClickAddFriend(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = RecordOfButton(message, "btn_friend_%d");
    if (record == nullptr)
        return;
    if (IsSelf(*record))
        OpenFaceMenu();
    else if (VarnokPlayer* own = OwnPlayer())
        own->AddFriend(record->playerId);
    KEL_CATCH
}

void DlgGameWndCL::ClickPackage(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = RecordOfButton(message, "btn_package_%d");
    if (record == nullptr)
        return;
    if (IsSelf(*record))
        record->player->ShowPackage();
    else
        OpenPropMenu(*record);
    KEL_CATCH
}

void DlgGameWndCL::ClickUserInfo(KelWndMsg message)
{
    KEL_TRY
    if (GameSeatRecordCL* record = RecordOfButton(message, "btn_userinfo_%d"))
        record->player->ShowUserInfo();
    KEL_CATCH
}

void DlgGameWndCL::OnClickUserInfoChange(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = RecordOfButton(message, "btn_userinfo_%d");
    if (record == nullptr)
        return;
    m_menuTarget = record->playerId;
    FillMenu(*m_infoMenu, {"查看玩家信息"});
    KEL_CATCH
}

void DlgGameWndCL::ClickUseInfoItem(KelWndMsg message)
{
    KEL_TRY
    GameSeatRecordCL* record = GetPlayer(m_menuTarget);
    if (message.param1 == 0 && record != nullptr)
        ShowUserInformation(*record);
    KEL_CATCH
}

void DlgGameWndCL::ShowUserInformation(GameSeatRecordCL& record)
{
    const int32_t* v = record.info.values;
    const int games = v[NET_INFO_GAMES];
    char line[128];
    std::vector<std::string> lines;
    lines.push_back("昵称:" + record.info.nickname);
    lines.push_back("帐号:" + std::to_string(record.playerId));
    lines.push_back(Printf("等级:%d", v[NET_INFO_LEVEL]));
    lines.push_back(Printf("积分:%d", v[NET_INFO_SCORE]));
    lines.push_back(std::string("称号:") + m_app.GetScoreTitle(v[NET_INFO_SCORE]));
    std::snprintf(line, sizeof line, "胜:%d  负:%d  平:%d", v[NET_INFO_WINS], v[NET_INFO_LOSSES],
                  v[NET_INFO_DRAWS]);
    lines.push_back(line);
    lines.push_back(Printf("胜率:%d％", games > 0 ? static_cast<int>(v[NET_INFO_WINS] * 100LL / games) : 0));
    lines.push_back(Printf("对战次数:%d", games));
    lines.push_back(Printf("逃跑率:%d％", v[NET_INFO_ESCAPE_RATE]));
    CloseDesktopWindow(DlgGameWndUserInfoCL::kName);
    new DlgGameWndUserInfoCL(lines);
}

// Faces.

void DlgGameWndCL::OpenFaceMenu()
{
    std::vector<std::string> labels;
    for (int n = 1; n <= kSeatFaceCount; ++n)
        labels.push_back(FindSeatFace(n)->label);
    FillMenu(*m_faceMenu, labels);
}

void DlgGameWndCL::ClickUseItemRWFace(KelWndMsg message)
{
    KEL_TRY
    const int face = message.param1 + 1;
    const SeatFace* shown = FindSeatFace(face);
    GameSeatRecordCL* self = GetSelfInfo();
    if (shown == nullptr || self == nullptr)
        return;
    ShowFace(*self, face);
    WriteChatRecord(self->info.nickname + SeatFaceRecord(*shown, IsFemale(*self)));
    SendImChat(FormatSeatChatCommand(self->playerId, SeatCommandTag::Face, face));
    KEL_CATCH
}

// Props.

const VarnokProp* DlgGameWndCL::FindOwnProp(const std::string& name)
{
    VarnokPlayer* own = OwnPlayer();
    const int count = own != nullptr ? own->GetPropCount() : 0;
    for (int i = 0; i < count; ++i)
        if (const VarnokProp* prop = own->GetProp(i); prop != nullptr && PropName(*prop) == name)
            return prop;
    return nullptr;
}

void DlgGameWndCL::OpenPropMenu(GameSeatRecordCL& target)
{
    VarnokPlayer* own = OwnPlayer();
    std::vector<std::string> names;
    const int count = own != nullptr ? own->GetPropCount() : 0;
    for (int i = 0; i < count; ++i)
        if (const VarnokProp* prop = own->GetProp(i);
            prop != nullptr && SeatPropEffectByName(PropName(*prop)) != 0)
            names.push_back(PropName(*prop));
    if (names.empty())
    {
        CloseDesktopWindow(DlgGameWndPropBuyCL::kName);
        new DlgGameWndPropBuyCL();
        return;
    }
    m_menuTarget = target.playerId;
    FillMenu(*m_propMenu, names);
}

void DlgGameWndCL::ClickUseItem(KelWndMsg message)
{
    KEL_TRY
    const std::string name = m_propMenu->GetItemTextM(message.param1);
    GameSeatRecordCL* target = GetPlayer(m_menuTarget);
    const int effect = SeatPropEffectByName(name);
    if (target == nullptr || effect == 0)
        return;
    const VarnokProp* prop = FindOwnProp(name);
    if (prop == nullptr || prop->count < 1)
    {
        CloseDesktopWindow(DlgGameWndPropBuyCL::kName);
        new DlgGameWndPropBuyCL();
        return;
    }
    m_pendingProp = PendingProp{prop->id,
                                target->playerId,
                                effect,
                                prop->price,
                                FindSeatPropEffect(effect)->action,
                                SeatPropSound(effect),
                                target->info.nickname};
    OpenPurchase(*m_pendingProp);
    KEL_CATCH
}

void DlgGameWndCL::OpenPurchase(const PendingProp& prop)
{
    const SeatPropEffect* effect = FindSeatPropEffect(prop.effect);
    assert(effect != nullptr);
    GamePropOffer offer;
    offer.propId = prop.propId;
    offer.targetId = prop.targetId;
    offer.title = effect->title;
    offer.lines.push_back(std::string("向对方") + effect->title);
    char price[128];
    std::snprintf(price, sizeof price, "%s价格：%d", effect->unit, prop.price);
    offer.lines.push_back(std::string(price) + "金币");
    if (effect->effectLine != nullptr)
        offer.lines.push_back(effect->effectLine);
    offer.unitPrice = prop.price;
    offer.countable = true;
    CloseDesktopWindow(DlgGameWndPropBuy2CL::kName);
    auto* dialog = new DlgGameWndPropBuy2CL(std::move(offer));
    dialog->SetMsgFunM(KWM_DLGOK, boost::bind(&DlgGameWndCL::OnPurchaseOk, this, _1));
}

void DlgGameWndCL::OnClickPropPackage(KelWndMsg)
{
    KEL_TRY
    const VarnokProp* card = FindOwnProp(kScoreCard);
    if (card == nullptr || card->count < 1)
    {
        CloseDesktopWindow(DlgGameWndPropBuyCL::kName);
        new DlgGameWndPropBuyCL();
        return;
    }
    GamePropOffer offer;
    offer.propId = card->id;
    offer.targetId = m_app.GetSelfID();
    offer.title = kScoreCard;
    if (card->price > 0)
    {
        char line[256];
        std::snprintf(line, sizeof line, "您将花费：%s 购买1件道具：%s  (%s) ;",
                      Printf("%d金币", card->price).c_str(), kScoreCard, kScoreCardExplained);
        offer.lines.push_back(line);
    }
    else
    {
        offer.lines.push_back("本件物品免费，Varnok祝您购物愉快！");
        offer.lines.push_back(kScoreCardExplained);
    }
    offer.unitPrice = card->price;
    offer.countable = false;
    CloseDesktopWindow(DlgGameWndPropBuy2CL::kName);
    auto* dialog = new DlgGameWndPropBuy2CL(std::move(offer));
    dialog->SetMsgFunM(KWM_DLGOK, boost::bind(&DlgGameWndCL::OnPurchaseOk, this, _1));
    KEL_CATCH
}

void DlgGameWndCL::OnPurchaseOk(KelWndMsg message)
{
    KEL_TRY
    auto* dialog = dynamic_cast<DlgGameWndPropBuy2CL*>(message.sender);
    VarnokPlayer* own = OwnPlayer();
    if (dialog == nullptr || own == nullptr)
        return;
    if (dialog->GetCount() < 1)
    {
        KelLogPrintf("no pieces of prop %d to buy", dialog->GetOffer().propId);
        return;
    }
    own->BuyProp(dialog->GetOffer().propId, dialog->GetCount(), dialog->GetOffer().targetId);
    KEL_CATCH
}

void DlgGameWndCL::OnRecv_BuyProp(int first, int second)
{
    KEL_TRY
    const bool pending = m_pendingProp && m_pendingProp->propId == second;
    switch (first)
    {
    case VARNOK_BUY_DONE:
        if (pending)
            CompleteProp(*m_pendingProp);
        break;
    case VARNOK_BUY_NO_STOCK:
        CloseDesktopWindow(DlgGameWndPropBuyCL::kName);
        new DlgGameWndPropBuyCL();
        break;
    case VARNOK_BUY_NO_MONEY:
        CloseDesktopWindow(DlgGameWndPropMoneyCL::kName);
        new DlgGameWndPropMoneyCL();
        break;
    default:
        KelLogPrintf("purchase of prop %d answered with %d, which means nothing", second, first);
        return;
    }
    if (pending)
        m_pendingProp.reset();
    KEL_CATCH
}

void DlgGameWndCL::CompleteProp(const PendingProp& prop)
{
    if (GameSeatRecordCL* target = GetPlayer(prop.targetId))
        target->player->PlaySound(prop.sound.c_str());
    SendImChat("“" + OwnNickname() + "”向“" + prop.targetName + "”" + prop.action);
    SendImChat(FormatSeatChatCommand(m_app.GetSelfID(), SeatCommandTag::Effect, prop.effect));
}

void DlgGameWndCL::ShowScoreRecord(const std::vector<int>& playerIds, const std::vector<int>& scores)
{
    KEL_TRY
    KelWnd2DBaseCL* desktop = Desktop();
    if (desktop == nullptr || desktop->FindChildM(DlgGameWndScoreRecordCL::kName) != nullptr)
        return;
    std::vector<std::pair<std::string, int>> rows;
    for (size_t i = 0; i < playerIds.size() && i < scores.size(); ++i)
    {
        const GameSeatRecordCL* record = GetPlayer(playerIds[i]);
        rows.emplace_back(record != nullptr ? record->info.nickname : std::to_string(playerIds[i]),
                          scores[i]);
    }
    new DlgGameWndScoreRecordCL(rows);
    KEL_CATCH
}

// Timers and system lines.

void DlgGameWndCL::OnTimer(int id)
{
    KEL_TRY
    if (id == kTimerScoreCard)
    {
        RemindScoreCard(false);
    }
    else if (id == kTimerScoreCardOnEntry)
    {
        KillTimerM(kTimerScoreCardOnEntry);
        RemindScoreCard(true);
    }
    else if (id == kTimerMediaLinks)
    {
        KeepMediaLinks();
    }
    KEL_CATCH
}

void DlgGameWndCL::RemindScoreCard(bool onEntry)
{
    const VarnokProp* card = FindOwnProp(kScoreCard);
    const int seconds = card != nullptr ? card->secondsLeft : 0;
    if (seconds <= 0)
        return;
    const int minutes = seconds / 60;
    char text[128];
    if (!onEntry)
    {
        // The five-minute reminder speaks up only when the card runs out within 20 minutes.
        if (seconds >= 1200)
            return;
        std::snprintf(text, sizeof text, "双倍积分卡,剩余有效时间：%d分钟", minutes);
    }
    else if (minutes > 59)
    {
        std::snprintf(text, sizeof text, "双倍积分卡,剩余有效时间：%d小时%d分钟", seconds / 3600,
                      minutes % 60);
    }
    else
    {
        std::snprintf(text, sizeof text, "双倍积分卡,剩余有效时间：%d分钟", minutes);
    }
    WriteSystemLine(text);
}

void DlgGameWndCL::KeepMediaLinks()
{
    for (const std::unique_ptr<GameSeatRecordCL>& record : m_seats)
        if (record != nullptr && !record->player->IsMediaLinked())
            record->player->KeepMediaLink();
}

void DlgGameWndCL::WriteSystemLine(const std::string& text)
{
    // The room's system lines: "[系统消息]: " and the text.
    m_app.OnRecv_OnTalkToAllforXLB(0, "系统消息", text.c_str());
}

void DlgGameWndCL::WriteChatRecord(const std::string& text)
{
    if (auto* chat = dynamic_cast<TableChatWindow*>(m_app.GetDlgChatWindow()))
        chat->OnChat(text, 255, 255, 255, 0, true);
}
