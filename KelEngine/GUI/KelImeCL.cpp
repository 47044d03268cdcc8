#include "KelImeCL.h"

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"
#include "KelWndBaseCL.h"

namespace
{
constexpr DWORD kBlinkPeriodMs = 600;
constexpr DWORD kBlinkOffMs = 300;
} // namespace

KelImeCL::KelImeCL() = default;

KelImeCL::~KelImeCL() = default;

void KelImeCL::SetCaretM(int x, int y, int height)
{
    m_caretX = x;
    m_caretY = y;
    m_caretHeight = height;
}

POINT KelImeCL::GetCaretM()
{
    return POINT{m_caretX, m_caretY};
}

std::string KelImeCL::TakeResultM()
{
    std::string result;
    result.swap(m_result);
    m_composition.clear();
    return result;
}

void KelImeCL::RenderM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    canvas->Translate(static_cast<float>(m_caretX), static_cast<float>(m_caretY));
    KelWndBaseCL* focus = KelUIManagerCL::GetInstance()->GetFocusWndM();
    if (focus != nullptr && focus->IsShowCaretM() && KelGetElapsedMs() % kBlinkPeriodMs > kBlinkOffMs)
    {
        canvas->SetColor(m_caretColor);
        canvas->DrawLine(0, 0, 0, m_caretHeight);
        canvas->FlushLines();
    }
    canvas->SetOrigin(0.0f, 0.0f);
    canvas->FlushImages();
    canvas->FlushText();
    canvas->FlushLines();
    KEL_CATCH
}
