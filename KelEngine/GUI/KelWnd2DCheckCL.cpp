#include "KelWnd2DCheckCL.h"

#include <algorithm>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelFontCL.h"
#include "KelGuard.h"
#include "KelTextureCL.h"

namespace
{
bool Inside(POINT point, int w, int h)
{
    return point.x >= 0 && point.y >= 0 && point.x <= w && point.y <= h;
}
} // namespace

KelWnd2DCheckCL::KelWnd2DCheckCL(const char* name, KelWndBaseCL* parent, const char* caption, int x, int y,
                                 DWORD style)
    : KelWnd2DBaseCL(name, parent, style)
{
    KEL_TRY
    m_text = caption != nullptr ? caption : "";
    SetPosM(x, y);
    initialDataM("check");
    KEL_CATCH
}

KelWnd2DCheckCL::~KelWnd2DCheckCL() = default;

KelTextureCL* KelWnd2DCheckCL::GetImage(int index) const
{
    return index >= 0 && index < 6 ? m_images[static_cast<size_t>(index)].get() : nullptr;
}

void KelWnd2DCheckCL::SetCheckM(bool ticked)
{
    m_ticked = ticked;
    Invalidate();
}

bool KelWnd2DCheckCL::IsCheckM()
{
    return m_ticked;
}

void KelWnd2DCheckCL::LayoutM(const std::string& caption)
{
    KEL_TRY
    KelTextureCL* box = m_images[0].get();
    if (box != nullptr)
    {
        SetSizeM(box->GetWidth(), box->GetHeight());
        KelFontCL* font = GetSelfFontM();
        if (!caption.empty() && font != nullptr)
        {
            const int textWidth = font->GetTextWidth(caption.c_str());
            const int fontHeight = font->GetHeight();
            SetPosM(m_x, m_y - (fontHeight - box->GetHeight()) / 2);
            m_captionX = m_w + m_gap;
            SetSizeM(m_captionX + textWidth, std::max(fontHeight, box->GetHeight()));
        }
    }
    Invalidate();
    KEL_CATCH
}

void KelWnd2DCheckCL::initialDataM(const std::string& element)
{
    KEL_TRY
    for (int i = 0; i < 6; ++i)
        m_images[static_cast<size_t>(i)] = KelCreatePieceTexture(element, "status_" + std::to_string(i));
    LayoutM(m_text);
    KEL_CATCH
}

void KelWnd2DCheckCL::SetImageM(KelTextureCL* texture, int index)
{
    KEL_TRY
    KelTexturePtr owned(texture);
    if (owned == nullptr || index < 0 || index > 5)
        return;
    m_images[static_cast<size_t>(index)] = std::move(owned);
    LayoutM(m_text);
    KEL_CATCH
}

bool KelWnd2DCheckCL::LButtonDownM(WPARAM, POINT point)
{
    if (!m_enabled)
        return false;
    m_pressed = true;
    if (Inside(point, m_w, m_h))
        m_look = 2;
    Invalidate();
    return false;
}

bool KelWnd2DCheckCL::LButtonUpM(WPARAM, POINT point)
{
    KEL_TRY
    if (!m_enabled)
        return false;
    m_pressed = false;
    if (Inside(point, m_w, m_h))
    {
        m_ticked = !m_ticked;
        m_look = 1;
        NotifyM(KWM_CHECKCHANGED);
    }
    Invalidate();
    return false;
    KEL_CATCH
}

bool KelWnd2DCheckCL::MouseInM(WPARAM, POINT)
{
    if (m_enabled)
    {
        m_look = 1;
        Invalidate();
    }
    return false;
}

bool KelWnd2DCheckCL::MouseOutM(WPARAM, POINT)
{
    if (m_enabled)
    {
        m_look = 0;
        Invalidate();
    }
    return false;
}

bool KelWnd2DCheckCL::MouseMoveM(WPARAM, POINT point)
{
    m_look = !Inside(point, m_w, m_h) ? 0 : m_pressed ? 2 : 1;
    if (m_pressed)
        Invalidate();
    return false;
}

bool KelWnd2DCheckCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return KelWnd2DBaseCL::DrawM(canvas);
    const int index = m_enabled ? (m_ticked ? m_look + 3 : m_look) : (m_ticked ? 4 : 1);
    if (KelTextureCL* image = GetImage(index))
    {
        KelDrawTextureAt(canvas, image, 0, (m_h - image->GetHeight()) / 2);
        canvas->SetTextColor(0xFF000000);
        canvas->DrawText(m_text.c_str(), m_captionX, 0, nullptr, false, 0);
    }
    canvas->FlushImages();
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}

KelWnd2DRadioGroupCL::KelWnd2DRadioGroupCL(const char* name, KelWndBaseCL* parent, int x, int y, DWORD style)
    : KelWnd2DBaseCL(name, parent, style)
{
    KEL_TRY
    SetPosM(x, y);
    KEL_CATCH
}

KelWnd2DRadioGroupCL::~KelWnd2DRadioGroupCL() = default;

std::vector<KelWnd2DCheckCL*> KelWnd2DRadioGroupCL::GetRadios()
{
    // A box closed or taken away since it was added is no longer the group's.
    std::vector<KelWnd2DCheckCL*> boxes;
    for (KelWnd2DCheckCL* box : m_boxes)
        if (HoldsChild(box))
            boxes.push_back(box);
    return boxes;
}

KelWnd2DCheckCL* KelWnd2DRadioGroupCL::AddRadioM(const char* name, const char* caption, int x, int y)
{
    KEL_TRY
    auto* box = new KelWnd2DCheckCL(name, this, caption, x, y, 0);
    box->initialDataM("radio");
    box->SetMsgFunM(KWM_CHECKCHANGED,
                    boost::bind(&KelWnd2DRadioGroupCL::OnBoxChanged, this, boost::placeholders::_1));
    if (!m_fontName.empty())
    {
        box->SetFontNameM(m_fontName);
        box->LayoutM(caption != nullptr ? caption : "");
    }
    m_boxes.push_back(box);
    Invalidate();
    return box;
    KEL_CATCH
}

void KelWnd2DRadioGroupCL::SelectM(int index)
{
    KEL_TRY
    const std::vector<KelWnd2DCheckCL*> boxes = GetRadios();
    for (size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->SetCheckM(static_cast<int>(i) == index);
    Invalidate();
    KEL_CATCH
}

int KelWnd2DRadioGroupCL::GetSelectM()
{
    KEL_TRY
    const std::vector<KelWnd2DCheckCL*> boxes = GetRadios();
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i]->IsCheckM())
            return static_cast<int>(i);
    return -1;
    KEL_CATCH
}

void KelWnd2DRadioGroupCL::SelectByNameM(const std::string& name)
{
    KEL_TRY
    for (KelWnd2DCheckCL* box : GetRadios())
        box->SetCheckM(box->GetNameM() == name);
    Invalidate();
    KEL_CATCH
}

void KelWnd2DRadioGroupCL::OnBoxChanged(KelWndMsg message)
{
    KEL_TRY
    if (message.sender == nullptr)
        return;
    SelectByNameM(message.sender->GetNameM());
    Invalidate();
    SendMessageM(KWM_RADIOCHANGED, KelWndMsg{message.sender, 0, 0, 0});
    KEL_CATCH
}
