#include "KelWnd2DRichEditIICL.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

#include "KelCanvasCL.h"
#include "KelClipboardText.h"
#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelImeCL.h"
#include "KelMBString.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Clipboard.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"

namespace
{
// One counter of run and face groups for every box of the process.
std::atomic<int> g_groups{0};
constexpr D3DCOLOR kHot = 0xFFFCE441;
constexpr DWORD kNoSkin = 0x100000;
// Marker names are compared from a buffer of this size; a longer stretch is plain text.
constexpr size_t kMaxMarkerName = 251;
constexpr size_t kMaxFaceId = 20;
const char* const kSkinPieces[] = {"backImage",      "upLeftCorner",    "upRightCorner",
                                   "downLeftCorner", "downRightCorner", "upFrame",
                                   "leftFrame",      "downFrame",       "rightFrame"};

bool SameIgnoringCase(const std::string& a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    return true;
}

size_t CharacterLength(const std::string& text, size_t at)
{
    return (static_cast<unsigned char>(text[at]) & 0x80) != 0 && at + 1 < text.size() ? 2 : 1;
}

} // namespace

KelRichItemCL::~KelRichItemCL() = default;

void KelRichTextItemCL::Draw(KelCanvasCL* canvas)
{
    const int sx = owner->GetMarginX() + x;
    const int sy = owner->GetMarginY() - owner->GetScrollPos() + y;
    const auto [w, h] = owner->GetSizeM();
    if (sy < -40 || sy > h + 40 || sx > w + 10)
        return;
    if (selectable)
    {
        canvas->SetColor(color);
        canvas->DrawLine(x, y + height, x + width, y + height);
    }
    canvas->SetTextColor(hot && selectable ? kHot : color);
    canvas->DrawText(text.c_str(), x, y, nullptr, false, 0);
    canvas->FlushText();
}

void KelRichFaceItemCL::Draw(KelCanvasCL* canvas)
{
    const int sx = owner->GetMarginX() + x;
    const int sy = owner->GetMarginY() - owner->GetScrollPos() + y;
    const auto [w, h] = owner->GetSizeM();
    if (sx > w || sx < -width || sy > h || sy < -height)
        return;
    KelDrawTextureAt(canvas, image.get(), x, y);
    canvas->FlushImages();
}

KelWnd2DRichEditIICL::KelWnd2DRichEditIICL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h,
                                           DWORD style)
    : KelWnd2DBaseCL(name, parent, style), m_textWidth(w), m_textHeight(h)
{
    KEL_TRY
    EnableM(true);
    AddStyleM(KWS_BKBUFFER);
    SetPosM(x, y);
    SetSizeM(w, h);
    m_colors = {{"RED", 0xFFFF0000},      {"GREEN", 0xFF00FF00},    {"BLUE", 0xFF0000FF},
                {"WHITE", 0xFFFFFFFF},    {"REDGREEN", 0xFFFFFF00}, {"GREENBLUE", 0xFF00FFFF},
                {"BLUEREAD", 0xFFFF00FF}, {"BLACK", 0xFF000000},    {"END", m_default}};
    if (KelTextureEntryMap* faces = KelTextureInfoManagerCL::GetInstance()->GetEntryMap("face"))
        for (const auto& entry : *faces)
            m_faces.insert(entry.first);
    for (const char* piece : kSkinPieces)
        if (KelTexturePtr image = KelCreatePieceTexture("RichEditII", piece))
            m_skin[piece] = std::move(image);
    m_font = KelFontManagerCL::GetInstance()->GetFont("system");
    KEL_CATCH
}

KelWnd2DRichEditIICL::~KelWnd2DRichEditIICL() = default;

int KelWnd2DRichEditIICL::FontHeight() const
{
    return m_font != nullptr ? m_font->GetHeight() : 12;
}

int KelWnd2DRichEditIICL::TextWidth(const std::string& text) const
{
    return m_font != nullptr ? m_font->GetTextWidth(text.c_str()) : 0;
}

void KelWnd2DRichEditIICL::SetSizeM(int width, int height)
{
    m_textWidth = width;
    m_textHeight = height;
    KelWnd2DBaseCL::SetSizeM(width, height);
}

void KelWnd2DRichEditIICL::SetTextRectM(int top, int left, int bottom, int right)
{
    m_textWidth = right - left;
    m_textHeight = bottom - top;
    m_marginX = left;
    m_marginY = top;
}

