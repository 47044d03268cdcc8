#include "DlgGameBetSetingCL.h"

#include <cstdio>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "RoomSink.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
constexpr int kX = 300;
constexpr int kY = 200;
constexpr int kWidth = 221;
constexpr int kHeight = 133;
const char kStakeFont[] = "TextNumberYellow";
// The stake is centred over a width of 215 (the panel less its rim) at this height.
constexpr int kStakeCentreWidth = 215;
constexpr int kStakeY = 65;
} // namespace

DlgGameBetSetingCL::DlgGameBetSetingCL()
    : KelWnd2DDialogCL("DlgGameBetSetingCL", TableDesktop(), 0, 0, 0, 0, KWS_NOTITLE)
{
    KEL_TRY
    using boost::placeholders::_1;
    // The stake buttons are pictures of the host's image directory.
    TableApp()->UseFrameImagePath();
    SetPosM(kX, kY);
    SetSizeM(kWidth, kHeight);
    const int t = TitleHeight(this);
    AddDialogPanel(this, "DlgGameBetSetingCL", 0, 0, kWidth, kHeight);
    AddDialogLabel(this, "s_back1", "桌面彩票投注(最大为500)", kDialogWhite, 10, t + 10);
    AddImageButton(this, "m_btn1", "gameWndEX", "betWnd_1", 28, t + 40,
                   boost::bind(&DlgGameBetSetingCL::OnClickBtn1, this, _1));
    AddImageButton(this, "m_btn2", "gameWndEX", "betWnd_2", 68, t + 40,
                   boost::bind(&DlgGameBetSetingCL::OnClickBtn2, this, _1));
    AddImageButton(this, "m_btn5", "gameWndEX", "betWnd_5", 108, t + 40,
                   boost::bind(&DlgGameBetSetingCL::OnClickBtn5, this, _1));
    AddImageButton(this, "m_btn10", "gameWndEX", "betWnd_10", 148, t + 40,
                   boost::bind(&DlgGameBetSetingCL::OnClickBtn10, this, _1));
    AddTextButton(this, "m_ok", "确定", 20, t + 95, 60, 20,
                  boost::bind(&DlgGameBetSetingCL::OnClickOK, this, _1));
    AddTextButton(this, "m_zero", "清零", 80, t + 95, 60, 20,
                  boost::bind(&DlgGameBetSetingCL::OnClickZero, this, _1));
    AddTextButton(this, "m_cancel", "直接开始", 140, t + 95, 60, 20,
                  boost::bind(&DlgGameBetSetingCL::OnClickCancel, this, _1));
    OpenTableDialog(this);
    BringToTopM();
    KEL_CATCH
}

DlgGameBetSetingCL::~DlgGameBetSetingCL() = default;

bool DlgGameBetSetingCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool drawChildren = KelWnd2DDialogCL::DrawM(canvas);
    char stake[16];
    std::snprintf(stake, sizeof stake, "%d", m_stake);
    canvas->SetFont(kStakeFont);
    canvas->SetTextColor(kDialogWhite);
    canvas->DrawText(stake, (kStakeCentreWidth - canvas->GetTextWidth(stake)) / 2, kStakeY, nullptr, false,
                     0);
    canvas->SetFont("system");
    return drawChildren;
    KEL_CATCH
}

void DlgGameBetSetingCL::RaiseStake(int step)
{
    VarnokPlayer* user = TableUserPlayer();
    if (user == nullptr)
        return;
    const int raised = m_stake + step;
    if (raised > kMaxStake || user->GetCoins() < raised)
        return;
    m_stake = raised;
    Invalidate();
}

void DlgGameBetSetingCL::OnClickBtn1(KelWndMsg)
{
    KEL_TRY
    RaiseStake(10);
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickBtn2(KelWndMsg)
{
    KEL_TRY
    RaiseStake(20);
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickBtn5(KelWndMsg)
{
    KEL_TRY
    RaiseStake(50);
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickBtn10(KelWndMsg)
{
    KEL_TRY
    RaiseStake(100);
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    TableRoomSink().SendStake(m_stake);
    CloseM();
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickCancel(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}

void DlgGameBetSetingCL::OnClickZero(KelWndMsg)
{
    KEL_TRY
    m_stake = 0;
    Invalidate();
    KEL_CATCH
}
