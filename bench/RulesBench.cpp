// The rule engine on a fixed corpus: 10,000 plays drawn from random two-deck deals (patterns of
// every type, and random picks that are mostly no pattern), and 10,000 pairs of them.
//   classify: one GetCardType per play
//   compare:  one CompareCardGroup per pair (two classifications and the comparison)
// Each iteration goes once through the corpus; per-call time = reported time / 10,000.

#include <benchmark/benchmark.h>

#include <vector>

#include "CGameKavdorLogicCl.h"
#include "RandomPlays.h"

namespace
{
constexpr int kCorpus = 10000;

const std::vector<randomplays::Cards>& Plays()
{
    static const std::vector<randomplays::Cards> plays = [] {
        randomplays::Generator generator(424242);
        std::vector<randomplays::Cards> list;
        for (int i = 0; i < kCorpus; ++i)
            list.push_back(generator.Any());
        return list;
    }();
    return plays;
}

void classify(benchmark::State& state)
{
    const auto& plays = Plays();
    CGameKavdorLogicCl logic;
    for (auto _ : state)
    {
        int types = 0;
        for (const auto& play : plays)
        {
            int count = 0, key = 0;
            types += logic.GetCardType(play.data(), static_cast<int>(play.size()), count, key);
        }
        benchmark::DoNotOptimize(types);
    }
    state.SetItemsProcessed(state.iterations() * kCorpus);
    state.counters["ns_per_call"] = benchmark::Counter(static_cast<double>(kCorpus) * state.iterations(),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(classify)->Unit(benchmark::kMicrosecond);

void compare(benchmark::State& state)
{
    const auto& plays = Plays();
    CGameKavdorLogicCl logic;
    for (auto _ : state)
    {
        int sum = 0;
        for (int i = 0; i < kCorpus; ++i)
        {
            const auto& a = plays[i];
            const auto& b = plays[(i * 7919 + 1) % kCorpus];
            sum += logic.CompareCardGroup(1, a.data(), static_cast<int>(a.size()), 2, b.data(),
                                          static_cast<int>(b.size()));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCorpus);
    state.counters["ns_per_call"] = benchmark::Counter(static_cast<double>(kCorpus) * state.iterations(),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(compare)->Unit(benchmark::kMicrosecond);
} // namespace
