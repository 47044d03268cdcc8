#pragma once
// The lobby screen, built from the engine's own controls on the desktop: the login (nickname,
// password, sex), the player's own record, the table list from the server with its live state,
// quick start, sitting down, watching, and creating a table with an optional password.

#include <string>
#include <vector>

#include "KelWnd2DBaseCL.h"
#include "NetMsgTypes.h"

class KelWnd2DButtonCL;
class KelWnd2DCheckCL;
class KelWnd2DEditCL;
class KelWnd2DLabelCL;
class KelWnd2DListCL;
class KelWnd2DRadioGroupCL;

// What the lobby's buttons ask the host to do.
class HostLobbyActions
{
public:
    virtual ~HostLobbyActions() = default;
    // `create`: a new account is made (refused when the nickname is taken); otherwise only an
    // existing one is logged in to.
    virtual void LobbyLogin(const std::string& nickname, const std::string& password, int sex,
                            bool create) = 0;
    // botLevel 1: easy bots, 2: hard bots, at a table the user is first at.
    virtual void LobbyQuickStart(int botLevel) = 0;
    // table -1: the first free table; password: protects a table the user is first at.
    virtual void LobbySit(int table, bool watch, const std::string& password, int botLevel) = 0;
    virtual void LobbyRefresh() = 0;
};

struct HostTableRow
{
    int id = 0;
    bool password = false;
    bool running = false;
    bool hardBots = false;
    int players[4] = {};
    int Seated() const;
};

class HostLobbyCL : public KelWnd2DBaseCL
{
public:
    // On the desktop, which owns it. `remote`: the password is asked for (a remote server);
    // the embedded server admits the user without one.
    HostLobbyCL(HostLobbyActions& actions, bool remote, const std::string& nickname);

    bool DrawM(KelCanvasCL* canvas) override;

    // The login was answered: on success the lobby shows the tables.
    void OnLoggedIn(const NetPlayerInfo& self);
    void OnLoginRefused(const std::string& reason);
    void OnTables(const std::vector<HostTableRow>& tables);
    void SetStatus(const std::string& text);
    const std::vector<HostTableRow>& Tables() const { return m_tables; }
    bool LoggedIn() const { return m_loggedIn; }

private:
    void OnLogin(bool create);
    void OnQuick();
    void OnSit(bool watch);
    void OnCreate();
    void ShowLoggedIn(bool in);
    int SelectedTable() const;
    int BotLevel() const;

    HostLobbyActions& m_actions;
    bool m_remote;
    bool m_loggedIn = false;
    std::vector<HostTableRow> m_tables;
    std::string m_title;
    std::string m_record;
    std::string m_status;

    // Children of this window, which owns them.
    KelWnd2DEditCL* m_nickname = nullptr;
    KelWnd2DEditCL* m_password = nullptr;
    KelWnd2DRadioGroupCL* m_sex = nullptr;
    // How the bots play at a table the user is first at.
    KelWnd2DRadioGroupCL* m_bots = nullptr;
    KelWnd2DButtonCL* m_login = nullptr;
    // Only for a remote server, whose accounts have passwords.
    KelWnd2DButtonCL* m_register = nullptr;
    KelWnd2DListCL* m_list = nullptr;
    KelWnd2DButtonCL* m_quick = nullptr;
    KelWnd2DButtonCL* m_sit = nullptr;
    KelWnd2DButtonCL* m_watch = nullptr;
    KelWnd2DButtonCL* m_create = nullptr;
    KelWnd2DEditCL* m_tablePassword = nullptr;
    KelWnd2DButtonCL* m_refresh = nullptr;
};
