#include "KelWnd2DEditCL.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KelCanvasCL.h"
#include "KelClipboardText.h"
#include "KelFontCL.h"
#include "KelGuard.h"
#include "KelImeCL.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Clipboard.h"
#include "Win32/Keyboard.h"
#include "Win32/Time.h"

namespace
{
constexpr int kCaretHeight = 12;
constexpr D3DCOLOR kSelection = 0x64000000;

} // namespace

KelWnd2DEditCL::KelWnd2DEditCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h,
                               DWORD style)
    : KelWnd2DBaseCL(name, parent, style | KWS_VCENTER)
{
    KEL_TRY
    SetPosM(x, y);
    SetSizeM(w, h);
    m_text.clear();
    m_background = KelCreatePieceTexture("edit", "backImage");
    KEL_CATCH
}

KelWnd2DEditCL::~KelWnd2DEditCL() = default;

void KelWnd2DEditCL::SetSelection(int anchor, int caret)
{
    m_anchor = anchor;
    m_caret = std::clamp(caret, 0, m_edit.GetCount());
    Invalidate();
}

bool KelWnd2DEditCL::WouldPassLimit(const std::string& text) const
{
    return m_limit > 0 && m_edit.GetByteLength() + static_cast<int>(text.size()) > m_limit;
}

void KelWnd2DEditCL::RemoveSelection()
{
    if (!HasSelection())
    {
        m_anchor = -1;
        return;
    }
    const int from = std::min(m_anchor, m_caret);
    const int to = std::max(m_anchor, m_caret);
    m_edit.Erase(from, to - from);
    m_caret = from;
    m_anchor = -1;
}

bool KelWnd2DEditCL::InsertTextM(const std::string& text, bool notify)
{
    KEL_TRY
    if (!m_enabled)
        return false;
    if (WouldPassLimit(text))
        return true;
    RemoveSelection();
    const int before = m_edit.GetCount();
    m_edit.Insert(text, m_caret);
    m_caret += m_edit.GetCount() - before;
    Invalidate();
    if (notify)
        NotifyM(KWM_EDITCHANGE);
    return false;
    KEL_CATCH
}

bool KelWnd2DEditCL::InsertAtM(int at, const std::string& text)
{
    KEL_TRY
    if (WouldPassLimit(text))
        return false;
    m_edit.Insert(text, at);
    Invalidate();
    return true;
    KEL_CATCH
}

void KelWnd2DEditCL::SetTextM(const std::string& text)
{
    KEL_TRY
    m_edit.Assign("");
    m_caret = 0;
    m_firstVisible = 0;
    m_anchor = -1;
    const bool enabled = m_enabled;
    m_enabled = true;
    InsertTextM(text, false);
    m_enabled = enabled;
    KEL_CATCH
}

void KelWnd2DEditCL::SetEditIntM(int value)
{
    char number[16];
    std::snprintf(number, sizeof number, "%d", value);
    SetTextM(number);
}

void KelWnd2DEditCL::SetTextColorM(D3DCOLOR color)
{
    m_textColor = color;
    Invalidate();
}

void KelWnd2DEditCL::SetCaretColorM(D3DCOLOR color)
{
    m_caretColor = color;
    KelUIManagerCL::GetInstance()->GetImeM()->SetCaretColorM(color);
    Invalidate();
}

void KelWnd2DEditCL::SetPasswordM(bool password)
{
    m_password = password;
    Invalidate();
}

void KelWnd2DEditCL::DeleteM()
{
    KEL_TRY
    if (!m_enabled)
        return;
    if (HasSelection())
        RemoveSelection();
    else if (m_caret < m_edit.GetCount())
        m_edit.Erase(m_caret, 1);
    else
        return;
    NotifyM(KWM_EDITCHANGE);
    Invalidate();
    KEL_CATCH
}

std::string KelWnd2DEditCL::GetRangeM(int a, int b) const
{
    return m_edit.Range(a, b);
}

std::string KelWnd2DEditCL::CutRangeM(int a, int b)
{
    const std::string cut = m_edit.Range(a, b);
    if (!cut.empty())
        m_edit.Erase(a, KelMBString(cut).GetCount());
    return cut;
}

void KelWnd2DEditCL::CopySelection(bool cut)
{
    if (!HasSelection())
        return;
    const int from = std::min(m_anchor, m_caret);
    const int to = std::max(m_anchor, m_caret);
    const std::string text = cut ? CutRangeM(from, to) : GetRangeM(from, to);
    if (text.empty())
        return;
    if (cut)
    {
        m_caret = from;
        m_anchor = -1;
        Invalidate();
    }
    KelWriteClipboardText(text);
}

