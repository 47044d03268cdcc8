#include "CDlgTableKavdorTwoCL.h"

#include "CDlgGameWndKavdorTwoCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelGuiPieces.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"

CDlgTableKavdorTwoCL::CDlgTableKavdorTwoCL() : DlgTableCL("CDlgTableKavdorTwoCL")
{
    KEL_TRY
    CGameCardKavdorTwoCL* app = GetApp();
    app->UseSelfImagePath();
    KelTextureInfoManagerCL* textures = KelTextureInfoManagerCL::GetInstance();
    m_backFrame = textures->CreateTexture("kavdortwoTextureInfo", "backFrame", true);
    m_logo = textures->CreateTexture("kavdortwoTextureInfo", "GameWnd_logo", true);
    app->UseFrameImagePath();
    KEL_CATCH
}

CDlgTableKavdorTwoCL::~CDlgTableKavdorTwoCL()
{
    if (m_backFrame != nullptr)
        m_backFrame->Release();
    if (m_logo != nullptr)
        m_logo->Release();
}

bool CDlgTableKavdorTwoCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool drawChildren = DlgTableCL::DrawM(canvas);
    canvas->FillRect(0, 0, 800, 600, 0xFF154A5Cu);
    if (m_scale == 0 && m_logo != nullptr)
        KelDrawTextureAt(canvas, m_logo, 794 - m_logo->GetWidth(), 6);
    return drawChildren;
    KEL_CATCH
}

KelWnd2DBaseCL* CDlgTableKavdorTwoCL::CreateGameWnd()
{
    KEL_TRY
    return new CDlgGameWndKavdorTwoCL("DlgGameWndCL", this, *GetApp());
    KEL_CATCH
}
