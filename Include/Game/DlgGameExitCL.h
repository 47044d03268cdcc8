#pragma once
// The exit dialog, in the form the server allows. The plain question (flag true) lets the user
// leave normally. The request form (flag false) asks for a reason, which the other players read
// as a line "[<nickname>]说：<reason>" and answer; it also offers leaving by force. The label tells
// how many such requests the user has left.

#include "KelWnd2DDialogCL.h"

class KelWnd2DRichEditIICL;

class DlgGameExitCL : public KelWnd2DDialogCL
{
public:
    DlgGameExitCL(bool flag, int exitChances);
    ~DlgGameExitCL() override;

    // Sends the reason line and closes; a line the encoder refuses (over 255 bytes) is not sent
    // and the dialog stays open, so the reason can be shortened.
    void OnClickOK(KelWndMsg message);
    void OnClickForce(KelWndMsg message);
    void OnClickNormalOK(KelWndMsg message);
    void OnClickCancel(KelWndMsg message);

    int GetExitChances() const { return m_exitChances; }

private:
    void BuildQuestion();
    void BuildRequest();

    int m_exitChances;
    // Owned by the window tree (a child of this dialog); only in the request form.
    KelWnd2DRichEditIICL* m_reason = nullptr;
};
