#pragma once
// The force-exit question: leaving while the hand is played costs more points, so the user
// confirms it here. "强退" sends the force-leave request; both buttons close the dialog.

#include "KelWnd2DDialogCL.h"

class DlgGameForceExitCL : public KelWnd2DDialogCL
{
public:
    DlgGameForceExitCL();
    ~DlgGameForceExitCL() override;

    // The dialog's own Cancel (3004, 3006) stays reachable beside the button's handler.
    using KelWnd2DDialogCL::Cancel;

    void Exit(KelWndMsg message);
    void Cancel(KelWndMsg message);
};
