// selfplay: whole hands by four bots at one table, in-process, through the table's referee,
// bidding, turns and scoring (no sockets, no delays). items_per_second is hands per second.

#include <benchmark/benchmark.h>

#include "KavdorSelfPlayCL.h"

namespace
{
void selfplay(benchmark::State& state)
{
    KavdorSelfPlayCL selfPlay(1234);
    for (auto _ : state)
        selfPlay.Play(100);
    // Play stops at the end of a table step, which may finish a few more hands than asked.
    state.SetItemsProcessed(selfPlay.Hands());
    state.counters["landlord_win_rate"] =
        static_cast<double>(selfPlay.LandlordWins()) / static_cast<double>(selfPlay.Hands());
    state.counters["plays_per_hand"] = static_cast<double>(selfPlay.Plays()) / static_cast<double>(selfPlay.Hands());
}
BENCHMARK(selfplay)->Unit(benchmark::kMillisecond);
} // namespace
