#pragma once
// The table dialog of this game: the framework's table with its teal table colour, its logo and
// the game's play window.

#include "DlgTableCL.h"

class KelTextureCL;

class CDlgTableKavdorTwoCL : public DlgTableCL
{
public:
    CDlgTableKavdorTwoCL();
    ~CDlgTableKavdorTwoCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    // The game's play window in place of the framework's bare seat window.
    KelWnd2DBaseCL* CreateGameWnd() override;

private:
    KelTextureCL* m_backFrame = nullptr;
    KelTextureCL* m_logo = nullptr;
};
