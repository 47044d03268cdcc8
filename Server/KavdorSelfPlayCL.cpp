#include "KavdorSelfPlayCL.h"

#include <random>

KavdorSelfPlayCL::KavdorSelfPlayCL(uint64_t seed)
{
    KavdorTableOptions options;
    options.botDelayMs = 0;
    options.verbose = false;
    options.botsPlayAlone = true;
    // Self-play needs speed, not secrecy: one seeded generator instead of the entropy source.
    auto engine = std::make_shared<std::mt19937_64>(seed != 0 ? seed : std::random_device{}());
    options.random = [engine](uint32_t bound) { return static_cast<uint32_t>((*engine)() % bound); };
    KavdorTableListenerCL& listener = *this;
    m_table = std::make_unique<KavdorTableCL>(1, options, listener);
    m_table->AddBots(0);
}

KavdorSelfPlayCL::~KavdorSelfPlayCL() = default;

void KavdorSelfPlayCL::Play(long hands)
{
    long target = m_hands + hands;
    while (m_hands < target)
    {
        m_table->Tick(0);
        if (m_settling)
        {
            m_settling = false;
            m_table->HandSaved(0);
        }
    }
}

void KavdorSelfPlayCL::OnHandEnded(KavdorTableCL& table, const std::vector<PlayerChange>&)
{
    m_settling = true;
    ++m_hands;
    if (table.Referee().GetWinnerId() == table.PlayerAt(table.LastLandlordSeat()))
        ++m_landlordWins;
    for (const auto& play : table.LastHandPlays())
        m_plays += play.cards.empty() ? 0 : 1;
}
