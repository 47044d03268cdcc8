#include "DlgIMChatZoomCL.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include <boost/bind/bind.hpp>

#include "DlgGameWndCL.h"
#include "HostInterfaces.h"
#include "KelCameraCL.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "KelSpriteCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
// The video frame is as large as the host's pictures, and its image the next powers of two.
constexpr int kFrameWidth = DlgGameWndCL::kPictureWidth;
constexpr int kFrameHeight = DlgGameWndCL::kPictureHeight;
constexpr int kImageWidth = 128;
constexpr int kImageHeight = 128;
static_assert(kFrameWidth <= kImageWidth && kFrameHeight <= kImageHeight);
// The frame's margin inside the window's edges.
constexpr int kEdge = 4;
// Others' seats are drawn with layout 4.
constexpr int kLayout = 4;
} // namespace

DlgIMChatZoomCL* DlgIMChatZoomCL::FindOpen()
{
    KelWnd2DBaseCL* desktop = TableDesktop();
    KelWndBaseCL* window = desktop != nullptr ? desktop->FindChildM(kName) : nullptr;
    return window != nullptr && window->IsAliveM() ? dynamic_cast<DlgIMChatZoomCL*>(window) : nullptr;
}

DlgIMChatZoomCL* DlgIMChatZoomCL::OpenFor(int playerId, VarnokPlayer* player, int x, int y)
{
    KelWnd2DBaseCL* desktop = TableDesktop();
    if (desktop == nullptr || player == nullptr)
        return nullptr;
    if (DlgIMChatZoomCL* open = FindOpen())
    {
        open->ShowPlayer(playerId, player);
        open->BringToTopM();
        return open;
    }
    // The window's frame is the host's, in the frame's image directory.
    TableApp()->UseFrameImagePath();
    return new DlgIMChatZoomCL(desktop, playerId, player, x, y);
}

void DlgIMChatZoomCL::ShowPlayer(int playerId, VarnokPlayer* player)
{
    assert(player != nullptr);
    if (playerId == m_playerId)
        return;
    m_playerId = playerId;
    m_player = player;
    // Nothing of the last player's video stays on the screen.
    m_copied = false;
}

DlgIMChatZoomCL::DlgIMChatZoomCL(KelWndBaseCL* desktop, int playerId, VarnokPlayer* player, int x, int y)
    : KelWnd2DDialogCL(kName, desktop, x, y, 0, 0, KWS_SYSFUNC | KWS_SYSCLOSE), m_playerId(playerId),
      m_player(player)
{
    KEL_TRY
    assert(player != nullptr);
    SetTitleM("视频窗口");
    SetDragLeftM();
    if (KelWndBaseCL* zoom = FindChildM("sysBtnFunc"))
    {
        zoom->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgIMChatZoomCL::OnZoomM, this, boost::placeholders::_1));
        if (auto* button = dynamic_cast<KelWnd2DButtonCL*>(zoom))
            button->SetTipM("缩放");
    }
    FitWindow();
    KEL_CATCH
}

