#include "HostLobbyCL.h"

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DCheckCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DListCL.h"

namespace
{
constexpr D3DCOLOR kText = 0xFFFFFFFFu;
constexpr D3DCOLOR kSoft = 0xFFCFE8D8u;
constexpr D3DCOLOR kInk = 0xFF28302Cu;
// The login card: a light panel in the middle of the felt, so that the controls' dark captions
// read on it.
constexpr int kCardLeft = 220;
constexpr int kCardTop = 160;
constexpr int kCardRight = 580;
constexpr int kCardBottom = 350;

KelWnd2DButtonCL* Button(const char* name, KelWndBaseCL* parent, const char* caption, int x, int y, int w)
{
    auto* button = new KelWnd2DButtonCL(name, parent, "GuiII", "btn", x, y, w, 28);
    button->SetTextM(caption);
    return button;
}

KelWnd2DEditCL* Edit(const char* name, KelWndBaseCL* parent, int x, int y, int w, int limit)
{
    auto* edit = new KelWnd2DEditCL(name, parent, x, y, w, 22, 0);
    edit->SetLimitM(limit);
    return edit;
}
} // namespace

int HostTableRow::Seated() const
{
    int n = 0;
    for (int id : players)
        n += id != 0 ? 1 : 0;
    return n;
}

HostLobbyCL::HostLobbyCL(HostLobbyActions& actions, bool remote, const std::string& nickname)
    : KelWnd2DBaseCL("HostLobby", KelUIManagerCL::GetInstance()->GetDeskTopM(), 0), m_actions(actions),
      m_remote(remote)
{
    SetPosM(0, 0);
    SetSizeM(800, 600);
    m_title = "kavdor 四人斗地主";

    new KelWnd2DLabelCL("lobby_nickname_label", this, "昵称", kInk, 250, 200, 60, 20);
    m_nickname = Edit("lobby_nickname", this, 320, 198, 220, 30);
    m_nickname->SetTextM(nickname);
    if (m_remote)
    {
        new KelWnd2DLabelCL("lobby_password_label", this, "密码", kInk, 250, 236, 60, 20);
        m_password = Edit("lobby_password", this, 320, 234, 220, 60);
        m_password->SetPasswordM(true);
    }
    m_sex = new KelWnd2DRadioGroupCL("lobby_sex", this, 320, 270, 0);
    m_sex->AddRadioM("lobby_male", "男", 0, 0);
    m_sex->AddRadioM("lobby_female", "女", 70, 0);
    m_sex->SelectM(0);
    m_login = Button("lobby_login", this, "进入大厅", 320, 304, 105);
    m_login->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnLogin, this, false));
    m_nickname->SetMsgFunM(KWM_RETURN, boost::bind(&HostLobbyCL::OnLogin, this, false));
    if (m_remote)
    {
        m_password->SetMsgFunM(KWM_RETURN, boost::bind(&HostLobbyCL::OnLogin, this, false));
        m_register = Button("lobby_register", this, "注册新账号", 435, 304, 105);
        m_register->SetTipM("以这个昵称和密码创建新账号并登录");
        m_register->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnLogin, this, true));
    }

    m_list = new KelWnd2DListCL("lobby_tables", this, 40, 110, 460, 400, 0);
    m_quick = Button("lobby_quick", this, "快速开始", 540, 110, 200);
    m_quick->SetTipM("坐到第一张空桌，机器人补满其余座位");
    m_quick->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnQuick, this));
    m_sit = Button("lobby_sit", this, "入座", 540, 160, 95);
    m_sit->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnSit, this, false));
    m_watch = Button("lobby_watch", this, "旁观", 645, 160, 95);
    m_watch->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnSit, this, true));
    new KelWnd2DLabelCL("lobby_create_label", this, "新桌密码（可不填）", kSoft, 540, 220, 200, 20);
    m_tablePassword = Edit("lobby_table_password", this, 540, 244, 200, 30);
    m_create = Button("lobby_create", this, "创建新桌", 540, 276, 200);
    m_create->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyCL::OnCreate, this));
    new KelWnd2DLabelCL("lobby_bots_label", this, "新桌的机器人", kSoft, 540, 324, 200, 20);
    m_bots = new KelWnd2DRadioGroupCL("lobby_bots", this, 540, 348, 0);
    m_bots->AddRadioM("lobby_bots_easy", "普通", 0, 0);
    m_bots->AddRadioM("lobby_bots_hard", "高手", 90, 0);
    m_bots->SelectM(0);
    m_refresh = Button("lobby_refresh", this, "刷新", 540, 482, 200);
    m_refresh->SetMsgFunM(KWM_LCLICK, boost::bind(&HostLobbyActions::LobbyRefresh, &m_actions));
    ShowLoggedIn(false);
    m_nickname->SetFocusM(true);
}

