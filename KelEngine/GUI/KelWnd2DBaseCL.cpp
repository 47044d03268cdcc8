#include "KelWnd2DBaseCL.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "KelCameraCL.h"
#include "KelCanvasCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

namespace
{

constexpr int kNotPressed = 4095;
constexpr char kDeskTopName[] = "UIManager_DeskTop";
// Dragging keeps this many pixels of the desktop between the mouse and its edges.
constexpr int kDragMargin = 10;
// A right button that moved this far in x or y was a drag, not a click.
constexpr int kRightClickSlop = 4;
// Tooltips of windows reaching this far down go above them.
constexpr int kTipLowestTop = 560;
constexpr D3DCOLOR kTipBackground = 0x96000000;
constexpr double kPi = 3.14159265358979323846;

bool IsPressed(const POINT& point)
{
    return point.x != kNotPressed || point.y != kNotPressed;
}

int PowerOfTwoAtLeast(int value)
{
    int power = 1;
    while (power < value && power < (1 << 30))
        power <<= 1;
    return power;
}

int Now()
{
    return static_cast<int>(KelGetElapsedMs());
}

} // namespace

KelWnd2DBaseCL::KelWnd2DBaseCL(const char* name, KelWndBaseCL* parent, DWORD style)
    : KelWndBaseCL(name, parent, style), m_tabName(name != nullptr ? name : "")
{
    KEL_TRY
    SetFontNameM("system");
    KEL_CATCH
}

KelWnd2DBaseCL::~KelWnd2DBaseCL()
{
    try
    {
        if (m_bkBuffer != nullptr)
        {
            m_bkBuffer->ReleaseReference();
            m_bkBuffer = nullptr;
        }
        m_bkCamera.reset();
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

void KelWnd2DBaseCL::RenderM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (!m_visible || !m_shown || canvas == nullptr)
        return;
    SetSelfFontM(canvas);
    canvas->Translate(static_cast<float>(m_x), static_cast<float>(m_y));
    if ((m_style & KWS_BKBUFFER) != 0 && m_bkBuffer != nullptr)
    {
        m_bkBuffer->RenderRect(canvas, 0, 0, m_w, m_h, 0xFFFFFFFF);
        canvas->FlushImages();
    }
    else
    {
        KelWndBaseCL::RenderM(canvas);
    }
    canvas->Translate(static_cast<float>(-m_x), static_cast<float>(-m_y));
    ResumeSelfFontM(canvas);
    KEL_CATCH
}

void KelWnd2DBaseCL::DrawTipM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (m_tip.empty() || canvas == nullptr)
        return;
    const POINT screen = GetPosInScreenM(0, 0);
    const int fontHeight = canvas->GetFontHeight();
    const int textWidth = canvas->GetTextWidth(m_tip.c_str());
    const int tx = screen.x + 4;
    int ty = screen.y + 4 + m_h;
    // Near the bottom of the screen there is no room below the window.
    if (screen.y + 4 + m_h >= kTipLowestTop)
        ty = screen.y + 4 - 12 - fontHeight;
    canvas->FillRect(tx - 4, ty - 4, tx + textWidth + 4, ty + fontHeight + 4, kTipBackground);
    canvas->SetTextColor(m_tipColor);
    canvas->DrawText(m_tip.c_str(), tx, ty, nullptr, false, 0);
    canvas->FlushText();
    KEL_CATCH
}

void KelWnd2DBaseCL::UpDatedataM()
{
    KEL_TRY
    KelWndBaseCL::UpDatedataM();
    UpdateMoveM();
    if ((m_style & KWS_BKBUFFER) == 0)
        return;
    if (m_sizeChanged)
    {
        m_sizeChanged = false;
        CreateBkBuffer();
    }
    if (m_bkBuffer != nullptr && KelGetCurrentScreen() != nullptr)
    {
        // Read even when dirty anyway: reading clears it, and one re-draw covers both.
        const bool recreated = m_bkBuffer->BeRecreated();
        if (m_bkDirty || recreated)
            RedrawBkBuffer();
    }
    KEL_CATCH
}

