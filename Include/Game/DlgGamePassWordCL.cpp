#include "DlgGamePassWordCL.h"

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelWnd2DEditCL.h"
#include "RoomSink.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
constexpr int kX = 300;
constexpr int kY = 200;
constexpr int kWidth = 200;
constexpr int kHeight = 100;
} // namespace

DlgGamePassWordCL::DlgGamePassWordCL()
    : KelWnd2DDialogCL("DlgGamePassWordCL", TableDesktop(), kX, kY, kWidth, kHeight, 0)
{
    KEL_TRY
    TableApp()->UseFrameImagePath();
    SetTitleM("请输入密码");
    m_password = new KelWnd2DEditCL("edit_passWord", this, 5, 50, 130, 20, 0);
    m_password->SetFocusM(true);
    AddTextButton(this, "ok_btn", "确定", 135, 45, 65, 20,
                  boost::bind(&DlgGamePassWordCL::OnClickOK, this, boost::placeholders::_1));
    OpenTableDialog(this);
    KEL_CATCH
}

DlgGamePassWordCL::~DlgGamePassWordCL() = default;

void DlgGamePassWordCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    TableRoomSink().SendPassword(m_password->GetEditText());
    KEL_CATCH
}
