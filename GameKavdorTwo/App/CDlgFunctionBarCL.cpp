#include "CDlgFunctionBarCL.h"

#include <algorithm>
#include <cassert>

#include <boost/bind/bind.hpp>

#include "CGameCardKavdorTwoCL.h"
#include "KelGuard.h"
#include "KelWnd2DButtonCL.h"
#include "TableWindows.h"

namespace
{
// Every button's top edge, below the bar's origin.
constexpr int kRowY = 10;
} // namespace

CDlgFunctionBarCL::CDlgFunctionBarCL(KelWndBaseCL* parent) : KelWnd2DBaseCL("CDlgFunctionBarCL", parent, 0)
{
    KEL_TRY
    struct ButtonSpec
    {
        KelWnd2DButtonCL* CDlgFunctionBarCL::*field;
        const char* imageId;
        const char* set;
        const char* name;
        void (CDlgFunctionBarCL::*click)(KelWndMsg);
    };
    static const ButtonSpec kButtons[] = {
        {&CDlgFunctionBarCL::m_ready, "kaishiBtn", "gameWndEX", "m_ready", &CDlgFunctionBarCL::OnClickReady},
        {&CDlgFunctionBarCL::m_callScore1, "gameTable_call1", "kavdortwoTextureInfo", "m_callScore1",
         &CDlgFunctionBarCL::OnClickCallScore1},
        {&CDlgFunctionBarCL::m_callScore2, "gameTable_call2", "kavdortwoTextureInfo", "m_callScore2",
         &CDlgFunctionBarCL::OnClickCallScore2},
        {&CDlgFunctionBarCL::m_callScore3, "gameTable_call3", "kavdortwoTextureInfo", "m_callScore3",
         &CDlgFunctionBarCL::OnClickCallScore3},
        {&CDlgFunctionBarCL::m_callNo, "gameTable_callNo", "kavdortwoTextureInfo", "m_callNo",
         &CDlgFunctionBarCL::OnClickCallNo},
        {&CDlgFunctionBarCL::m_outCard, "gameTable_outCard", "kavdortwoTextureInfo", "m_outCard",
         &CDlgFunctionBarCL::OnClickOutCard},
        {&CDlgFunctionBarCL::m_unOutCard, "gameTable_jump", "kavdortwoTextureInfo", "m_unOutCard",
         &CDlgFunctionBarCL::OnClickUnOutCard},
        {&CDlgFunctionBarCL::m_hint, "gameTable_hint", "kavdortwoTextureInfo", "m_hint",
         &CDlgFunctionBarCL::OnClickHint},
    };
    // The pictures of all eight lie in the host's folder, the game's set among them.
    GetApp()->UseFrameImagePath();
    for (const ButtonSpec& spec : kButtons)
    {
        // The button takes its size from its picture.
        auto* button = new KelWnd2DButtonCL(spec.name, this, spec.set, spec.imageId, 0, 0);
        button->SetMsgFunM(KWM_LCLICK, boost::bind(spec.click, this, boost::placeholders::_1));
        this->*spec.field = button;
    }
    // Nothing is offered until the play window asks.
    ShowFunc(false);
    KEL_CATCH
}

CDlgFunctionBarCL::~CDlgFunctionBarCL() = default;

std::array<KelWnd2DButtonCL*, 8> CDlgFunctionBarCL::Buttons() const
{
    return {m_ready, m_callScore1, m_callScore2, m_callScore3, m_callNo, m_outCard, m_unOutCard, m_hint};
}

void CDlgFunctionBarCL::ShowFunc(bool show)
{
    KEL_TRY
    for (KelWnd2DButtonCL* button : Buttons())
    {
        assert(button != nullptr);
        button->ShowM(show);
    }
    m_showState = show ? 1 : 0;
    KEL_CATCH
}

void CDlgFunctionBarCL::ShowReady(bool show)
{
    KEL_TRY
    ShowFunc(false);
    m_ready->ShowM(show);
    m_ready->SetPosM((m_w - m_ready->GetSizeM().first) / 2, kRowY);
    KEL_CATCH
}