void HostLobbyCL::ShowLoggedIn(bool in)
{
    m_loggedIn = in;
    for (KelWndBaseCL* w :
         std::initializer_list<KelWndBaseCL*>{m_nickname, m_password, m_sex, m_login, m_register})
        if (w != nullptr)
            w->ShowM(!in);
    for (const char* label : {"lobby_nickname_label", "lobby_password_label"})
        if (KelWndBaseCL* w = FindChildM(label))
            w->ShowM(!in);
    for (KelWndBaseCL* w : std::initializer_list<KelWndBaseCL*>{m_list, m_quick, m_sit, m_watch, m_create,
                                                                m_tablePassword, m_refresh, m_bots})
        w->ShowM(in);
    for (const char* label : {"lobby_create_label", "lobby_bots_label"})
        if (KelWndBaseCL* w = FindChildM(label))
            w->ShowM(in);
}

bool HostLobbyCL::DrawM(KelCanvasCL* canvas)
{
    // A felt background with a darker band for the title and the status line.
    canvas->FillRect(0, 0, 800, 600, 0xFF1C6E3Eu);
    canvas->FillRect(0, 0, 800, 64, 0xFF10482Au);
    canvas->FillRect(0, 572, 800, 600, 0xFF10482Au);
    canvas->SetTextColor(0xFFF0C446u);
    canvas->DrawText(m_title.c_str(), 24, 22, nullptr, false, 0);
    canvas->SetTextColor(kText);
    if (!m_loggedIn)
    {
        canvas->FillRect(kCardLeft, kCardTop, kCardRight, kCardBottom, 0xFFF1F4EFu);
        canvas->DrawRect(kCardLeft, kCardTop, kCardRight, kCardBottom, 0xFF0E3F24u);
        canvas->SetTextColor(kInk);
        canvas->DrawText("登录大厅", kCardLeft + 20, kCardTop + 12, nullptr, false, 0);
        canvas->SetTextColor(kText);
    }
    if (m_loggedIn)
    {
        canvas->DrawText(m_record.c_str(), 40, 72, nullptr, false, 0);
    }
    canvas->SetTextColor(kSoft);
    canvas->DrawText(m_status.c_str(), 24, 578, nullptr, false, 0);
    return true;
}

void HostLobbyCL::OnLogin(bool create)
{
    const std::string nickname = m_nickname->GetEditText();
    if (nickname.empty())
    {
        SetStatus("请输入昵称");
        return;
    }
    std::string password;
    if (m_password != nullptr)
    {
        password = m_password->GetEditText();
        if (password.empty())
        {
            SetStatus(create ? "请为新账号设一个密码" : "请输入密码");
            return;
        }
    }
    SetStatus(create ? "正在注册……" : "正在登录……");
    m_actions.LobbyLogin(nickname, password, m_sex->GetSelectM() == 1 ? 1 : 0, create);
}

void HostLobbyCL::OnLoggedIn(const NetPlayerInfo& self)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s    积分 %d    金币 %d    已玩 %d 局", self.nickname.c_str(),
                  self.values[NET_INFO_SCORE], self.values[NET_INFO_COINS], self.values[NET_INFO_GAMES]);
    m_record = text;
    ShowLoggedIn(true);
    SetStatus("登录成功，选择一张桌子，或者快速开始");
}

void HostLobbyCL::OnLoginRefused(const std::string& reason)
{
    SetStatus("登录失败：" + reason);
}

void HostLobbyCL::OnTables(const std::vector<HostTableRow>& tables)
{
    const int selected = m_list->GetSelectIndexM();
    m_tables = tables;
    m_list->ClearItemsM();
    for (const HostTableRow& table : tables)
    {
        char row[128];
        std::snprintf(row, sizeof row, "第 %d 桌    %d/4 人    %s%s%s", table.id, table.Seated(),
                      table.running ? "游戏中" : "等待中", table.password ? "    [密码]" : "",
                      table.hardBots ? "    [高手]" : "");
        m_list->AddItemM(row);
    }
    if (selected >= 0 && selected < static_cast<int>(tables.size()))
        m_list->SetSelectIndexM(selected);
}

void HostLobbyCL::SetStatus(const std::string& text)
{
    m_status = text;
}

int HostLobbyCL::BotLevel() const
{
    return m_bots->GetSelectM() == 1 ? 2 : 1;
}

int HostLobbyCL::SelectedTable() const
{
    const int index = m_list->GetSelectIndexM();
    return index >= 0 && index < static_cast<int>(m_tables.size()) ? m_tables[static_cast<size_t>(index)].id
                                                                   : -1;
}

void HostLobbyCL::OnQuick()
{
    SetStatus("正在寻找空桌……");
    m_actions.LobbyQuickStart(BotLevel());
}

void HostLobbyCL::OnSit(bool watch)
{
    const int table = SelectedTable();
    if (table < 0)
    {
        SetStatus("请先在列表中选择一张桌子");
        return;
    }
    m_actions.LobbySit(table, watch, "", BotLevel());
}

void HostLobbyCL::OnCreate()
{
    for (const HostTableRow& table : m_tables)
        if (table.Seated() == 0)
        {
            m_actions.LobbySit(table.id, false, m_tablePassword->GetEditText(), BotLevel());
            return;
        }
    SetStatus("没有空桌了，请稍后再试");
}
