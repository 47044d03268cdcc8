#pragma once
// The answer to a prop that cannot be had: the shop has none left.

#include "KelMessageBoxCL.h"

class DlgGameWndPropBuyCL : public KelMessageBoxCL
{
public:
    static constexpr char kName[] = "DlgGameWndPropBuyCL";

    DlgGameWndPropBuyCL();
    ~DlgGameWndPropBuyCL() override;
};
