#include "CDlgGameWndKavdorTwoCL.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include <boost/bind/bind.hpp>

#include "CDlgFunctionBarCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "CGameKavdorLogicCl.h"
#include "CardCode.h"
#include "DlgCountDownCL.h"
#include "HostInterfaces.h"
#include "KavdorHandChoice.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelTextureCL.h"
#include "KelWnd2DButtonCL.h"
#include "Win32/Messages.h"

namespace
{
using boost::placeholders::_1;

const char kGameSet[] = "kavdortwoTextureInfo";
const char kFrameSet[] = "gameWndEX";
const char kRefusal[] = "您选择的牌不符合规则，请重新选牌";
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
// The warning of every countdown starts this many seconds before the end.
constexpr int kCountDownWarning = 10;

struct Point
{
    int x;
    int y;
};

// Where each seat's things lie, by the seat's place relative to the user (0 the user, then in
// turn order). Played-group and hand positions of the user depend on the window's height and
// are computed in DrawPlayer.
struct SeatPlace
{
    Point played;
    int playedAlign;
    Point avatar;
    int pictureLayout;
    int seatLayout;
    int seatDx;
    int seatDy;
    const char* countFormat;
    Point countDown;
    Point passMark;
    Point bidImage;
};
const SeatPlace kPlaces[4] = {
    {{417, 0}, 4, {39, 441}, 3, 3, 140, 20, "牌数:%d", {132, 327}, {407, 305}, {407, 305}},
    {{661, 152}, 1, {712, 218}, 4, 2, -100, -20, "剩余牌数:%d  ", {602, 231}, {581, 142}, {581, 152}},
    {{460, 12}, 1, {536, 65}, 4, 2, -100, 20, "剩余牌数:%d  ", {425, 77}, {400, 17}, {400, 17}},
    {{139, 152}, 0, {39, 218}, 4, 3, 140, -20, "剩余牌数:%d  ", {132, 231}, {140, 142}, {150, 152}},
};

// The landlord mark's place from the avatar origin; the user's and the next seat's depend on the
// mark's height.
Point LandlordMarkPlace(int relative, int markHeight)
{
    switch (relative)
    {
    case 0:
        return {-2, -markHeight - 114};
    case 1:
        return {-4, -markHeight - 120};
    case 2:
        return {-125, -117};
    default:
        return {93, -130};
    }
}

// The tool bar: image, window name, tooltip, offset from the centre.
struct ToolSpec
{
    const char* imageId;
    const char* name;
    const char* tip;
    int dx;
    void (CDlgGameWndKavdorTwoCL::*click)();
};
const ToolSpec kTools[5] = {
    {"toolBar_soune", "btn_sound", "语音", -136, &CDlgGameWndKavdorTwoCL::OnClickSound},
    {"toolBar_result", "btn_search", "查询积分", -70, &CDlgGameWndKavdorTwoCL::OnClickSearch},
    {"toolBar_sort", "btn_sort", "排序", 0, &CDlgGameWndKavdorTwoCL::OnClickSort},
    {"toolBar_trustee", "btn_trusteeship", "托管", 70, &CDlgGameWndKavdorTwoCL::OnClickTrusteeship},
    {"toolBar_pre", "btn_preturn", "上轮", 136, &CDlgGameWndKavdorTwoCL::OnClickpreturn},
};
constexpr int kToolBarY = 460;
// The trusteeship button stands this much higher while trusteeship is on.
constexpr int kTrusteeshipLift = 10;

// The process's countdown numbers: each new bid or turn countdown gets a fresh window name.
int g_bidCountDowns = 0;
int g_turnCountDowns = 0;

std::vector<uint8_t> Sorted(std::vector<uint8_t> codes)
{
    KavdorSortCards(codes);
    return codes;
}

std::vector<uint8_t> GroupCodes(CGameKavdorGroupCl& group)
{
    std::vector<uint8_t> codes;
    for (int i = 0; i < group.GetCardNum(); ++i)
        codes.push_back(group.GetCard(i)->GetCardCode());
    return codes;
}

// Removes, for each code, the first selected card holding it; answers how many went.
int RemoveSelected(CGameKavdorGroupCl& hand, const std::vector<uint8_t>& codes)
{
    int removed = 0;
    for (uint8_t code : codes)
        for (int i = 0; i < hand.GetCardNum(); ++i)
        {
            GameCardItemCL* card = hand.GetCard(i);
            if (card->GetSelectFlag() != 0 && card->GetCardCode() == code)
            {
                hand.DelCard(i);
                ++removed;
                break;
            }
        }
    return removed;
}

const char* PlaySoundOf(const std::vector<uint8_t>& cards)
{
    const int type = KavdorGetCardType(cards.data(), static_cast<int>(cards.size()), nullptr);
    if (type == KAVDOR_TYPE_KING_BOMB)
        return "qipai\\brshj1.ogg";
    if (type == KAVDOR_TYPE_BOMB)
        return "qipai\\brshj.ogg";
    return "qipai\\give.ogg";
}

// The voice of a bid by the bidder's sex; null for a sex the sounds do not know.
std::string BidVoice(int number, int sex)
{
    if (sex != 0 && sex != 1)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "kavdor\\%d_%s.ogg", number, sex == 0 ? "m" : "f");
    return name;
}

