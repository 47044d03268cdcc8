#include "KelWndBaseCL.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"

namespace
{

bool SameName(const std::string& name, const char* other)
{
    return other != nullptr && name == other;
}

} // namespace

KelWndBaseCL::KelWndBaseCL(const char* name, KelWndBaseCL* parent, DWORD style)
    : m_style(style), m_name(name != nullptr ? name : "")
{
    KEL_TRY
    if (parent != nullptr)
    {
        if (parent->FindWndM(m_name.c_str()) != nullptr)
        {
            // The creator keeps a pointer to this window, so it is still built and added, but
            // under a name of its own, and it goes away at the parent's next update pass.
            char unique[512];
            std::snprintf(unique, sizeof(unique), "%s_%d_%d", m_name.c_str(),
                          static_cast<int>(KelGetElapsedMs()), static_cast<int>(KelRandom() & 0x7FFFFFFF));
            m_name = unique;
            m_alive = false;
            m_handlers.clear();
        }
        if (!parent->AddChildM(this))
        {
            // The creator holds a pointer from new and expects the parent to own the window. No
            // parent does, so it is closed and handed to the manager, which deletes it at its next
            // update pass, as a renamed duplicate goes at its parent's.
            KelLogPrintf("窗口 %s 不能加入 %s", m_name.c_str(), parent->GetNameM().c_str());
            m_alive = false;
            m_handlers.clear();
            KelUIManagerCL::GetInstance()->AdoptRefusedWindowM(this);
        }
    }
    KEL_CATCH
}

