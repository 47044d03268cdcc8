#include "KelUIManagerCL.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImeCL.h"
#include "KelSystemCL.h"
#include "KelWnd2DBaseCL.h"
#include "KelWndBaseCL.h"
#include "Win32/Messages.h"
#include "Win32/Window.h"

namespace
{
const char kDeskTopName[] = "UIManager_DeskTop";
}

KelUIManagerCL::KelUIManagerCL()
{
    KEL_TRY
    m_ime = std::make_unique<KelImeCL>();
    // The singleton base has already made this manager current, so the desktop (and anything it
    // asks the manager while it is built) talks to this instance.
    m_desktop = std::make_unique<KelWnd2DBaseCL>(kDeskTopName, nullptr, 0);
    KEL_CATCH
}

KelUIManagerCL::~KelUIManagerCL()
{
    // The windows clear their slots and modal entries in this manager while they are deleted, so
    // the members must still be intact here.
    DestroyDeskTopM();
}

void KelUIManagerCL::Reserved() {}

void KelUIManagerCL::AdoptRefusedWindowM(KelWndBaseCL* window)
{
    KEL_TRY
    assert(window != nullptr && window->GetParentM() == nullptr);
    m_refused.emplace_back(window);
    KEL_CATCH
}

void KelUIManagerCL::ForgetRefusedWindowM(KelWndBaseCL* window)
{
    KEL_TRY
    for (std::unique_ptr<KelWndBaseCL>& refused : m_refused)
    {
        if (refused.get() == window)
        {
            // Its own destructor is running: only the ownership goes.
            static_cast<void>(refused.release());
            m_refused.erase(std::remove(m_refused.begin(), m_refused.end(), nullptr), m_refused.end());
            return;
        }
    }
    KEL_CATCH
}

void KelUIManagerCL::DeleteRefusedWindows()
{
    // Taken off the list first: each destructor asks to be forgotten and must find nothing.
    std::vector<std::unique_ptr<KelWndBaseCL>> refused;
    refused.swap(m_refused);
    refused.clear();
}

void KelUIManagerCL::DestroyDeskTopM()
{
    KEL_TRY
    DeleteRefusedWindows();
    // Cleared first, so that a window asking for the desktop while the tree is torn down finds
    // none instead of a half-deleted one.
    std::unique_ptr<KelWnd2DBaseCL> desktop = std::move(m_desktop);
    desktop.reset();
    KEL_CATCH
}

void KelUIManagerCL::RenderM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    // Every window translates relative to its parent, so the tree must start at the corner.
    canvas->SetOrigin(0.0f, 0.0f);
    if (m_desktop != nullptr)
        m_desktop->RenderM(canvas);
    // The popup lives outside the tree and lies above all of it.
    if (m_popup != nullptr)
        m_popup->RenderM(canvas);
    DrawTipM(canvas);
    // The caret (and the input-method boxes) lie above everything.
    m_ime->RenderM(canvas);
    KEL_CATCH
}

bool KelUIManagerCL::SetFocusWndM(KelWndBaseCL* window)
{
    KEL_TRY
    if (window == nullptr)
    {
        // The slot is emptied before the old window hears of it, so that a handler which hands the
        // focus on is not undone afterwards.
        KelWndBaseCL* old = m_focus;
        m_focus = nullptr;
        if (old != nullptr)
            old->SetFocusM(false);
        return true;
    }
    if (m_focus == nullptr)
    {
        m_focus = window;
        window->SetFocusM(true);
        return true;
    }
    // A window taking the focus calls back here; finding itself focused (or a window of the same
    // name) ends the exchange.
    if (window != m_focus && window->GetNameM() != m_focus->GetNameM())
    {
        KelWndBaseCL* old = m_focus;
        m_focus = window;
        old->SetFocusM(false);
        window->SetFocusM(true);
    }
    return true;
    KEL_CATCH
}

KelWndBaseCL* KelUIManagerCL::GetFocusWndM()
{
    return m_focus;
}

void KelUIManagerCL::SetCaptureWndM(KelWndBaseCL* window)
{
    m_capture = window;
}

KelWndBaseCL* KelUIManagerCL::GetCaptureWndM()
{
    return m_capture;
}

