#pragma once
// The game's play window: where one hand is played by the four seats. It keeps per seat the
// hand, the cards played last and the history of the hand's plays and bids; for the table the
// base cards, the landlord, whose turn it is with its countdown, the base score and multiplier.
// The game sink's messages and the room's events change that state; the user's actions (play,
// pass, hint, trusteeship, sort, the previous-round view) are checked with the rule engine and
// sent as the game's requests. Each frame it draws the whole table: the seats through the seat
// window, the cards through the card groups, marks, counts, the stake and the tool bar.

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "CGameKavdorGroupCl.h"
#include "DlgGameWndCardBaseCL.h"
#include "GameCardItemCL.h"
#include "GameSeatRecordCL.h"
#include "KelGuiPieces.h"

class CDlgFunctionBarCL;
class DlgCountDownCL;
class KelWnd2DButtonCL;
struct KavdorHandChoice;

// What this game keeps of a seat besides the seat window's record.
struct KavdorSeatRecord : GameSeatRecordCL
{
    CGameKavdorGroupCl hand;
    CGameKavdorGroupCl played;
    // One entry per play of the seat in this hand; a pass is an empty entry and the start of a
    // new round led by another seat is [100].
    std::list<std::vector<uint8_t>> history;
    // The seat's new play while the previous-round view shows its old one.
    std::vector<uint8_t> pending;
    uint8_t preview = 0;
    uint8_t turnDuringPreview = 0;
    // 0 none yet, 1 to 3 points, -1 declined.
    int bid = 0;
};

class CDlgGameWndKavdorTwoCL : public DlgGameWndCardBaseCL, public TablePlayWindow
{
public:
    // The play window's own timers; the seat window's use 1 to 3.
    static constexpr int kTimerStatusText = 12;
    static constexpr int kTimerPreview = 11;
    static constexpr int kStatusMs = 1500;
    static constexpr int kPreviewMs = 2000;

    CDlgGameWndKavdorTwoCL(const char* name, KelWndBaseCL* parent, VGameCardBaseCL& app);
    ~CDlgGameWndKavdorTwoCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool MouseMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    bool OnSizeChangeM(KelWndBaseCL* window) override;

    // The seat window's events.
    void OnPlayerOut(int playerId) override;
    void OnReady(int playerId, bool ready) override;
    std::unique_ptr<GameSeatRecordCL> CreateSeatRecord() override;

    // TablePlayWindow.
    void OnStartGame() override;
    void SetGameRunning(bool running) override;
    void OnEndGame() override;
    void OnClickOutCard(int kind) override;
    int GetSeatCall(int seat) override;

    // GamePlayWindow.
    void ShowCall(int playerId, int bid) override;
    void OnDealCard(int playerId, const std::vector<uint8_t>& cards) override;
    void OnPlayerHaveCardNum(int playerId, int count) override;
    void OnOutCard(int playerId, bool follow) override;
    void OnOutCardResult(const std::vector<uint8_t>& cards) override;
    void OnReceivePlayerCurOutCard(int playerId, const std::vector<uint8_t>& cards) override;
    void DelCountDownWnd() override;
    void SetCurrentBidder(int playerId) override { m_currentBidder = playerId; }
    void SetCallNumNull() override;
    void OnReceiveBaseCard(const std::vector<uint8_t>& cards) override;
    void SetLandlord(int playerId) override { m_landlord = playerId; }
    void SetScoreInfo(int baseScore, int multiplier) override;
    void SetTurnSeconds(int seconds) override;
    void PlayCallThreeVoice(int playerId) override;

    // The tool bar's and the window's own actions.
    void OnClickTrusteeship();
    void OnClickSort();
    void OnClickpreturn();
    void OnClickSearch();
    void OnClickSound();
    void OnRClick(KelWndMsg message);
    // The countdown's time is up (also run at once by a turn under trusteeship).
    void OnCountDownClose(KelWndMsg message);
    void ShowFuncButton(bool show);

