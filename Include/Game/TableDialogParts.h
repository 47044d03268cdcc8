#pragma once
// What the table's small dialogs (exit, force exit, settings, stake, score, password, timed hint)
// share: the application object whose room sink carries their requests and whose host objects
// they read, the desktop they open on, and their common controls. Each control is created with
// the dialog as its parent: the window tree owns it, and the dialog keeps at most a plain pointer.

#include "HostInterfaces.h"
#include "KelWndBaseCL.h"

class KelWnd2DBaseCL;
class KelWnd2DButtonCL;
class KelWnd2DDialogCL;
class KelWnd2DFrameCL;
class KelWnd2DLabelCL;
class RoomSink;
class VGameCardBaseCL;

constexpr D3DCOLOR kDialogWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kDialogBlack = 0xFF000000;

// The application object of the module.
VGameCardBaseCL* TableApp();
// The room sink every request of the dialogs goes through.
RoomSink& TableRoomSink();
// The user's own player object; null while the host has none.
VarnokPlayer* TableUserPlayer();
// The desktop the dialogs open on; null after the GUI was destroyed.
KelWnd2DBaseCL* TableDesktop();

// Draggable by the left button and modal: while it is open it alone receives the mouse. A dialog
// that found no desktop is handed to the UI manager, which deletes it at its next update.
void OpenTableDialog(KelWnd2DDialogCL* dialog);
// The height of the dialog's title bar (0 without one).
int TitleHeight(KelWnd2DDialogCL* dialog);

// The background panel of the "GuiII" frame "DlgBack".
KelWnd2DFrameCL* AddDialogPanel(KelWnd2DDialogCL* dialog, const char* name, int x, int y, int w, int h);
// A read-only text line, 600 x 20 (the dialog cuts what passes its edge).
KelWnd2DLabelCL* AddDialogLabel(KelWnd2DDialogCL* dialog, const char* name, const char* text, D3DCOLOR color,
                                int x, int y);
// A button of the GUI configuration's "button" look with a caption; null (and logged) when the
// configuration has no such look.
KelWnd2DButtonCL* AddTextButton(KelWnd2DDialogCL* dialog, const char* name, const char* caption, int x, int y,
                                int w, int h, const KelWndMsgFun& onClick);
// A button of four state images of a texture-info set, sized from its normal image.
KelWnd2DButtonCL* AddImageButton(KelWnd2DDialogCL* dialog, const char* name, const char* infoName,
                                 const char* imageId, int x, int y, const KelWndMsgFun& onClick);
