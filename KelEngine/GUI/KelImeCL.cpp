#include "KelImeCL.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"
#include "KelWndBaseCL.h"
#include "Win32/Ime.h"

namespace
{
constexpr DWORD kBlinkPeriodMs = 600;
constexpr DWORD kBlinkOffMs = 300;
// The result text holds at most this many bytes; more is refused with a beep.
constexpr size_t kResultLimit = 253;
constexpr size_t kTextLimit = 255;
// The area the candidate box keeps inside.
constexpr int kAreaWidth = 800;
constexpr int kAreaHeight = 600;

// The bytes of a composition string of the current context, or empty.
std::string ReadComposition(HWND window, DWORD index)
{
    HIMC context = ImmGetContext(window);
    if (context == nullptr)
        return "";
    std::string text;
    const LONG size = ImmGetCompositionStringA(context, index, nullptr, 0);
    if (size > 0)
    {
        text.resize(std::min<size_t>(static_cast<size_t>(size), kTextLimit));
        const LONG got =
            ImmGetCompositionStringA(context, index, text.data(), static_cast<DWORD>(text.size()));
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    ImmReleaseContext(window, context);
    return text;
}

void Box(KelCanvasCL* canvas, const std::string& text, int x, int y, D3DCOLOR fill, D3DCOLOR border,
         D3DCOLOR color)
{
    if (text.empty())
        return;
    const int w = canvas->GetTextWidth(text.c_str());
    const int h = canvas->GetFontHeight();
    canvas->FillRect(x - 2, y - 2, x + w + 2, y + h + 2, fill);
    canvas->DrawRect(x - 2, y - 2, x + w + 2, y + h + 2, border);
    canvas->SetTextColor(color);
    canvas->DrawText(text.c_str(), x, y, nullptr, false, 0);
}
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
    // A finished text ends its composition; taking nothing leaves the composition on show.
    if (!result.empty())
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
    if (KelUIManagerCL::GetInstance()->IsImeOnM())
        DrawBoxes(canvas);
    canvas->SetOrigin(0.0f, 0.0f);
    canvas->FlushImages();
    canvas->FlushText();
    canvas->FlushLines();
    KEL_CATCH
}

void KelImeCL::DrawBoxes(KelCanvasCL* canvas)
{
    Box(canvas, m_composition, m_caretX, m_caretY, 0x96000000, 0xFF000000, 0xFFFFFFFF);
    Box(canvas, m_description, 5, 5, 0x640000C8, 0xFF000000, 0xFFFFFFFF);
    if (m_candidates.empty())
        return;
    const int fontHeight = canvas->GetFontHeight();
    const int x = std::min(m_caretX, kAreaWidth - canvas->GetTextWidth(m_candidates.c_str()));
    int y = m_caretY + m_caretHeight + 4;
    if (y + 4 * fontHeight > kAreaHeight)
        y -= fontHeight * 5 / 2;
    Box(canvas, m_candidates, x, y, 0x96000096, 0xC8000064, 0xC8FFFFFF);
    canvas->FlushText();
}

void KelImeCL::RebuildCandidates(HWND window)
{
    m_candidates.clear();
    HIMC context = ImmGetContext(window);
    if (context == nullptr)
        return;
    const DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
    if (size >= sizeof(CANDIDATELIST))
    {
        std::vector<char> block(size);
        auto* list = reinterpret_cast<CANDIDATELIST*>(block.data());
        if (ImmGetCandidateListA(context, 0, list, size) == size)
        {
            int number = 1;
            for (DWORD i = list->dwPageStart; i < list->dwCount && i < list->dwPageStart + list->dwPageSize;
                 ++i)
            {
                DWORD offset = 0;
                std::memcpy(&offset, block.data() + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD),
                            sizeof offset);
                if (offset >= size)
                    break;
                const char* candidate = block.data() + offset;
                const std::string item = std::to_string(number++) + "." +
                                         std::string(candidate, strnlen(candidate, size - offset));
                if (m_candidates.size() + item.size() > kTextLimit)
                    break;
                m_candidates += item;
            }
        }
    }
    ImmReleaseContext(window, context);
}

void KelImeCL::OnNotifyM(HWND window, WPARAM wparam)
{
    KEL_TRY
    char description[kTextLimit + 1] = {};
    if (ImmGetDescriptionA(GetKeyboardLayout(0), description, sizeof description) == 0)
        m_description = "输入法关闭";
    else
        m_description = description;
    if (wparam == IMN_OPENCANDIDATE || wparam == IMN_CHANGECANDIDATE)
        RebuildCandidates(window);
    else if (wparam == IMN_CLOSECANDIDATE)
        m_candidates.clear();
    KEL_CATCH
}

void KelImeCL::OnCompositionM(HWND window, LPARAM lparam)
{
    KEL_TRY
    if ((lparam & GCS_RESULTSTR) != 0)
    {
        const std::string result = ReadComposition(window, GCS_RESULTSTR);
        if (m_result.size() + result.size() > kResultLimit)
            MessageBeep(0);
        else
            m_result += result;
    }
    if ((lparam & GCS_COMPSTR) != 0)
        m_composition = ReadComposition(window, GCS_COMPSTR);
    if ((lparam & GCS_COMPREADSTR) != 0)
        ReadComposition(window, GCS_COMPREADSTR);
    KEL_CATCH
}

void KelImeCL::OnCharM(WPARAM character)
{
    KEL_TRY
    if (character == 8)
    {
        // The last character: two bytes when both are above 0xA0 (a GBK character).
        const size_t n = m_result.size();
        if (n >= 2 && static_cast<unsigned char>(m_result[n - 1]) > 0xA0 &&
            static_cast<unsigned char>(m_result[n - 2]) > 0xA0)
            m_result.resize(n - 2);
        else if (n >= 1)
            m_result.resize(n - 1);
        return;
    }
    if (!ImmIsIME(GetKeyboardLayout(0)) && character >= 0x20 && character <= 0x7F && m_result.size() < 254)
        m_result += static_cast<char>(character);
    KEL_CATCH
}