int SexOf(const GameSeatRecordCL& record)
{
    return record.info.values[NET_INFO_SEX];
}
} // namespace

CDlgGameWndKavdorTwoCL::CDlgGameWndKavdorTwoCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app)
    : DlgGameWndCardBaseCL(name, parent, app)
{
    KEL_TRY
    TextInitial();
    CreateToolBar();
    m_functionBar = new CDlgFunctionBarCL(this);
    SetMsgFunM(KWM_RCLICK, boost::bind(&CDlgGameWndKavdorTwoCL::OnRClick, this, _1));
    KEL_CATCH
}

CDlgGameWndKavdorTwoCL::~CDlgGameWndKavdorTwoCL() = default;

void CDlgGameWndKavdorTwoCL::TextInitial()
{
    App().UseSelfImagePath();
    m_tableCentre = KelCreateGuiTexture(kGameSet, "gametable_dizhu");
    m_landlordMark = KelCreateGuiTexture(kGameSet, "gameWnd_dizhuIcon");
    m_passMark = KelCreateGuiTexture(kGameSet, "gameTable_jumpImage");
    m_baseScoreBox = KelCreateGuiTexture(kGameSet, "baseScore_back_df");
    m_multiplierBox = KelCreateGuiTexture(kGameSet, "baseScore_back_bs");
    m_callImages[0] = KelCreateGuiTexture(kGameSet, "gameWnd_call_1");
    m_callImages[1] = KelCreateGuiTexture(kGameSet, "gameWnd_Call_2");
    // A bid of three shows the same picture as a bid of two.
    m_callImages[2] = KelCreateGuiTexture(kGameSet, "gameWnd_Call_2");
    m_callImages[3] = KelCreateGuiTexture(kGameSet, "gameWnd_Call_No");
    App().UseFrameImagePath();
}

void CDlgGameWndKavdorTwoCL::CreateToolBar()
{
    App().UseFrameImagePath();
    KelWnd2DButtonCL** fields[5] = {&m_soundBtn, &m_searchBtn, &m_sortBtn, &m_trusteeshipBtn, &m_preturnBtn};
    for (int i = 0; i < 5; ++i)
    {
        const ToolSpec& spec = kTools[i];
        auto* button = new KelWnd2DButtonCL(spec.name, this, kFrameSet, spec.imageId, 0, 0);
        button->SetTipM(spec.tip);
        auto click = spec.click;
        button->SetMsgFunM(KWM_LCLICK, [this, click](KelWndMsg) { (this->*click)(); });
        *fields[i] = button;
    }
    // The voice needs a media service the table does not offer: the button shows but stays off.
    m_soundBtn->EnableM(false);
}

KelWnd2DButtonCL* CDlgGameWndKavdorTwoCL::ToolButtonAt(int index) const
{
    const std::array<KelWnd2DButtonCL*, 5> buttons = {m_soundBtn, m_searchBtn, m_sortBtn, m_trusteeshipBtn,
                                                      m_preturnBtn};
    return buttons[static_cast<size_t>(index)];
}

std::unique_ptr<GameSeatRecordCL> CDlgGameWndKavdorTwoCL::CreateSeatRecord()
{
    return std::make_unique<KavdorSeatRecord>();
}

KavdorSeatRecord* CDlgGameWndKavdorTwoCL::SeatRecord(int seat)
{
    if (seat < 0 || seat >= 4)
        return nullptr;
    GameSeatRecordCL* record = SeatAt(seat);
    assert(record == nullptr || dynamic_cast<KavdorSeatRecord*>(record) != nullptr);
    return static_cast<KavdorSeatRecord*>(record);
}

KavdorSeatRecord* CDlgGameWndKavdorTwoCL::PlayerRecord(int playerId)
{
    GameSeatRecordCL* record = GetPlayer(playerId);
    assert(record == nullptr || dynamic_cast<KavdorSeatRecord*>(record) != nullptr);
    return static_cast<KavdorSeatRecord*>(record);
}

bool CDlgGameWndKavdorTwoCL::IsOwn(const KavdorSeatRecord& record) const
{
    return record.playerId == const_cast<CDlgGameWndKavdorTwoCL*>(this)->App().GetSelfID();
}

int CDlgGameWndKavdorTwoCL::GetSeatCall(int seat)
{
    const KavdorSeatRecord* record = SeatRecord(seat);
    return record != nullptr ? record->bid : 0;
}

const GameCardItemCL* CDlgGameWndKavdorTwoCL::GetBaseCard(int index) const
{
    return index >= 0 && index < 8 ? m_baseCards[static_cast<size_t>(index)].get() : nullptr;
}

// Sounds.

void CDlgGameWndKavdorTwoCL::PlaySeatSound(GameSeatRecordCL* record, const char* name)
{
    if (record != nullptr && record->player != nullptr)
        record->player->PlaySound(name);
}

void CDlgGameWndKavdorTwoCL::PlayPlaySound(KavdorSeatRecord& record, const std::vector<uint8_t>& cards)
{
    PlaySeatSound(&record, PlaySoundOf(cards));
}

