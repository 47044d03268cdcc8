#pragma once
// The card-table framework's player list: the user's own summary (his portrait, nickname, score,
// membership and coins) above a list of the players at the table, one row with portrait,
// nickname and score each. Choosing a row shows that player's details below the list; the right
// button on a row opens a menu to see his information or, for another player, to ask him to be a
// friend. The room's player-information messages refresh the rows. The table of this game does
// not open the list.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "KelGuiPieces.h"
#include "KelWnd2DListCL.h"
#include "NetMsgTypes.h"

class KelWnd2DButtonCL;
class KelWnd2DPopupMenuCL;
class VarnokPlayer;

// One player of the list: his id and his record as the room last told it.
struct PlayerInfoRow
{
    int playerId = 0;
    NetPlayerInfo info;
};

class DlgPlayerInfoLstCL : public KelWnd2DListCL
{
public:
    static constexpr char kName[] = "DlgPlayerInfoLstCL";
    static constexpr int kRowHeight = 40;
    // The row menu's entries.
    static constexpr char kMenuInfo[] = "玩家信息";
    static constexpr char kMenuFriend[] = "加为好友";

    DlgPlayerInfoLstCL(KelWndBaseCL* parent, int x, int y, int w, int h);
    ~DlgPlayerInfoLstCL() override;

    bool RClickM(WPARAM keys, POINT point) override;
    void DrawLineM(KelCanvasCL* canvas, int index, const KelRect& row) override;
    int GetRowHeightM() override;

    // Adds the player's row, or gives his row the new record.
    void SetPlayerM(int playerId, const NetPlayerInfo& info);
    // Gives a listed player's row the new record; false (nothing changes) when he has no row.
    bool UpdatePlayerM(int playerId, const NetPlayerInfo& info);
    void RemovePlayerM(int playerId);
    void ClearPlayersM();
    const PlayerInfoRow* RowAt(int index) const;
    int RowOf(int playerId) const;

    // The row menu's choice (the chosen entry in param1).
    void ClickUseItem(KelWndMsg message);
    KelWnd2DPopupMenuCL* GetMenu() { return m_menu.get(); }
    // The player's portrait: the host's picture of him, or the common one without a picture.
    KelTextureCL* Portrait(int playerId);

private:
    void OpenMenu(const PlayerInfoRow& row);

    std::vector<PlayerInfoRow> m_rows;
    // Outside the window tree: the list owns it and shows it as the UI manager's popup.
    std::unique_ptr<KelWnd2DPopupMenuCL> m_menu;
    // The player the menu was opened on.
    int m_menuTarget = 0;
    // Portraits by picture name, made when first drawn.
    std::map<std::string, KelTexturePtr> m_portraits;
};

class DlgPlayerInfoCL : public KelWnd2DBaseCL
{
public:
    static constexpr char kName[] = "DlgPlayerInfoCL";

    DlgPlayerInfoCL(KelWndBaseCL* parent, int x, int y);
    ~DlgPlayerInfoCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

    // The players at the table, as the room tells about them.
    void OnPlayerIn(int playerId, const NetPlayerInfo& info);
    void OnPlayerOut(int playerId);
    void OnRecv_OnBaseRecPlayerInfoChanged(int playerId, const NetPlayerInfo& info);
    // Empties the list (the user left the table).
    void DestroyPlayerLst();

    void OnClickSelectChange(KelWndMsg message);
    void OnClickDuihuan(KelWndMsg message);

    DlgPlayerInfoLstCL* GetList() { return m_list; }
    // The chosen player's details as shown below the list.
    const std::vector<std::string>& GetSelectedLines() const { return m_selectedLines; }

private:
    void ShowSelected();
    void DrawOwnSummary(KelCanvasCL* canvas, const PlayerInfoRow& own);

    KelTexturePtr m_back;
    // Children of this window, which owns them.
    DlgPlayerInfoLstCL* m_list = nullptr;
    KelWnd2DButtonCL* m_duihuanBtn = nullptr;
    std::vector<std::string> m_selectedLines;
};