void CDlgFunctionBarCL::ShowOutCard(bool show, bool passAllowed)
{
    KEL_TRY
    ShowFunc(false);
    m_outCard->ShowM(show);
    m_unOutCard->ShowM(show);
    m_hint->ShowM(show);
    const int b = m_outCard->GetSizeM().first;
    const int middle = (m_w - b) / 2;
    m_outCard->SetPosM(middle - b - 20, kRowY);
    m_unOutCard->SetPosM(middle + 10, kRowY);
    m_hint->SetPosM(middle + b + 40, kRowY);
    if (!passAllowed)
    {
        // Play takes the middle place that pass has otherwise.
        m_outCard->SetPosM(middle + 10, kRowY);
        m_unOutCard->ShowM(false);
        m_hint->ShowM(false);
    }
    m_showState = show ? 1 : 0;
    KEL_CATCH
}

void CDlgFunctionBarCL::ShowCall(bool show, int)
{
    KEL_TRY
    TablePlayWindow* play = PlayWindow();
    if (play == nullptr)
        return;
    ShowFunc(false);
    const int b = m_callScore1->GetSizeM().first;
    const int middle = (m_w - b) / 2;
    m_callScore1->SetPosM(middle - 2 * b - 10, kRowY);
    m_callScore2->SetPosM(middle - b + 20, kRowY);
    m_callScore3->SetPosM(middle + 50, kRowY);
    m_callNo->SetPosM(middle + b + 80, kRowY);
    // A declined bid (-1) and no bid yet (0) leave every bid open.
    int highest = 0;
    for (int seat = 0; seat < 4; ++seat)
        highest = std::max(highest, play->GetSeatCall(seat));
    // After a bid of 3 nothing can be outbid: the bid buttons stay as ShowFunc left them.
    if (highest < 3)
    {
        const std::array<KelWnd2DButtonCL*, 3> bids = {m_callScore1, m_callScore2, m_callScore3};
        for (int points = 1; points <= 3; ++points)
        {
            const bool above = points > highest;
            bids[static_cast<size_t>(points - 1)]->ShowM(above && show);
            bids[static_cast<size_t>(points - 1)]->EnableM(above);
        }
    }
    m_callNo->ShowM(show);
    m_callNo->EnableM(true);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickReady(KelWndMsg)
{
    KEL_TRY
    m_readyNotClicked = 0;
    GetApp()->GetRoomSink().SendReady();
    ShowFunc(false);
    KEL_CATCH
}

void CDlgFunctionBarCL::SendBid(int code)
{
    GetApp()->GetGameSink().SendBid(code);
    ShowFunc(false);
}

void CDlgFunctionBarCL::OnClickCallScore1(KelWndMsg)
{
    KEL_TRY
    SendBid(0);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickCallScore2(KelWndMsg)
{
    KEL_TRY
    SendBid(1);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickCallScore3(KelWndMsg)
{
    KEL_TRY
    SendBid(2);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickCallNo(KelWndMsg)
{
    KEL_TRY
    SendBid(3);
    KEL_CATCH
}

TablePlayWindow* CDlgFunctionBarCL::PlayWindow()
{
    return dynamic_cast<TablePlayWindow*>(GetApp()->GetDlgGameWnd());
}

void CDlgFunctionBarCL::PlayWindowAction(int kind)
{
    if (TablePlayWindow* play = PlayWindow())
        play->OnClickOutCard(kind);
}

void CDlgFunctionBarCL::OnClickOutCard(KelWndMsg)
{
    KEL_TRY
    PlayWindowAction(1);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickUnOutCard(KelWndMsg)
{
    KEL_TRY
    PlayWindowAction(2);
    KEL_CATCH
}

void CDlgFunctionBarCL::OnClickHint(KelWndMsg)
{
    KEL_TRY
    PlayWindowAction(3);
    KEL_CATCH
}
