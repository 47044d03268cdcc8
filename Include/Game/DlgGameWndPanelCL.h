#pragma once
// The look the seat window's dialogs share: a modal dialog on the desktop, centred, dragged by its
// title bar, closed by its close button, with the message box's blue panel behind white text.
// Derived dialogs put their controls on the panel, below the title bar (ContentTop).

#include "KelWnd2DDialogCL.h"

class KelWnd2DTextListCL;

class DlgGameWndPanelCL : public KelWnd2DDialogCL
{
public:
    DlgGameWndPanelCL(const char* name, const char* title, int width, int height);
    ~DlgGameWndPanelCL() override;

protected:
    // The first row below the title bar.
    int ContentTop();
    // A block of white text lines on the panel, each wrapped to the block's width.
    KelWnd2DTextListCL* AddTextBlock(const char* name, int x, int y, int w, int h);
    // The dialog's OK button, centred at the bottom; it closes the dialog (OK).
    void AddCentredOk();
};