// Room events.

void CDlgGameWndKavdorTwoCL::OnStartGame()
{
    KEL_TRY
    m_functionBar->ShowReady(true);
    m_tableActive = 1;
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::SetGameRunning(bool running)
{
    KEL_TRY
    GameSeatRecordCL* self = GetSelfInfo();
    if (self != nullptr && self->player != nullptr)
        self->player->SetSeatState(-1, running ? 1 : 2, self->videoOn ? 0 : 1, 0);
    m_tableActive = App().IsGameRuning();
    if (running)
        ShowFuncButton(true);
    else
    {
        m_statusText.clear();
        m_mustLead = 0;
        ShowFuncButton(false);
    }
    PlaySeatSound(self, running ? "qipai\\start.ogg" : "qipai\\win.ogg");
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnEndGame()
{
    KEL_TRY
    CloseCountDown();
    for (auto& card : m_baseCards)
        card.reset();
    m_tableActive = 0;
    m_statusText.clear();
    m_mustLead = 0;
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnReady(int playerId, bool ready)
{
    KEL_TRY
    DlgGameWndCardBaseCL::OnReady(playerId, ready);
    if (playerId == App().GetSelfID())
        m_functionBar->ShowReady(!ready);
    if (!ready)
        return;
    if (KavdorSeatRecord* record = PlayerRecord(playerId))
    {
        record->hand.DestroyCard();
        record->played.DestroyCard();
        record->history.clear();
    }
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnPlayerOut(int playerId)
{
    KEL_TRY
    const KavdorSeatRecord* leaving = PlayerRecord(playerId);
    if (leaving != nullptr && leaving->state != 1)
    {
        ClearSeats();
        m_landlord = 0;
    }
    DlgGameWndCardBaseCL::OnPlayerOut(playerId);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::ClearSeats()
{
    for (int seat = 0; seat < 4; ++seat)
        if (KavdorSeatRecord* record = SeatRecord(seat))
        {
            record->hand.DestroyCard();
            record->played.DestroyCard();
            record->history.clear();
            record->pending.clear();
            record->preview = 0;
        }
}

// Bidding.

void CDlgGameWndKavdorTwoCL::SetPlayerCall(int playerId, int bid)
{
    const KavdorSeatRecord* bidder = PlayerRecord(playerId);
    if (bidder == nullptr || bidder->seat < 0)
        return;
    // The message names the player to bid next; the bid is that of the seat before him.
    KavdorSeatRecord* before = SeatRecord((bidder->seat + 3) % 4);
    if (before == nullptr)
        return;
    before->bid = bid;
    if (bid == 0)
        return;
    const std::string voice = BidVoice(bid == -1 ? 0 : bid, SexOf(*before));
    if (!voice.empty())
        PlaySeatSound(before, voice.c_str());
}

void CDlgGameWndKavdorTwoCL::ShowCall(int playerId, int bid)
{
    KEL_TRY
    // While the seats bid there is no landlord yet: the last hand's mark would name the wrong
    // player. (A deal cannot clear it: the landlord's own hand is dealt again after he is named.)
    m_landlord = 0;
    m_functionBar->ShowFunc(false);
    SetPlayerCall(playerId, bid);
    if (playerId != m_currentBidder)
    {
        CloseCountDown();
        OpenCountDown("callCardWindow_%d", ++g_bidCountDowns);
        m_currentBidder = playerId;
    }
    if (playerId == App().GetSelfID())
        m_functionBar->ShowCall(true, bid);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::PlayCallThreeVoice(int playerId)
{
    KEL_TRY
    KavdorSeatRecord* record = PlayerRecord(playerId);
    if (record == nullptr)
        return;
    const std::string voice = BidVoice(3, SexOf(*record));
    if (!voice.empty())
        PlaySeatSound(record, voice.c_str());
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::SetCallNumNull()
{
    for (int seat = 0; seat < 4; ++seat)
        if (KavdorSeatRecord* record = SeatRecord(seat))
            record->bid = 0;
}

// Dealing and the table's numbers.

void CDlgGameWndKavdorTwoCL::SetGroup(CGameKavdorGroupCl& group, const std::vector<uint8_t>& codes)
{
    group.DestroyCard();
    for (uint8_t code : codes)
        group.AddCard(code);
}

void CDlgGameWndKavdorTwoCL::OnDealCard(int playerId, const std::vector<uint8_t>& cards)
{
    KEL_TRY
    KavdorSeatRecord* record = PlayerRecord(playerId);
    if (App().IsGameRuning() == 0 && record != nullptr)
        record->played.DestroyCard();
    for (int seat = 0; seat < 4; ++seat)
        if (KavdorSeatRecord* each = SeatRecord(seat))
            each->history.clear();
    const std::vector<uint8_t> sorted = Sorted(cards);
    m_currentPlayer = -1;
    m_currentBidder = -1;
    HintOffset = 0;
    m_notActed = 1;
    if (m_trusteeship != 0)
    {
        m_trusteeship = 0;
        PlaceToolBar();
    }
    if (record != nullptr && IsOwn(*record))
    {
        SetGroup(record->hand, sorted);
        for (auto& card : m_baseCards)
            if (card == nullptr)
                card = std::make_unique<GameCardItemCL>(kCardLandlordBack);
    }
    else if (record != nullptr && !sorted.empty())
        SetGroup(record->hand, sorted);
    m_timeouts = 0;
    SetCallNumNull();
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnPlayerHaveCardNum(int playerId, int count)
{
    KEL_TRY
    KavdorSeatRecord* record = PlayerRecord(playerId);
    if (record == nullptr || IsOwn(*record) || record->seat == GetSelfSeat())
        return;
    if (count < 0 || count > 108)
    {
        KelLogPrintf("card count %d of player %d refused", count, playerId);
        return;
    }
    record->hand.DestroyCard();
    const uint8_t code = playerId == m_landlord ? kCardLandlordBack : kCardBack;
    for (int i = 0; i < count; ++i)
        record->hand.AddCard(code);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnReceiveBaseCard(const std::vector<uint8_t>& cards)
{
    KEL_TRY
    if (cards.size() != m_baseCards.size())
        KelLogPrintf("%zu base cards instead of %zu", cards.size(), m_baseCards.size());
    for (size_t i = 0; i < m_baseCards.size(); ++i)
    {
        m_baseCards[i].reset();
        if (i < cards.size())
            m_baseCards[i] = std::make_unique<GameCardItemCL>(cards[i]);
    }
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::SetScoreInfo(int baseScore, int multiplier)
{
    m_baseScore = baseScore;
    m_multiplier = multiplier;
}

void CDlgGameWndKavdorTwoCL::SetTurnSeconds(int seconds)
{
    // A countdown of no time would fire at once and play every turn of the user automatically.
    if (seconds <= 0)
    {
        KelLogPrintf("turn of %d seconds refused", seconds);
        return;
    }
    m_turnSeconds = seconds;
}

// The countdown.

void CDlgGameWndKavdorTwoCL::OpenCountDown(const char* format, int number)
{
    if (m_tableActive == 0)
        return;
    char name[64];
    std::snprintf(name, sizeof name, format, number);
    // The owner moves it over the seat whose turn it is on every frame.
    m_countDown = new DlgCountDownCL(name, this, m_turnSeconds, 0, 0, kCountDownWarning);
    m_countDown->SetMsgFunM(DlgCountDownCL::kTimeUpCode,
                            boost::bind(&CDlgGameWndKavdorTwoCL::OnCountDownClose, this, _1));
}

void CDlgGameWndKavdorTwoCL::CloseCountDown()
{
    if (m_countDown != nullptr)
        m_countDown->CloseM();
    m_countDown = nullptr;
}

void CDlgGameWndKavdorTwoCL::DelCountDownWnd()
{
    KEL_TRY
    CloseCountDown();
    KEL_CATCH
}

// Turns.

void CDlgGameWndKavdorTwoCL::StartNewRound(int leader)
{
    const KavdorSeatRecord* leading = PlayerRecord(leader);
    for (int seat = 0; seat < 4; ++seat)
    {
        KavdorSeatRecord* record = SeatRecord(seat);
        if (record == nullptr)
            continue;
        if (record->preview != 0)
        {
            record->turnDuringPreview = 1;
            continue;
        }
        record->played.DestroyCard();
        if (leading == nullptr || record->seat != leading->seat)
        {
            record->history.push_back({kCardNewRound});
            record->played.AddCard(kCardNewRound);
        }
    }
    m_freshLead = 1;
    m_mustLead = 1;
}

void CDlgGameWndKavdorTwoCL::OnOutCard(int playerId, bool follow)
{
    KEL_TRY
    m_functionBar->ShowFunc(false);
    m_mustLead = 0;
    m_appliedLocally = 0;
    m_freshLead = 0;
    HintOffset = 0;
    const bool self = playerId == App().GetSelfID();
    if (KavdorSeatRecord* record = PlayerRecord(playerId))
    {
        // A seat whose cards are unknown (or gone) has no turn to show.
        if (record->hand.GetCardNum() == 0)
            return;
        if (record->preview != 0)
            record->turnDuringPreview = 1;
        if (self)
            record->played.DestroyCard();
    }
    if (playerId != m_currentPlayer)
    {
        CloseCountDown();
        OpenCountDown("countDownWindow_%d", ++g_turnCountDowns);
    }
    if (!follow)
        StartNewRound(playerId);
    m_currentPlayer = playerId;
    if (!self)
        return;
    if (m_trusteeship != 0)
    {
        CloseCountDown();
        OnCountDownClose(KelWndMsg{});
    }
    else
        m_functionBar->ShowOutCard(true, follow);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnClickOutCard(int kind)
{
    KEL_TRY
    switch (kind)
    {
    case 1:
        PlayOut();
        break;
    case 2:
        Pass();
        break;
    case 3:
        Hint();
        break;
    default:
        KelLogPrintf("unknown action %d", kind);
        break;
    }
    KEL_CATCH
}

std::vector<uint8_t> CDlgGameWndKavdorTwoCL::SelectedCodes()
{
    std::vector<uint8_t> codes;
    if (KavdorSeatRecord* self = PlayerRecord(App().GetSelfID()))
        for (int i = 0; i < self->hand.GetCardNum(); ++i)
            if (self->hand.GetCard(i)->GetSelectFlag() != 0)
                codes.push_back(self->hand.GetCard(i)->GetCardCode());
    return codes;
}

void CDlgGameWndKavdorTwoCL::PlayOut()
{
    if (m_automatic == 0)
        m_timeouts = 0;
    m_automatic = 0;
    m_notActed = 0;
    KavdorSeatRecord* self = PlayerRecord(App().GetSelfID());
    const std::vector<uint8_t> codes = SelectedCodes();
    if (self == nullptr || codes.empty())
        return;
    if (!CheckOutCard(codes))
    {
        self->hand.SetSelectFlag(0);
        ShowRefusal();
        PlaySeatSound(self, "qipai\\wrongGive.ogg");
        return;
    }
    m_appliedLocally = 1;
    RemoveSelected(self->hand, codes);
    const std::vector<uint8_t> sorted = Sorted(codes);
    self->history.push_back(sorted);
    SetGroup(self->played, sorted);
    PlayPlaySound(*self, sorted);
    CloseCountDown();
    GetApp()->GetGameSink().SendPlay(sorted);
    m_functionBar->ShowFunc(false);
}

void CDlgGameWndKavdorTwoCL::Pass()
{
    if (m_automatic == 0)
        m_timeouts = 0;
    m_automatic = 0;
    m_notActed = 0;
    GetApp()->GetGameSink().SendPass();
    m_functionBar->ShowFunc(false);
    m_appliedLocally = 1;
    KavdorSeatRecord* self = PlayerRecord(App().GetSelfID());
    PlaySeatSound(self, "qipai\\pass.ogg");
    if (self != nullptr)
        self->history.emplace_back();
}

void CDlgGameWndKavdorTwoCL::CollectPlays(std::array<std::vector<uint8_t>, 4>& plays,
                                          std::array<const std::vector<uint8_t>*, 4>& seats)
{
    for (int seat = 0; seat < 4; ++seat)
    {
        seats[static_cast<size_t>(seat)] = nullptr;
        KavdorSeatRecord* record = SeatRecord(seat);
        if (record == nullptr)
            continue;
        plays[static_cast<size_t>(seat)] = GroupCodes(record->played);
        // The new-round marker is no play to beat.
        if (plays[static_cast<size_t>(seat)] == std::vector<uint8_t>{kCardNewRound})
            plays[static_cast<size_t>(seat)].clear();
        seats[static_cast<size_t>(seat)] = &plays[static_cast<size_t>(seat)];
    }
}

std::vector<uint8_t> CDlgGameWndKavdorTwoCL::HandCodes(int seat)
{
    KavdorSeatRecord* record = SeatRecord(seat);
    return record != nullptr ? GroupCodes(record->hand) : std::vector<uint8_t>{};
}

void CDlgGameWndKavdorTwoCL::ApplyChoice(const KavdorHandChoice& choice)
{
    KavdorSeatRecord* self = SeatRecord(GetSelfSeat());
    if (self == nullptr)
        return;
    self->hand.SetSelectFlag(0);
    for (int index : choice.indices)
        if (GameCardItemCL* card = self->hand.GetCard(index))
            card->SetCardSelect(1);
}

void CDlgGameWndKavdorTwoCL::Hint()
{
    std::array<std::vector<uint8_t>, 4> plays;
    KavdorSeatPlays seats{};
    CollectPlays(plays, seats);
    const KavdorHandChoice choice = KavdorHint(HandCodes(GetSelfSeat()), seats, GetSelfSeat(), HintOffset);
    if (choice.action == KavdorHandChoice::PLAY)
    {
        ApplyChoice(choice);
        HintOffset = choice.hintOffset;
    }
    else if (choice.action == KavdorHandChoice::PASS)
    {
        // Nothing beats the standing play: the hint passes for the user.
        m_timeouts = 0;
        m_notActed = 0;
        PlaySeatSound(GetSelfInfo(), "qipai\\pass.ogg");
        GetApp()->GetGameSink().SendPass();
        m_functionBar->ShowFunc(false);
    }
}

bool CDlgGameWndKavdorTwoCL::CheckOutCard(const std::vector<uint8_t>& codes)
{
    const std::vector<uint8_t> sorted = Sorted(codes);
    const int count = static_cast<int>(sorted.size());
    if (m_mustLead != 0)
        return KavdorGetCardType(sorted.data(), count, nullptr) >= 0;
    std::array<std::vector<uint8_t>, 4> plays;
    KavdorSeatPlays seats{};
    CollectPlays(plays, seats);
    const CardList* previous = KavdorPlayToBeat(seats, GetSelfSeat());
    if (previous == nullptr)
        return false;
    return KavdorCompareCardGroup(sorted.data(), count, previous->data(),
                                  static_cast<int>(previous->size())) == 1;
}

void CDlgGameWndKavdorTwoCL::ShowRefusal()
{
    m_statusText = kRefusal;
    KillTimerM(kTimerStatusText);
    SetTimerM(
        KelWndTimer{kTimerStatusText, kStatusMs, 0, boost::bind(&CDlgGameWndKavdorTwoCL::OnTimer, this, _1)});
}

void CDlgGameWndKavdorTwoCL::OnOutCardResult(const std::vector<uint8_t>& cards)
{
    KEL_TRY
    m_notActed = 1;
    KavdorSeatRecord* self = PlayerRecord(App().GetSelfID());
    if (self == nullptr)
        return;
    if (m_appliedLocally == 0 && RemoveSelected(self->hand, cards) == 0)
        for (uint8_t code : cards)
            self->hand.DelCardByCard(code);
    self->hand.SetSelectFlag(0);
    if (cards.empty())
        ShowRefusal();
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnReceivePlayerCurOutCard(int playerId, const std::vector<uint8_t>& cards)
{
    KEL_TRY
    KavdorSeatRecord* record = PlayerRecord(playerId);
    if (record == nullptr)
        return;
    const bool self = IsOwn(*record);
    const bool apply = !self || m_appliedLocally == 0;
    const std::vector<uint8_t> sorted = Sorted(cards);
    if (apply)
    {
        if (self)
            m_notActed = 0;
        record->history.push_back(sorted);
        if (record->preview != 0)
            record->pending = sorted;
        else
            SetGroup(record->played, sorted);
    }
    record->turnDuringPreview = 0;
    const GameSeatRecordCL* own = GetSelfInfo();
    if (own != nullptr && own->state == 1 && record->seat == GetSelfSeat())
    {
        // A watcher sees the watched hand: the played cards leave it.
        record->hand.SetSelectFlag(0);
        for (uint8_t code : cards)
            record->hand.DelCardByCard(code);
    }
    if (!sorted.empty() && apply)
        PlayPlaySound(*record, sorted);
    else if (sorted.empty() && !self)
        PlaySeatSound(record, "qipai\\pass.ogg");
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnCountDownClose(KelWndMsg)
{
    KEL_TRY
    m_countDown = nullptr;
    m_automatic = 1;
    // While the seats bid the current player is nobody: a bid's time running out changes nothing.
    if (m_currentPlayer != App().GetSelfID())
        return;
    if (++m_timeouts >= 2 && m_trusteeship == 0)
    {
        m_trusteeship = 1;
        PlaceToolBar();
    }
    m_appliedLocally = 1;
    std::array<std::vector<uint8_t>, 4> plays;
    KavdorSeatPlays seats{};
    CollectPlays(plays, seats);
    const KavdorHandChoice choice =
        KavdorAutoPlay(HandCodes(GetSelfSeat()), seats, GetSelfSeat(), m_mustLead != 0);
    if (choice.action == KavdorHandChoice::PLAY)
    {
        ApplyChoice(choice);
        PlayOut();
    }
    else if (choice.action == KavdorHandChoice::PASS)
        Pass();
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnClickTrusteeship()
{
    KEL_TRY
    m_trusteeship = m_trusteeship != 0 ? 0 : 1;
    if (m_trusteeship != 0 && m_currentPlayer == App().GetSelfID())
        GetApp()->GetGameSink().SendTrusteeship();
    PlaceToolBar();
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnRClick(KelWndMsg)
{
    KEL_TRY
    if (m_currentPlayer == App().GetSelfID())
        OnClickOutCard(1);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnTimer(int id)
{
    KEL_TRY
    if (id == kTimerStatusText)
        m_statusText.clear();
    else if (id == kTimerPreview)
        EndPreview();
    KillTimerM(id);
    KEL_CATCH
}

// The tool bar's actions.

void CDlgGameWndKavdorTwoCL::ShowFuncButton(bool show)
{
    KEL_TRY
    for (int i = 0; i < 5; ++i)
        ToolButtonAt(i)->ShowM(show);
    m_soundBtn->EnableM(false);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnClickSort()
{
    KEL_TRY
    KavdorSeatRecord* self = SeatRecord(GetSelfSeat());
    m_sortMode = m_sortMode != 0 ? 0 : 1;
    if (self == nullptr)
        return;
    const std::vector<uint8_t> codes = GroupCodes(self->hand);
    if (m_sortMode == 0)
    {
        SetGroup(self->hand, Sorted(codes));
        return;
    }
    std::vector<CardList> groups;
    CGameKavdorLogicCl::GroupCardByValue(codes.data(), static_cast<int>(codes.size()), groups);
    std::vector<uint8_t> byCount;
    for (size_t size = 8; size >= 1; --size)
        for (const CardList& group : groups)
            if (group.size() == size)
                byCount.insert(byCount.end(), group.begin(), group.end());
    SetGroup(self->hand, byCount);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnClickpreturn()
{
    KEL_TRY
    if (m_previewActive != 0)
        return;
    if (m_freshLead != 0)
    {
        m_savedFreshLead = m_freshLead;
        m_freshLead = 0;
    }
    m_previewActive = 1;
    const int selfId = App().GetSelfID();
    for (int seat = 0; seat < 4; ++seat)
    {
        KavdorSeatRecord* record = SeatRecord(seat);
        if (record == nullptr)
            continue;
        const size_t k = m_currentPlayer == selfId && record->playerId == selfId ? 1 : 2;
        if (record->history.size() < k)
            continue;
        record->pending = GroupCodes(record->played);
        if (record->turnDuringPreview == 0)
            SetGroup(record->played, *std::prev(record->history.end(), static_cast<long>(k)));
        record->preview = 1;
        record->turnDuringPreview = 0;
    }
    KillTimerM(kTimerPreview);
    SetTimerM(
        KelWndTimer{kTimerPreview, kPreviewMs, 0, boost::bind(&CDlgGameWndKavdorTwoCL::OnTimer, this, _1)});
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::EndPreview()
{
    if (m_previewActive == 0)
        return;
    if (m_savedFreshLead != 0)
    {
        m_freshLead = m_savedFreshLead;
        m_savedFreshLead = 0;
    }
    for (int seat = 0; seat < 4; ++seat)
    {
        KavdorSeatRecord* record = SeatRecord(seat);
        if (record == nullptr || record->preview == 0)
            continue;
        record->preview = 0;
        record->played.DestroyCard();
        if (record->turnDuringPreview == 0)
            SetGroup(record->played, record->pending);
        record->pending.clear();
        record->turnDuringPreview = 0;
    }
    m_previewActive = 0;
}

void CDlgGameWndKavdorTwoCL::OnClickSearch()
{
    KEL_TRY
    std::vector<int> ids;
    std::vector<int> totals;
    for (int index = 0; index < kSeatListSize; ++index)
    {
        const GameSeatRecordCL* record = SeatAt(index);
        if (record == nullptr || record->state == 1)
            continue;
        ids.push_back(record->playerId);
        totals.push_back(record->scoreTotal);
    }
    ShowScoreRecord(ids, totals);
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::OnClickSound()
{
    KEL_TRY
    m_voice = m_voice != 0 ? 0 : 1;
    const int selfId = App().GetSelfID();
    for (int index = 0; index < kSeatListSize; ++index)
    {
        GameSeatRecordCL* record = SeatAt(index);
        if (record == nullptr || record->playerId == selfId || record->player == nullptr)
            continue;
        record->player->SetVideoOn(m_voice != 0, record->playerId);
        record->player->SetAudioOn(m_voice != 0, record->playerId);
    }
    KEL_CATCH
}

// Drawing.

int CDlgGameWndKavdorTwoCL::RelativeSeat(int relative) const
{
    const int own = const_cast<CDlgGameWndKavdorTwoCL*>(this)->GetSelfSeat();
    return own < 0 ? -1 : (own + relative) % 4;
}

void CDlgGameWndKavdorTwoCL::PlaceToolBar()
{
    for (int i = 0; i < 5; ++i)
    {
        KelWnd2DButtonCL* button = ToolButtonAt(i);
        const bool lifted = button == m_trusteeshipBtn && m_trusteeship != 0;
        button->SetPosM((m_w - button->GetSizeM().first) / 2 + kTools[i].dx,
                        lifted ? kToolBarY - kTrusteeshipLift : kToolBarY);
    }
}

bool CDlgGameWndKavdorTwoCL::OnSizeChangeM(KelWndBaseCL* window)
{
    KEL_TRY
    PlaceToolBar();
    return DlgGameWndCardBaseCL::OnSizeChangeM(window);
    KEL_CATCH
}

bool CDlgGameWndKavdorTwoCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool result = DlgGameWndCardBaseCL::DrawM(canvas);
    if (canvas == nullptr)
        return result;
    if (m_tableCentre != nullptr)
        KelDrawTextureAt(canvas, m_tableCentre.get(), (m_w - m_tableCentre->GetWidth()) / 2,
                         (m_h - m_tableCentre->GetHeight()) / 2);
    if (m_tableActive != 0)
        for (size_t i = 0; i < m_baseCards.size(); ++i)
            if (m_baseCards[i] != nullptr)
                m_baseCards[i]->DrawM(canvas, 10 + 11 * static_cast<int>(i), -25);
    DrawCallNum(canvas);
    DrawPlayer(canvas);
    if (!m_statusText.empty())
    {
        canvas->SetTextColor(kWhite);
        canvas->DrawText(m_statusText.c_str(), (m_w - canvas->GetTextWidth(m_statusText.c_str())) / 2,
                         m_h - 300, nullptr, false, 0);
    }
    DrawStake(canvas);
    PlaceToolBar();
    m_functionBar->SetPosM(m_w / 2, m_h - 297);
    return result;
    KEL_CATCH
}

void CDlgGameWndKavdorTwoCL::DrawStake(KelCanvasCL* canvas)
{
    const struct
    {
        KelTextureCL* box;
        int y;
        int value;
    } stakes[2] = {{m_baseScoreBox.get(), m_h - 170, m_baseScore},
                   {m_multiplierBox.get(), m_h - 145, m_multiplier}};
    canvas->SetTextColor(kWhite);
    for (const auto& stake : stakes)
    {
        const int x = m_w - 120;
        if (stake.box != nullptr)
            KelDrawTextureAt(canvas, stake.box, x, stake.y);
        char text[16];
        std::snprintf(text, sizeof text, "%d", stake.value);
        canvas->DrawText(text, x + 60, stake.y + 8, nullptr, false, 0);
    }
}

void CDlgGameWndKavdorTwoCL::DrawCallNum(KelCanvasCL* canvas)
{
    for (int r = 0; r < 4; ++r)
    {
        const KavdorSeatRecord* record = SeatRecord(RelativeSeat(r));
        if (record == nullptr)
            continue;
        const int image = record->bid == -1 ? 3 : record->bid - 1;
        if (image < 0 || image > 3 || m_callImages[image] == nullptr)
            continue;
        KelDrawTextureAt(canvas, m_callImages[image].get(), kPlaces[r].bidImage.x, kPlaces[r].bidImage.y);
    }
}

void CDlgGameWndKavdorTwoCL::DrawPlayer(KelCanvasCL* canvas)
{
    if (m_tableActive == 0 && m_countDown != nullptr)
        CloseCountDown();
    for (int r : {1, 2, 3, 0})
        if (KavdorSeatRecord* record = SeatRecord(RelativeSeat(r)))
            DrawSeat(canvas, *record, r);
}

void CDlgGameWndKavdorTwoCL::DrawSeat(KelCanvasCL* canvas, KavdorSeatRecord& record, int r)
{
    const SeatPlace& place = kPlaces[r];
    if (r != 0)
    {
        record.played.SetDirection(GameCardGroupCL::kRow);
        record.played.SetAlign(place.playedAlign);
        record.played.SetPosition(place.played.x, place.played.y);
        record.played.DrawM(canvas);
    }
    if (record.player != nullptr)
    {
        canvas->Translate(static_cast<float>(place.avatar.x), static_cast<float>(place.avatar.y));
        record.player->PreparePicture();
        record.player->SetPictureMode(0);
        record.player->SetPictureLayout(place.pictureLayout);
        RenderPlayer(canvas, &record, place.seatLayout, place.seatDx, place.seatDy);
        canvas->SetTextColor(kWhite);
        if (!record.ready)
            canvas->DrawText("准备中...", 0, 0, nullptr, false, 0);
        if (record.playerId == m_landlord && m_landlordMark != nullptr)
        {
            const Point mark = LandlordMarkPlace(r, m_landlordMark->GetHeight());
            KelDrawTextureAt(canvas, m_landlordMark.get(), mark.x, mark.y);
        }
        char count[32];
        std::snprintf(count, sizeof count, place.countFormat, record.hand.GetCardNum());
        canvas->DrawText(count, r == 0 ? 20 : -15, 42, nullptr, false, 0);
        canvas->Translate(-static_cast<float>(place.avatar.x), -static_cast<float>(place.avatar.y));
    }
    if (m_countDown != nullptr && (record.playerId == m_currentPlayer || record.playerId == m_currentBidder))
        m_countDown->SetPosM(place.countDown.x, place.countDown.y);
    const bool passed = !record.history.empty() && m_freshLead == 0 && record.played.GetCardNum() == 0 &&
                        m_passMark != nullptr;
    if (r != 0)
    {
        if (passed)
            KelDrawTextureAt(canvas, m_passMark.get(), place.passMark.x, place.passMark.y);
        return;
    }
    record.played.SetDirection(GameCardGroupCL::kRow);
    record.played.SetAlign(GameCardGroupCL::kAlignCentre);
    record.played.SetPosition(417, m_h - 285);
    record.played.DrawM(canvas);
    record.played.SetSelectFlag(0);
    record.hand.SetDirection(GameCardGroupCL::kRow);
    record.hand.SetAlign(GameCardGroupCL::kAlignCentre);
    record.hand.SetPosition(447, m_h - 200);
    record.hand.DrawM(canvas);
    if (passed && !m_functionBar->GetShowState() && m_notActed == 0)
        KelDrawTextureAt(canvas, m_passMark.get(), place.passMark.x, place.passMark.y);
}

// The mouse.

bool CDlgGameWndKavdorTwoCL::MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    const bool passOn = DlgGameWndCardBaseCL::MouseMessageM(window, message, wparam, lparam);
    // Outside the window (the base lets the message through): nothing of the hand is hit.
    if (passOn || (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK))
        return passOn;
    KavdorSeatRecord* self = SeatRecord(GetSelfSeat());
    if (self == nullptr || !IsOwn(*self))
        return passOn;
    const POINT pt = ChangeScreenToClientM(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
    GameCardItemCL* card = self->hand.GetCard(static_cast<int>(pt.x), static_cast<int>(pt.y));
    if (message == WM_LBUTTONDOWN)
    {
        if (card != nullptr && App().IsGameRuning() != 0)
            card->SetCardSelect(card->GetSelectFlag() != 0 ? 0 : 1);
        return passOn;
    }
    if (card == nullptr)
    {
        self->hand.SetSelectFlag(0);
        return passOn;
    }
    const uint8_t face = card->GetFace();
    for (int i = 0; i < self->hand.GetCardNum(); ++i)
        if (self->hand.GetCard(i)->GetFace() == face)
            self->hand.GetCard(i)->SetCardSelect(1);
    return passOn;
    KEL_CATCH
}
