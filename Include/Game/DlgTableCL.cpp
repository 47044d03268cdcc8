#include "DlgTableCL.h"

#include <boost/bind/bind.hpp>

#include "DlgChatWindowCL.h"
#include "DlgGameBetSetingCL.h"
#include "DlgGameExitCL.h"
#include "DlgGameForceExitCL.h"
#include "DlgGamePassWordCL.h"
#include "DlgGameScoreCL.h"
#include "DlgGameSetingtCL.h"
#include "DlgGameWndCardBaseCL.h"
#include "DlgPackageCL.h"
#include "DlgToolBarCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelMessageBoxCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DEditCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"
#include "Win32/Files.h"
#include "Win32/Shell.h"

namespace
{
const char* const kDigitFonts[] = {"TextNumberYellow", "TextNumberGreen", "TextNumberJinBi"};

// The help page of each table, by the table dialog's class name: our own page in the runtime
// folder, at the game's anchor.
struct HelpAnchor
{
    const char* className;
    const char* anchor;
};
constexpr HelpAnchor kHelpAnchors[] = {{"CDlgTableKavdorTwoCL", "kavdortwo"}};
} // namespace

DlgTableCL::DlgTableCL(const char* className)
    : KelWnd2DBaseCL(className, KelUIManagerCL::GetInstance()->GetDeskTopM(), 0),
      m_className(className != nullptr ? className : "")
{
    KEL_TRY
    SetSizeM(800, 600);
    TableApp()->UseFrameImagePath();
    const std::string directory = KelTextureInfoManagerCL::GetInstance()->GetImageDirectory();
    for (const char* font : kDigitFonts)
    {
        const std::string path = directory + "\\config\\" + font + ".xml";
        if (KelFontManagerCL::GetInstance()->LoadImageFont(path.c_str()) == nullptr)
            KelLogPrintf("加载数字字体失败 %s", path.c_str());
    }
    KEL_CATCH
}

DlgTableCL::~DlgTableCL()
{
    if (KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM())
        if (KelWndBaseCL* stake = desktop->FindChildM("DlgGameBetSetingCL"))
            stake->CloseM();
    for (const char* font : {"TextNumberJinBi", "TextNumberYellow", "TextNumberGreen"})
        KelFontManagerCL::GetInstance()->DestroyFont(font);
}

void DlgTableCL::CreateWnd()
{
    KEL_TRY
    m_gameWnd = CreateGameWnd();
    m_packageWnd = CreatePackageWnd();
    m_toolBar = CreateToolBarWnd();
    m_chatWindowWnd = CreateChatWindowWnd();
    m_roomName = new KelWnd2DLabelCL("s_roomName", this, TableApp()->GetRoomName().c_str(), 0xFFFFFFFFu, -1,
                                     0, 300, 20);
    m_settingBtn = CreateSettingBtn();
    if (m_settingBtn != nullptr)
    {
        m_settingBtn->SetMsgFunM(KWM_LCLICK,
                                 boost::bind(&DlgTableCL::ClickSetting, this, boost::placeholders::_1));
        m_settingBtn->SetTipM("设置");
    }
    m_helpBtn = CreateHelpBtn();
    if (m_helpBtn != nullptr)
    {
        m_helpBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgTableCL::ClickHelp, this, boost::placeholders::_1));
        m_helpBtn->SetTipM("帮助");
    }
    m_exitBtn = CreateExitBtn();
    if (m_exitBtn != nullptr)
    {
        m_exitBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgTableCL::ClickExit, this, boost::placeholders::_1));
        m_exitBtn->SetTipM("退出");
    }
    ChangeSize();
    KEL_CATCH
}

KelWnd2DBaseCL* DlgTableCL::CreateGameWnd()
{
    KEL_TRY
    return new DlgGameWndCardBaseCL("DlgGameWndCL", this, *TableApp());
    KEL_CATCH
}

// The table of this game uses the chat panel with the record box, and neither the older chat
// window nor the player list; the bars' windows come with the bars.
KelWnd2DBaseCL* DlgTableCL::CreatePlayerInfoWnd()
{
    return nullptr;
}

