#pragma once
// Hands played by four bots at one table, in-process, without sockets or delays: for measuring
// the table and the bots, and for watching their statistics.

#include <cstdint>

#include "KavdorTableCL.h"

class KavdorSelfPlayCL : private KavdorTableListenerCL
{
public:
    // `seed` 0 takes a seed from the system's entropy source.
    explicit KavdorSelfPlayCL(uint64_t seed = 0);
    ~KavdorSelfPlayCL() override;

    // Plays until `hands` more hands have ended.
    void Play(long hands);

    long Hands() const { return m_hands; }
    long LandlordWins() const { return m_landlordWins; }
    long Plays() const { return m_plays; }

private:
    void SendToPlayer(int, const std::vector<uint8_t>&) override {}
    const PlayerRecord* FindRecord(int) override { return nullptr; }
    void OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>& changes) override;
    void OnPlayerLeftTable(KavdorTableCL&, int) override {}
    void OnWrongPassword(KavdorTableCL&, int) override {}
    void Log(const std::string&) override {}

    std::unique_ptr<KavdorTableCL> m_table;
    long m_hands = 0;
    long m_landlordWins = 0;
    long m_plays = 0;
    // A hand ended and waits to be reported saved; bots have nothing to save.
    bool m_settling = false;
};
