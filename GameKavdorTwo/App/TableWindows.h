#pragma once
// The operations of the table's windows that the application object and its sinks call. The
// windows themselves (table dialog, play window, chat window, tool bar) implement them; until a
// window exists its getter answers null and the call is skipped.

#include <string>
#include <vector>

#include "GameSink.h"
#include "NetMsgTypes.h"

class KelWndBaseCL;

// The seat window's part of the play window: the players at the table and what the room
// messages say about them (arrivals, departures, readiness, the hand results), the table's chat
// commands and the answer to a prop purchase. The framework's seat window implements it; the
// game's play window inherits that implementation (the base is virtual so that both interfaces
// share it).
class TableSeatWindow
{
public:
    virtual void SetSeatCount(int count) = 0;
    virtual void OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info) = 0;
    virtual void OnPlayerOut(int playerId) = 0;
    virtual void OnReady(int playerId, bool ready) = 0;
    // Adds each record's score change to the running total of its player's seat.
    virtual void OnGameResult(const std::vector<NetResultRecord>& records) = 0;
    // A chat line beginning with "@ID:" (instant chat commands).
    virtual void OnRecv_ImChat(const std::string& text) = 0;
    // The room's answer to a prop purchase, for the seat window.
    virtual void OnRecv_BuyProp(int first, int second) = 0;

protected:
    virtual ~TableSeatWindow() = default;
};

// The play window as the room messages and the action bar reach it.
class TablePlayWindow : public virtual TableSeatWindow, public GamePlayWindow
{
public:
    virtual void OnStartGame() = 0;
    virtual void SetGameRunning(bool running) = 0;
    virtual void OnEndGame() = 0;

    // What the action bar asks of it. The user's action: 1 play the selected cards, 2 pass,
    // 3 hint.
    virtual void OnClickOutCard(int kind) = 0;
    // The bid of a seat (0 to 3) in this hand: 0 none yet, 1 to 3 points, -1 declined; 0 for a
    // seat nobody sits on.
    virtual int GetSeatCall(int seat) = 0;
};

class TableChatWindow
{
public:
    // Colour as A, R, G, B.
    virtual void OnChat(const std::string& text, int a, int r, int g, int b, bool newLine) = 0;
    virtual void OnRecChatFace(const std::string& text) = 0;
    virtual void GameScoreCL(const std::vector<int>& ids, const std::vector<int>& scores,
                             const std::vector<int>& coins, const std::string& header) = 0;

protected:
    virtual ~TableChatWindow() = default;
};

class TableDialog
{
public:
    virtual void OnRecv_OnBaseRecPlayerWantToLeave(int playerId, const std::string& text) = 0;
    virtual void OnRecv_BaseRecPlayerExitType(int type) = 0;
    virtual void OnRecv_BaseRecEnterPassWord() = 0;
    virtual KelWndBaseCL* GetGameWnd() = 0;
    virtual KelWndBaseCL* GetChatWindow() = 0;
    virtual KelWndBaseCL* GetToolBar() = 0;

protected:
    virtual ~TableDialog() = default;
};
