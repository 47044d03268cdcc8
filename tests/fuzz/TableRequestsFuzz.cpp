// Drives one table with arbitrary requests of its players, watchers and strangers, with their
// connections dropping and coming back, and time passing, and checks what must hold whatever
// they send:
//  - nothing crashes, and a malformed request is refused with the decoder's error only;
//  - a dealt hand goes to its own player only: nobody, watchers included, receives another
//    seat's cards;
//  - every result sums to zero over the four seats;
//  - nothing is sent to a bot.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "KavdorTableCL.h"
#include "NetMsgReaderCL.h"

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

class Listener : public KavdorTableListenerCL
{
public:
    Listener()
    {
        for (int id = 1; id <= 4; ++id)
        {
            PlayerRecord& record = records[id];
            record.id = id;
            record.nickname = "player" + std::to_string(id);
            record.coins = 1000;
        }
    }
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override
    {
        Check(playerId < KavdorTableCL::kFirstBotId, "a message for a bot");
        uint16_t category = 0, type = 0;
        Check(NetMsgReaderCL::ReadHeader(message.data(), message.size(), category, type),
              "a message without header");
        if (category == NET_CATEGORY_GAME && type == GAME_DEAL)
        {
            NetMsgReaderCL r(message.data() + 4, static_cast<int>(message.size()) - 4);
            Check(r.ReadI32() == playerId, "a dealt hand sent to somebody else");
        }
    }
    const PlayerRecord* FindRecord(int playerId) override
    {
        auto found = records.find(playerId);
        return found == records.end() ? nullptr : &found->second;
    }
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>& changes) override
    {
        int sum = 0;
        for (const NetResultRecord& r : table.LastResult())
            sum += r.score;
        Check(sum == 0, "a result that does not sum to zero");
        for (const PlayerChange& change : changes)
            if (records.count(change.id))
                PlayerStoreCL::ApplyTo(change, records[change.id]);
        settling = true;
    }
    void OnPlayerLeftTable(KavdorTableCL&, int) override {}
    void OnWrongPassword(KavdorTableCL&, int) override {}
    void Log(const std::string&) override {}

    std::map<int, PlayerRecord> records;
    bool settling = false;
};

// Reads the fuzzer's bytes one at a time; zeros once they run out.
class Bytes
{
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    uint8_t Next() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::vector<uint8_t> Take(size_t n)
    {
        std::vector<uint8_t> out;
        while (n-- > 0 && More())
            out.push_back(Next());
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Listener listener;
    KavdorTableOptions options;
    options.botDelayMs = 0;
    options.verbose = false;
    options.turnSeconds = 1;
    options.graceMs = 0;
    options.passwordPromptMs = 5000;
    auto engine = std::make_shared<std::mt19937>(size);
    options.random = [engine](uint32_t bound) { return (*engine)() % bound; };
    KavdorTableCL table(1, options, listener);
    int64_t now = 0;
    Bytes in(data, size);
    for (int steps = 0; in.More() && steps < 4000; ++steps)
    {
        uint8_t op = in.Next();
        int player = 1 + in.Next() % 4; // player 4 never sits: a stranger, who may only watch
        switch (op % 10)
        {
        case 0:
            now += 100 * (1 + in.Next());
            table.Tick(now);
            break;
        case 1:
        case 2:
        {
            uint16_t type = in.Next() % 24;
            std::vector<uint8_t> payload = in.Take(in.Next() % 24);
            NetMsgReaderCL reader(payload.data(), static_cast<int>(payload.size()));
            try
            {
                if (op % 10 == 1)
                    table.OnRoomRequest(player, type, reader, now);
                else
                    table.OnGameRequest(player, type, reader, now);
            }
            catch (const NetMsgErrorCL&)
            {
                // The lobby closes such a connection; the table stays as it was.
            }
            break;
        }
        case 3:
            table.Disconnect(player, now);
            break;
        case 4:
            table.Reconnect(player);
            break;
        case 5:
            table.Leave(player, now);
            break;
        case 6:
            if (player != 4)
                table.Sit(player, static_cast<int>(in.Next() % 5) - 1, now);
            break;
        case 7:
            table.Watch(player, in.Next() % 4);
            break;
        case 8:
            table.AddBots(now);
            break;
        case 9:
            if (listener.settling)
            {
                listener.settling = false;
                table.HandSaved(now);
            }
            break;
        }
    }
    return 0;
}
