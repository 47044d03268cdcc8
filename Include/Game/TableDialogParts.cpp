#include "TableDialogParts.h"

#include <cassert>

#include "CGameCardKavdorTwoCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DDialogCL.h"
#include "KelWnd2DEditCL.h"

namespace
{
constexpr int kLabelWidth = 600;
constexpr int kLabelHeight = 20;
} // namespace

VGameCardBaseCL* TableApp()
{
    return GetApp();
}

RoomSink& TableRoomSink()
{
    return TableApp()->GetRoomSink();
}

VarnokPlayer* TableUserPlayer()
{
    VGameCardBaseCL* app = TableApp();
    return app->GetVarnokPlayer(app->GetSelfID());
}

KelWnd2DBaseCL* TableDesktop()
{
    return KelUIManagerCL::GetInstance()->GetDeskTopM();
}

void OpenTableDialog(KelWnd2DDialogCL* dialog)
{
    KEL_TRY
    assert(dialog != nullptr);
    if (dialog->GetParentM() == nullptr)
    {
        // Nobody would ever delete a window outside the tree.
        KelLogPrintf("窗口 %s 没有桌面", dialog->GetNameM().c_str());
        dialog->CloseM();
        KelUIManagerCL::GetInstance()->AdoptRefusedWindowM(dialog);
        return;
    }
    dialog->SetDragLeftM();
    dialog->SetPopUpDlgM();
    KEL_CATCH
}

int TitleHeight(KelWnd2DDialogCL* dialog)
{
    assert(dialog != nullptr);
    return dialog->GetTitleRectM().Height();
}

KelWnd2DFrameCL* AddDialogPanel(KelWnd2DDialogCL* dialog, const char* name, int x, int y, int w, int h)
{
    return new KelWnd2DFrameCL(name, dialog, "GuiII", "DlgBack", x, y, w, h);
}

KelWnd2DLabelCL* AddDialogLabel(KelWnd2DDialogCL* dialog, const char* name, const char* text, D3DCOLOR color,
                                int x, int y)
{
    return new KelWnd2DLabelCL(name, dialog, text, color, x, y, kLabelWidth, kLabelHeight);
}

KelWnd2DButtonCL* AddTextButton(KelWnd2DDialogCL* dialog, const char* name, const char* caption, int x, int y,
                                int w, int h, const KelWndMsgFun& onClick)
{
    KEL_TRY
    KelWnd2DButtonCL* button = CreateConfigButton(name, dialog, "button", x, y, w, h);
    if (button == nullptr)
    {
        KelLogPrintf("按钮 %s 没有界面配置", name);
        return nullptr;
    }
    button->SetTextM(caption);
    button->SetMsgFunM(KWM_LCLICK, onClick);
    return button;
    KEL_CATCH
}

KelWnd2DButtonCL* AddImageButton(KelWnd2DDialogCL* dialog, const char* name, const char* infoName,
                                 const char* imageId, int x, int y, const KelWndMsgFun& onClick)
{
    KEL_TRY
    auto* button = new KelWnd2DButtonCL(name, dialog, infoName, imageId, x, y);
    button->SetMsgFunM(KWM_LCLICK, onClick);
    return button;
    KEL_CATCH
}