bool KelUIManagerCL::PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    // The popup sees everything first; what it consumes goes no further.
    if (m_popup != nullptr && !m_popup->PostMessageM(window, message, wparam, lparam))
        return false;

    switch (message)
    {
    case WM_SIZE:
        if (m_desktop != nullptr)
        {
            // A window that cannot report its client area leaves the desktop as it was.
            RECT client{};
            if (GetClientRect(window, &client))
                SetDeskTopSizeM(client.right - client.left, client.bottom - client.top);
        }
        return true;

    case WM_KEYDOWN:
    case WM_KEYUP:
        // The popup did not take the key, so it is done with.
        m_popup = nullptr;
        if (m_focus != nullptr)
            return m_focus->PostMessageM(window, message, wparam, lparam);
        if (m_desktop != nullptr)
            return m_desktop->PostMessageM(window, message, wparam, lparam);
        return true;

    case WM_MOUSEMOVE:
    {
        // Where a popup opened with the place flag appears: always inside the desktop.
        int x = std::max(GET_X_LPARAM(lparam), 0);
        int y = std::max(GET_Y_LPARAM(lparam), 0);
        if (m_desktop != nullptr)
        {
            std::pair<int, int> size = m_desktop->GetSizeM();
            x = std::min(x, size.first);
            y = std::min(y, size.second);
        }
        m_lastMouse = POINT{x, y};
        return RouteMouse(window, message, wparam, lparam);
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        // A click the popup did not take lies outside it: the popup closes and the click goes on
        // to the window under the mouse.
        m_popup = nullptr;
        return RouteMouse(window, message, wparam, lparam);

    case WM_MOUSEWHEEL:
        m_popup = nullptr;
        // The wheel goes straight to the window the mouse is over, not down the tree.
        if (m_hover != nullptr)
            return m_hover->PostMessageM(window, message, wparam, lparam);
        return true;

    case WM_IME_COMPOSITION:
    case WM_IME_NOTIFY:
    case WM_IME_CHAR:
        if (m_imeOn)
            return TakeImeMessage(window, message, wparam, lparam);
        if (m_focus != nullptr)
            return m_focus->PostMessageM(window, message, wparam, lparam);
        return true;

    default:
        // Characters included: the focus window takes them like any other message.
        if (m_focus != nullptr)
            return m_focus->PostMessageM(window, message, wparam, lparam);
        return true;
    }
    KEL_CATCH
}

bool KelUIManagerCL::TakeImeMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_IME_COMPOSITION)
        m_ime->OnCompositionM(window, lparam);
    else if (message == WM_IME_NOTIFY)
        m_ime->OnNotifyM(window, wparam);
    else
        m_ime->OnCharM(wparam);
    // The finished text goes to the focus window as typed text.
    const std::string text = m_ime->TakeResultM();
    if (!text.empty() && m_focus != nullptr)
        m_focus->InsertTextM(text, true);
    return false;
}

void KelUIManagerCL::SetImeOnM(bool on)
{
    m_imeOn = on;
}

bool KelUIManagerCL::RouteMouse(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // A pressed window keeps every mouse message until its button comes up, wherever the mouse is.
    if (m_capture != nullptr)
        return m_capture->PostMessageM(window, message, wparam, lparam);
    // Only the top modal window may be clicked; whatever it does, nothing behind it is reached.
    if (!m_modals.empty())
    {
        m_modals.back()->PostMessageM(window, message, wparam, lparam);
        return false;
    }
    if (m_desktop != nullptr)
        return m_desktop->PostMessageM(window, message, wparam, lparam);
    return true;
}

KelWnd2DBaseCL* KelUIManagerCL::GetDeskTopM()
{
    return m_desktop.get();
}

const std::string& KelUIManagerCL::GetFocusNameM()
{
    KEL_TRY
    return m_focus != nullptr ? m_focus->GetNameM() : m_emptyName;
    KEL_CATCH
}

const std::string& KelUIManagerCL::GetCaptureNameM()
{
    KEL_TRY
    return m_capture != nullptr ? m_capture->GetNameM() : m_emptyName;
    KEL_CATCH
}

void KelUIManagerCL::SetHoverWndM(KelWndBaseCL* window)
{
    m_hover = window;
}

KelWndBaseCL* KelUIManagerCL::GetHoverWndM()
{
    return m_hover;
}

