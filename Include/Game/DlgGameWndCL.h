#pragma once
// The card-table framework's window over the table: one seat record per player at the table
// (seats 0 to 3, then watchers), each player's picture, name and video frame drawn by the host's
// player object, and the small buttons around each picture (information, package, faces or add
// friend, video, audio, snapshot, zoom). It also carries the table's social layer: faces and
// thrown props shown on the seats, told to the other players as commands inside table chat
// ("@ID:%d#" + tag + argument), the prop purchase and its dialogs, the double-score reminders
// and the media switches.
//
// The room sink reaches it through TableSeatWindow; the game's play window derives from it
// (through DlgGameWndCardBaseCL), makes the seat records (CreateSeatRecord) and draws each seat
// with RenderPlayer.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GameSeatRecordCL.h"
#include "KelWnd2DBaseCL.h"
#include "SeatChatCommand.h"
#include "TableWindows.h"

class KelWnd2DButtonCL;
class KelWnd2DPopupMenuCL;
class VGameCardBaseCL;
struct VarnokProp;

class DlgGameWndCL : public KelWnd2DBaseCL, public virtual TableSeatWindow
{
public:
    // Entries of the seat list: the seats of the game first, then watchers.
    static constexpr int kSeatListSize = 24;
    // The window's timers: the double-score reminder every five minutes, the reminder two
    // seconds after the user sat down, and the media links every minute.
    static constexpr int kTimerScoreCard = 1;
    static constexpr int kTimerScoreCardOnEntry = 2;
    static constexpr int kTimerMediaLinks = 3;
    // The place the seat buttons are laid out around: the host's pictures are this large.
    static constexpr int kPictureWidth = 90;
    static constexpr int kPictureHeight = 110;

    DlgGameWndCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app);
    ~DlgGameWndCL() override;

    // The marks of switched-off video and sound, over the seat buttons.
    void DrawPostM(KelCanvasCL* canvas) override;

    // TableSeatWindow.
    void SetSeatCount(int count) override;
    void OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info) override;
    void OnPlayerOut(int playerId) override;
    void OnReady(int playerId, bool ready) override;
    void OnGameResult(const std::vector<NetResultRecord>& records) override;
    void OnRecv_ImChat(const std::string& text) override;
    // `first` is the result (VarnokBuyResult), `second` the prop's id.
    void OnRecv_BuyProp(int first, int second) override;

    // The record of a player at the table, seated or watching; null when he is not there.
    virtual GameSeatRecordCL* GetPlayer(int playerId);
    // The user's own record.
    virtual GameSeatRecordCL* GetSelfInfo();
    // Closes the buttons of the entry and removes it.
    virtual void DestroyPlayer(int index);
    // One line of table chat; false when it was not sent.
    virtual bool SendImChat(const std::string& text);
    // One seat, at the canvas origin moved by (dx, dy): the picture, the video frame unless the
    // effects are low (level 2) or the seat's video is off, and the seat buttons around them.
    virtual void RenderPlayer(KelCanvasCL* canvas, GameSeatRecordCL* record, int layout, int dx, int dy);
    // A new, empty seat record; the game's play window makes records of its own kind.
    virtual std::unique_ptr<GameSeatRecordCL> CreateSeatRecord();
    // Opens the score record of the players (nickname and running total) unless it is open.
    virtual void ShowScoreRecord(const std::vector<int>& playerIds, const std::vector<int>& scores);

    // The seat buttons' handlers; each finds its seat by the player id in the button's name.
    void ClickIsVideo(KelWndMsg message);
    void ClickIsAudio(KelWndMsg message);
    void ClickVCapture(KelWndMsg message);
    void ClickVZoom(KelWndMsg message);
    void ClickAddFriend(KelWndMsg message);
    void ClickPackage(KelWndMsg message);
    void ClickUserInfo(KelWndMsg message);
    void OnClickUserInfoChange(KelWndMsg message);
    // The menus' choices (the chosen row in param1).
    void ClickUseItem(KelWndMsg message);
    void ClickUseItemRWFace(KelWndMsg message);
    void ClickUseInfoItem(KelWndMsg message);
    // The package bar's double-score card.
    void OnClickPropPackage(KelWndMsg message);

    int GetSeatCount() const { return m_seatCount; }
    // The user's seat (for a watcher, the seat he watches); -1 before his record arrives.
    int GetSelfSeat() const { return m_selfSeat; }
    // The entry of the seat list, or null.
    GameSeatRecordCL* SeatAt(int index);
    VGameCardBaseCL& App() { return m_app; }

private:
    // A prop chosen for a target, bought through the purchase dialog and thrown when the
    // purchase is done.
    struct PendingProp
    {
        int propId = 0;
        int targetId = 0;
        int effect = 0;
        int price = 0;
        std::string action;
        std::string sound;
        std::string targetName;
    };

    // Entering.
    bool CheckNewPlayer(int playerId, int seat, int state);
    std::unique_ptr<GameSeatRecordCL> MakeRecord(int playerId, int seat, int state,
                                                 const NetPlayerInfo& info);
    int StoreRecord(std::unique_ptr<GameSeatRecordCL> record);
    void WelcomeSelf(GameSeatRecordCL& record);
    void CreateSeatButtons(GameSeatRecordCL& record);
    void PlaceSeatButtons(KelCanvasCL* canvas, GameSeatRecordCL& record, int layout, int dx, int dy);
    void DrawSeatName(KelCanvasCL* canvas, const GameSeatRecordCL& record, int x, int y);
    void CloseSeatButtons(GameSeatRecordCL& record);
    void ClearSeatsForSelf();

    // Chat commands.
    void ApplyCommand(GameSeatRecordCL& sender, SeatCommandTag tag, const std::string& argument);
    void ShowFace(GameSeatRecordCL& record, int face);
    void SetSeatMedia(GameSeatRecordCL& record, bool video, bool on);
    void SwitchMedia(KelWndMsg message, bool video);

    // Props and purchases.
    void OpenPropMenu(GameSeatRecordCL& target);
    void OpenFaceMenu();
    const VarnokProp* FindOwnProp(const std::string& name);
    void OpenPurchase(const PendingProp& prop);
    void OnPurchaseOk(KelWndMsg message);
    void CompleteProp(const PendingProp& prop);
    void ShowUserInformation(GameSeatRecordCL& record);

    // Timers and system lines.
    void OnTimer(int id);
    void RemindScoreCard(bool onEntry);
    void KeepMediaLinks();
    void WriteSystemLine(const std::string& text);
    void WriteChatRecord(const std::string& text);

    int IndexOf(const GameSeatRecordCL* record) const;
    // The record of the player whose id the sender's name carries after the format's prefix.
    GameSeatRecordCL* RecordOfButton(const KelWndMsg& message, const char* format);
    bool IsSelf(const GameSeatRecordCL& record);
    std::string OwnNickname();
    VarnokPlayer* OwnPlayer();

    VGameCardBaseCL& m_app;
    std::vector<std::unique_ptr<GameSeatRecordCL>> m_seats;
    int m_seatCount = 4;
    int m_selfSeat = -1;
    std::optional<PendingProp> m_pendingProp;
    // The menus live outside the window tree: the window owns them and shows them as the UI
    // manager's popup.
    std::unique_ptr<KelWnd2DPopupMenuCL> m_propMenu;
    std::unique_ptr<KelWnd2DPopupMenuCL> m_faceMenu;
    std::unique_ptr<KelWnd2DPopupMenuCL> m_infoMenu;
    // The player whose seat the prop or information menu was opened on.
    int m_menuTarget = 0;
};
