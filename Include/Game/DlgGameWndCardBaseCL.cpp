#include "DlgGameWndCardBaseCL.h"

#include "KelGuard.h"

DlgGameWndCardBaseCL::DlgGameWndCardBaseCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app)
    : DlgGameWndCL(name, parent, app)
{
}

DlgGameWndCardBaseCL::~DlgGameWndCardBaseCL() = default;

bool DlgGameWndCardBaseCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    return DlgGameWndCL::DrawM(canvas);
    KEL_CATCH
}

bool DlgGameWndCardBaseCL::MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    return DlgGameWndCL::MouseMessageM(window, message, wparam, lparam);
    KEL_CATCH
}

bool DlgGameWndCardBaseCL::OnSizeChangeM(KelWndBaseCL* window)
{
    KEL_TRY
    return DlgGameWndCL::OnSizeChangeM(window);
    KEL_CATCH
}
