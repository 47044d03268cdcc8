#pragma once
// The card games' layer of the seat window: the game's play window derives from it. It passes
// the drawing, the mouse and size changes on to the seat window unchanged.

#include "DlgGameWndCL.h"

class DlgGameWndCardBaseCL : public DlgGameWndCL
{
public:
    DlgGameWndCardBaseCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app);
    ~DlgGameWndCardBaseCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    bool OnSizeChangeM(KelWndBaseCL* window) override;
};
