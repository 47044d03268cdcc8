#include "DlgGameForceExitCL.h"

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "RoomSink.h"
#include "TableDialogParts.h"

namespace
{
constexpr int kX = 300;
constexpr int kY = 200;
constexpr int kWidth = 200;
constexpr int kHeight = 150;
} // namespace

DlgGameForceExitCL::DlgGameForceExitCL()
    : KelWnd2DDialogCL("DlgGameForceExitCL", TableDesktop(), kX, kY, kWidth, kHeight,
                       KWS_SYSFUNC | KWS_SYSMIN | KWS_SYSCLOSE)
{
    KEL_TRY
    using boost::placeholders::_1;
    SetTitleM("强退询问");
    const int t = TitleHeight(this);
    AddDialogPanel(this, "DlgGameForceExitCL_back", 6, t + 3, m_w - 10, m_h - t - 30);
    AddDialogLabel(this, "s_back1", "强行退出将会被扣除更多分值！", kDialogWhite, 10, t + 10);
    AddDialogLabel(this, "s_back2", "您确定要强退吗？", kDialogWhite, 10, t + 30);
    AddTextButton(this, "m_ok", "强退", 20, m_h - 30, 60, 20,
                  boost::bind(&DlgGameForceExitCL::Exit, this, _1));
    AddTextButton(this, "m_cancel", "取消", 120, m_h - 30, 60, 20,
                  boost::bind(&DlgGameForceExitCL::Cancel, this, _1));
    OpenTableDialog(this);
    KEL_CATCH
}

DlgGameForceExitCL::~DlgGameForceExitCL() = default;

void DlgGameForceExitCL::Exit(KelWndMsg)
{
    KEL_TRY
    TableRoomSink().SendForceLeave();
    CloseM();
    KEL_CATCH
}

void DlgGameForceExitCL::Cancel(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}