DlgIMChatZoomCL::~DlgIMChatZoomCL()
{
    try
    {
        if (m_frame != nullptr)
            m_frame->ReleaseReference();
        m_frame = nullptr;
        m_camera.reset();
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

void DlgIMChatZoomCL::CloseM()
{
    KEL_TRY
    // A closed window stays in the desktop's list until the desktop's next update, and a window
    // of a name still found there is refused: the closed one gives the name up at once, so that a
    // zoom button clicked meanwhile opens a new window.
    if (GetNameM() == kName)
    {
        char name[64];
        std::snprintf(name, sizeof name, "%s_closed_%p", kName, static_cast<void*>(this));
        SetNameM(name);
    }
    KelWnd2DDialogCL::CloseM();
    KEL_CATCH
}

void DlgIMChatZoomCL::OnZoomM(KelWndMsg)
{
    KEL_TRY
    m_zoomStep = (m_zoomStep + 1) % kZoomCount;
    FitWindow();
    KEL_CATCH
}

void DlgIMChatZoomCL::FitWindow()
{
    m_Width = kFrameWidth * GetZoom();
    m_Height = kFrameHeight * GetZoom();
    const int w = m_Width + 2 * kEdge;
    const int h = TitleHeight(this) + m_Height + 2 * kEdge;
    SetSizeM(w, h);
    // The whole window stays on the desktop, whatever corner it grew from.
    if (KelWnd2DBaseCL* desktop = TableDesktop())
    {
        const auto [deskW, deskH] = desktop->GetSizeM();
        const auto [x, y] = GetPosM();
        SetPosM(std::clamp(x, 0, std::max(0, deskW - w)), std::clamp(y, 0, std::max(0, deskH - h)));
    }
    RecomputeTexCoords();
}

void DlgIMChatZoomCL::RecomputeTexCoords()
{
    if (m_frame == nullptr)
        return;
    const auto [imageWidth, imageHeight] = m_frame->GetSizeM();
    if (imageWidth <= 0 || imageHeight <= 0)
        return;
    m_fU = static_cast<float>(kFrameWidth) / static_cast<float>(imageWidth);
    m_fV = static_cast<float>(kFrameHeight) / static_cast<float>(imageHeight);
    KelLogPrintf("DlgIMChatZoomCL m_fU:%f , m_fV:%f,m_Width:%d,m_Height:%d,ImageWidth:%d,ImageHeight:%d",
                 m_fU, m_fV, m_Width, m_Height, imageWidth, imageHeight);
}

bool DlgIMChatZoomCL::MakeFrameImage()
{
    if (m_frame != nullptr)
        return true;
    char name[96];
    std::snprintf(name, sizeof name, "IMChatZoom_%d_%p", m_playerId, static_cast<void*>(this));
    m_frame = KelResourceManagerCL::GetInstance()->CreateImageM(
        name, kImageWidth, kImageHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    if (m_frame == nullptr)
    {
        KelLogPrintf("video zoom: no image for the frame of player %d", m_playerId);
        return false;
    }
    RecomputeTexCoords();
    return true;
}

bool DlgIMChatZoomCL::PlayerIsAtTable()
{
    auto* seats = dynamic_cast<DlgGameWndCL*>(TableApp()->GetDlgGameWnd());
    return seats != nullptr && seats->GetPlayer(m_playerId) != nullptr;
}

void DlgIMChatZoomCL::UpDatedataM()
{
    KEL_TRY
    if (IsAliveM() && !PlayerIsAtTable())
        CloseM();
    if (IsAliveM())
    {
        CopyFrame();
        // A dialog draws from its cached picture: the new frame has to reach it in this update.
        Invalidate();
    }
    KelWnd2DDialogCL::UpDatedataM();
    KEL_CATCH
}

void DlgIMChatZoomCL::CopyFrame()
{
    KelScreenCL* screen = KelGetCurrentScreen();
    KelCanvasCL* canvas = screen != nullptr ? screen->GetCanvas() : nullptr;
    // A paused screen has no canvas: the last frame stays.
    if (canvas == nullptr || !MakeFrameImage())
        return;
    canvas->FlushImages();
    canvas->FlushLines();
    canvas->FlushText();
    if (m_camera == nullptr)
        m_camera = std::make_unique<KelCameraCL>(screen->GetDevice());
    m_camera->SetSize(kImageWidth, kImageHeight);
    const KelRect rect(0, 0, kFrameWidth, kFrameHeight);
    if (!m_camera->BeginRenderToImage(m_frame, &rect, false))
        return;
    float originX = 0.0f;
    float originY = 0.0f;
    canvas->GetOrigin(&originX, &originY);
    canvas->SetOrigin(0.0f, 0.0f);
    // The frame as the seat shows it: the picture and the video over it.
    m_player->DrawPicture(canvas, kLayout, 0, 0);
    m_player->DrawVideo(canvas, kLayout, 0, 0);
    // Into the image while it is still the target.
    canvas->FlushImages();
    canvas->FlushLines();
    canvas->FlushText();
    m_camera->EndRenderToImage(3);
    canvas->SetOrigin(originX, originY);
    m_copied = true;
    if (m_frame->BeRecreated())
        RecomputeTexCoords();
}

bool DlgIMChatZoomCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool children = KelWnd2DDialogCL::DrawM(canvas);
    if (canvas == nullptr || !children || !m_copied || m_frame == nullptr)
        return children;
    const KelRect inner = GetInnerRect();
    const float left = static_cast<float>(inner.left + (inner.Width() - m_Width) / 2);
    const float top = static_cast<float>(inner.top + (inner.Height() - m_Height) / 2);
    const float right = left + static_cast<float>(m_Width);
    const float bottom = top + static_cast<float>(m_Height);
    const KelQuadVertex corners[4] = {{left, top, 0.0f, 0.0f, 0xFFFFFFFF},
                                      {right, top, m_fU, 0.0f, 0xFFFFFFFF},
                                      {right, bottom, m_fU, m_fV, 0xFFFFFFFF},
                                      {left, bottom, 0.0f, m_fV, 0xFFFFFFFF}};
    canvas->DrawQuad(m_frame, corners);
    canvas->FlushImages();
    return children;
    KEL_CATCH
}