void KelWnd2DRichEditIICL::SetDefaultColorM(D3DCOLOR color)
{
    m_default = color;
    m_current = color;
    m_colors["END"] = color;
}

size_t KelWnd2DRichEditIICL::Marker(const std::string& text, size_t at, std::string* name) const
{
    if (text[at] != '#')
        return 0;
    const size_t close = text.find('#', at + 1);
    if (close == std::string::npos || close == at + 1 || close - at - 1 > kMaxMarkerName)
        return 0;
    *name = text.substr(at + 1, close - at - 1);
    return close - at + 1;
}

void KelWnd2DRichEditIICL::AddTextM(const std::string& text)
{
    KEL_TRY
    std::string run;
    size_t at = 0;
    while (at < text.size())
    {
        std::string name;
        if (const size_t marker = Marker(text, at, &name))
        {
            Flush(&run);
            if (SameIgnoringCase(name, "SELECT"))
                m_selectable = true;
            else if (SameIgnoringCase(name, "SELECTEND"))
                m_selectable = false;
            else
            {
                const auto color = m_colors.find(name);
                m_current = color != m_colors.end() ? color->second : m_default;
            }
            at += marker;
            continue;
        }
        size_t face = 0;
        if (!m_faces.empty())
            for (size_t n = 1; n <= std::min(kMaxFaceId, text.size() - at) && face == 0; ++n)
                if (m_faces.count(text.substr(at, n)) != 0)
                    face = n;
        if (face != 0)
        {
            Flush(&run);
            AddFace(text.substr(at, face));
            at += face;
            continue;
        }
        run += text[at++];
    }
    Flush(&run);
    Invalidate();
    KEL_CATCH
}

void KelWnd2DRichEditIICL::Flush(std::string* run)
{
    if (run->empty())
        return;
    const int group = ++g_groups;
    std::string rest = *run;
    run->clear();
    while (!rest.empty())
    {
        const int room = m_textWidth - m_x;
        size_t fits = 0;
        int width = 0;
        while (fits < rest.size())
        {
            const size_t length = CharacterLength(rest, fits);
            const int w = TextWidth(rest.substr(fits, length));
            if (width + w > room)
                break;
            width += w;
            fits += length;
        }
        // A box narrower than one character still takes one per line, so the layout ends.
        if (fits == 0 && m_x == 0)
        {
            fits = CharacterLength(rest, 0);
            width = TextWidth(rest.substr(0, fits));
        }
        if (fits > 0)
        {
            auto item = std::make_unique<KelRichTextItemCL>(this);
            item->text = rest.substr(0, fits);
            item->x = m_x;
            item->y = m_lineTop;
            item->lineTop = m_lineTop;
            item->width = width;
            item->height = FontHeight();
            item->group = group;
            item->line = m_line;
            item->color = m_current;
            item->selectable = m_selectable;
            m_items.push_back(std::move(item));
            m_x += width;
            RealignLine();
        }
        else
        {
            m_x += room;
        }
        rest.erase(0, fits);
        if (!rest.empty())
            NewLineM();
    }
}

void KelWnd2DRichEditIICL::AddFace(const std::string& id)
{
    KelTexturePtr image = KelCreateGuiTexture("face", id);
    if (image == nullptr)
        return;
    const int w = image->GetWidth();
    const int h = image->GetHeight();
    if (m_textWidth < m_x + w)
        NewLineM();
    auto item = std::make_unique<KelRichFaceItemCL>(this);
    item->image = std::move(image);
    item->id = id;
    item->x = m_x;
    item->y = m_lineTop;
    item->lineTop = m_lineTop;
    item->width = w;
    item->height = h;
    item->group = ++g_groups;
    item->line = m_line;
    m_x += w;
    m_lineHeightSoFar = std::max(m_lineHeightSoFar, h);
    m_items.push_back(std::move(item));
    Invalidate();
    RealignLine();
}

int KelWnd2DRichEditIICL::RealignLine()
{
    int height = std::max(FontHeight(), m_lineHeightSoFar);
    auto first = m_items.end();
    while (first != m_items.begin() && (*(first - 1))->line == m_line)
    {
        --first;
        height = std::max(height, (*first)->height);
    }
    for (auto item = first; item != m_items.end(); ++item)
        (*item)->y = (*item)->lineTop + height - (*item)->height;
    return height;
}

void KelWnd2DRichEditIICL::NewLineM()
{
    KEL_TRY
    if (m_items.empty())
        return;
    RealignLine();
    m_x = 0;
    ++m_line;
    const KelRichItemCL& last = *m_items.back();
    m_lineTop = last.y + last.height + m_lineSpacing;
    m_lineHeightSoFar = 0;
    KEL_CATCH
}

