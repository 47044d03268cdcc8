// The hint search on a fixed corpus: 2,000 random hands of 25 or 33 cards from two-deck deals,
// each against a previous play of one of the ten types, with the hand list rotated from a
// random offset as the hint builds it.
//   search: one SearchOutCard per case. Each call is timed on its own; a case's time is its
//           fastest over all iterations (so that a preempted call does not count), and the
//           counters give the median and the worst case over the corpus.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "CGameKavdorLogicCl.h"
#include "RandomPlays.h"

namespace
{
struct SearchCase
{
    CardList list;
    CardList previous;
    int type;
    int count;
};

const std::vector<SearchCase>& Cases()
{
    static const std::vector<SearchCase> cases = [] {
        randomplays::Generator generator(8080);
        std::mt19937 deals(8081);
        std::vector<SearchCase> list;
        CGameKavdorLogicCl logic;
        for (int i = 0; i < 2000; ++i)
        {
            CardList deal;
            for (int code = 1; code <= 54; ++code)
                deal.insert(deal.end(), 2, static_cast<uint8_t>(code));
            std::shuffle(deal.begin(), deal.end(), deals);
            CardList hand(deal.begin(), deal.begin() + (i % 2 ? 33 : 25));
            randomplays::SortByRank(hand);
            SearchCase c;
            c.list.assign(hand.rbegin(), hand.rend());
            std::rotate(c.list.begin(), c.list.begin() + generator.Below(static_cast<int>(c.list.size())),
                        c.list.end());
            c.previous = generator.Pattern(i % 10);
            int key = 0;
            c.type = logic.GetCardType(c.previous.data(), static_cast<int>(c.previous.size()), c.count, key);
            list.push_back(std::move(c));
        }
        return list;
    }();
    return cases;
}

void search(benchmark::State& state)
{
    const auto& cases = Cases();
    CGameKavdorLogicCl logic;
    std::mt19937 random(1);
    logic.SetRandomSource([&](uint32_t bound) { return random() % bound; });
    std::vector<double> best(cases.size(), 1e9);
    CardList out;
    for (auto _ : state)
    {
        for (size_t i = 0; i < cases.size(); ++i)
        {
            const SearchCase& c = cases[i];
            auto start = std::chrono::steady_clock::now();
            bool found = logic.SearchOutCard(c.list, c.previous, c.type, c.count, out);
            auto end = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(found);
            best[i] = std::min(best[i], std::chrono::duration<double, std::micro>(end - start).count());
        }
    }
    std::sort(best.begin(), best.end());
    state.counters["median_us"] = best[best.size() / 2];
    state.counters["p99_us"] = best[best.size() * 99 / 100];
    state.counters["worst_us"] = best.back();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cases.size()));
}
BENCHMARK(search)->Unit(benchmark::kMillisecond);
} // namespace
