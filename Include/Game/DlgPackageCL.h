#pragma once
// The package bar beside the tool bar: the double-score card between two arrows. A click on the
// card goes to the play window, which offers the card for purchase.

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelWnd2DButtonCL;

class DlgPackageCL : public KelWnd2DBaseCL
{
public:
    static constexpr char kName[] = "DlgPackageCL";
    static constexpr int kX = 490;
    static constexpr int kY = 578;

    explicit DlgPackageCL(KelWndBaseCL* parent);
    ~DlgPackageCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

    void OnClickPropJifen(KelWndMsg message);

private:
    KelWnd2DButtonCL* AddButton(const char* name, const char* image, int x, int y);

    KelTexturePtr m_back;
};
