#include "DlgGameWndPropBuyCL.h"

DlgGameWndPropBuyCL::DlgGameWndPropBuyCL()
    : KelMessageBoxCL(kName, "互动道具购买窗口", "很抱歉，暂无库存！", KWS_MB_OK)
{
}

DlgGameWndPropBuyCL::~DlgGameWndPropBuyCL() = default;