// The two bars place themselves at the bottom right of the table.
KelWnd2DBaseCL* DlgTableCL::CreatePackageWnd()
{
    KEL_TRY
    return new DlgPackageCL(this);
    KEL_CATCH
}

KelWnd2DBaseCL* DlgTableCL::CreateToolBarWnd()
{
    KEL_TRY
    return new DlgToolBarCL(this);
    KEL_CATCH
}

KelWnd2DBaseCL* DlgTableCL::CreateChatWnd()
{
    return nullptr;
}

KelWnd2DBaseCL* DlgTableCL::CreateChatWindowWnd()
{
    KEL_TRY
    return new DlgChatWindowCL(this);
    KEL_CATCH
}

KelWnd2DButtonCL* DlgTableCL::SystemButton(const char* name, const char* set, const char* image, int x, int y)
{
    TableApp()->UseFrameImagePath();
    return new KelWnd2DButtonCL(name, this, set, image, x, y, 4095, 4095, 0);
}

KelWnd2DButtonCL* DlgTableCL::CreateSettingBtn()
{
    KEL_TRY
    return SystemButton("btn_setting", "gameWndEX", "sysBtn_setting", 647, 8);
    KEL_CATCH
}

KelWnd2DButtonCL* DlgTableCL::CreateHelpBtn()
{
    KEL_TRY
    return SystemButton("btn_help", "gameWndEX", "sysBtn_help", 696, 8);
    KEL_CATCH
}

KelWnd2DButtonCL* DlgTableCL::CreateScaleBtn()
{
    KEL_TRY
    return SystemButton("btn_scale", "gameWnd", "sysBtn_scale", 552, 200);
    KEL_CATCH
}

KelWnd2DButtonCL* DlgTableCL::CreateExitBtn()
{
    KEL_TRY
    return SystemButton("btn_exit", "gameWndEX", "sysBtn_exit", 746, 8);
    KEL_CATCH
}

void DlgTableCL::CreateForceExitWnd()
{
    KEL_TRY
    OnClickExit();
    KEL_CATCH
}

void DlgTableCL::CreateGameExitWnd(bool plain)
{
    KEL_TRY
    new DlgGameExitCL(plain, m_exitChances);
    KEL_CATCH
}

void DlgTableCL::CreateGameScoreWnd(int count, const std::vector<int>& ids, const std::vector<int>& scores,
                                    const std::vector<int>& coins)
{
    KEL_TRY
    new DlgGameScoreCL(count, ids, scores, coins);
    KEL_CATCH
}

void DlgTableCL::CreateBetSetingWnd()
{
    KEL_TRY
    new DlgGameBetSetingCL();
    KEL_CATCH
}

void DlgTableCL::CreatePassWordWnd()
{
    KEL_TRY
    new DlgGamePassWordCL();
    KEL_CATCH
}

KelWndBaseCL* DlgTableCL::GetGameWnd()
{
    return m_gameWnd;
}

KelWnd2DBaseCL* DlgTableCL::GetPlayerInfoWnd()
{
    return m_playerInfoWnd;
}

KelWnd2DBaseCL* DlgTableCL::GetPackageWnd()
{
    return m_packageWnd;
}

KelWndBaseCL* DlgTableCL::GetToolBar()
{
    return m_toolBar;
}

KelWnd2DBaseCL* DlgTableCL::GetChatWnd()
{
    return m_chatWnd;
}

KelWndBaseCL* DlgTableCL::GetChatWindow()
{
    return m_chatWindowWnd;
}

KelWnd2DButtonCL* DlgTableCL::GetSettingBtn()
{
    return m_settingBtn;
}

KelWnd2DButtonCL* DlgTableCL::GetHelpBtn()
{
    return m_helpBtn;
}

void DlgTableCL::ChangeSize()
{
    KEL_TRY
    if (m_gameWnd == nullptr)
        return;
    if (m_gameWnd->IsMoveEndM())
        m_gameWnd->SetPosM(0, 50);
    m_gameWnd->SetSizeM(800, 600);
    KEL_CATCH
}

