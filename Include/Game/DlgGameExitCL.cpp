#include "DlgGameExitCL.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelWnd2DRichEditIICL.h"
#include "RoomSink.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
constexpr int kX = 250;
constexpr int kY = 150;
constexpr int kWidth = 300;
constexpr int kHeight = 200;
// The reason box draws neither background nor frame: the panel beneath shows through.
constexpr DWORD kReasonStyle = 0x100000;
constexpr int kReasonLimit = 120;
// What a text field of a request can carry.
constexpr size_t kMaxLineBytes = 255;
} // namespace

DlgGameExitCL::DlgGameExitCL(bool flag, int exitChances)
    : KelWnd2DDialogCL("DlgGameExitCL", TableDesktop(), kX, kY, kWidth, kHeight,
                       KWS_SYSFUNC | KWS_SYSMIN | KWS_SYSCLOSE),
      m_exitChances(exitChances)
{
    KEL_TRY
    SetTitleM("退出游戏");
    if (flag)
        BuildQuestion();
    else
        BuildRequest();
    OpenTableDialog(this);
    KEL_CATCH
}

DlgGameExitCL::~DlgGameExitCL() = default;

void DlgGameExitCL::BuildQuestion()
{
    using boost::placeholders::_1;
    const int t = TitleHeight(this);
    AddDialogPanel(this, "DlgGameExitCL_back", 10, t, m_w - 28, m_h - t - 20);
    AddDialogLabel(this, "s_gameExit", "你确定要退出小游戏吗？ ", kDialogWhite, 40, t + 60);
    AddTextButton(this, "btn_ok", "确定", 40, m_h - 60, 60, 20,
                  boost::bind(&DlgGameExitCL::OnClickNormalOK, this, _1));
    AddTextButton(this, "btn_cancel", "取消", 200, m_h - 60, 60, 20,
                  boost::bind(&DlgGameExitCL::OnClickCancel, this, _1));
}

void DlgGameExitCL::BuildRequest()
{
    using boost::placeholders::_1;
    const int t = TitleHeight(this);
    char text[128];
    std::snprintf(text, sizeof text, "  请输入您退出的理由，你还有%d次退出请求机会。", m_exitChances);
    AddDialogLabel(this, "s_gameExit", text, kDialogBlack, 10, t + 5);

    const int x = 20;
    const int y = t + 29;
    const int w = m_w - 51;
    const int h = m_h - t - 79;
    AddDialogPanel(this, "DlgGameExitCL_back", x, y, w, h);
    m_reason = new KelWnd2DRichEditIICL("richEdit", this, x, y, w, h, kReasonStyle);
    m_reason->SetLineSpaceM(8);
    m_reason->SetTextRectM(4, 4, h, w - 8);
    m_reason->SetEditableM(true);
    m_reason->SetFocusM(true);
    m_reason->SetMaxLengthM(kReasonLimit);
    m_reason->SetDefaultColorM(kDialogWhite);

    const int buttonY = m_h - 48;
    AddTextButton(this, "btn_ok", "确定", 40, buttonY, 60, 20,
                  boost::bind(&DlgGameExitCL::OnClickOK, this, _1));
    AddTextButton(this, "btn_force", "强退", 120, buttonY, 60, 20,
                  boost::bind(&DlgGameExitCL::OnClickForce, this, _1));
    AddTextButton(this, "btn_cancel", "取消", 200, buttonY, 60, 20,
                  boost::bind(&DlgGameExitCL::OnClickCancel, this, _1));
}

void DlgGameExitCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    std::string nickname;
    if (const VarnokPlayerInfo* self = TableApp()->GetSelfData())
        nickname.assign(self->nickname, strnlen(self->nickname, sizeof self->nickname));
    const std::string reason = m_reason != nullptr ? m_reason->GetPlainTextM() : std::string();
    const std::string line = "[" + nickname + "]说：" + reason;
    // The encoder refuses (and logs) a line it cannot carry.
    if (!TableRoomSink().SendLeaveWithReason(line) && line.size() > kMaxLineBytes)
        return;
    CloseM();
    KEL_CATCH
}

void DlgGameExitCL::OnClickForce(KelWndMsg)
{
    KEL_TRY
    TableRoomSink().SendForceLeave();
    CloseM();
    KEL_CATCH
}

void DlgGameExitCL::OnClickNormalOK(KelWndMsg)
{
    KEL_TRY
    TableRoomSink().SendLeave();
    CloseM();
    KEL_CATCH
}

void DlgGameExitCL::OnClickCancel(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}