void KelWnd2DEditCL::Paste()
{
    // Only a selection is replaced: without one, Delete would take the character after the caret.
    if (HasSelection())
        DeleteM();
    const std::string text = KelReadClipboardText();
    if (!text.empty() && InsertAtM(m_caret, text))
        m_caret += KelMBString(text).GetCount();
    m_anchor = -1;
}

bool KelWnd2DEditCL::KeyDownM(WPARAM key, LPARAM)
{
    KEL_TRY
    switch (key)
    {
    case VK_BACK:
        if (m_enabled && HasSelection())
            DeleteM();
        else if (m_enabled && m_caret >= 1 && m_caret <= m_edit.GetCount())
        {
            --m_caret;
            DeleteM();
        }
        return false;
    case VK_RETURN:
        NotifyM(KWM_RETURN);
        return false;
    case VK_LEFT:
        m_anchor = -1;
        m_caret = std::max(0, m_caret - 1);
        Invalidate();
        return false;
    case VK_UP:
        NotifyM(KWM_EDITUPKEY);
        return false;
    case VK_RIGHT:
        m_anchor = -1;
        m_caret = std::min(m_edit.GetCount(), m_caret + 1);
        Invalidate();
        return false;
    case VK_DOWN:
        NotifyM(KWM_EDITDOWNKEY);
        return false;
    case VK_DELETE:
        DeleteM();
        return false;
    case VK_TAB:
    case VK_INSERT:
        return false;
    case 'C':
        if (!KelCtrlHeld())
            return true;
        CopySelection(false);
        return false;
    case 'X':
        if (!KelCtrlHeld())
            return true;
        if (m_enabled)
            CopySelection(true);
        return false;
    case 'V':
        if (!KelCtrlHeld())
            return true;
        if (m_enabled)
            Paste();
        return false;
    default:
        return true;
    }
    KEL_CATCH
}

void KelWnd2DEditCL::OnChar(WPARAM character)
{
    if (!m_enabled)
        return;
    if (character >= 0x20 && character <= 0x7E)
    {
        InsertTextM(std::string(1, static_cast<char>(character)), true);
        return;
    }
    if (character > 0x80 && character <= 0xFF && !KelUIManagerCL::GetInstance()->IsImeOnM())
    {
        m_pending += static_cast<char>(character);
        if (m_pending.size() >= 2)
        {
            const std::string both = m_pending;
            m_pending.clear();
            InsertTextM(both, true);
        }
    }
}

bool KelWnd2DEditCL::PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    const bool base = KelWnd2DBaseCL::PostMessageM(window, message, wparam, lparam);
    switch (message)
    {
    case WM_KEYDOWN:
        KeyDownM(wparam, lparam);
        break;
    case WM_KEYUP:
        break;
    case WM_CHAR:
        OnChar(wparam);
        break;
    default:
        return base;
    }
    m_lastKeyTime = GetTickCount();
    return false;
    KEL_CATCH
}

std::pair<int, int> KelWnd2DEditCL::TextWidthM(const KelMBString& text, int n)
{
    KelFontCL* font = GetSelfFontM();
    if (font == nullptr)
        return {0, 0};
    const std::string start =
        text.Range(0, std::min(n, text.GetCount()) > 0 ? std::min(n, text.GetCount()) : 0);
    const std::string shown = m_password ? std::string(start.size(), '*') : start;
    return {font->GetTextWidth(shown.c_str()), font->GetHeight()};
}

std::string KelWnd2DEditCL::Shown(int from, int to)
{
    const std::string bytes = m_edit.Range(from, to);
    return m_password ? std::string(bytes.size(), '*') : bytes;
}

int KelWnd2DEditCL::CharAtM(int x)
{
    KEL_TRY
    KelFontCL* font = GetSelfFontM();
    const int count = m_edit.GetCount();
    if (font == nullptr)
        return m_firstVisible;
    int previous = 0;
    for (int boundary = m_firstVisible; boundary <= count; ++boundary)
    {
        const int width =
            boundary == m_firstVisible ? 0 : font->GetTextWidth(Shown(m_firstVisible, boundary).c_str());
        if (x < width)
            return x < (previous + width) / 2 ? boundary - 1 : boundary;
        previous = width;
    }
    return count;
    KEL_CATCH
}