void KelWnd2DBaseCL::RedrawBkBuffer()
{
    KEL_TRY
    KelScreenCL* screen = KelGetCurrentScreen();
    KelCanvasCL* canvas = screen != nullptr ? screen->GetCanvas() : nullptr;
    // A paused screen has no canvas: nothing was tried, so the picture stays due.
    if (canvas == nullptr)
        return;
    canvas->FlushImages();
    canvas->FlushLines();
    canvas->FlushText();
    if (m_bkCamera == nullptr)
        m_bkCamera = std::make_unique<KelCameraCL>(screen->GetDevice());
    m_bkCamera->SetSize(m_w, m_h);
    const KelRect rect(0, 0, m_w, m_h);
    if (m_bkCamera->BeginRenderToImage(m_bkBuffer, &rect, false))
    {
        SetSelfFontM(canvas);
        float originX = 0.0f;
        float originY = 0.0f;
        canvas->GetOrigin(&originX, &originY);
        canvas->SetOrigin(0.0f, 0.0f);
        KelWndBaseCL::RenderM(canvas);
        canvas->SetOrigin(originX, originY);
        ResumeSelfFontM(canvas);
        // The batches go into the image while it is still the target; text left for the frame's
        // own flush would land on the screen instead.
        canvas->FlushImages();
        canvas->FlushLines();
        canvas->FlushText();
        m_bkCamera->EndRenderToImage(3);
        canvas->FlushImages();
        canvas->FlushLines();
        canvas->FlushText();
    }
    m_bkDirty = false;
    KEL_CATCH
}

void KelWnd2DBaseCL::Invalidate()
{
    KEL_TRY
    if ((m_style & KWS_BKBUFFER) != 0)
        m_bkDirty = true;
    if (m_parent != nullptr)
        m_parent->Invalidate();
    KelUIManagerCL::GetInstance()->SetRedrawM(true);
    KEL_CATCH
}

bool KelWnd2DBaseCL::PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    switch (message)
    {
    case WM_KEYDOWN:
        if (wparam == VK_TAB && m_tabStop)
        {
            // The next tab stop among the siblings, wrapping round; at the latest this window.
            KelWndBaseCL* next = FindBrotherM(m_tabName.c_str());
            const size_t siblings = m_parent != nullptr ? m_parent->GetChildren().size() : 0;
            for (size_t step = 0; next != nullptr && next != this && step < siblings; ++step)
            {
                auto* candidate = dynamic_cast<KelWnd2DBaseCL*>(next);
                if (candidate != nullptr && candidate->IsTabStopM())
                    break;
                next = FindBrotherM(next->GetNameM().c_str());
            }
            auto* target = dynamic_cast<KelWnd2DBaseCL*>(next);
            if (target != nullptr && (target == this || target->IsTabStopM()))
                target->SetFocusM(true);
        }
        return true;
    case WM_KEYUP:
        KeyUpM(wparam, lparam);
        return true;
    case WM_CHAR:
        return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return MouseMessageM(window, message, wparam, lparam);
    case WM_MOUSEWHEEL:
    {
        POINT point{static_cast<LONG>(LOWORD(static_cast<uintptr_t>(lparam))),
                    static_cast<LONG>(HIWORD(static_cast<uintptr_t>(lparam)))};
        ScreenToClient(window, &point);
        point = ChangeScreenToClientM(point.x, point.y);
        if (!PtInWindowM(point.x, point.y))
            return true;
        const bool result = MouseWheelM(wparam, point);
        SendMessageM(KWM_MOUSEWHEEL, KelWndMsg{this, static_cast<int>(wparam), point.x, point.y});
        return result;
    }
    default:
        return SendMsgToChildM(window, message, wparam, lparam);
    }
    KEL_CATCH
}

bool KelWnd2DBaseCL::MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    const int x = GET_X_LPARAM(lparam);
    const int y = GET_Y_LPARAM(lparam);
    POINT pt = ChangeScreenToClientM(x, y);
    m_mouseIn = PtInWindowM(pt.x, pt.y);

    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    const bool forced = manager->GetCaptureWndM() != nullptr && manager->GetCaptureNameM() == m_name;

    if (!forced)
    {
        // A buffered window shows nothing of its children outside itself, so they cannot be hit
        // there.
        if (m_mouseIn || (m_style & KWS_BKBUFFER) == 0)
            if (!SendMsgToChildM(window, message, wparam, lparam))
                return false;
        if (!m_mouseIn)
            return true;
    }

    TakeHoverM(wparam, pt);
    const KelWndMsg msg{this, static_cast<int>(wparam), pt.x, pt.y};
    switch (message)
    {
    case WM_MOUSEMOVE:
        OnMouseMoveMessageM(wparam, x, y);
        break;
    case WM_LBUTTONDOWN:
        manager->SetCaptureWndM(this);
        m_leftPress = pt;
        LButtonDownM(wparam, pt);
        SendMessageM(KWM_LBUTTONDOWN, msg);
        break;
    case WM_LBUTTONUP:
        OnLeftButtonUpMessageM(wparam, pt);
        break;
    case WM_LBUTTONDBLCLK:
        LButtonDblClkM(wparam, pt);
        SendMessageM(KWM_LBUTTONDBLCLK, msg);
        break;
    case WM_RBUTTONDOWN:
        manager->SetCaptureWndM(this);
        m_rightPress = pt;
        RButtonDownM(wparam, pt);
        SendMessageM(KWM_RBUTTONDOWN, msg);
        break;
    case WM_RBUTTONUP:
        OnRightButtonUpMessageM(wparam, pt);
        break;
    case WM_RBUTTONDBLCLK:
        RButtonDblClkM(wparam, pt);
        SendMessageM(KWM_RBUTTONDBLCLK, msg);
        break;
    case WM_MOUSEWHEEL:
        MouseWheelM(wparam, pt);
        SendMessageM(KWM_MOUSEWHEEL, msg);
        break;
    default:
        break;
    }
    // The deepest window under the mouse takes the message; the desktop lets it through.
    return m_name == kDeskTopName;
    KEL_CATCH
}

