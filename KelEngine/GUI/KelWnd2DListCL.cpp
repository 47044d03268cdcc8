#include "KelWnd2DListCL.h"

#include <algorithm>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelFontCL.h"
#include "KelGuard.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DScrollBarCL.h"
#include "Win32/Messages.h"

namespace
{
constexpr char kBarName[] = "scrollV";
} // namespace

KelWnd2DListCL::KelWnd2DListCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h,
                               DWORD style)
    : KelWnd2DBaseCL(name, parent, style)
{
    KEL_TRY
    SetPosM(x, y);
    SetSizeM(w, h);
    KEL_CATCH
}

KelWnd2DListCL::~KelWnd2DListCL() = default;

KelWnd2DScrollBarCL* KelWnd2DListCL::GetScrollBar()
{
    return dynamic_cast<KelWnd2DScrollBarCL*>(FindChildM(kBarName));
}

int KelWnd2DListCL::RowTextWidth(const std::string& text)
{
    KelFontCL* font = GetSelfFontM();
    return font != nullptr ? font->GetTextWidth(text.c_str()) : 0;
}

void KelWnd2DListCL::AddItemM(const std::string& text)
{
    KEL_TRY
    m_items.push_back(text);
    UpdateScrollBarM();
    Invalidate();
    KEL_CATCH
}

void KelWnd2DListCL::DeleteItemM(int index)
{
    KEL_TRY
    if (index < 0 || index >= GetItemCountM())
        return;
    m_items.erase(m_items.begin() + index);
    UpdateScrollBarM();
    Invalidate();
    KEL_CATCH
}

void KelWnd2DListCL::ClearItemsM()
{
    KEL_TRY
    m_items.clear();
    m_top = 0;
    m_selected = -1;
    m_hot = -1;
    UpdateScrollBarM();
    Invalidate();
    KEL_CATCH
}

int KelWnd2DListCL::GetItemCountM()
{
    return static_cast<int>(m_items.size());
}

int KelWnd2DListCL::GetRowHeightM()
{
    KelFontCL* font = GetSelfFontM();
    return (font != nullptr ? font->GetHeight() : 0) + m_gap;
}

int KelWnd2DListCL::GetVisibleRowsM()
{
    const int row = GetRowHeightM();
    return row > 0 ? m_h / row : 0;
}

std::string KelWnd2DListCL::GetItemTextM(int index)
{
    return index >= 0 && index < GetItemCountM() ? m_items[static_cast<size_t>(index)] : std::string();
}

int KelWnd2DListCL::GetTextWidthM()
{
    KelWnd2DScrollBarCL* bar = GetScrollBar();
    return m_w - m_indent - (bar != nullptr ? bar->GetSizeM().first : 0);
}

int KelWnd2DListCL::GetRowGapM()
{
    return m_gap;
}

void KelWnd2DListCL::SetRowGapM(int gap)
{
    m_gap = gap;
}

int KelWnd2DListCL::GetSelectIndexM()
{
    return m_selected;
}

int KelWnd2DListCL::IndexAtM(int x, int y)
{
    const int row = GetRowHeightM();
    if (x < 0 || x > m_w || y < 0 || y > m_h || row <= 0)
        return -1;
    return y / row + m_top;
}

void KelWnd2DListCL::SetListBorderColorM(D3DCOLOR color)
{
    m_border = color;
    Invalidate();
}

void KelWnd2DListCL::SetListBackColorM(D3DCOLOR color)
{
    m_fill = color;
    Invalidate();
}

void KelWnd2DListCL::SetListTextColorM(D3DCOLOR color)
{
    m_text = color;
    Invalidate();
}

void KelWnd2DListCL::MoveBarToTop()
{
    if (KelWnd2DScrollBarCL* bar = GetScrollBar())
        bar->SetBarPosM(bar->GetBarRangeM().first + m_top * 10);
}

void KelWnd2DListCL::SetSelectIndexM(int index)
{
    KEL_TRY
    if (index == m_selected)
        return;
    if (index >= GetItemCountM())
        index = GetItemCountM() - 1;
    m_selected = index;
    m_top = std::max(0, index - 1);
    MoveBarToTop();
    SendMessageM(KWM_SELECT, KelWndMsg{this, m_selected, 0, 0});
    Invalidate();
    KEL_CATCH
}

void KelWnd2DListCL::UpdateScrollBarM()
{
    KEL_TRY
    KelWnd2DScrollBarCL* bar = GetScrollBar();
    const int count = GetItemCountM();
    if (count * GetRowHeightM() < m_h)
    {
        if (bar != nullptr)
            DeleteChildM(kBarName);
        return;
    }
    if (bar == nullptr)
    {
        bar = new KelWnd2DScrollBarCL(kBarName, this, 0, 0, 0, 0);
        bar->SetPosM(m_w - bar->GetSizeM().first, 0);
        bar->SetBarHeightM(m_h);
        bar->SetMsgFunM(KWM_SCROLL, boost::bind(&KelWnd2DListCL::OnScroll, this, boost::placeholders::_1));
        bar->SetBarRangeM(1, count);
        bar->SetBarStepM(10);
    }
    bar->SetBarRangeM(10, count * 10);
    KEL_CATCH
}