std::string KelUIManagerCL::GetHoverNameM()
{
    KEL_TRY
    return m_hover != nullptr ? m_hover->GetNameM() : std::string();
    KEL_CATCH
}

bool KelUIManagerCL::AddModalM(KelWndBaseCL* window)
{
    KEL_TRY
    m_modals.push_back(window);
    return true;
    KEL_CATCH
}

bool KelUIManagerCL::RemoveModalM(KelWndBaseCL* window)
{
    KEL_TRY
    auto found = std::find(m_modals.begin(), m_modals.end(), window);
    if (found == m_modals.end())
        return false;
    m_modals.erase(found);
    return true;
    KEL_CATCH
}

KelWndBaseCL* KelUIManagerCL::GetTopModalM()
{
    return m_modals.empty() ? nullptr : m_modals.back();
}

void KelUIManagerCL::SetDeskTopSizeM(int width, int height)
{
    KEL_TRY
    if (m_desktop != nullptr)
        m_desktop->SetSizeM(width, height);
    KEL_CATCH
}

KelImeCL* KelUIManagerCL::GetImeM()
{
    return m_ime.get();
}

void KelUIManagerCL::SetGuiConfigM(const std::string& path)
{
    KEL_TRY
    m_guiConfig = path;
    KEL_CATCH
}

const std::string& KelUIManagerCL::GetGuiConfigM()
{
    return m_guiConfig;
}

void KelUIManagerCL::SetPopupM(KelWndBaseCL* window, bool place)
{
    KEL_TRY
    m_popup = window;
    if (window == nullptr || !place)
        return;
    // Only a window with a rectangle can be placed; menus and drop-downs all have one.
    auto* popup = dynamic_cast<KelWnd2DBaseCL*>(window);
    if (popup == nullptr)
        return;
    int x = m_lastMouse.x;
    int y = m_lastMouse.y;
    if (m_desktop != nullptr)
    {
        // Pulled back so that the popup opens at the mouse but does not run off the desktop.
        std::pair<int, int> desk = m_desktop->GetSizeM();
        std::pair<int, int> size = popup->GetSizeM();
        if (x + size.first > desk.first)
            x = desk.first - size.first;
        if (y + size.second > desk.second)
            y = desk.second - size.second;
    }
    popup->SetPosM(x, y);
    KEL_CATCH
}

KelWndBaseCL* KelUIManagerCL::GetPopupM()
{
    return m_popup;
}

void KelUIManagerCL::UpDatedataM()
{
    KEL_TRY
    DeleteRefusedWindows();
    if (m_desktop != nullptr)
        m_desktop->UpDatedataM();
    KEL_CATCH
}

bool KelUIManagerCL::IsImeOnM()
{
    return m_imeOn;
}

void KelUIManagerCL::SetRedrawM(bool redraw)
{
    KEL_TRY
    KelSetRedraw(redraw);
    KEL_CATCH
}

bool KelUIManagerCL::GetRedrawM()
{
    KEL_TRY
    return KelGetRedraw();
    KEL_CATCH
}

void KelUIManagerCL::DrawTipM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (m_hover == nullptr || canvas == nullptr)
        return;
    // A window hidden under the resting mouse (a bar that went away) takes its tip with it.
    for (KelWndBaseCL* window = m_hover; window != nullptr; window = window->GetParentM())
        if (!window->IsShowM() || !window->IsVisibleM())
            return;
    m_hover->DrawTipM(canvas);
    KEL_CATCH
}

void KelUIRender(KelCanvasCL* canvas)
{
    KelUIManagerCL::GetInstance()->RenderM(canvas);
}

bool KelUIPostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return KelUIManagerCL::GetInstance()->PostMessageM(window, message, wparam, lparam);
}

void KelUISetGuiConfig(const std::string& path)
{
    KelUIManagerCL::GetInstance()->SetGuiConfigM(path);
}

void KelUIDestroyDeskTop()
{
    KelUIManagerCL::GetInstance()->DestroyDeskTopM();
}

void KelUIUpdate()
{
    KelUIManagerCL::GetInstance()->UpDatedataM();
}

KelWnd2DBaseCL* KelUIGetDeskTop()
{
    return KelUIManagerCL::GetInstance()->GetDeskTopM();
}
