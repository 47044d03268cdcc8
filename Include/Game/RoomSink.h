#pragma once
// The room sink (category 100): the table-level protocol common to the card games of the
// framework (players coming and going, ready, start, result, chat, passwords, coins), and every
// room request the module sends. Each incoming type has its handler, in the table's order; the
// handlers log what the system logs and hand the decoded values to the sink's owner (the
// application object), which applies them to the room state and the table's windows.

#include <string>
#include <vector>

#include "MsgSinkCL.h"
#include "NetMsgTypes.h"

// What the room messages change, implemented by the application object.
class RoomSinkOwner
{
public:
    virtual void OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info) = 0;
    virtual void OnPlayerOut(int playerId) = 0;
    virtual void OnReady(int playerId, bool ready) = 0;
    virtual void OnStartGame() = 0;
    virtual void OnGameResult(const std::vector<NetResultRecord>& records) = 0;
    virtual void OnPlayerWantToLeave(int playerId, const std::string& text) = 0;
    virtual void OnGameRunning(bool running) = 0;
    virtual void OnExiting(bool exiting) = 0;
    virtual void OnChat(const std::string& text) = 0;
    virtual void OnPlayerExitType(int type) = 0;
    virtual void OnPlayerInfoChanged(int playerId, const NetPlayerInfo& info) = 0;
    virtual void OnEnterPassword() = 0;
    virtual void OnPasswordResult(int result) = 0;
    virtual void OnLotteryWin(int amount) = 0;
    virtual void SetCoinCost(int coins) = 0;

protected:
    virtual ~RoomSinkOwner() = default;
};

class RoomSink : public MsgSinkCL
{
public:
    explicit RoomSink(RoomSinkOwner* owner) : MsgSinkCL(NET_CATEGORY_ROOM), m_owner(owner) {}

    // The handlers, one per incoming type, in the type's order.
    /* 4 */ virtual void OnRecv_OnBaseRecExit(uint8_t result);
    /* 5 */ virtual void OnRecv_OnBaseRecPlayerIn(int playerId, int seat, int state,
                                                  const NetPlayerInfo& info);
    /* 6 */ virtual void OnRecv_OnBaseRecPlayerOut(int playerId);
    /* 7 */ virtual void OnRecv_OnBaseRecIsReady(int playerId, uint8_t ready);
    /* 8 */ virtual void OnRecv_OnBaseRecStartReady();
    /* 9 */ virtual void OnRecv_OnBaseRecGameResult(const std::vector<NetResultRecord>& records);
    /* 10 */ virtual void OnRecv_OnBaseRecPlayerWantToLeave(int playerId, const std::string& text);
    /* 11 */ virtual void OnRecv_OnBaseRecStartBet();
    /* 12 */ virtual void OnRecv_OnBaseRecGameIsRuning(int flag);
    /* 13 */ virtual void OnRecv_BaseRecPlayerExit(uint8_t flag);
    /* 14 */ virtual void OnRecv_OnBaseRecChat(const std::string& text);
    /* 15 */ virtual void OnRecv_BaseRecPlayerExitType(int type);
    /* 16 */ virtual void OnRecv_OnBaseRecPlayerInfoChanged(int playerId, const NetPlayerInfo& info);
    /* 17 */ virtual void OnRecv_BaseRecEnterPassWord();
    /* 18 */ virtual void OnRecv_BaseRecPassWordResult(int result);
    /* 19 */ virtual void OnRecv_OnBaseJJCCoinIfSucceed(uint8_t flag);
    /* 20 */ virtual void OnRecv_OnBaseWinCionNum(int amount);
    /* 21 */ virtual void OnRecv_OnJJCCoinNum(int amount);
    /* 22 */ virtual void OnRecv_OnLastGetCoin(const std::string& text);
    /* 23 */ virtual void OnRecv_CoinCost(int coins);

    // The room requests; false when nothing was sent (no sender, or a text over 255 bytes).
    bool SendLeaveWithReason(const std::string& reason);
    bool SendForceLeave();
    bool SendReady();
    bool SendEnterGame();
    bool SendLeave();
    bool SendChat(const std::string& text);
    bool SendExitButton();
    bool SendLeaveAnswer(int playerId, bool agree);
    bool SendTableSettings(int jiFen, int fenCha, int ip, const std::string& password);
    bool SendPassword(const std::string& password);
    bool SendStake(int stake);

protected:
    bool Dispatch(uint16_t type, NetMsgReaderCL& reader) override;

private:
    RoomSinkOwner* m_owner;
};