void KelWnd2DRichEditIICL::RemoveLastItem()
{
    if (m_items.empty())
        return;
    m_items.pop_back();
    if (!m_items.empty())
    {
        const KelRichItemCL& last = *m_items.back();
        m_x = last.x + last.width;
        m_lineTop = last.lineTop;
        m_line = last.line;
    }
    else
    {
        m_x = 0;
        m_lineTop = 0;
        m_line = 0;
        m_scroll = 0;
    }
    m_lineHeightSoFar = 0;
    RealignLine();
    Invalidate();
}

void KelWnd2DRichEditIICL::ReflowTypedTail()
{
    size_t count = 0;
    for (auto item = m_items.rbegin(); item != m_items.rend(); ++item)
    {
        auto* text = dynamic_cast<KelRichTextItemCL*>(item->get());
        if (text == nullptr || text->line != m_line || text->selectable || text->color != m_current)
            break;
        ++count;
    }
    std::string joined;
    for (size_t i = m_items.size() - count; i < m_items.size(); ++i)
        joined += m_items[i]->Text();
    for (size_t i = 0; i < count; ++i)
        RemoveLastItem();
    AddTextM(joined);
}

std::string KelWnd2DRichEditIICL::GetPlainTextM()
{
    std::string text;
    for (const auto& item : m_items)
        text += item->Text();
    return text;
}

int KelWnd2DRichEditIICL::MaxScroll() const
{
    return m_lineTop + (m_lineHeightSoFar != 0 ? m_lineHeightSoFar : 20) - m_h;
}

void KelWnd2DRichEditIICL::SetScrollPosM(int y)
{
    m_scroll = std::max(0, std::min(y, MaxScroll()));
    Invalidate();
}

bool KelWnd2DRichEditIICL::IsScrollAtEndM()
{
    const int maximum = MaxScroll();
    return maximum < 0 || std::abs(maximum - m_scroll) < 5;
}

bool KelWnd2DRichEditIICL::MouseMoveM(WPARAM, POINT point)
{
    KEL_TRY
    for (const auto& item : m_items)
        item->hot = false;
    const int px = point.x - m_marginX;
    const int py = point.y - m_marginY + m_scroll;
    const auto hit = std::find_if(m_items.begin(), m_items.end(),
                                  [px, py](const auto& item)
                                  {
                                      return item->selectable && px >= item->x &&
                                             px <= item->x + item->width && py >= item->y &&
                                             py <= item->y + item->height;
                                  });
    if (hit != m_items.end())
    {
        const int group = (*hit)->group;
        for (const auto& item : m_items)
            item->hot = item->group == group;
    }
    Invalidate();
    return false;
    KEL_CATCH
}

bool KelWnd2DRichEditIICL::MouseOutM(WPARAM, POINT)
{
    for (const auto& item : m_items)
        item->hot = false;
    Invalidate();
    return false;
}

bool KelWnd2DRichEditIICL::MouseWheelM(WPARAM wparam, POINT)
{
    KEL_TRY
    const int notches = static_cast<int16_t>(HIWORD(wparam)) / 120;
    SetScrollPosM(notches < 0 ? m_scroll + m_wheelStep : m_scroll - m_wheelStep);
    Invalidate();
    return false;
    KEL_CATCH
}

void KelWnd2DRichEditIICL::HandCaretToIme()
{
    const int height = m_items.empty() ? 12 : m_items.back()->y + m_items.back()->height - m_lineTop;
    const POINT at = GetPosInScreenM(m_x + m_marginX, m_lineTop + m_marginY - m_scroll);
    KelUIManagerCL::GetInstance()->GetImeM()->SetCaretM(at.x, at.y, height);
}

bool KelWnd2DRichEditIICL::OnFocusM(bool focus)
{
    KEL_TRY
    if (focus && m_enabled)
        HandCaretToIme();
    return false;
    KEL_CATCH
}

bool KelWnd2DRichEditIICL::IsShowCaretM()
{
    KEL_TRY
    const POINT caret = KelUIManagerCL::GetInstance()->GetImeM()->GetCaretM();
    const POINT local = ChangeScreenToClientM(caret.x, caret.y);
    return local.x >= 0 && local.y >= 0 && local.x <= m_w && local.y <= m_h;
    KEL_CATCH
}

