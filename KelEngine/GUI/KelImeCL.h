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
    // The result text so far, which is cleared; a non-empty result also ends the composition.
    virtual std::string TakeResultM();
    virtual void RenderM(KelCanvasCL* canvas);
    // The input-method messages, while the UI manager's switch is on.
    virtual void OnNotifyM(HWND window, WPARAM wparam);
    virtual void OnCompositionM(HWND window, LPARAM lparam);
    virtual void OnCharM(WPARAM character);

    void SetCaretColorM(D3DCOLOR color) { m_caretColor = color; }
    D3DCOLOR GetCaretColorM() const { return m_caretColor; }
    int GetCaretHeightM() const { return m_caretHeight; }
    const std::string& GetComposition() const { return m_composition; }
    const std::string& GetCandidates() const { return m_candidates; }
    const std::string& GetDescription() const { return m_description; }
    const std::string& GetResult() const { return m_result; }

private:
    void RebuildCandidates(HWND window);
    void DrawBoxes(KelCanvasCL* canvas);

    std::string m_result;
    std::string m_description;
    std::string m_candidates;
    std::string m_composition;
    int m_caretX = 0;
    int m_caretY = 0;
    int m_caretHeight = 12;
    D3DCOLOR m_caretColor = 0xFFFFFFFF;
};