void KelWnd2DListCL::OnScroll(KelWndMsg message)
{
    const unsigned p = static_cast<unsigned>(message.param1) / 10u;
    m_top = p == 0 ? 0 : static_cast<int>(p) - 1;
    if (m_top >= GetItemCountM())
        m_top = GetItemCountM() - 1;
    Invalidate();
}

bool KelWnd2DListCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return true;
    canvas->FillRect(0, 0, m_w, m_h, m_fill);
    canvas->DrawRect(0, 0, m_w, m_h, m_border);
    const int row = GetRowHeightM();
    for (int i = m_top; i >= 0 && i < GetItemCountM() && i < m_top + GetVisibleRowsM(); ++i)
    {
        const int top = row * (i - m_top);
        DrawLineM(canvas, i, KelRect(0, top, GetTextWidthM(), top + row));
    }
    canvas->FlushLines();
    canvas->FlushImages();
    return true;
    KEL_CATCH
}

void KelWnd2DListCL::DrawLineM(KelCanvasCL* canvas, int index, const KelRect& row)
{
    KEL_TRY
    if (canvas == nullptr || index < 0 || index >= GetItemCountM())
        return;
    const std::string& text = m_items[static_cast<size_t>(index)];
    const int textTop = static_cast<int>(static_cast<float>(row.top) + static_cast<float>(m_gap) * 0.5f);
    D3DCOLOR color = m_text;
    if (index == m_selected)
    {
        canvas->FillRect(2, row.top, row.right + m_indent, row.bottom, m_selectedFill);
        color = m_selectedText;
    }
    if (index == m_hot)
    {
        canvas->FillRect(2, row.top, RowTextWidth(text) + m_indent, row.bottom, m_hotFill);
        canvas->SetTextColor(m_hotText);
        canvas->DrawText(text.c_str(), m_indent, textTop, nullptr, false, 0);
        return;
    }
    canvas->SetTextColor(color);
    const KelRect clip(row.left, row.top, row.right - m_indent, row.bottom);
    canvas->DrawText(text.c_str(), m_indent, textTop, &clip, false, 0);
    KEL_CATCH
}

bool KelWnd2DListCL::MouseMoveM(WPARAM, POINT point)
{
    const int index = IndexAtM(point.x, point.y);
    if (index >= 0 && index < GetItemCountM())
    {
        if (index != m_hot)
            Invalidate();
        m_hot = index;
    }
    return false;
}

bool KelWnd2DListCL::MouseOutM(WPARAM, POINT)
{
    m_hot = -1;
    Invalidate();
    return false;
}

bool KelWnd2DListCL::OnClick()
{
    KEL_TRY
    if (m_hot != m_selected)
    {
        m_selected = m_hot;
        SendMessageM(KWM_SELECT, KelWndMsg{this, m_selected, 0, 0});
        Invalidate();
    }
    KelUIManagerCL::GetInstance()->SetPopupM(nullptr, false);
    return false;
    KEL_CATCH
}

bool KelWnd2DListCL::LClickM(WPARAM, POINT)
{
    return OnClick();
}

bool KelWnd2DListCL::RClickM(WPARAM, POINT)
{
    return OnClick();
}

bool KelWnd2DListCL::MouseWheelM(WPARAM wparam, POINT)
{
    KEL_TRY
    m_top += static_cast<int16_t>(HIWORD(wparam)) < 0 ? 1 : -1;
    if (m_top < 0)
        m_top = 0;
    if (m_top >= GetItemCountM())
        m_top = GetItemCountM() - 1;
    MoveBarToTop();
    Invalidate();
    return false;
    KEL_CATCH
}

KelWnd2DPopupMenuCL::KelWnd2DPopupMenuCL() : KelWnd2DListCL("system_pupupMenu", nullptr, 0, 0, 0, 0, 0) {}

KelWnd2DPopupMenuCL::~KelWnd2DPopupMenuCL()
{
    try
    {
        KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
        if (manager->GetPopupM() == this)
            manager->SetPopupM(nullptr, false);
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

void KelWnd2DPopupMenuCL::AddItemM(const std::string& text)
{
    KEL_TRY
    KelWnd2DListCL::AddItemM(text);
    int widest = 0;
    for (const std::string& item : m_items)
        widest = std::max(widest, RowTextWidth(item));
    SetSizeM(widest + 15, GetItemCountM() * GetRowHeightM() + GetRowGapM() / 2);
    KEL_CATCH
}

void KelWnd2DPopupMenuCL::UpdateScrollBarM() {}

void KelWnd2DPopupMenuCL::ShowPopupM(bool show)
{
    KEL_TRY
    if (show)
        KelUIManagerCL::GetInstance()->SetPopupM(this, m_place);
    else
        KelUIManagerCL::GetInstance()->SetPopupM(nullptr, false);
    KEL_CATCH
}