bool KelWnd2DRichEditIICL::InsertTextM(const std::string& text, bool)
{
    KEL_TRY
    if (m_editable && static_cast<int>(GetPlainTextM().size() + text.size()) <= m_maxLength)
        AddTextM(text);
    return true;
    KEL_CATCH
}

void KelWnd2DRichEditIICL::OnChar(WPARAM character)
{
    if (character >= 0x20 && character <= 0x7E)
    {
        InsertTextM(std::string(1, static_cast<char>(character)), true);
        ReflowTypedTail();
    }
    else if (character > 0x80 && character <= 0xFF && !KelUIManagerCL::GetInstance()->IsImeOnM())
    {
        m_pending += static_cast<char>(character);
        if (m_pending.size() >= 2)
        {
            InsertTextM(m_pending, true);
            m_pending.clear();
        }
    }
}

void KelWnd2DRichEditIICL::OnKeyDown(WPARAM key)
{
    if (key == VK_BACK)
    {
        if (m_items.empty())
            return;
        if (m_items.back()->IsImage())
        {
            RemoveLastItem();
            return;
        }
        KelMBString text(m_items.back()->Text());
        RemoveLastItem();
        text.Erase(text.GetCount() - 1, 1);
        AddTextM(text.GetBytes());
    }
    else if (key == VK_RETURN)
    {
        NotifyM(KWM_RETURN);
    }
    else if (key == 'V' && m_enabled && KelCtrlHeld())
    {
        InsertTextM(KelReadClipboardText(), true);
    }
}

bool KelWnd2DRichEditIICL::PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    if (message == WM_CHAR)
    {
        if (m_editable)
            OnChar(wparam);
        return false;
    }
    if (message == WM_KEYDOWN)
    {
        if (!m_editable)
            return false;
        if (wparam == VK_BACK || wparam == VK_RETURN || wparam == 'V')
        {
            OnKeyDown(wparam);
            return false;
        }
    }
    return KelWnd2DBaseCL::PostMessageM(window, message, wparam, lparam);
    KEL_CATCH
}

bool KelWnd2DRichEditIICL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return true;
    const auto skin = [this](const char* piece) -> KelTextureCL*
    {
        const auto found = m_skin.find(piece);
        return found != m_skin.end() ? found->second.get() : nullptr;
    };
    const bool skinned = (m_style & kNoSkin) == 0;
    if (KelTextureCL* back = skin("backImage"); skinned && back != nullptr)
    {
        back->SetDrawRect(KelRect(0, 0, m_w, m_h));
        back->Render(canvas);
        canvas->FlushImages();
    }
    canvas->Translate(static_cast<float>(m_marginX), static_cast<float>(m_marginY - m_scroll));
    for (const auto& item : m_items)
        item->Draw(canvas);
    canvas->FlushImages();
    canvas->FlushText();
    canvas->Translate(static_cast<float>(-m_marginX), static_cast<float>(m_scroll - m_marginY));
    KelTextureCL* up = skin("upFrame");
    KelTextureCL* left = skin("leftFrame");
    KelTextureCL* down = skin("downFrame");
    KelTextureCL* right = skin("rightFrame");
    KelTextureCL* corners[4] = {skin("upLeftCorner"), skin("upRightCorner"), skin("downLeftCorner"),
                                skin("downRightCorner")};
    if (skinned && up && left && down && right && corners[0] && corners[1] && corners[2] && corners[3])
    {
        const auto edge = [canvas](KelTextureCL* t, const KelRect& rect)
        {
            t->SetDrawRect(rect);
            t->Render(canvas);
        };
        edge(up, KelRect(0, 0, m_w, up->GetRect().Height()));
        edge(left, KelRect(0, 0, left->GetRect().Width(), m_h));
        edge(down, KelRect(0, m_h - down->GetRect().Height(), m_w, m_h));
        edge(right, KelRect(m_w - right->GetRect().Width(), 0, m_w, m_h));
        canvas->FlushImages();
        KelDrawTextureAt(canvas, corners[0], 0, 0);
        KelDrawTextureAt(canvas, corners[1], m_w - corners[1]->GetWidth(), 0);
        KelDrawTextureAt(canvas, corners[2], 0, m_h - corners[2]->GetHeight());
        KelDrawTextureAt(canvas, corners[3], m_w - corners[3]->GetWidth(), m_h - corners[3]->GetHeight());
        canvas->FlushImages();
    }
    if (m_enabled)
        HandCaretToIme();
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}