KelWndBaseCL::~KelWndBaseCL()
{
    try
    {
        m_destroying = true;
        // Nothing is reported while the window is taken apart: the owner a handler is bound to
        // may already be half destroyed itself.
        m_handlers.clear();
        m_timers.clear();

        KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
        // The manager keeps plain pointers; none of them may outlive this window. A slot is also
        // cleared when it holds this very window under a name changed since.
        KelWndBaseCL* hover = manager->GetHoverWndM();
        if (hover != nullptr && (hover == this || hover->GetNameM() == m_name))
            manager->SetHoverWndM(nullptr);
        KelWndBaseCL* focus = manager->GetFocusWndM();
        if (focus != nullptr && (focus == this || focus->GetNameM() == m_name))
            manager->SetFocusWndM(nullptr);
        KelWndBaseCL* capture = manager->GetCaptureWndM();
        if (capture != nullptr && (capture == this || capture->GetNameM() == m_name))
            manager->SetCaptureWndM(nullptr);
        if (manager->GetPopupM() == this)
            manager->SetPopupM(nullptr, false);
        while (manager->RemoveModalM(this))
        {
        }
        // Deleted by its creator before the manager's pass came: the manager must not delete it
        // again.
        manager->ForgetRefusedWindowM(this);

        DestroyAllChildM();

        if (m_parent != nullptr)
        {
            if (m_parent->FindChildM(m_name.c_str()) == this)
                m_parent->RemoveChildM(m_name.c_str());
            else
                // A sibling listed first under the same name must not be taken out instead.
                m_parent->m_children.remove(this);
        }
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

void KelWndBaseCL::DestroyAllChildM()
{
    KEL_TRY
    // Each child's destructor asks this window to take it out of the list; the list is emptied
    // first so that those requests find nothing to walk over.
    std::list<KelWndBaseCL*> children;
    children.swap(m_children);
    for (KelWndBaseCL* child : children)
        delete child;
    KEL_CATCH
}

bool KelWndBaseCL::AddChildM(KelWndBaseCL* child)
{
    KEL_TRY
    if (child == nullptr)
        return false;
    if (FindChildM(child->GetNameM().c_str()) != nullptr)
        return false;
    if (!CanAddChildM(child))
        return false;
    m_children.push_back(child);
    child->m_parent = this;
    return true;
    KEL_CATCH
}

bool KelWndBaseCL::DeleteChildM(const char* name)
{
    KEL_TRY
    auto found = std::find_if(m_children.begin(), m_children.end(),
                              [name](KelWndBaseCL* child) { return SameName(child->GetNameM(), name); });
    if (found == m_children.end())
        return false;
    KelWndBaseCL* child = *found;
    m_children.erase(found);
    delete child;
    return true;
    KEL_CATCH
}

KelWndBaseCL* KelWndBaseCL::FindChildM(const char* name)
{
    KEL_TRY
    for (KelWndBaseCL* child : m_children)
        if (SameName(child->GetNameM(), name))
            return child;
    return nullptr;
    KEL_CATCH
}

KelWndBaseCL* KelWndBaseCL::FindNextChildM(const char* name)
{
    KEL_TRY
    if (m_children.empty())
        return nullptr;
    auto found = std::find_if(m_children.begin(), m_children.end(),
                              [name](KelWndBaseCL* child) { return SameName(child->GetNameM(), name); });
    if (found == m_children.end())
        return m_children.front();
    ++found;
    return found == m_children.end() ? m_children.front() : *found;
    KEL_CATCH
}

KelWndBaseCL* KelWndBaseCL::FindWndM(const char* path)
{
    KEL_TRY
    if (path == nullptr)
        return nullptr;
    const std::string text(path);
    if (text.find('\\') == std::string::npos)
        return FindChildM(path);
    KelWndBaseCL* window = this;
    size_t start = 0;
    while (window != nullptr)
    {
        size_t end = text.find('\\', start);
        const std::string part =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        window = window->FindChildM(part.c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return window;
    KEL_CATCH
}

bool KelWndBaseCL::RemoveChildM(const char* name)
{
    KEL_TRY
    if (m_destroying)
        return false;
    auto found = std::find_if(m_children.begin(), m_children.end(),
                              [name](KelWndBaseCL* child) { return SameName(child->GetNameM(), name); });
    if (found == m_children.end())
        return false;
    KelWndBaseCL* child = *found;
    m_children.erase(found);
    // Out of the tree it is a root: deleting it later must not reach back into this window.
    child->m_parent = nullptr;
    return true;
    KEL_CATCH
}

void KelWndBaseCL::BringToTopM()
{
    m_raiseRequest = true;
}

bool KelWndBaseCL::HasWndM(const char* name)
{
    KEL_TRY
    if (SameName(m_name, name))
        return true;
    for (KelWndBaseCL* child : m_children)
        if (child->HasWndM(name))
            return true;
    return false;
    KEL_CATCH
}

bool KelWndBaseCL::IsChildOfM(const char* name)
{
    KEL_TRY
    if (m_parent == nullptr)
        return false;
    if (SameName(m_parent->GetNameM(), name))
        return true;
    return m_parent->IsChildOfM(name);
    KEL_CATCH
}

bool KelWndBaseCL::SetTimerM(const KelWndTimer& timer)
{
    KEL_TRY
    for (const KelWndTimer& existing : m_timers)
        if (existing.id == timer.id)
            return false;
    KelWndTimer added = timer;
    added.last = static_cast<int>(KelGetElapsedMs());
    m_timers.push_back(added);
    return true;
    KEL_CATCH
}

bool KelWndBaseCL::KillTimerM(int id)
{
    KEL_TRY
    auto found = std::find_if(m_timers.begin(), m_timers.end(),
                              [id](const KelWndTimer& timer) { return timer.id == id; });
    if (found == m_timers.end())
        return false;
    m_timers.erase(found);
    return true;
    KEL_CATCH
}

void KelWndBaseCL::ReleaseM()
{
    delete this;
}

void KelWndBaseCL::RenderM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (!m_visible || !m_shown)
        return;
    if (DrawM(canvas))
        for (KelWndBaseCL* child : m_children)
            child->RenderM(canvas);
    DrawPostM(canvas);
    KEL_CATCH
}

void KelWndBaseCL::DrawTipM(KelCanvasCL*) {}

bool KelWndBaseCL::DrawM(KelCanvasCL*)
{
    return true;
}

void KelWndBaseCL::DrawPostM(KelCanvasCL*) {}

bool KelWndBaseCL::HoldsChild(KelWndBaseCL* child) const
{
    return std::find(m_children.begin(), m_children.end(), child) != m_children.end();
}

void KelWndBaseCL::UpDatedataM()
{
    KEL_TRY
    // Children's handlers and timers may add, close or move windows of this list while it is
    // walked, so the walk goes over a copy and skips whatever has left the list meanwhile.
    const std::vector<KelWndBaseCL*> children(m_children.begin(), m_children.end());
    for (KelWndBaseCL* child : children)
    {
        auto place = std::find(m_children.begin(), m_children.end(), child);
        if (place == m_children.end())
            continue;
        if (!child->IsAliveM())
        {
            m_children.erase(place);
            delete child;
            continue;
        }
        if (child->TakeRaiseRequestM())
        {
            const bool alreadyOnTop = child == m_children.back();
            m_children.erase(place);
            m_children.push_back(child);
            // The new order has to reach a cached picture of this window too.
            if (!alreadyOnTop)
                Invalidate();
            return;
        }
        child->UpDatedataM();
    }

    // The engine clock wraps after 49.7 days; differences taken in unsigned arithmetic stay right
    // across the wrap, where a sum of signed milliseconds would overflow.
    const uint32_t now = KelGetElapsedMs();
    std::vector<int> ids;
    ids.reserve(m_timers.size());
    for (const KelWndTimer& timer : m_timers)
        ids.push_back(timer.id);
    for (int id : ids)
    {
        auto timer = std::find_if(m_timers.begin(), m_timers.end(),
                                  [id](const KelWndTimer& entry) { return entry.id == id; });
        if (timer == m_timers.end())
            continue;
        uint32_t elapsed = now - static_cast<uint32_t>(timer->last);
        if (elapsed <= static_cast<uint32_t>(std::max(0, timer->interval)))
            continue;
        timer->last = static_cast<int>(now);
        // A callback may kill its own timer; the copy keeps it alive until it returns.
        KelWndTimerFun callback = timer->callback;
        if (callback)
            callback(id);
    }
    KEL_CATCH
}

void KelWndBaseCL::ActiveUpDateM() {}

bool KelWndBaseCL::CanDragM(POINT)
{
    return true;
}

bool KelWndBaseCL::ChangeWindowSizeM(POINT, POINT)
{
    return false;
}

bool KelWndBaseCL::SendMsgToChildM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    // Top-most first. A child's handler may change this list, hence the copy.
    const std::vector<KelWndBaseCL*> children(m_children.rbegin(), m_children.rend());
    for (KelWndBaseCL* child : children)
    {
        if (!HoldsChild(child))
            continue;
        if (!IsCanSendMsgToChildM(child->GetNameM().c_str()) || !child->IsShowM() || !child->IsVisibleM())
            continue;
        if (!child->PostMessageM(window, message, wparam, lparam))
            return false;
    }
    return true;
    KEL_CATCH
}

bool KelWndBaseCL::IsCanSendMsgToChildM(const char*)
{
    return true;
}

bool KelWndBaseCL::OnMoveM()
{
    KEL_TRY
    OnPosChangeM();
    for (auto child = m_children.rbegin(); child != m_children.rend(); ++child)
        (*child)->OnMoveM();
    return false;
    KEL_CATCH
}

void KelWndBaseCL::Invalidate() {}

bool KelWndBaseCL::ActivateM()
{
    KEL_TRY
    if ((m_style & KWS_RAISEONACTIVE) != 0)
        BringToTopM();
    if (m_parent != nullptr)
        m_parent->ActivateM();
    return false;
    KEL_CATCH
}

bool KelWndBaseCL::OnSizeChangeM(KelWndBaseCL* window)
{
    KEL_TRY
    for (KelWndBaseCL* child : m_children)
        if (!child->OnParentSizeM(window))
            return false;
    return true;
    KEL_CATCH
}

bool KelWndBaseCL::OnParentSizeM(KelWndBaseCL*)
{
    return true;
}

void KelWndBaseCL::CloseM()
{
    m_alive = false;
    m_handlers.clear();
}

bool KelWndBaseCL::LButtonDownM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::LButtonUpM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::LClickM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::LButtonDblClkM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::RButtonDownM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::RButtonUpM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::RClickM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::RButtonDblClkM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::MouseMoveM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::MouseWheelM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::MouseInM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::MouseOutM(WPARAM, POINT)
{
    return false;
}

bool KelWndBaseCL::OnShowM(bool)
{
    return false;
}

bool KelWndBaseCL::OnVisibleM(bool)
{
    return false;
}

bool KelWndBaseCL::OnEnableM(bool)
{
    return false;
}

bool KelWndBaseCL::OnFocusM(bool)
{
    return false;
}

bool KelWndBaseCL::InsertTextM(const std::string&, bool)
{
    return false;
}

bool KelWndBaseCL::KeyDownM(WPARAM, LPARAM)
{
    return false;
}

bool KelWndBaseCL::KeyUpM(WPARAM, LPARAM)
{
    return false;
}

bool KelWndBaseCL::OnPosChangeM()
{
    return false;
}

bool KelWndBaseCL::CanAddChildM(KelWndBaseCL*)
{
    return true;
}

bool KelWndBaseCL::IsShowCaretM()
{
    return false;
}

bool KelWndBaseCL::PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return SendMsgToChildM(window, message, wparam, lparam);
}

KelWndBaseCL* KelWndBaseCL::GetParentM()
{
    return m_parent;
}

KelWndBaseCL* KelWndBaseCL::SetParentM(KelWndBaseCL* parent)
{
    KelWndBaseCL* previous = m_parent;
    m_parent = parent;
    return previous;
}

const std::string& KelWndBaseCL::GetNameM()
{
    return m_name;
}

void KelWndBaseCL::SetNameM(const char* name)
{
    m_name = name != nullptr ? name : "";
}

bool KelWndBaseCL::IsAliveM()
{
    return m_alive;
}

bool KelWndBaseCL::IsVisibleM()
{
    return m_visible;
}

void KelWndBaseCL::SetVisibleM(bool visible)
{
    KEL_TRY
    ChangeShowing(m_visible, visible, &KelWndBaseCL::OnVisibleM, KWM_VISIBLECHANGED);
    KEL_CATCH
}

bool KelWndBaseCL::IsShowM()
{
    return m_shown;
}

void KelWndBaseCL::ShowM(bool show)
{
    KEL_TRY
    ChangeShowing(m_shown, show, &KelWndBaseCL::OnShowM, KWM_SHOWCHANGED);
    KEL_CATCH
}

void KelWndBaseCL::ChangeShowing(bool& flag, bool value, bool (KelWndBaseCL::*notify)(bool), int code)
{
    const bool changed = value != flag;
    flag = value;
    (this->*notify)(value);
    SendMessageM(code, KelWndMsg{this, value ? 1 : 0, 0, 0});
    if (changed)
        Invalidate();
}

bool KelWndBaseCL::IsEnableM()
{
    return m_enabled;
}

void KelWndBaseCL::EnableM(bool enable)
{
    KEL_TRY
    m_enabled = enable;
    OnEnableM(enable);
    SendMessageM(KWM_ENABLECHANGED, KelWndMsg{this, enable ? 1 : 0, 0, 0});
    KEL_CATCH
}

bool KelWndBaseCL::IsFocusM()
{
    return m_focused;
}

void KelWndBaseCL::SetFocusM(bool focus)
{
    KEL_TRY
    if (focus)
    {
        // The manager takes the focus from the previous window; it calls back here and finds
        // this window already holding it.
        KelUIManagerCL::GetInstance()->SetFocusWndM(this);
        ActivateM();
    }
    if (focus == m_focused)
        return;
    m_focused = focus;
    OnFocusM(focus);
    Invalidate();
    SendMessageM(KWM_FOCUSCHANGED, KelWndMsg{this, focus ? 1 : 0, 0, 0});
    KEL_CATCH
}

void KelWndBaseCL::SetColorM(D3DCOLOR color)
{
    m_textColor = color;
}

void KelWndBaseCL::SetStyleM(DWORD style)
{
    m_style = style;
}

void KelWndBaseCL::AddStyleM(DWORD bits)
{
    m_style |= bits;
}

void KelWndBaseCL::XorStyleM(DWORD bits)
{
    m_style ^= bits;
}

DWORD KelWndBaseCL::GetStyleM()
{
    return m_style;
}

bool KelWndBaseCL::HasStyleM(DWORD bits)
{
    return (m_style & bits) != 0;
}

bool KelWndBaseCL::TakeRaiseRequestM()
{
    const bool requested = m_raiseRequest;
    m_raiseRequest = false;
    return requested;
}

void KelWndBaseCL::SetTextM(const std::string& text)
{
    m_text = text;
}

const std::string& KelWndBaseCL::GetTextM()
{
    return m_text;
}

bool KelWndBaseCL::IsMouseMsgM(int code)
{
    return code >= KWM_LBUTTONDOWN && code <= KWM_RBUTTONDBLCLK;
}

void KelWndBaseCL::SendMessageM(int code, KelWndMsg message)
{
    KEL_TRY
    if (!m_enabled && IsMouseMsgM(code))
        return;
    auto found = m_handlers.find(code);
    if (found == m_handlers.end() || !found->second)
        return;
    // The handler may close this window, which empties the table it is stored in; the copy
    // keeps the running callback alive until it returns.
    KelWndMsgFun callback = found->second;
    callback(message);
    KEL_CATCH
}

void KelWndBaseCL::NotifyM(int code)
{
    SendMessageM(code, KelWndMsg{this, 0, 0, 0});
}

void KelWndBaseCL::SetMsgFunM(int code, KelWndMsgFun callback)
{
    KEL_TRY
    m_handlers[code] = callback;
    KEL_CATCH
}
