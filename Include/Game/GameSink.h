#pragma once
// The game sink (category 105): the protocol of one hand (bidding, dealing, base cards, turns,
// plays) handed, decoded, to the play window, and the four game requests. Each handler asks for
// the play window when it runs and does nothing when there is none.

#include <cstdint>
#include <functional>
#include <vector>

#include "MsgSinkCL.h"
#include "NetMsgTypes.h"

// The operations of the play window that game messages call.
class GamePlayWindow
{
public:
    // The player is to bid; `bid` is the bid of the seat before him (1, 2, 3; -1 none; 0 nothing
    // yet).
    virtual void ShowCall(int playerId, int bid) = 0;
    virtual void OnDealCard(int playerId, const std::vector<uint8_t>& cards) = 0;
    virtual void OnPlayerHaveCardNum(int playerId, int count) = 0;
    // `follow` false: the player leads a new round.
    virtual void OnOutCard(int playerId, bool follow) = 0;
    // The user's play as accepted; empty when refused.
    virtual void OnOutCardResult(const std::vector<uint8_t>& cards) = 0;
    // A player's play; empty is a pass.
    virtual void OnReceivePlayerCurOutCard(int playerId, const std::vector<uint8_t>& cards) = 0;
    virtual void DelCountDownWnd() = 0;
    virtual void SetCurrentBidder(int playerId) = 0;
    virtual void SetCallNumNull() = 0;
    virtual void OnReceiveBaseCard(const std::vector<uint8_t>& cards) = 0;
    virtual void SetLandlord(int playerId) = 0;
    virtual void SetScoreInfo(int baseScore, int multiplier) = 0;
    virtual void SetTurnSeconds(int seconds) = 0;
    virtual void PlayCallThreeVoice(int playerId) = 0;

protected:
    virtual ~GamePlayWindow() = default;
};

class GameSink : public MsgSinkCL
{
public:
    using WindowSource = std::function<GamePlayWindow*()>;
    explicit GameSink(WindowSource window) : MsgSinkCL(NET_CATEGORY_GAME), m_window(std::move(window)) {}

    /* 4 */ virtual void OnRecvShowCall(int playerId, int bid);
    /* 5 */ virtual void OnRecvDealCard(int playerId, const std::vector<uint8_t>& cards);
    /* 6 */ virtual void OnRecvPlayerCardNum(int playerId, int count);
    /* 7 */ virtual void OnRecvOutCard(int playerId, int follow);
    /* 8 */ virtual void OnRecvOutCardResult(int ignored, const std::vector<uint8_t>& cards);
    /* 9 */ virtual void OnRecvPlayerOutCard(int playerId, const std::vector<uint8_t>& cards);
    /* 10 */ virtual void OnRecvBaseCard(const std::vector<uint8_t>& cards);
    /* 11 */ virtual void OnRecvLandlord(int playerId);
    /* 12 */ virtual void OnRecvScoreInfo(int baseScore, int multiplier);
    /* 13 */ virtual void OnRecvTurnSeconds(int seconds);
    /* 14 */ virtual void OnRecvCallThree(int playerId);

    // Bid codes: 0 = 1 point, 1 = 2 points, 2 = 3 points, 3 = no bid.
    bool SendBid(int code);
    // The cards the user plays, sorted high to low.
    bool SendPlay(const std::vector<uint8_t>& cards);
    bool SendPass();
    bool SendTrusteeship();

protected:
    bool Dispatch(uint16_t type, NetMsgReaderCL& reader) override;

private:
    GamePlayWindow* Window() const { return m_window ? m_window() : nullptr; }

    WindowSource m_window;
};