void KelWnd2DBaseCL::TakeHoverM(WPARAM wparam, POINT pt)
{
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    const std::string hover = manager->GetHoverNameM();
    if (hover != m_name)
    {
        if (!HasWndM(hover.c_str()))
        {
            MouseInM(wparam, pt);
            SendMessageM(KWM_MOUSEIN, KelWndMsg{this, static_cast<int>(wparam), pt.x, pt.y});
        }
        KelWndBaseCL* left = manager->GetHoverWndM();
        if (!IsChildOfM(hover.c_str()) && left != nullptr)
        {
            left->MouseOutM(wparam, pt);
            left->SendMessageM(KWM_MOUSEOUT, KelWndMsg{left, static_cast<int>(wparam), pt.x, pt.y});
        }
    }
    manager->SetHoverWndM(this);
}

void KelWnd2DBaseCL::OnMouseMoveMessageM(WPARAM wparam, int x, int y)
{
    POINT pt = ChangeScreenToClientM(x, y);
    if (KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM())
    {
        // A window dragged or sized by the mouse never leaves the desktop entirely.
        const std::pair<int, int> size = desktop->GetSizeM();
        x = std::min(std::max(x, kDragMargin), size.first - kDragMargin);
        y = std::min(std::max(y, kDragMargin), size.second - kDragMargin);
        pt = ChangeScreenToClientM(x, y);
    }
    if (IsPressed(m_leftPress) && m_dragMode == 1 && CanDragM(m_leftPress))
    {
        // The point is in the window's own coordinates, which move with it: the press point
        // stays under the mouse.
        SetPosM(m_x + pt.x - m_leftPress.x, m_y + pt.y - m_leftPress.y);
        OnMoveM();
    }
    else if (IsPressed(m_rightPress) && m_dragMode == 2 && CanDragM(m_rightPress))
    {
        SetPosM(m_x + pt.x - m_rightPress.x, m_y + pt.y - m_rightPress.y);
        OnMoveM();
    }
    else if (IsPressed(m_leftPress))
    {
        ChangeWindowSizeM(pt, m_leftPress);
    }
    MouseMoveM(wparam, pt);
    SendMessageM(KWM_MOUSEMOVE, KelWndMsg{this, static_cast<int>(wparam), pt.x, pt.y});
}

void KelWnd2DBaseCL::OnLeftButtonUpMessageM(WPARAM wparam, POINT pt)
{
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    const KelWndMsg msg{this, static_cast<int>(wparam), pt.x, pt.y};
    manager->SetCaptureWndM(nullptr);
    const std::pair<int, int> size = GetSizeM();
    if (pt.x >= 0 && pt.y >= 0 && pt.x <= size.first && pt.y <= size.second)
    {
        manager->SetFocusWndM(this);
        LClickM(wparam, pt);
        SendMessageM(KWM_LCLICK, msg);
    }
    LButtonUpM(wparam, pt);
    m_leftPress = POINT{kNotPressed, kNotPressed};
    SendMessageM(KWM_LBUTTONUP, msg);
}

void KelWnd2DBaseCL::OnRightButtonUpMessageM(WPARAM wparam, POINT pt)
{
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    const KelWndMsg msg{this, static_cast<int>(wparam), pt.x, pt.y};
    manager->SetCaptureWndM(nullptr);
    if (std::abs(pt.x - m_rightPress.x) < kRightClickSlop &&
        std::abs(pt.y - m_rightPress.y) < kRightClickSlop)
    {
        manager->SetFocusWndM(this);
        RClickM(wparam, pt);
        SendMessageM(KWM_RCLICK, msg);
    }
    RButtonUpM(wparam, pt);
    m_rightPress = POINT{kNotPressed, kNotPressed};
    SendMessageM(KWM_RBUTTONUP, msg);
}

