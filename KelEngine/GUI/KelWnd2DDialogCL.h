#pragma once
// The framed window of the GUI: a title bar of three images with a centred title, optional system
// buttons (function, minimise, close), corner and edge images around a tiled background, optional
// OK and Cancel buttons, dragging by the title bar, resizing by the frame, minimising to the
// title bar, and a modal mode in which it alone receives the mouse. Its look comes from the
// "dialog" element of the GUI configuration; missing pieces are not drawn.
//
// Messages: KWM_DLGEND (3004) then KWM_DLGOK (3007) on OK, KWM_DLGEND then KWM_DLGCANCEL (3006)
// on Cancel, KWM_DLGMIN (3005) when the minimise button toggles; all with the dialog as sender.
//
// KelWnd2DFrameCL is a nine-image panel of one texture-info set, its edges and background
// stretched between its corners.

#include <array>
#include <functional>
#include <string>

#include "KelGuiPieces.h"
#include "KelRect.h"
#include "KelWnd2DBaseCL.h"

constexpr DWORD KWS_SYSFUNC = 0x1;
constexpr DWORD KWS_SYSMIN = 0x2;
constexpr DWORD KWS_SYSCLOSE = 0x4;
constexpr DWORD KWS_RESIZE = 0x8;
constexpr DWORD KWS_MB_OK = 0x100000;
constexpr DWORD KWS_MB_OKCANCEL = 0x200000;

class KelWnd2DDialogCL : public KelWnd2DBaseCL
{
public:
    KelWnd2DDialogCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style);
    ~KelWnd2DDialogCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    void DrawPostM(KelCanvasCL* canvas) override;
    void UpDatedataM() override;
    void ActiveUpDateM() override;
    bool CanDragM(POINT point) override;
    bool ChangeWindowSizeM(POINT point, POINT press) override;
    bool IsCanSendMsgToChildM(const char* name) override;
    void CloseM() override;
    std::pair<int, int> GetSizeM() override;
    bool PtInWindowM(int x, int y) override;
    void SetSizeM(int width, int height) override;

    /* 115 */ virtual void DrawBarM(KelCanvasCL* canvas);
    /* 116 */ virtual void DrawWindowM(KelCanvasCL* canvas);
    /* 117 */ virtual void DrawWindowMBack(KelCanvasCL* canvas);
    /* 118 */ virtual void SetPopUpDlgM();
    /* 119 */ virtual void HookM(int value);
    /* 120 */ virtual void MinWindowM(bool minimised);
    /* 121 */ virtual bool GetResultM();
    /* 122 */ virtual void OK();
    /* 123 */ virtual void Cancel();
    /* 124 */ virtual KelRect GetTitleRectM();
    /* 125 */ virtual void CreateOKButton();
    /* 126 */ virtual KelWndBaseCL* GetOKButton();
    /* 127 */ virtual void CreateCancelButton();
    /* 128 */ virtual KelWndBaseCL* GetCancelButton();
    /* 129 */ virtual void initialDataM();
    /* 130 */ virtual void initialSysButtonM();
    /* 131 */ virtual void drawSysButtonM(KelCanvasCL* canvas);

    void SetTitleM(const std::string& title);
    const std::string& GetTitle() const { return m_title; }
    bool IsModal() const { return m_modal == 1; }
    bool IsMinimised() const { return m_minimised; }
    KelRect GetInnerRect() const { return m_inner; }
    // Click callbacks of the system, OK and Cancel buttons.
    void OnMinM(KelWndMsg message);
    void OnCloseM(KelWndMsg message);
    // The frame side under a point: 0 top, 1 left, 2 bottom, 3 right, -1 none.
    int pointInFrame(POINT point);

    // The title as drawn in a middle bar of the given width: cut with "..." when it is wider than
    // the width less 30 pixels, measured by the width function.
    static std::string FitTitle(const std::string& title, int barWidth,
                                const std::function<int(const std::string&)>& measure);

private:
    enum Frame
    {
        kUpLeft,
        kUpRight,
        kDownLeft,
        kDownRight,
        kBack,
        kUp,
        kLeft,
        kDown,
        kRight,
        kFrameCount,
    };

    bool HasFrame() const;
    int BarHeight() const { return m_titleRect.Height(); }
    // A frame piece's width and height as its source rectangle has them (5 when it is missing).
    int PieceWidth(Frame piece) const;
    int PieceHeight(Frame piece) const;
    void PlaceSysButtons();

    int m_modal = 0;
    std::array<KelTexturePtr, 3> m_bar;
    std::array<KelTexturePtr, kFrameCount> m_frame;
    KelRect m_inner;
    KelRect m_titleRect;
    std::string m_title;
    bool m_result = false;
};

class KelWnd2DFrameCL : public KelWnd2DBaseCL
{
public:
    // The images are the set's IDs of the base followed by "_upLeft", "_upRight", "_downLeft",
    // "_ownRight" (the down-right corner), "_up", "_left", "_down", "_right" and "_back".
    KelWnd2DFrameCL(const char* name, KelWndBaseCL* parent, const char* infoName, const char* imageBase,
                    int x, int y, int w, int h);
    ~KelWnd2DFrameCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

private:
    std::array<KelTexturePtr, 9> m_images;
};
