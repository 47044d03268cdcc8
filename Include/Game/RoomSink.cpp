#include "RoomSink.h"

#include "KelLogCL.h"

bool RoomSink::Dispatch(uint16_t type, NetMsgReaderCL& r)
{
    switch (type)
    {
    case ROOM_EXIT_RESULT:
        OnRecv_OnBaseRecExit(r.ReadU8());
        return true;
    case ROOM_PLAYER_IN:
    {
        const int playerId = r.ReadI32();
        const int seat = r.ReadI32();
        const int state = r.ReadI32();
        OnRecv_OnBaseRecPlayerIn(playerId, seat, state, r.ReadPlayerInfo());
        return true;
    }
    case ROOM_PLAYER_OUT:
        OnRecv_OnBaseRecPlayerOut(r.ReadI32());
        return true;
    case ROOM_READY:
    {
        const int playerId = r.ReadI32();
        OnRecv_OnBaseRecIsReady(playerId, r.ReadU8());
        return true;
    }
    case ROOM_START_READY:
        OnRecv_OnBaseRecStartReady();
        return true;
    case ROOM_GAME_RESULT:
        OnRecv_OnBaseRecGameResult(r.ReadResultList());
        return true;
    case ROOM_WANT_TO_LEAVE:
    {
        const int playerId = r.ReadI32();
        OnRecv_OnBaseRecPlayerWantToLeave(playerId, r.ReadBytes());
        return true;
    }
    case ROOM_START_BET:
        OnRecv_OnBaseRecStartBet();
        return true;
    case ROOM_GAME_RUNNING:
        OnRecv_OnBaseRecGameIsRuning(r.ReadI32());
        return true;
    case ROOM_PLAYER_EXIT:
        OnRecv_BaseRecPlayerExit(r.ReadU8());
        return true;
    case ROOM_CHAT:
        OnRecv_OnBaseRecChat(r.ReadBytes());
        return true;
    case ROOM_EXIT_TYPE:
        OnRecv_BaseRecPlayerExitType(r.ReadI32());
        return true;
    case ROOM_PLAYER_INFO:
    {
        const int playerId = r.ReadI32();
        OnRecv_OnBaseRecPlayerInfoChanged(playerId, r.ReadPlayerInfo());
        return true;
    }
    case ROOM_ENTER_PASSWORD:
        OnRecv_BaseRecEnterPassWord();
        return true;
    case ROOM_PASSWORD_RESULT:
        OnRecv_BaseRecPassWordResult(r.ReadI32());
        return true;
    case 17:
        OnRecv_OnBaseJJCCoinIfSucceed(r.ReadU8());
        return true;
    case ROOM_LOTTERY_WIN:
        OnRecv_OnBaseWinCionNum(r.ReadI32());
        return true;
    case 19:
        OnRecv_OnJJCCoinNum(r.ReadI32());
        return true;
    case 20:
        OnRecv_OnLastGetCoin(r.ReadBytes());
        return true;
    case ROOM_COIN_COST:
        OnRecv_CoinCost(r.ReadI32());
        return true;
    default:
        // Type 9 and anything unknown: not decoded.
        return false;
    }
}

void RoomSink::OnRecv_OnBaseRecExit(uint8_t result)
{
    KelLogPrintf("退出是否成功 ret = %d", result);
}

void RoomSink::OnRecv_OnBaseRecPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info)
{
    KelLogPrintf("收到玩家进入消息 playerID_=%d , seatIdx=%d , playerState=%d", playerId, seat, state);
    if (m_owner != nullptr)
        m_owner->OnPlayerIn(playerId, seat, state, info);
}

void RoomSink::OnRecv_OnBaseRecPlayerOut(int playerId)
{
    KelLogPrintf("收到玩家离开消息 playerID_=%d", playerId);
    if (m_owner != nullptr)
        m_owner->OnPlayerOut(playerId);
}

void RoomSink::OnRecv_OnBaseRecIsReady(int playerId, uint8_t ready)
{
    KelLogPrintf("收到玩家是否准备完毕消息 playerID_=%d , isReady=%d", playerId, ready);
    if (m_owner != nullptr)
        m_owner->OnReady(playerId, ready != 0);
}

void RoomSink::OnRecv_OnBaseRecStartReady()
{
    KelLogPrintf("通知客户端准备开始游戏");
    if (m_owner != nullptr)
        m_owner->OnStartGame();
}