std::pair<int, int> KelWnd2DBaseCL::GetSizeM()
{
    return {m_w, m_h};
}

KelRect KelWnd2DBaseCL::GetClientRectM()
{
    return KelRect(0, 0, m_w, m_h);
}

KelRect KelWnd2DBaseCL::GetScreenRectM()
{
    KEL_TRY
    const POINT corner = GetPosInScreenM(0, 0);
    return KelRect(corner.x, corner.y, corner.x + m_w, corner.y + m_h);
    KEL_CATCH
}

bool KelWnd2DBaseCL::PtInWindowM(int x, int y)
{
    return x >= 0 && x <= m_w && y >= 0 && y <= m_h;
}

void KelWnd2DBaseCL::SetSelfFontM(KelCanvasCL* canvas)
{
    KEL_TRY
    if ((m_style & KWS_SELFFONT) == 0 || canvas == nullptr)
        return;
    m_savedFontName = canvas->GetFontName();
    if (m_fontName.empty())
        m_fontName = m_savedFontName;
    if (m_fontName != m_savedFontName)
        canvas->SetFont(m_fontName.c_str());
    KEL_CATCH
}

void KelWnd2DBaseCL::ResumeSelfFontM(KelCanvasCL* canvas)
{
    KEL_TRY
    if ((m_style & KWS_SELFFONT) == 0 || canvas == nullptr)
        return;
    if (m_fontName != m_savedFontName)
        canvas->SetFont(m_savedFontName.c_str());
    KEL_CATCH
}

void KelWnd2DBaseCL::SetPosM(int x, int y)
{
    m_x = x;
    m_y = y;
}

void KelWnd2DBaseCL::SetSizeM(int width, int height)
{
    KEL_TRY
    const bool changed = width != m_w || height != m_h;
    m_w = width;
    m_h = height;
    Invalidate();
    if (changed)
        m_sizeChanged = true;
    OnSizeChangeM(this);
    KEL_CATCH
}

std::pair<int, int> KelWnd2DBaseCL::GetPosM()
{
    return {m_x, m_y};
}

POINT KelWnd2DBaseCL::GetPosInScreenM(int dx, int dy)
{
    KEL_TRY
    POINT point{m_x + dx, m_y + dy};
    if (auto* parent = dynamic_cast<KelWnd2DBaseCL*>(m_parent))
    {
        const POINT corner = parent->GetPosInScreenM(0, 0);
        point.x += corner.x;
        point.y += corner.y;
    }
    return point;
    KEL_CATCH
}

POINT KelWnd2DBaseCL::ChangeScreenToClientM(int x, int y)
{
    KEL_TRY
    const POINT corner = GetPosInScreenM(0, 0);
    return POINT{x - corner.x, y - corner.y};
    KEL_CATCH
}

void KelWnd2DBaseCL::SetDragLeftM()
{
    m_dragMode = 1;
}

void KelWnd2DBaseCL::SetDragRightM()
{
    m_dragMode = 2;
}

void KelWnd2DBaseCL::SetNoDragM()
{
    m_dragMode = 0;
}

void KelWnd2DBaseCL::SetFillColorM(D3DCOLOR color)
{
    m_fillColor = color;
}

bool KelWnd2DBaseCL::IsMouseInM()
{
    return m_mouseIn;
}

void KelWnd2DBaseCL::SetFontNameM(const std::string& name)
{
    m_fontName = name;
    AddStyleM(KWS_SELFFONT);
}

std::string& KelWnd2DBaseCL::GetFontNameM()
{
    return m_fontName;
}

KelFontCL* KelWnd2DBaseCL::GetSelfFontM()
{
    KEL_TRY
    return KelGetFont(m_fontName.c_str());
    KEL_CATCH
}

void KelWnd2DBaseCL::CreateBkBuffer()
{
    KEL_TRY
    if ((m_style & KWS_BKBUFFER) == 0)
        return;
    if (m_bkBuffer != nullptr)
    {
        m_bkBuffer->ReleaseReference();
        m_bkBuffer = nullptr;
    }
    const int width = PowerOfTwoAtLeast(m_w);
    const int height = PowerOfTwoAtLeast(m_h);
    char name[512];
    std::snprintf(name, sizeof(name), "bkBuffer_%s_%d_%d", m_name.c_str(), width, height);
    m_bkBuffer = KelResourceManagerCL::GetInstance()->CreateImageM(
        name, static_cast<UINT>(width), static_cast<UINT>(height), 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
        D3DPOOL_DEFAULT);
    m_bkDirty = true;
    KEL_CATCH
}

