#pragma once
// A read-only block of word-wrapped text lines on a translucent panel: text added is wrapped,
// character by character, to the window's width less 4 pixels in the window's own font. It does
// not scroll; lines below the window are still drawn (and clipped by whatever clips the window).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KelMBString.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DTextListCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DTextListCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style);
    ~KelWnd2DTextListCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    // Continues the last line with the text.
    bool InsertTextM(const std::string& text, bool notify) override;

    /* 115 */ virtual void OnTextAddedM();
    /* 116 */ virtual void RefreshM();
    // Mode 1 wraps the text into new lines; any other mode continues the last line first.
    /* 117 */ virtual void AddLineTextM(const std::string& text, int mode, int unused1 = 0, int unused2 = 0);
    /* 118 */ virtual void ClearLinesM();
    /* 119 */ virtual void DeleteLineM(int index);
    /* 120 */ virtual void SetTextLineSpaceM(int spacing);
    /* 121 */ virtual int GetTextLineSpaceM();
    /* 122 */ virtual int GetVisibleLinesM();
    /* 123 */ virtual int GetLineCountM();
    /* 124 */ virtual int GetLineHeightM();
    /* 125 */ virtual void SetLineBackColorM(D3DCOLOR color);
    /* 126 */ virtual void SetLineBorderColorM(D3DCOLOR color);
    /* 127 */ virtual void SetLineTextColorM(D3DCOLOR color);
    /* 128 */ virtual int GetWidthM();

    const std::string& GetLine(int index) const { return m_lines.at(static_cast<size_t>(index))->GetBytes(); }

    // Splits the text into lines no wider than `limit` by the width function (a line closes
    // before the character that would pass the limit, even when it is empty).
    static std::vector<std::string> Wrap(const std::string& text, int limit,
                                         const std::function<int(const std::string&)>& width);

private:
    std::vector<std::unique_ptr<KelMBString>> m_lines;
    int m_spacing = 6;
    D3DCOLOR m_back = 0x32000000;
    D3DCOLOR m_border = 0xFF00FFFF;
    D3DCOLOR m_lineText = 0xFF000000;
};
