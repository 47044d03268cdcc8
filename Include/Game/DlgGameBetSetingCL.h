#pragma once
// The table lottery's stake: the user raises it in steps of 10, 20, 50 and 100 up to 500 and
// never beyond his coins, sends it with "确定", clears it with "清零", or starts without a stake.
// The stake is written in the middle of the dialog with the yellow digit font.

#include "KelWnd2DDialogCL.h"

class DlgGameBetSetingCL : public KelWnd2DDialogCL
{
public:
    DlgGameBetSetingCL();
    ~DlgGameBetSetingCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

    void OnClickBtn1(KelWndMsg message);
    void OnClickBtn2(KelWndMsg message);
    void OnClickBtn5(KelWndMsg message);
    void OnClickBtn10(KelWndMsg message);
    void OnClickOK(KelWndMsg message);
    void OnClickCancel(KelWndMsg message);
    void OnClickZero(KelWndMsg message);

    int GetStake() const { return m_stake; }

    static constexpr int kMaxStake = 500;

private:
    // Raises the stake by `step` when the user's coins cover the new stake and it stays within
    // the maximum; otherwise it stays as it is.
    void RaiseStake(int step);

    int m_stake = 0;
};
