#pragma once
// A window with a rectangle in pixels relative to its parent. It turns the host's Windows mouse
// and keyboard messages into the GUI's messages, tracks the mouse (enter, leave, press, click,
// drag), draws with its own font, can cache itself and its children in a background image
// (style KWS_BKBUFFER), shows a tooltip and plays simple move animations.
//
// Every control and every game window derives from it. The operations 79 to 114 follow the
// base's 0 to 78 in this fixed order.

#include <memory>
#include <string>
#include <utility>

#include "KelRect.h"
#include "KelWndBaseCL.h"

class KelCameraCL;
class KelFontCL;
class KelImageCL;

class KelWnd2DBaseCL : public KelWndBaseCL
{
public:
    // Position and size 0, font "system".
    KelWnd2DBaseCL(const char* name, KelWndBaseCL* parent, DWORD style);

    ~KelWnd2DBaseCL() override;
    void RenderM(KelCanvasCL* canvas) override;
    void DrawTipM(KelCanvasCL* canvas) override;
    void UpDatedataM() override;
    void Invalidate() override;
    bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

    /* 79 */ virtual bool MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // (w, h).
    /* 80 */ virtual std::pair<int, int> GetSizeM();
    /* 81 */ virtual KelRect GetClientRectM();
    /* 82 */ virtual KelRect GetScreenRectM();
    // Both edges inclusive, in the window's own coordinates.
    /* 83 */ virtual bool PtInWindowM(int x, int y);
    /* 84 */ virtual void SetSelfFontM(KelCanvasCL* canvas);
    /* 85 */ virtual void ResumeSelfFontM(KelCanvasCL* canvas);
    /* 86 */ virtual void SetPosM(int x, int y);
    /* 87 */ virtual void SetSizeM(int width, int height);
    /* 88 */ virtual std::pair<int, int> GetPosM();
    // (x + dx, y + dy) in desktop coordinates.
    /* 89 */ virtual POINT GetPosInScreenM(int dx, int dy);
    /* 90 */ virtual POINT ChangeScreenToClientM(int x, int y);
    /* 91 */ virtual void SetDragLeftM();
    /* 92 */ virtual void SetDragRightM();
    /* 93 */ virtual void SetNoDragM();
    /* 94 */ virtual void SetFillColorM(D3DCOLOR color);
    /* 95 */ virtual bool IsMouseInM();
    /* 96 */ virtual void SetFontNameM(const std::string& name);
    /* 97 */ virtual std::string& GetFontNameM();
    /* 98 */ virtual KelFontCL* GetSelfFontM();
    /* 99 */ virtual void CreateBkBuffer();
    /* 100 */ virtual void SetShowMoveM(int x1, int y1, int x2, int y2);
    /* 101 */ virtual void StartShowMoveM();
    /* 102 */ virtual void SetHideMoveM(int x1, int y1, int x2, int y2);
    /* 103 */ virtual void StartHideCloseM();
    /* 104 */ virtual void StartHideMoveM();
    /* 105 */ virtual void UpdateMoveM();
    /* 106 */ virtual bool IsMoveEndM();
    /* 107 */ virtual void SetMoveTimeM(int ms);
    /* 108 */ virtual void SetShakeRatioM(float ratio);
    /* 109 */ virtual void SetShakeRangeM(float range);
    /* 110 */ virtual void SetTipM(const std::string& text);
    /* 111 */ virtual void SetTipColorM(D3DCOLOR color);
    /* 112 */ virtual KelWndBaseCL* FindBrotherM(const char* name);
    /* 113 */ virtual void SetTabStopM(bool tabStop);
    /* 114 */ virtual bool IsTabStopM();

    D3DCOLOR GetFillColor() const { return m_fillColor; }
    int GetDragMode() const { return m_dragMode; }
    POINT GetLeftPressPoint() const { return m_leftPress; }
    POINT GetRightPressPoint() const { return m_rightPress; }
    KelImageCL* GetBkBuffer() const { return m_bkBuffer; }
    bool IsBkDirty() const { return m_bkDirty; }
    const std::string& GetTip() const { return m_tip; }
    const std::string& GetTabName() const { return m_tabName; }

private:
    // The steps of MouseMessageM, one per message that needs more than a line or two.
    void TakeHoverM(WPARAM wparam, POINT pt);
    void OnMouseMoveMessageM(WPARAM wparam, int x, int y);
    void OnLeftButtonUpMessageM(WPARAM wparam, POINT pt);
    void OnRightButtonUpMessageM(WPARAM wparam, POINT pt);

protected:
    // Draws the window and its children into the background image.
    void RedrawBkBuffer();

    int m_x = 0;
    int m_y = 0;
    int m_w = 0;
    int m_h = 0;
    D3DCOLOR m_fillColor = 0xFFFFFFFF;
    POINT m_leftPress{4095, 4095};
    POINT m_rightPress{4095, 4095};
    int m_dragMode = 0;
    bool m_mouseIn = false;
    std::string m_fontName;
    std::string m_savedFontName;
    KelImageCL* m_bkBuffer = nullptr;
    bool m_bkDirty = true;
    bool m_sizeChanged = false;
    bool m_minimised = false;
    std::unique_ptr<KelCameraCL> m_bkCamera;
    POINT m_showFrom{4095, 4095};
    POINT m_showTo{4095, 4095};
    POINT m_hideFrom{4095, 4095};
    POINT m_hideTo{4095, 4095};
    int m_moveStart = 0;
    int m_moveMode = 0;
    int m_moveTime = 500;
    float m_shakeRatio = 0.7f;
    float m_shakeRange = 0.03f;
    D3DCOLOR m_tipColor = 0xFFFFFFFF;
    std::string m_tip;
    std::string m_tabName;
    bool m_tabStop = false;
};
