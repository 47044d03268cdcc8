#pragma once
// The password of a locked table. "确定" sends what was typed and the dialog stays open: the
// room closes it (by its name) once the server accepts the password, and a wrong one can be
// typed again.

#include "KelWnd2DDialogCL.h"

class KelWnd2DEditCL;

class DlgGamePassWordCL : public KelWnd2DDialogCL
{
public:
    DlgGamePassWordCL();
    ~DlgGamePassWordCL() override;

    void OnClickOK(KelWndMsg message);

private:
    // Owned by the window tree (a child of this dialog).
    KelWnd2DEditCL* m_password = nullptr;
};
