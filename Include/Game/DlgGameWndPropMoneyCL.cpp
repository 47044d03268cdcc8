#include "DlgGameWndPropMoneyCL.h"

#include <cstdint>

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelWnd2DButtonCL.h"
#include "Win32/Shell.h"

namespace
{
const char kRecharge[] = "btn_recharge";
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 20;
} // namespace

DlgGameWndPropMoneyCL::DlgGameWndPropMoneyCL()
    : KelMessageBoxCL(kName, "互动道具购买窗口", "很抱歉，您的账户余额不足。如要充值请点击充值按钮！",
                      KWS_MB_OK)
{
    KEL_TRY
    // The recharge button at the left of the box's OK button.
    const int y = m_h - 40;
    if (auto* ok = dynamic_cast<KelWnd2DBaseCL*>(FindChildM("messageBox_ok")))
        ok->SetPosM(m_w / 2 + 10, y);
    if (KelWnd2DButtonCL* recharge = CreateConfigButton(
            kRecharge, this, "button", m_w / 2 - 10 - kButtonWidth, y, kButtonWidth, kButtonHeight))
    {
        recharge->SetTextM("充值");
        recharge->SetMsgFunM(
            KWM_LCLICK, boost::bind(&DlgGameWndPropMoneyCL::OnClickRecharge, this, boost::placeholders::_1));
    }
    KEL_CATCH
}

DlgGameWndPropMoneyCL::~DlgGameWndPropMoneyCL() = default;

void DlgGameWndPropMoneyCL::OnClickRecharge(KelWndMsg)
{
    KEL_TRY
    HINSTANCE opened = ShellExecuteA(nullptr, "open", "iexplore", kPaymentPage, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<uintptr_t>(opened) <= 32)
        KelLogPrintf("the payment page did not open (%u)",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(opened)));
    CloseM();
    KEL_CATCH
}
