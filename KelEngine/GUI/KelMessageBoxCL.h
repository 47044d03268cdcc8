#pragma once
// A ready-made modal dialog on the desktop: a title, a wrapped text, and OK (KWS_MB_OK) or OK and
// Cancel (KWS_MB_OKCANCEL) buttons, centred, draggable, with the three system buttons. Its
// buttons send KWM_MSGBOXOK (4001, param1 1) or KWM_MSGBOXCANCEL (4002) and close it; its close
// button acts as the dialog's Cancel (3004, 3006).

#include "KelWnd2DDialogCL.h"

class KelMessageBoxCL : public KelWnd2DDialogCL
{
public:
    KelMessageBoxCL(const char* name, const char* title, const char* text, DWORD style);
    ~KelMessageBoxCL() override;

    // One value the box carries for its creator (a player id the answer is about), read back by
    // the handler of the box's answer through the message's sender.
    void SetUserValueM(int value) { m_userValue = value; }
    int GetUserValueM() const { return m_userValue; }

private:
    int m_userValue = 0;
    void OnButton(KelWndMsg message);
};
