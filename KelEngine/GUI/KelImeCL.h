#pragma once
// The text caret of the focused edit box, owned by the UI manager and drawn last in every frame:
// a vertical line that shows for 300 ms of every 600 ms of engine time, while the focus window
// reports that the caret lies inside it. The edit box tells it where the caret is.
//
// It also keeps the input method's result text for the manager to hand to the focus window; the
// composition and candidate display come with the input-method messages.

#include <string>

#include "Win32/WinTypes.h"

class KelCanvasCL;
typedef uint32_t D3DCOLOR;

class KelImeCL
{
public:
    KelImeCL();
    virtual ~KelImeCL();

    // Desktop coordinates of the caret's top, and its height.
    virtual void SetCaretM(int x, int y, int height);
    virtual POINT GetCaretM();
    // The result text so far; it and the composition are cleared.
    virtual std::string TakeResultM();
    virtual void RenderM(KelCanvasCL* canvas);

    void SetCaretColorM(D3DCOLOR color) { m_caretColor = color; }
    D3DCOLOR GetCaretColorM() const { return m_caretColor; }
    int GetCaretHeightM() const { return m_caretHeight; }

private:
    std::string m_result;
    std::string m_description;
    std::string m_candidates;
    std::string m_composition;
    int m_caretX = 0;
    int m_caretY = 0;
    int m_caretHeight = 12;
    D3DCOLOR m_caretColor = 0xFFFFFFFF;
};
