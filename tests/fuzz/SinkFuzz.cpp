// Feeds arbitrary messages to the room and the game sink, as a damaged or hostile server could
// send them, with owners that look at everything they are given:
//  - nothing crashes and nothing is read past the message (AddressSanitizer);
//  - a message the sink refuses reaches no owner;
//  - a text or card list handed on never holds more bytes than the message.
// The first byte picks the sink; the rest is the message.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GameSink.h"
#include "KelLogCL.h"
#include "RoomSink.h"

namespace
{
void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

size_t g_limit = 0;
int g_calls = 0;

void Seen(size_t bytes)
{
    ++g_calls;
    Check(bytes <= g_limit, "more bytes handed on than the message holds");
}

class Owner : public RoomSinkOwner, public GamePlayWindow
{
public:
    void OnPlayerIn(int, int, int, const NetPlayerInfo& info) override { Seen(info.nickname.size()); }
    void OnPlayerOut(int) override { Seen(0); }
    void OnReady(int, bool) override { Seen(0); }
    void OnStartGame() override { Seen(0); }
    void OnGameResult(const std::vector<NetResultRecord>& r) override { Seen(r.size() * 16); }
    void OnPlayerWantToLeave(int, const std::string& t) override { Seen(t.size()); }
    void OnGameRunning(bool) override { Seen(0); }
    void OnExiting(bool) override { Seen(0); }
    void OnChat(const std::string& t) override { Seen(t.size()); }
    void OnPlayerExitType(int) override { Seen(0); }
    void OnPlayerInfoChanged(int, const NetPlayerInfo& info) override { Seen(info.nickname.size()); }
    void OnEnterPassword() override { Seen(0); }
    void OnPasswordResult(int) override { Seen(0); }
    void OnLotteryWin(int) override { Seen(0); }
    void SetCoinCost(int) override { Seen(0); }
    void ShowCall(int, int) override { Seen(0); }
    void OnDealCard(int, const std::vector<uint8_t>& c) override { Seen(c.size()); }
    void OnPlayerHaveCardNum(int, int) override { Seen(0); }
    void OnOutCard(int, bool) override { Seen(0); }
    void OnOutCardResult(const std::vector<uint8_t>& c) override { Seen(c.size()); }
    void OnReceivePlayerCurOutCard(int, const std::vector<uint8_t>& c) override { Seen(c.size()); }
    void DelCountDownWnd() override { Seen(0); }
    void SetCurrentBidder(int) override { Seen(0); }
    void SetCallNumNull() override { Seen(0); }
    void OnReceiveBaseCard(const std::vector<uint8_t>& c) override { Seen(c.size()); }
    void SetLandlord(int) override { Seen(0); }
    void SetScoreInfo(int, int) override { Seen(0); }
    void SetTurnSeconds(int) override { Seen(0); }
    void PlayCallThreeVoice(int) override { Seen(0); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = []
    {
        KelLogCL::GetInstance()->SetEnabled(0);
        return true;
    }();
    (void)quiet;
    static Owner owner;
    static RoomSink room(&owner);
    static GameSink game([] { return static_cast<GamePlayWindow*>(&owner); });
    if (size == 0)
        return 0;
    // An exact copy, so that AddressSanitizer sees any read past the message's end.
    const std::vector<uint8_t> message(data + 1, data + size);
    g_limit = message.size();
    g_calls = 0;
    MsgSinkCL& sink = data[0] % 2 == 0 ? static_cast<MsgSinkCL&>(room) : static_cast<MsgSinkCL&>(game);
    const bool accepted =
        sink.OnMessage(message.empty() ? nullptr : message.data(), static_cast<int>(message.size()));
    if (!accepted)
        Check(g_calls == 0, "a refused message reached an owner");
    return 0;
}