void DlgTableCL::OnRecv_BaseRecEnterPassWord()
{
    KEL_TRY
    CreatePassWordWnd();
    KEL_CATCH
}

void DlgTableCL::OnClickSetting()
{
    KEL_TRY
    new DlgGameSetingtCL();
    KEL_CATCH
}

std::string DlgTableCL::HelpAddress() const
{
    for (const HelpAnchor& help : kHelpAnchors)
        if (m_className == help.className)
            return "file://" + ResolveWin32Path((KelGetModuleDirectory() + "\\help\\index.html").c_str()) +
                   "#" + help.anchor;
    return std::string();
}

void DlgTableCL::OnClickHelp()
{
    KEL_TRY
    const std::string address = HelpAddress();
    if (!address.empty())
        ShellExecuteA(nullptr, "open", "iexplore", address.c_str(), nullptr, SW_SHOWNORMAL);
    KEL_CATCH
}

void DlgTableCL::OnClickScale()
{
    KEL_TRY
    m_scale = m_scale != 0 ? 0 : 1;
    ChangeSize();
    KEL_CATCH
}

void DlgTableCL::OnClickExit()
{
    KEL_TRY
    new DlgGameForceExitCL();
    KEL_CATCH
}

void DlgTableCL::ClickSetting(KelWndMsg)
{
    KEL_TRY
    OnClickSetting();
    KEL_CATCH
}

void DlgTableCL::ClickHelp(KelWndMsg)
{
    KEL_TRY
    OnClickHelp();
    KEL_CATCH
}

void DlgTableCL::ClickExit(KelWndMsg)
{
    KEL_TRY
    // The server decides how the user may leave; its answer is the exit type.
    TableRoomSink().SendExitButton();
    KEL_CATCH
}

void DlgTableCL::OnRecv_BaseRecPlayerExitType(int type)
{
    KEL_TRY
    if (type == 0)
        CreateGameExitWnd(true);
    else if (type == 1)
        CreateForceExitWnd();
    else if (type >= 2)
    {
        m_exitChances = type - 2;
        CreateGameExitWnd(false);
    }
    KEL_CATCH
}

void DlgTableCL::OnRecv_OnBaseRecPlayerWantToLeave(int playerId, const std::string& text)
{
    KEL_TRY
    KelLogPrintf("收到玩家请求退出的消息 playerID_=%d , msg=%s", playerId, text.c_str());
    if (playerId == TableApp()->GetSelfID())
        return;
    auto* box = new KelMessageBoxCL("OnRecv_OnBaseRecPlayerWantToLeave", "玩家退出询问", text.c_str(),
                                    KWS_MB_OKCANCEL);
    box->SetUserValueM(playerId);
    box->SetMsgFunM(KWM_MSGBOXOK,
                    boost::bind(&DlgTableCL::OnClickAgreePlayerLeave, this, boost::placeholders::_1));
    box->SetMsgFunM(KWM_MSGBOXCANCEL,
                    boost::bind(&DlgTableCL::OnClickUpagreePlayerLeave, this, boost::placeholders::_1));
    KEL_CATCH
}

void DlgTableCL::SendLeaveAnswer(KelWndMsg message, bool agree)
{
    auto* box = dynamic_cast<KelMessageBoxCL*>(message.sender);
    if (box == nullptr)
        return;
    TableRoomSink().SendLeaveAnswer(box->GetUserValueM(), agree);
}

void DlgTableCL::OnClickAgreePlayerLeave(KelWndMsg message)
{
    KEL_TRY
    SendLeaveAnswer(message, true);
    KEL_CATCH
}

void DlgTableCL::OnClickUpagreePlayerLeave(KelWndMsg message)
{
    KEL_TRY
    SendLeaveAnswer(message, false);
    KEL_CATCH
}

bool DlgTableCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}

void DlgTableCL::UpDatedataM()
{
    KEL_TRY
    // The room's information message replaces the banner: the label follows the application's.
    if (m_roomName != nullptr && m_roomName->GetEditText() != TableApp()->GetRoomName())
        m_roomName->SetTextM(TableApp()->GetRoomName());
    KelWnd2DBaseCL::UpDatedataM();
    KEL_CATCH
}