void KelWnd2DBaseCL::SetShowMoveM(int x1, int y1, int x2, int y2)
{
    m_showFrom = POINT{x1, y1};
    m_showTo = POINT{x2, y2};
}

void KelWnd2DBaseCL::StartShowMoveM()
{
    KEL_TRY
    m_moveMode = 1;
    m_moveStart = Now();
    ShowM(true);
    KEL_CATCH
}

void KelWnd2DBaseCL::SetHideMoveM(int x1, int y1, int x2, int y2)
{
    m_hideFrom = POINT{x1, y1};
    m_hideTo = POINT{x2, y2};
}

void KelWnd2DBaseCL::StartHideCloseM()
{
    m_moveMode = 2;
    m_moveStart = Now();
}

void KelWnd2DBaseCL::StartHideMoveM()
{
    m_moveMode = 3;
    m_moveStart = Now();
}

void KelWnd2DBaseCL::UpdateMoveM()
{
    KEL_TRY
    if (m_moveMode == 0)
        return;
    const double t = static_cast<double>(Now() - m_moveStart);
    const double duration = static_cast<double>(m_moveTime);
    double x = 0.0;
    double y = 0.0;
    if (m_moveMode == 1)
    {
        // Without a duration there is nothing to play: the window goes straight to its place.
        if (t > duration || m_moveTime <= 0)
        {
            m_moveMode = 0;
            x = m_showTo.x;
            y = m_showTo.y;
        }
        else
        {
            // Slows down towards the end.
            const double f = std::sin(t * (kPi / 2.0) / duration);
            x = m_showFrom.x + (m_showTo.x - m_showFrom.x) * f;
            y = m_showFrom.y + (m_showTo.y - m_showFrom.y) * f;
        }
    }
    else
    {
        const double ratio = static_cast<double>(m_shakeRatio);
        const double shake = ratio * duration;
        if (t > (ratio + 1.0) * duration || m_moveTime <= 0)
        {
            const bool close = m_moveMode == 2;
            m_moveMode = 0;
            SetPosM(m_showTo.x, m_showTo.y);
            ShowM(false);
            if (close)
                CloseM();
            KelUIManagerCL::GetInstance()->SetRedrawM(true);
            return;
        }
        if (t < shake && ratio > 0.0)
        {
            // One full swing around the start, towards the destination and back past it.
            const double range = static_cast<double>(m_shakeRange);
            const double px = m_hideFrom.x + (m_hideTo.x - m_hideFrom.x) * range;
            const double py = m_hideFrom.y + (m_hideTo.y - m_hideFrom.y) * range;
            const double f = std::sin(t * 2.0 * kPi / shake);
            x = m_hideFrom.x + (px - m_hideFrom.x) * f;
            y = m_hideFrom.y + (py - m_hideFrom.y) * f;
        }
        else
        {
            const double f = std::sin((t - shake) * (kPi / 2.0) / duration);
            x = m_hideFrom.x + (m_hideTo.x - m_hideFrom.x) * f;
            y = m_hideFrom.y + (m_hideTo.y - m_hideFrom.y) * f;
        }
    }
    SetPosM(static_cast<int>(x), static_cast<int>(y));
    KelUIManagerCL::GetInstance()->SetRedrawM(true);
    KEL_CATCH
}

bool KelWnd2DBaseCL::IsMoveEndM()
{
    return m_moveMode == 0;
}

void KelWnd2DBaseCL::SetMoveTimeM(int ms)
{
    m_moveTime = ms;
}

void KelWnd2DBaseCL::SetShakeRatioM(float ratio)
{
    m_shakeRatio = ratio;
}

void KelWnd2DBaseCL::SetShakeRangeM(float range)
{
    m_shakeRange = range;
}

void KelWnd2DBaseCL::SetTipM(const std::string& text)
{
    m_tip = text;
}

void KelWnd2DBaseCL::SetTipColorM(D3DCOLOR color)
{
    m_tipColor = color;
}

KelWndBaseCL* KelWnd2DBaseCL::FindBrotherM(const char* name)
{
    KEL_TRY
    if (m_parent == nullptr)
        return nullptr;
    return m_parent->FindNextChildM(name);
    KEL_CATCH
}

void KelWnd2DBaseCL::SetTabStopM(bool tabStop)
{
    m_tabStop = tabStop;
}

bool KelWnd2DBaseCL::IsTabStopM()
{
    return m_tabStop;
}