void KelWnd2DEditCL::ScrollToCaretM()
{
    KEL_TRY
    if (m_selecting || HasSelection())
        return;
    if (m_firstVisible >= m_caret)
    {
        m_firstVisible = m_caret;
        return;
    }
    KelFontCL* font = GetSelfFontM();
    if (font == nullptr)
        return;
    while (m_firstVisible < m_edit.GetCount() &&
           font->GetTextWidth(Shown(m_firstVisible, m_caret).c_str()) >= m_w)
        ++m_firstVisible;
    KEL_CATCH
}

bool KelWnd2DEditCL::LButtonDownM(WPARAM, POINT point)
{
    KEL_TRY
    m_caret = std::max(0, CharAtM(point.x));
    m_anchor = -1;
    m_selecting = true;
    Invalidate();
    return false;
    KEL_CATCH
}

bool KelWnd2DEditCL::MouseMoveM(WPARAM, POINT point)
{
    KEL_TRY
    if (!m_selecting)
        return false;
    m_anchor = CharAtM(std::clamp(static_cast<int>(point.x), 0, m_w));
    if (point.x < 0)
        m_firstVisible = std::max(0, m_firstVisible - 1);
    else if (point.x > m_w && TextWidthM(m_edit.Suffix(m_firstVisible), 1 << 30).first > m_w)
        ++m_firstVisible;
    Invalidate();
    return false;
    KEL_CATCH
}

bool KelWnd2DEditCL::LButtonUpM(WPARAM, POINT)
{
    m_selecting = false;
    Invalidate();
    return false;
}

bool KelWnd2DEditCL::LClickM(WPARAM, POINT)
{
    Invalidate();
    return false;
}

bool KelWnd2DEditCL::OnFocusM(bool focus)
{
    KEL_TRY
    if (focus && m_enabled)
    {
        const POINT corner = GetPosInScreenM(0, 0);
        KelUIManagerCL::GetInstance()->GetImeM()->SetCaretM(corner.x, corner.y, kCaretHeight);
    }
    return KelWnd2DBaseCL::OnFocusM(focus);
    KEL_CATCH
}

bool KelWnd2DEditCL::IsShowCaretM()
{
    KEL_TRY
    const POINT caret = KelUIManagerCL::GetInstance()->GetImeM()->GetCaretM();
    const POINT local = ChangeScreenToClientM(caret.x, caret.y);
    return local.x >= 0 && local.y >= 0 && local.x <= m_w && local.y <= m_h;
    KEL_CATCH
}

bool KelWnd2DEditCL::DrawEditBackM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr || (m_style & KWS_NOFRAME) != 0)
        return true;
    if (m_background != nullptr)
    {
        m_background->SetDrawRect(KelRect(0, 0, m_w, m_h));
        m_background->Render(canvas);
    }
    else
    {
        canvas->FillRect(0, 0, m_w, m_h, m_fill);
        canvas->DrawRect(0, 0, m_w, m_h, m_border);
    }
    return true;
    KEL_CATCH
}

bool KelWnd2DEditCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return KelWnd2DBaseCL::DrawM(canvas);
    ScrollToCaretM();
    DrawEditBackM(canvas);
    canvas->SetTextColor(m_textColor);
    int y = m_h - canvas->GetFontHeight();
    if ((m_style & KWS_VCENTER) != 0)
        y /= 2;
    const KelRect bounds(0, 0, m_w, m_h);
    canvas->DrawText(Shown(m_firstVisible, m_edit.GetCount() + 1).c_str(), 0, y, &bounds, false, 0);
    canvas->FlushText();
    if (m_focused)
    {
        const auto width = [this, canvas](int to)
        { return to <= m_firstVisible ? 0 : canvas->GetTextWidth(Shown(m_firstVisible, to).c_str()); };
        const int caretX = width(m_caret);
        const POINT screen = GetPosInScreenM(caretX, y);
        KelUIManagerCL::GetInstance()->GetImeM()->SetCaretM(screen.x, screen.y, kCaretHeight);
        if (HasSelection())
        {
            const int from = std::max(0, width(std::min(m_anchor, m_caret)));
            const int to = std::min(m_w, width(std::max(m_anchor, m_caret)));
            canvas->FillRect(from, 0, to, m_h, kSelection);
        }
    }
    else
    {
        m_anchor = -1;
    }
    canvas->FlushText();
    canvas->FlushImages();
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}

KelWnd2DLabelCL::KelWnd2DLabelCL(const char* name, KelWndBaseCL* parent, const char* text, D3DCOLOR color,
                                 int x, int y, int w, int h)
    : KelWnd2DEditCL(name, parent, x, y, w, h, 0)
{
    KEL_TRY
    EnableM(false);
    AddStyleM(KWS_NOFRAME);
    SetColorM(color);
    SetTextM(text != nullptr ? text : "");
    KEL_CATCH
}
