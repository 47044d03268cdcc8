#include "DlgChatCL.h"

#include "HostInterfaces.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelUIManagerCL.h"

DlgChatCL::DlgChatCL(KelWndBaseCL* parent) : DlgChatBaseCL(kName, parent)
{
    KEL_TRY
    BuildControls(kHeight - kRowHeight);
    m_back = KelCreateGuiTexture("gameWnd", "chat_back");
    if (m_back == nullptr)
        KelLogPrintf("chat: no picture chat_back in gameWnd");
    SetPosM(kX, kY);
    SetSizeM(kWidth, kHeight);
    KEL_CATCH
}

DlgChatCL::~DlgChatCL() = default;

void DlgChatCL::OpenFaces(VarnokPlayer& own)
{
    KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    if (KelWndBaseCL* faces = desktop != nullptr ? desktop->FindChildM(kFaceWindow) : nullptr)
    {
        faces->ShowM(true);
        faces->BringToTopM();
        return;
    }
    own.OpenFacePicker(kFacePickerX, kFacePickerY);
}

bool DlgChatCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (m_back != nullptr)
        KelDrawTextureAt(canvas, m_back.get(), 0, 0);
    return DlgChatBaseCL::DrawM(canvas);
    KEL_CATCH
}
