#include "DlgToolBarCL.h"

#include <boost/bind/bind.hpp>

#include "HostInterfaces.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
const char kButtonSet[] = "gameWndEX";
constexpr int kButtonWidth = 30;
constexpr int kButtonHeight = 20;
} // namespace

DlgToolBarCL::DlgToolBarCL(KelWndBaseCL* parent) : KelWnd2DBaseCL(kName, parent, 0)
{
    KEL_TRY
    SetSizeM(kWidth, kHeight);
    SetPosM(kX, kY);
    // The bar's pictures are the host's, in the frame's image directory.
    TableApp()->UseFrameImagePath();
    m_back = KelCreateGuiTexture(kButtonSet, "packagebarBK1");
    if (m_back == nullptr)
        KelLogPrintf("tool bar: no picture packagebarBK1 in %s", kButtonSet);
    // The buttons stand a few pixels above the bar's top edge, over the table.
    m_friendBtn = AddButton("m_friendBtn", "tbFriendbtn", -1, -6, "好友系统", &DlgToolBarCL::OnClickFriend);
    m_userInfoBtn =
        AddButton("m_userInfoBtn", "tbUserInfobtn", 24, -7, "玩家信息", &DlgToolBarCL::OnClickUserInfo);
    m_packageBtn = AddButton("m_packageBtn", "tbPackagebtn", 52, -6, "包裹", &DlgToolBarCL::OnClickPackage);
    m_tuiguangBtn =
        AddButton("m_tuiguangBtn", "tbTuiguangbtn", 75, -8, "推广员", &DlgToolBarCL::OnClickTuiguang);
    KEL_CATCH
}

DlgToolBarCL::~DlgToolBarCL() = default;

KelWnd2DButtonCL* DlgToolBarCL::AddButton(const char* name, const char* image, int x, int y, const char* tip,
                                          void (DlgToolBarCL::*click)(KelWndMsg))
{
    auto* button = new KelWnd2DButtonCL(name, this, kButtonSet, image, x, y, kButtonWidth, kButtonHeight, 0);
    button->SetTipM(tip);
    button->SetMsgFunM(KWM_LCLICK, boost::bind(click, this, boost::placeholders::_1));
    return button;
}

bool DlgToolBarCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    const bool drawn = KelWnd2DBaseCL::DrawM(canvas);
    KelDrawTextureAt(canvas, m_back.get(), 0, 0);
    return drawn;
    KEL_CATCH
}

VarnokPlayer* DlgToolBarCL::OwnPlayer()
{
    return TableUserPlayer();
}

void DlgToolBarCL::OnClickFriend(KelWndMsg)
{
    KEL_TRY
    if (VarnokPlayer* own = OwnPlayer())
        own->ShowFriends();
    KEL_CATCH
}

void DlgToolBarCL::OnClickUserInfo(KelWndMsg)
{
    KEL_TRY
    if (VarnokPlayer* own = OwnPlayer())
        own->ShowUserInfo();
    KEL_CATCH
}

void DlgToolBarCL::OnClickPackage(KelWndMsg)
{
    KEL_TRY
    if (VarnokPlayer* own = OwnPlayer())
        own->ShowPackage();
    KEL_CATCH
}

void DlgToolBarCL::OnClickTuiguang(KelWndMsg)
{
    KEL_TRY
    if (VarnokPlayer* own = OwnPlayer())
        own->ShowPromoter();
    KEL_CATCH
}