void RoomSink::OnRecv_OnBaseRecGameResult(const std::vector<NetResultRecord>& records)
{
    KelLogPrintf("收到游戏结果 num=%d", static_cast<int>(records.size()));
    if (m_owner != nullptr)
        m_owner->OnGameResult(records);
}

void RoomSink::OnRecv_OnBaseRecPlayerWantToLeave(int playerId, const std::string& text)
{
    if (m_owner != nullptr)
        m_owner->OnPlayerWantToLeave(playerId, text);
}

void RoomSink::OnRecv_OnBaseRecStartBet()
{
    KelLogPrintf("通知指定的玩家设置赌金");
}

void RoomSink::OnRecv_OnBaseRecGameIsRuning(int flag)
{
    if (m_owner != nullptr)
        m_owner->OnGameRunning(flag != 0);
}

void RoomSink::OnRecv_BaseRecPlayerExit(uint8_t flag)
{
    if (m_owner != nullptr)
        m_owner->OnExiting(flag != 0);
}

void RoomSink::OnRecv_OnBaseRecChat(const std::string& text)
{
    if (m_owner != nullptr)
        m_owner->OnChat(text);
}

void RoomSink::OnRecv_BaseRecPlayerExitType(int type)
{
    if (m_owner != nullptr)
        m_owner->OnPlayerExitType(type);
}

void RoomSink::OnRecv_OnBaseRecPlayerInfoChanged(int playerId, const NetPlayerInfo& info)
{
    if (m_owner != nullptr)
        m_owner->OnPlayerInfoChanged(playerId, info);
}

void RoomSink::OnRecv_BaseRecEnterPassWord()
{
    if (m_owner != nullptr)
        m_owner->OnEnterPassword();
}

void RoomSink::OnRecv_BaseRecPassWordResult(int result)
{
    if (m_owner != nullptr)
        m_owner->OnPasswordResult(result);
}

void RoomSink::OnRecv_OnBaseJJCCoinIfSucceed(uint8_t) {}

void RoomSink::OnRecv_OnBaseWinCionNum(int amount)
{
    if (m_owner != nullptr)
        m_owner->OnLotteryWin(amount);
}

void RoomSink::OnRecv_OnJJCCoinNum(int) {}

void RoomSink::OnRecv_OnLastGetCoin(const std::string&) {}

void RoomSink::OnRecv_CoinCost(int coins)
{
    if (m_owner != nullptr)
        m_owner->SetCoinCost(coins);
}

bool RoomSink::SendLeaveWithReason(const std::string& reason)
{
    return SendRequest(ROOM_REQ_LEAVE_WITH_REASON, [&reason](NetMsgWriterCL& w) { w.Bytes(reason); });
}

bool RoomSink::SendForceLeave()
{
    return SendRequest(ROOM_REQ_FORCE_LEAVE, nullptr);
}

bool RoomSink::SendReady()
{
    return SendRequest(ROOM_REQ_READY, nullptr);
}

bool RoomSink::SendEnterGame()
{
    return SendRequest(ROOM_REQ_ENTER_GAME, nullptr);
}

bool RoomSink::SendLeave()
{
    return SendRequest(ROOM_REQ_LEAVE, nullptr);
}

bool RoomSink::SendChat(const std::string& text)
{
    return SendRequest(ROOM_REQ_CHAT, [&text](NetMsgWriterCL& w) { w.Bytes(text); });
}

bool RoomSink::SendExitButton()
{
    return SendRequest(ROOM_REQ_EXIT_BUTTON, nullptr);
}

bool RoomSink::SendLeaveAnswer(int playerId, bool agree)
{
    return SendRequest(ROOM_REQ_LEAVE_ANSWER, [=](NetMsgWriterCL& w) { w.I32(playerId).U8(agree ? 1 : 0); });
}

bool RoomSink::SendTableSettings(int jiFen, int fenCha, int ip, const std::string& password)
{
    return SendRequest(ROOM_REQ_TABLE_SETTINGS,
                       [&](NetMsgWriterCL& w) { w.I32(jiFen).I32(fenCha).I32(ip).Bytes(password); });
}

bool RoomSink::SendPassword(const std::string& password)
{
    return SendRequest(ROOM_REQ_PASSWORD, [&password](NetMsgWriterCL& w) { w.Bytes(password); });
}

bool RoomSink::SendStake(int stake)
{
    return SendRequest(ROOM_REQ_STAKE, [stake](NetMsgWriterCL& w) { w.I32(stake); });
}
