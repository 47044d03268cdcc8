#include "DlgGameWndPanelCL.h"

#include "KelGuard.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DTextListCL.h"

DlgGameWndPanelCL::DlgGameWndPanelCL(const char* name, const char* title, int width, int height)
    : KelWnd2DDialogCL(name, KelUIManagerCL::GetInstance()->GetDeskTopM(), 0, 0, width, height, KWS_SYSCLOSE)
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
    const int top = ContentTop();
    new KelWnd2DFrameCL("panel_back", this, "GuiII", "DlgBack", -1, top, m_w - 3, m_h - top - 7);
    KEL_CATCH
}

DlgGameWndPanelCL::~DlgGameWndPanelCL() = default;

int DlgGameWndPanelCL::ContentTop()
{
    return GetTitleRectM().Height();
}

KelWnd2DTextListCL* DlgGameWndPanelCL::AddTextBlock(const char* name, int x, int y, int w, int h)
{
    auto* block = new KelWnd2DTextListCL(name, this, x, y, w, h, 0);
    block->SetLineTextColorM(0xFFFFFFFF);
    block->SetLineBackColorM(0);
    block->SetLineBorderColorM(0);
    return block;
}

void DlgGameWndPanelCL::AddCentredOk()
{
    CreateOKButton();
    if (auto* ok = dynamic_cast<KelWnd2DBaseCL*>(GetOKButton()))
    {
        const auto [w, h] = ok->GetSizeM();
        ok->SetPosM((m_w - w) / 2, m_h - h - 12);
    }
}
