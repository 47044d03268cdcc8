#include "KelMessageBoxCL.h"

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DTextListCL.h"

namespace
{
constexpr int kWidth = 350;
constexpr int kHeight = 150;
const char kOk[] = "messageBox_ok";
const char kCancel[] = "messageBox_cancel";
} // namespace

KelMessageBoxCL::KelMessageBoxCL(const char* name, const char* title, const char* text, DWORD style)
    : KelWnd2DDialogCL(name, KelUIManagerCL::GetInstance()->GetDeskTopM(), 0, 0, kWidth, kHeight,
                       style | KWS_SYSFUNC | KWS_SYSMIN | KWS_SYSCLOSE)
{
    KEL_TRY
    SetPopUpDlgM();
    SetDragLeftM();
    SetTitleM(title != nullptr ? title : "");
    if (KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM())
    {
        const auto [dw, dh] = desktop->GetSizeM();
        SetPosM((dw - m_w) / 2, (dh - m_h) / 2);
    }
    const int t = GetTitleRectM().Height();
    new KelWnd2DFrameCL("KelMessageBoxCL_back", this, "GuiII", "DlgBack", -1, t, m_w - 3, m_h - t - 7);

    std::vector<KelWnd2DButtonCL*> buttons;
    if ((style & KWS_MB_OK) != 0)
    {
        if (KelWnd2DButtonCL* ok = CreateConfigButton(kOk, this, "button", (m_w - 80) / 2, m_h - 40, 80, 20))
        {
            ok->SetTextM("确定");
            buttons.push_back(ok);
        }
    }
    else if ((style & KWS_MB_OKCANCEL) != 0)
    {
        buttons.push_back(
            new KelWnd2DButtonCL(kOk, this, "tongyong", "tongyong_btn_qd", (m_w - 160) / 3, m_h - 50));
        buttons.push_back(new KelWnd2DButtonCL(kCancel, this, "tongyong", "tongyong_btn_qx",
                                               (m_w - 160) / 3 * 2 + 80, m_h - 50));
    }
    for (KelWnd2DButtonCL* button : buttons)
        button->SetMsgFunM(KWM_LCLICK,
                           boost::bind(&KelMessageBoxCL::OnButton, this, boost::placeholders::_1));

    auto* lines = new KelWnd2DTextListCL("message_text", this, m_w / 4, m_h / 3, m_w / 2, m_h / 3, 0);
    lines->SetLineTextColorM(0xFFFFFFFF);
    lines->SetLineBackColorM(0);
    lines->SetLineBorderColorM(0);
    lines->AddLineTextM(text != nullptr ? text : "", 0);
    KEL_CATCH
}

KelMessageBoxCL::~KelMessageBoxCL() = default;

void KelMessageBoxCL::OnButton(KelWndMsg message)
{
    KEL_TRY
    const std::string sender = message.sender != nullptr ? message.sender->GetNameM() : "";
    if (sender == kOk)
        SendMessageM(KWM_MSGBOXOK, KelWndMsg{this, 1, 0, 0});
    else if (sender == kCancel)
        SendMessageM(KWM_MSGBOXCANCEL, KelWndMsg{this, 0, 0, 0});
    CloseM();
    KEL_CATCH
}
