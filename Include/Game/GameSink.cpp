#include "GameSink.h"

bool GameSink::Dispatch(uint16_t type, NetMsgReaderCL& r)
{
    switch (type)
    {
    case GAME_BID_TURN:
    {
        const int playerId = r.ReadI32();
        OnRecvShowCall(playerId, r.ReadI32());
        return true;
    }
    case GAME_DEAL:
    {
        const int playerId = r.ReadI32();
        OnRecvDealCard(playerId, r.ReadCards());
        return true;
    }
    case GAME_CARD_COUNT:
    {
        const int playerId = r.ReadI32();
        OnRecvPlayerCardNum(playerId, r.ReadI32());
        return true;
    }
    case GAME_PLAY_TURN:
    {
        const int playerId = r.ReadI32();
        OnRecvOutCard(playerId, r.ReadI32());
        return true;
    }
    case GAME_PLAY_ANSWER:
    {
        const int ignored = r.ReadI32();
        OnRecvOutCardResult(ignored, r.ReadCards());
        return true;
    }
    case GAME_PLAY:
    {
        const int playerId = r.ReadI32();
        OnRecvPlayerOutCard(playerId, r.ReadCards());
        return true;
    }
    case GAME_BASE_CARDS:
        OnRecvBaseCard(r.ReadCards());
        return true;
    case GAME_LANDLORD:
        OnRecvLandlord(r.ReadI32());
        return true;
    case GAME_SCORE_INFO:
    {
        const int base = r.ReadI32();
        OnRecvScoreInfo(base, r.ReadI32());
        return true;
    }
    case GAME_TURN_SECONDS:
        OnRecvTurnSeconds(r.ReadI32());
        return true;
    case GAME_BID_THREE:
        OnRecvCallThree(r.ReadI32());
        return true;
    default:
        // Types 6 and 11 and anything outside 4 ... 16.
        return false;
    }
}

void GameSink::OnRecvShowCall(int playerId, int bid)
{
    if (GamePlayWindow* window = Window())
        window->ShowCall(playerId, bid);
}

void GameSink::OnRecvDealCard(int playerId, const std::vector<uint8_t>& cards)
{
    if (GamePlayWindow* window = Window())
        window->OnDealCard(playerId, cards);
}

void GameSink::OnRecvPlayerCardNum(int playerId, int count)
{
    if (GamePlayWindow* window = Window())
        window->OnPlayerHaveCardNum(playerId, count);
}

void GameSink::OnRecvOutCard(int playerId, int follow)
{
    if (GamePlayWindow* window = Window())
        window->OnOutCard(playerId, follow != 0);
}

void GameSink::OnRecvOutCardResult(int, const std::vector<uint8_t>& cards)
{
    if (GamePlayWindow* window = Window())
        window->OnOutCardResult(cards);
}

void GameSink::OnRecvPlayerOutCard(int playerId, const std::vector<uint8_t>& cards)
{
    if (GamePlayWindow* window = Window())
        window->OnReceivePlayerCurOutCard(playerId, cards);
}

void GameSink::OnRecvBaseCard(const std::vector<uint8_t>& cards)
{
    GamePlayWindow* window = Window();
    if (window == nullptr)
        return;
    window->DelCountDownWnd();
    window->SetCurrentBidder(-1);
    window->SetCallNumNull();
    window->OnReceiveBaseCard(cards);
}

void GameSink::OnRecvLandlord(int playerId)
{
    if (GamePlayWindow* window = Window())
        window->SetLandlord(playerId);
}

void GameSink::OnRecvScoreInfo(int baseScore, int multiplier)
{
    if (GamePlayWindow* window = Window())
        window->SetScoreInfo(baseScore, multiplier);
}

void GameSink::OnRecvTurnSeconds(int seconds)
{
    if (GamePlayWindow* window = Window())
        window->SetTurnSeconds(seconds);
}

void GameSink::OnRecvCallThree(int playerId)
{
    if (GamePlayWindow* window = Window())
        window->PlayCallThreeVoice(playerId);
}

bool GameSink::SendBid(int code)
{
    return SendRequest(GAME_REQ_BID, [code](NetMsgWriterCL& w) { w.I32(code); });
}

bool GameSink::SendPlay(const std::vector<uint8_t>& cards)
{
    return SendRequest(GAME_REQ_PLAY, [&cards](NetMsgWriterCL& w) { w.Cards(cards); });
}

bool GameSink::SendPass()
{
    return SendRequest(GAME_REQ_PASS, nullptr);
}

bool GameSink::SendTrusteeship()
{
    return SendRequest(GAME_REQ_TRUSTEESHIP, nullptr);
}
