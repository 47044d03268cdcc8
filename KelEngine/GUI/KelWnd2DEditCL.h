#pragma once
// A one-line text input in the system's double-byte code page: a caret and a mouse selection
// counted in characters (KelMBString), a line longer than the box scrolled so the caret stays
// visible, Backspace, Delete, the arrows, copy, cut and paste with the clipboard, a byte limit, a
// password display, and KWM_RETURN (2000) on Enter. KWM_EDITCHANGE (2001) follows typed text and
// removals by Backspace or Delete; the Up and Down arrows send 1019 and 1018.
//
// Two bytes of a double-byte character typed as two WM_CHAR messages are put together before
// they are inserted. KelWnd2DLabelCL is a disabled edit without a frame, used as a text label.

#include <string>

#include "KelGuiPieces.h"
#include "KelMBString.h"
#include "KelWnd2DBaseCL.h"

constexpr DWORD KWS_VCENTER = 0x100000;
constexpr DWORD KWS_NOFRAME = 0x200000;

class KelWnd2DEditCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DEditCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style);
    ~KelWnd2DEditCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool LButtonDownM(WPARAM keys, POINT point) override;
    bool LButtonUpM(WPARAM keys, POINT point) override;
    bool LClickM(WPARAM keys, POINT point) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;
    bool OnFocusM(bool focus) override;
    bool InsertTextM(const std::string& text, bool notify) override;
    bool KeyDownM(WPARAM key, LPARAM lparam) override;
    bool IsShowCaretM() override;
    bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    void SetTextM(const std::string& text) override;

    /* 115 */ virtual bool DrawEditBackM(KelCanvasCL* canvas);

    void GetEditTextM(std::string& out) const { out = m_edit.GetBytes(); }
    const std::string& GetEditText() const { return m_edit.GetBytes(); }
    void SetEditIntM(int value);
    void SetLimitM(int bytes) { m_limit = bytes; }
    void SetTextColorM(D3DCOLOR color);
    void SetCaretColorM(D3DCOLOR color);
    void SetPasswordM(bool password);
    // Inserts without notifying; false when the byte limit refuses it.
    bool InsertAtM(int at, const std::string& text);
    void DeleteM();
    std::string GetRangeM(int a, int b) const;
    std::string CutRangeM(int a, int b);
    int CharAtM(int x);
    // Width and height of the first n characters.
    std::pair<int, int> TextWidthM(const KelMBString& text, int n);
    void ScrollToCaretM();

    int GetCaret() const { return m_caret; }
    int GetAnchor() const { return m_anchor; }
    int GetFirstVisible() const { return m_firstVisible; }
    void SetSelection(int anchor, int caret);

private:
    bool HasSelection() const { return m_anchor >= 0 && m_anchor != m_caret; }
    bool WouldPassLimit(const std::string& text) const;
    void RemoveSelection();
    void OnChar(WPARAM character);
    void CopySelection(bool cut);
    void Paste();
    // The text as shown from the first visible character: stars in password mode.
    std::string Shown(int from, int to);

    KelMBString m_edit;
    int m_caret = 0;
    int m_firstVisible = 0;
    DWORD m_lastKeyTime = 0;
    bool m_selecting = false;
    int m_anchor = -1;
    int m_limit = 0;
    D3DCOLOR m_border = 0xFF8080FF;
    D3DCOLOR m_fill = 0xFFDCDCDC;
    D3DCOLOR m_caretColor = 0xFFFFFFFF;
    bool m_password = false;
    KelTexturePtr m_background;
    std::string m_pending;
};

class KelWnd2DLabelCL : public KelWnd2DEditCL
{
public:
    KelWnd2DLabelCL(const char* name, KelWndBaseCL* parent, const char* text, D3DCOLOR color, int x, int y,
                    int w, int h);
};
