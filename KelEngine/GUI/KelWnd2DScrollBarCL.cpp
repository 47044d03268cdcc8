#include "KelWnd2DScrollBarCL.h"

#include <algorithm>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelGuiConfig.h"
#include "KelTextureCL.h"
#include "KelWnd2DButtonCL.h"

namespace
{
KelWnd2DButtonCL* SkinnedButton(const char* name, KelWndBaseCL* parent)
{
    KelGuiPiece piece;
    if (!KelGetGuiPiece("scrollV", name, &piece))
        return nullptr;
    return new KelWnd2DButtonCL(name, parent, piece.file.c_str(), piece.data.c_str(), 0, 0);
}
} // namespace

KelWnd2DScrollBarCL::KelWnd2DScrollBarCL(const char* name, KelWndBaseCL* parent, int x, int y, int h,
                                         DWORD style)
    : KelWnd2DBaseCL(name, parent, style), m_barHeight(h)
{
    KEL_TRY
    using boost::placeholders::_1;
    SetPosM(x, y);
    m_up = SkinnedButton("upButton", this);
    m_thumb = SkinnedButton("midButton", this);
    m_down = SkinnedButton("downButton", this);
    m_track = KelCreatePieceTexture("scrollV", "backImage");
    for (KelWnd2DButtonCL* arrow : {m_up, m_down})
        if (arrow != nullptr)
            arrow->SetMsgFunM(KWM_LCLICK, boost::bind(&KelWnd2DScrollBarCL::OnArrow, this, _1));
    if (m_thumb != nullptr)
    {
        m_thumb->SetMsgFunM(KWM_LBUTTONDOWN, boost::bind(&KelWnd2DScrollBarCL::OnThumbPress, this, _1));
        m_thumb->SetMsgFunM(KWM_LBUTTONUP, boost::bind(&KelWnd2DScrollBarCL::OnThumbRelease, this, _1));
        m_thumb->SetMsgFunM(KWM_MOUSEMOVE, boost::bind(&KelWnd2DScrollBarCL::OnThumbMove, this, _1));
    }
    LayoutBarM();
    KEL_CATCH
}

KelWnd2DScrollBarCL::~KelWnd2DScrollBarCL() = default;

int KelWnd2DScrollBarCL::ButtonHeight(KelWnd2DButtonCL* button) const
{
    return button != nullptr ? button->GetSizeM().second : 0;
}

int KelWnd2DScrollBarCL::Travel() const
{
    return m_barHeight - ButtonHeight(m_up) - ButtonHeight(m_thumb) - ButtonHeight(m_down);
}

std::pair<int, int> KelWnd2DScrollBarCL::GetSizeM()
{
    return {m_up != nullptr ? m_up->GetSizeM().first : 0, m_barHeight};
}

void KelWnd2DScrollBarCL::LayoutBarM()
{
    if (m_thumb != nullptr)
        m_thumb->SetPosM(0, ButtonHeight(m_up));
    if (m_down != nullptr)
        m_down->SetPosM(0, m_barHeight - ButtonHeight(m_down));
}

void KelWnd2DScrollBarCL::SetBarRangeM(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    if (m_position < m_minimum)
        m_position = m_minimum;
    Invalidate();
}

void KelWnd2DScrollBarCL::SetBarStepM(int step)
{
    m_step = step;
    Invalidate();
}

void KelWnd2DScrollBarCL::SetBarPosM(int position)
{
    KEL_TRY
    m_position = std::clamp(position, m_minimum, std::max(m_minimum, m_maximum));
    UpdateThumbM();
    Invalidate();
    KEL_CATCH
}

void KelWnd2DScrollBarCL::SetBarHeightM(int h)
{
    m_barHeight = h;
    LayoutBarM();
    Invalidate();
}

void KelWnd2DScrollBarCL::UpdateThumbM()
{
    KEL_TRY
    int thumbY = ButtonHeight(m_up);
    if (m_maximum != m_minimum)
        thumbY += static_cast<int>(static_cast<double>(m_position - m_minimum) / (m_maximum - m_minimum) *
                                   std::max(0, Travel()));
    if (m_thumb != nullptr)
        m_thumb->SetPosM(0, thumbY);
    if (m_position != m_reported)
    {
        m_reported = m_position;
        SendMessageM(KWM_SCROLL, KelWndMsg{this, m_position, 0, thumbY});
    }
    KEL_CATCH
}

void KelWnd2DScrollBarCL::OnArrow(KelWndMsg message)
{
    KEL_TRY
    if (message.sender == nullptr)
        return;
    if (message.sender == m_up)
        m_position = std::max(m_minimum, m_position - m_step);
    else if (message.sender == m_down)
        m_position = std::min(m_maximum, m_position + m_step);
    UpdateThumbM();
    Invalidate();
    KEL_CATCH
}

void KelWnd2DScrollBarCL::OnThumbPress(KelWndMsg message)
{
    m_dragging = true;
    m_press = POINT{message.param2, message.param3};
    Invalidate();
}

void KelWnd2DScrollBarCL::OnThumbRelease(KelWndMsg)
{
    m_dragging = false;
    Invalidate();
}

void KelWnd2DScrollBarCL::OnThumbMove(KelWndMsg message)
{
    KEL_TRY
    if (!m_dragging || m_thumb == nullptr)
        return;
    const int offset = m_thumb->GetPosM().second + (message.param3 - m_press.y) - ButtonHeight(m_up);
    const int travel = Travel();
    // Without a track there is nowhere to drag to: the position stays at the minimum.
    const int position =
        travel > 0
            ? m_minimum + static_cast<int>(static_cast<double>(m_maximum - m_minimum) * offset / travel)
            : m_minimum;
    m_position = std::clamp(position, m_minimum, std::max(m_minimum, m_maximum));
    UpdateThumbM();
    Invalidate();
    KEL_CATCH
}

bool KelWnd2DScrollBarCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas != nullptr && m_track != nullptr)
    {
        m_track->SetDrawRect(
            KelRect(0, ButtonHeight(m_up), m_track->GetRect().Width(), m_barHeight - ButtonHeight(m_down)));
        m_track->Render(canvas);
        canvas->FlushImages();
    }
    return true;
    KEL_CATCH
}
