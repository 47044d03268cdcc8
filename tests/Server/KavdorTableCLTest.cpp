#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "KavdorTableCL.h"
#include "NetMsgReaderCL.h"

namespace
{
// Collects what a table says.
class Recorder : public KavdorTableListenerCL
{
public:
    void SendToPlayer(int playerId, const std::vector<uint8_t>& message) override
    {
        messages[playerId].push_back(message);
    }
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerRecord>& records) override
    {
        ++hands;
        saved = records;
        if (onHand)
            onHand(table);
    }
    void OnPlayerLeftTable(KavdorTableCL&, int playerId) override { left.push_back(playerId); }
    void Log(const std::string& line) override { lines.push_back(line); }

    std::map<int, std::vector<std::vector<uint8_t>>> messages;
    std::vector<PlayerRecord> saved;
    std::vector<int> left;
    std::vector<std::string> lines;
    int hands = 0;
    std::function<void(KavdorTableCL&)> onHand;
};

KavdorTableOptions FastOptions(uint32_t seed)
{
    KavdorTableOptions options;
    options.botDelayMs = 0;
    options.verbose = false;
    auto engine = std::make_shared<std::mt19937>(seed);
    options.random = [engine](uint32_t bound) { return (*engine)() % bound; };
    return options;
}

// Checks one finished hand of a table against the rules.
void CheckHand(const KavdorTableCL& table)
{
    CardList deal = table.LastDeal();
    ASSERT_EQ(deal.size(), 108u);
    std::sort(deal.begin(), deal.end());
    for (int code = 1; code <= 54; ++code)
        EXPECT_EQ(std::count(deal.begin(), deal.end(), code), 2) << code;

    int sum = 0;
    for (const NetResultRecord& r : table.LastResult())
        sum += r.score;
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(table.LastResult().size(), 4u);

    int emptied = 0;
    for (int seat = 0; seat < 4; ++seat)
        emptied += table.Referee().GetWinnerId() == table.PlayerAt(seat) ? 1 : 0;
    EXPECT_EQ(emptied, 1);

    for (const KavdorTableCL::PlayRecord& play : table.LastHandPlays())
    {
        if (play.cards.empty())
            continue;
        if (play.standing.empty())
            EXPECT_GE(KavdorGetCardType(play.cards.data(), static_cast<int>(play.cards.size()), nullptr), 0);
        else
            EXPECT_EQ(KavdorCompareCardGroup(play.cards.data(), static_cast<int>(play.cards.size()),
                                             play.standing.data(), static_cast<int>(play.standing.size())),
                      1);
    }
}
} // namespace

TEST(KavdorTable, FourBotsPlayManyHandsByTheRules)
{
    Recorder recorder;
    recorder.onHand = [](KavdorTableCL& table) { CheckHand(table); };
    KavdorTableCL table(1, FastOptions(11), recorder);
    int64_t now = 0;
    EXPECT_EQ(table.AddBots(now), 4);
    for (int ticks = 0; recorder.hands < 200 && ticks < 100000; ++ticks)
    {
        ASSERT_NE(table.NextDeadline(), INT64_MAX) << "the table stopped";
        table.Tick(now);
    }
    EXPECT_GE(recorder.hands, 200);
    EXPECT_TRUE(recorder.messages.empty()); // nobody but bots: nothing is sent
}
