#pragma once
// The table dialog of this game: the framework's table with its teal table colour and its logo.

#include "DlgTableCL.h"

class KelTextureCL;

class CDlgTableKavdorTwoCL : public DlgTableCL
{
public:
    CDlgTableKavdorTwoCL();
    ~CDlgTableKavdorTwoCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

private:
    KelTextureCL* m_backFrame = nullptr;
    KelTextureCL* m_logo = nullptr;
};
