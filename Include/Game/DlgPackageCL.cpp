#include "DlgPackageCL.h"

#include <boost/bind/bind.hpp>

#include "DlgGameWndCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelTextureCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
const char kButtonSet[] = "gameWndEX";
} // namespace

DlgPackageCL::DlgPackageCL(KelWndBaseCL* parent) : KelWnd2DBaseCL(kName, parent, 0)
{
    KEL_TRY
    SetPosM(kX, kY);
    // The bar's pictures are the host's, in the frame's image directory.
    TableApp()->UseFrameImagePath();
    m_back = KelCreateGuiTexture(kButtonSet, "packagebarBK2");
    if (m_back != nullptr)
        SetSizeM(m_back->GetWidth(), m_back->GetHeight());
    else
        KelLogPrintf("package bar: no picture packagebarBK2 in %s", kButtonSet);
    AddButton("btn_left", "package_left", 5, -6);
    KelWnd2DButtonCL* jifen = AddButton("btn_jifen", "jifenbtn", 35, -7);
    jifen->SetTipM("两小时双倍积分卡");
    jifen->SetMsgFunM(KWM_LCLICK,
                      boost::bind(&DlgPackageCL::OnClickPropJifen, this, boost::placeholders::_1));
    AddButton("btn_right", "package_right", 169, -6);
    KEL_CATCH
}

DlgPackageCL::~DlgPackageCL() = default;

KelWnd2DButtonCL* DlgPackageCL::AddButton(const char* name, const char* image, int x, int y)
{
    return new KelWnd2DButtonCL(name, this, kButtonSet, image, x, y, 4095, 4095, 0);
}

bool DlgPackageCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool drawn = KelWnd2DBaseCL::DrawM(canvas);
    KelDrawTextureAt(canvas, m_back.get(), 0, 0);
    return drawn;
    KEL_CATCH
}

void DlgPackageCL::OnClickPropJifen(KelWndMsg message)
{
    KEL_TRY
    // The play window keeps the user's package and the purchase that goes with it.
    auto* play = dynamic_cast<DlgGameWndCL*>(TableApp()->GetDlgGameWnd());
    if (play == nullptr)
    {
        KelLogPrintf("package bar: no play window for the double-score card");
        return;
    }
    play->OnClickPropPackage(message);
    KEL_CATCH
}