    // What the tests and the action bar read.
    KavdorSeatRecord* SeatRecord(int seat);
    KavdorSeatRecord* PlayerRecord(int playerId);
    const std::string& GetStatusText() const { return m_statusText; }
    bool IsTrusteeship() const { return m_trusteeship != 0; }
    int GetCurrentPlayer() const { return m_currentPlayer; }
    int GetLandlord() const { return m_landlord; }
    int GetSortMode() const { return m_sortMode; }
    bool IsTableActive() const { return m_tableActive != 0; }
    bool IsPreviewActive() const { return m_previewActive != 0; }
    DlgCountDownCL* GetCountDown() const { return m_countDown; }
    CDlgFunctionBarCL* GetFunctionBar() const { return m_functionBar; }
    const GameCardItemCL* GetBaseCard(int index) const;

private:
    struct ToolButton;

    // Building.
    void TextInitial();
    void CreateToolBar();
    KelWnd2DButtonCL* ToolButtonAt(int index) const;

    // The hand's flow.
    void SetPlayerCall(int playerId, int bid);
    bool CheckOutCard(const std::vector<uint8_t>& codes);
    void PlayOut();
    void Pass();
    void Hint();
    void ApplyChoice(const KavdorHandChoice& choice);
    void OpenCountDown(const char* format, int number);
    void CloseCountDown();
    void ShowRefusal();
    void StartNewRound(int leader);
    void PlayPlaySound(KavdorSeatRecord& record, const std::vector<uint8_t>& cards);
    void PlaySeatSound(GameSeatRecordCL* record, const char* name);
    void ClearSeats();
    void OnTimer(int id);
    void EndPreview();

    // Drawing.
    void DrawCallNum(KelCanvasCL* canvas);
    void DrawPlayer(KelCanvasCL* canvas);
    void DrawSeat(KelCanvasCL* canvas, KavdorSeatRecord& record, int relative);
    void DrawStake(KelCanvasCL* canvas);
    void PlaceToolBar();

    // Hand handling.
    bool IsOwn(const KavdorSeatRecord& record) const;
    int RelativeSeat(int seat) const;
    std::vector<uint8_t> SelectedCodes();
    std::vector<uint8_t> HandCodes(int seat);
    void SetGroup(CGameKavdorGroupCl& group, const std::vector<uint8_t>& codes);
    // The cards of the play to beat, by seat, for the rule library.
    void CollectPlays(std::array<std::vector<uint8_t>, 4>& plays,
                      std::array<const std::vector<uint8_t>*, 4>& seats);

    // The tool-bar buttons are children of this window, which owns and deletes them.
    KelWnd2DButtonCL* m_soundBtn = nullptr;
    KelWnd2DButtonCL* m_searchBtn = nullptr;
    KelWnd2DButtonCL* m_sortBtn = nullptr;
    KelWnd2DButtonCL* m_trusteeshipBtn = nullptr;
    KelWnd2DButtonCL* m_preturnBtn = nullptr;
    // A child of this window too.
    CDlgFunctionBarCL* m_functionBar = nullptr;

    KelTexturePtr m_tableCentre;
    KelTexturePtr m_landlordMark;
    KelTexturePtr m_passMark;
    KelTexturePtr m_baseScoreBox;
    KelTexturePtr m_multiplierBox;
    KelTexturePtr m_callImages[4];

    std::array<std::unique_ptr<GameCardItemCL>, 8> m_baseCards;
    int m_landlord = 0;
    int m_currentPlayer = -1;
    // A child of this window while it is open; it closes itself when its time is up.
    DlgCountDownCL* m_countDown = nullptr;
    int m_baseScore = 0;
    int m_multiplier = 1;
    uint8_t m_tableActive = 0;
    int m_turnSeconds = 30;
    uint8_t m_voice = 0;
    uint8_t m_previewActive = 0;
    uint8_t m_trusteeship = 0;
    uint8_t m_sortMode = 0;
    int m_currentBidder = 0;
    uint8_t m_freshLead = 0;
    uint8_t m_savedFreshLead = 0;
    uint8_t m_notActed = 1;
    int HintOffset = 0;
    int m_timeouts = 0;
    std::string m_statusText;
    uint8_t m_mustLead = 0;
    uint8_t m_appliedLocally = 0;
    uint8_t m_automatic = 0;
};
