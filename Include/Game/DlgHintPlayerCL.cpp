#include "DlgHintPlayerCL.h"

#include <cstdio>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"

namespace
{
constexpr D3DCOLOR kTextColor = 0xFF00FFFF;
constexpr int kTextX = 4;
constexpr int kTextY = 12;
constexpr int kLineHeight = 16;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 20;
// The button sits centred at the bottom, clear of the panel's rim.
constexpr int kButtonBottomGap = 6;
constexpr int kTickMs = 1000;

std::string Caption(int seconds)
{
    char caption[32];
    std::snprintf(caption, sizeof caption, "确定(%d)", seconds);
    return caption;
}
} // namespace

DlgHintPlayerCL::DlgHintPlayerCL(const char* name, const char* text, int x, int y, int width, int height,
                                 int seconds)
    : KelWnd2DDialogCL(name, TableDesktop(), x, y, width, height, KWS_NOTITLE),
      m_text(text != nullptr ? text : ""), m_countDown(seconds), m_textWidth(width - 8)
{
    KEL_TRY
    const KelRect client = GetClientRectM();
    AddDialogPanel(this, "DlgFindPosition_back", client.left, client.top, client.Width(), client.Height());
    m_ok = AddTextButton(this, "m_ok", Caption(seconds).c_str(), (m_w - kButtonWidth) / 2,
                         m_h - kButtonHeight - kButtonBottomGap, kButtonWidth, kButtonHeight,
                         boost::bind(&DlgHintPlayerCL::OnClickOK, this, boost::placeholders::_1));
    SetTimerM(KelWndTimer{kTimerId, kTickMs, 0,
                          boost::bind(&DlgHintPlayerCL::OnTimer, this, boost::placeholders::_1)});
    OpenTableDialog(this);
    BringToTopM();
    KEL_CATCH
}

DlgHintPlayerCL::~DlgHintPlayerCL() = default;

std::vector<std::string> DlgHintPlayerCL::SplitLines(const std::string& text, int width,
                                                     const std::function<int(const std::string&)>& measure)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t at = 0; at < text.size();)
    {
        // A lead byte with the high bit set starts a two-byte character.
        const size_t length =
            (static_cast<unsigned char>(text[at]) & 0x80) != 0 && at + 1 < text.size() ? 2 : 1;
        const std::string character = text.substr(at, length);
        if (!line.empty() && measure(line + character) > width)
        {
            lines.push_back(line);
            line.clear();
        }
        line += character;
        at += length;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

void DlgHintPlayerCL::DrawPostM(KelCanvasCL* canvas)
{
    KEL_TRY
    KelWnd2DDialogCL::DrawPostM(canvas);
    const std::vector<std::string> lines =
        SplitLines(m_text, m_textWidth,
                   [canvas](const std::string& line) { return canvas->GetTextWidth(line.c_str()); });
    canvas->SetTextColor(kTextColor);
    for (size_t i = 0; i < lines.size(); ++i)
        canvas->DrawText(lines[i].c_str(), kTextX, kTextY + kLineHeight * static_cast<int>(i), nullptr, false,
                         0);
    canvas->FlushText();
    KEL_CATCH
}

void DlgHintPlayerCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}

void DlgHintPlayerCL::OnTimer(int)
{
    KEL_TRY
    --m_countDown;
    if (m_countDown < 0)
    {
        CloseM();
        return;
    }
    if (m_ok != nullptr)
    {
        m_ok->SetTextM(Caption(m_countDown));
        m_ok->Invalidate();
    }
    KEL_CATCH
}
