#pragma once
// The vertical scroll bar: two arrow buttons and a draggable thumb (buttons "upButton",
// "midButton", "downButton") over a track image, all from the GUI configuration's "scrollV"
// element, holding a position in [minimum, maximum] and reporting each change with KWM_SCROLL
// (3002): {bar, new position, 0, new thumb y}.
//
// Its size is (up button width, bar height); a bar whose buttons leave no track keeps a dragged
// position at the minimum.

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DButtonCL;

class KelWnd2DScrollBarCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DScrollBarCL(const char* name, KelWndBaseCL* parent, int x, int y, int h, DWORD style);
    ~KelWnd2DScrollBarCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    std::pair<int, int> GetSizeM() override;

    // The position is raised to a new minimum but left above a lowered maximum until it next
    // changes.
    void SetBarRangeM(int minimum, int maximum);
    std::pair<int, int> GetBarRangeM() const { return {m_minimum, m_maximum}; }
    void SetBarStepM(int step);
    void SetBarPosM(int position);
    int GetBarPosM() const { return m_position; }
    void SetBarHeightM(int h);
    void LayoutBarM();
    void UpdateThumbM();

    KelWnd2DButtonCL* GetUpButton() const { return m_up; }
    KelWnd2DButtonCL* GetThumb() const { return m_thumb; }
    KelWnd2DButtonCL* GetDownButton() const { return m_down; }

private:
    void OnArrow(KelWndMsg message);
    void OnThumbPress(KelWndMsg message);
    void OnThumbRelease(KelWndMsg message);
    void OnThumbMove(KelWndMsg message);
    int ButtonHeight(KelWnd2DButtonCL* button) const;
    // The track's length the thumb travels; 0 or less when the buttons leave none.
    int Travel() const;

    // Children of the bar (owned by the window tree); null when their skin piece is missing.
    KelWnd2DButtonCL* m_up = nullptr;
    KelWnd2DButtonCL* m_thumb = nullptr;
    KelWnd2DButtonCL* m_down = nullptr;
    int m_barHeight = 0;
    KelTexturePtr m_track;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_position = 0;
    int m_reported = 0;
    int m_step = 1;
    bool m_dragging = false;
    POINT m_press{0, 0};
};
