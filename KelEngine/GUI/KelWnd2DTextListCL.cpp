#include "KelWnd2DTextListCL.h"

#include "KelCanvasCL.h"
#include "KelFontCL.h"
#include "KelGuard.h"

KelWnd2DTextListCL::KelWnd2DTextListCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h,
                                       DWORD style)
    : KelWnd2DBaseCL(name, parent, style)
{
    KEL_TRY
    SetPosM(x, y);
    SetSizeM(w, h);
    KEL_CATCH
}

KelWnd2DTextListCL::~KelWnd2DTextListCL() = default;

std::vector<std::string> KelWnd2DTextListCL::Wrap(const std::string& text, int limit,
                                                  const std::function<int(const std::string&)>& width)
{
    std::vector<std::string> lines;
    const KelMBString characters(text);
    std::string line;
    int lineWidth = 0;
    for (int i = 0; i < characters.GetCount(); ++i)
    {
        const std::string character = characters.CharacterBytes(i);
        const int characterWidth = width(character);
        if (lineWidth + characterWidth > limit)
        {
            lines.push_back(line);
            line.clear();
            lineWidth = 0;
        }
        line += character;
        lineWidth += characterWidth;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

void KelWnd2DTextListCL::AddLineTextM(const std::string& text, int mode, int, int)
{
    KEL_TRY
    if (mode != 1)
    {
        std::string joined = text;
        if (!m_lines.empty())
        {
            joined = m_lines.back()->GetBytes() + text;
            m_lines.pop_back();
        }
        AddLineTextM(joined, 1);
        return;
    }
    KelFontCL* font = GetSelfFontM();
    const auto width = [font](const std::string& character)
    { return font != nullptr ? font->GetTextWidth(character.c_str()) : 0; };
    for (const std::string& line : Wrap(text, m_w - 4, width))
        m_lines.push_back(std::make_unique<KelMBString>(line));
    OnTextAddedM();
    Invalidate();
    KEL_CATCH
}

bool KelWnd2DTextListCL::InsertTextM(const std::string& text, bool)
{
    KEL_TRY
    AddLineTextM(text, 0);
    Invalidate();
    return false;
    KEL_CATCH
}

void KelWnd2DTextListCL::OnTextAddedM() {}

void KelWnd2DTextListCL::RefreshM()
{
    Invalidate();
}

void KelWnd2DTextListCL::ClearLinesM()
{
    m_lines.clear();
    Invalidate();
}

void KelWnd2DTextListCL::DeleteLineM(int index)
{
    if (index >= 0 && index < GetLineCountM())
        m_lines.erase(m_lines.begin() + index);
}

void KelWnd2DTextListCL::SetTextLineSpaceM(int spacing)
{
    m_spacing = spacing;
}

int KelWnd2DTextListCL::GetTextLineSpaceM()
{
    return m_spacing;
}

int KelWnd2DTextListCL::GetLineHeightM()
{
    KelFontCL* font = GetSelfFontM();
    return (font != nullptr ? font->GetHeight() : 0) + m_spacing;
}

int KelWnd2DTextListCL::GetVisibleLinesM()
{
    const int height = GetLineHeightM();
    return height > 0 ? m_h / height : 0;
}

int KelWnd2DTextListCL::GetLineCountM()
{
    return static_cast<int>(m_lines.size());
}

void KelWnd2DTextListCL::SetLineBackColorM(D3DCOLOR color)
{
    m_back = color;
}

void KelWnd2DTextListCL::SetLineBorderColorM(D3DCOLOR color)
{
    m_border = color;
}

void KelWnd2DTextListCL::SetLineTextColorM(D3DCOLOR color)
{
    m_lineText = color;
}

int KelWnd2DTextListCL::GetWidthM()
{
    return m_w;
}

bool KelWnd2DTextListCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return true;
    canvas->FillRect(0, 0, m_w, m_h, m_back);
    canvas->DrawRect(0, 0, m_w, m_h, m_border);
    canvas->SetTextColor(m_lineText);
    const int lineHeight = GetLineHeightM();
    for (size_t i = 0; i < m_lines.size(); ++i)
        canvas->DrawText(m_lines[i]->c_str(), 2, lineHeight * static_cast<int>(i) + m_spacing / 2, nullptr,
                         false, 0);
    canvas->FlushText();
    return true;
    KEL_CATCH
}
