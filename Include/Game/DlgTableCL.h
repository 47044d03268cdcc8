#pragma once
// The table dialog: the 800 x 600 top-level window of a game table on the desktop. It owns the
// table's windows (the play window, the chat panel, the package bar and the tool bar), draws the
// table's background, carries the settings, help and exit buttons, answers the room's exit,
// leave-request and password messages by opening the table's small dialogs, and loads the three
// digit fonts of the table's windows. The game's table dialog derives from it and supplies the
// play window.

#include <string>
#include <vector>

#include "KelWnd2DBaseCL.h"
#include "TableWindows.h"

class KelWnd2DButtonCL;
class KelWnd2DLabelCL;

class DlgTableCL : public KelWnd2DBaseCL, public TableDialog
{
public:
    // On the UI manager's desktop, named by its class name.
    explicit DlgTableCL(const char* className);
    ~DlgTableCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    void UpDatedataM() override;

    /* 115 */ virtual void CreateWnd();
    /* 116 */ virtual KelWnd2DBaseCL* CreateGameWnd();
    /* 117 */ virtual KelWnd2DBaseCL* CreatePlayerInfoWnd();
    /* 118 */ virtual KelWnd2DBaseCL* CreatePackageWnd();
    /* 119 */ virtual KelWnd2DBaseCL* CreateToolBarWnd();
    /* 120 */ virtual KelWnd2DBaseCL* CreateChatWnd();
    /* 121 */ virtual KelWnd2DBaseCL* CreateChatWindowWnd();
    /* 122 */ virtual KelWnd2DButtonCL* CreateSettingBtn();
    /* 123 */ virtual KelWnd2DButtonCL* CreateHelpBtn();
    /* 124 */ virtual KelWnd2DButtonCL* CreateScaleBtn();
    /* 125 */ virtual KelWnd2DButtonCL* CreateExitBtn();
    /* 126 */ virtual void CreateForceExitWnd();
    /* 127 */ virtual void CreateGameExitWnd(bool plain);
    /* 128 */ virtual void CreateGameScoreWnd(int count, const std::vector<int>& ids,
                                              const std::vector<int>& scores, const std::vector<int>& coins);
    /* 129 */ virtual void CreateBetSetingWnd();
    /* 130 */ virtual void CreatePassWordWnd();
    /* 131 */ KelWndBaseCL* GetGameWnd() override;
    /* 132 */ virtual KelWnd2DBaseCL* GetPlayerInfoWnd();
    /* 133 */ virtual KelWnd2DBaseCL* GetPackageWnd();
    /* 134 */ KelWndBaseCL* GetToolBar() override;
    /* 135 */ virtual KelWnd2DBaseCL* GetChatWnd();
    /* 136 */ KelWndBaseCL* GetChatWindow() override;
    /* 137 */ virtual KelWnd2DButtonCL* GetSettingBtn();
    /* 138 */ virtual KelWnd2DButtonCL* GetHelpBtn();
    /* 139 */ virtual void ChangeSize();
    /* 140 */ void OnRecv_BaseRecEnterPassWord() override;
    /* 141 */ virtual void OnClickSetting();
    /* 142 */ virtual void OnClickHelp();
    /* 143 */ virtual void OnClickScale();
    /* 144 */ virtual void OnClickExit();

    void ClickSetting(KelWndMsg message);
    void ClickHelp(KelWndMsg message);
    void ClickExit(KelWndMsg message);
    void OnRecv_BaseRecPlayerExitType(int type) override;
    void OnRecv_OnBaseRecPlayerWantToLeave(int playerId, const std::string& text) override;
    void OnClickAgreePlayerLeave(KelWndMsg message);
    void OnClickUpagreePlayerLeave(KelWndMsg message);

    uint8_t GetScaleFlag() const { return m_scale; }
    int GetExitChances() const { return m_exitChances; }
    const std::string& GetClassName() const { return m_className; }
    // The address the help button opens for this table (empty: none).
    std::string HelpAddress() const;

protected:
    // Children of this window, which owns them (the window tree deletes them with it).
    KelWnd2DBaseCL* m_gameWnd = nullptr;
    KelWnd2DBaseCL* m_playerInfoWnd = nullptr;
    KelWnd2DBaseCL* m_chatWnd = nullptr;
    KelWnd2DBaseCL* m_chatWindowWnd = nullptr;
    KelWnd2DBaseCL* m_packageWnd = nullptr;
    KelWnd2DBaseCL* m_toolBar = nullptr;
    KelWnd2DLabelCL* m_roomName = nullptr;
    KelWnd2DButtonCL* m_settingBtn = nullptr;
    KelWnd2DButtonCL* m_helpBtn = nullptr;
    KelWnd2DButtonCL* m_scaleBtn = nullptr;
    KelWnd2DButtonCL* m_exitBtn = nullptr;
    uint8_t m_scale = 1;
    int m_exitChances = 3;
    std::string m_className;

private:
    void SendLeaveAnswer(KelWndMsg message, bool agree);
    KelWnd2DButtonCL* SystemButton(const char* name, const char* set, const char* image, int x, int y);
};
