// tournament: the hard bot (KavdorStrongBotCL) against the simple one (KavdorBotCL), hands played
// in-process with the table's rules, bidding and scoring at a base score of 1.
//
// Every deal is played six times, once for each way of choosing the two seats the hard bot holds
// (the easy bot holds the other two). Each seat is thus hard in three of the six hands and easy in
// the other three, with the same cards and the same first bidder, so the luck of the deal cancels
// out of the comparison and what remains is the difference the bots make. The first bidder moves
// one seat on with every deal, as at a table.
//
// usage: tournament [--hands N] [--seed S] [--threads T] [--play-rollouts R] [--bid-rollouts R]
//                   [--bid-thresholds a,b,c]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KavdorStrongBotCL.h"

namespace
{
// Set by an interrupt or a termination request: no further deal is started, and the deals
// already played are summed up as usual, so that a long run stopped early still reports.
std::atomic<bool> g_stop{false};

void RequestStop(int)
{
    g_stop = true;
}

constexpr int kArrangements = 6;
constexpr int kHardPairs[kArrangements][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 2}, {1, 3}};

struct DealResult
{
    double hard = 0; // the hard seats' average score per seat and hand
    double easy = 0;
    int hands = 0;
    int landlordWins = 0;
    int hardLandlord = 0;
    int hardLandlordWins = 0;
    int easyLandlord = 0;
    int easyLandlordWins = 0;
    // Scores summed by level and role: as landlord, and over the farmer seats.
    long hardLandlordScore = 0;
    long easyLandlordScore = 0;
    long hardFarmerScore = 0;
    long easyFarmerScore = 0;
    int hardFarmerSeats = 0;
    int easyFarmerSeats = 0;
    int refusedHard = 0;
};

// Decision times in milliseconds: by the clock, and in processor time of the deciding thread,
// which is what one core spends on it however busy the machine is.
struct Timing
{
    std::vector<float> hardPlayMs, hardPlayCpuMs;
    std::vector<float> hardBidMs, hardBidCpuMs;
    double hardSeconds = 0;
    double easySeconds = 0;
    long hardDecisions = 0;
    long easyDecisions = 0;
};

struct Interval
{
    double mean = 0;
    double half = 0; // half the width of the 95 % confidence interval
};

Interval MeanInterval(const std::vector<double>& values)
{
    Interval interval;
    size_t n = values.size();
    if (n == 0)
        return interval;
    double sum = 0;
    for (double v : values)
        sum += v;
    interval.mean = sum / n;
    double squares = 0;
    for (double v : values)
        squares += (v - interval.mean) * (v - interval.mean);
    if (n > 1)
        interval.half = 1.96 * std::sqrt(squares / (n - 1) / n);
    return interval;
}

double Percentile(std::vector<float> values, double p)
{
    if (values.empty())
        return 0;
    size_t at = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + at, values.end());
    return values[at];
}

bool ReadNumber(const char* text, long& out)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0)
        return false;
    out = value;
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: tournament [--hands N] [--seed S] [--threads T] [--play-rollouts R] "
                         "[--bid-rollouts R] [--bid-thresholds a,b,c]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    long hands = 20000, seed = 1, threads = 2;
    KavdorStrongBotCL::Settings settings;
    for (int i = 1; i < argc; ++i)
    {
        std::string option = argv[i];
        if (option == "--help")
            return Usage();
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        long number = 0;
        if (option == "--bid-thresholds")
        {
            if (std::sscanf(value, "%lf,%lf,%lf", &settings.bidThresholds[0], &settings.bidThresholds[1],
                            &settings.bidThresholds[2]) != 3)
                return Usage();
            continue;
        }
        if (!ReadNumber(value, number))
            return Usage();
        if (option == "--hands")
            hands = number;
        else if (option == "--seed")
            seed = number;
        else if (option == "--threads")
            threads = std::max(1L, number);
        else if (option == "--play-rollouts")
            settings.playRollouts = static_cast<int>(number);
        else if (option == "--bid-rollouts")
            settings.bidRollouts = static_cast<int>(number);
        else
            return Usage();
    }
    settings.seed = static_cast<uint64_t>(seed);
    KavdorStrongBotCL hard(settings);
    long deals = (hands + kArrangements - 1) / kArrangements;

    std::vector<DealResult> results(deals);
    std::vector<Timing> timings(threads);
    std::atomic<long> next{0};
    std::mutex progressLock;
    long reported = 0;
    auto started = std::chrono::steady_clock::now();

    auto work = [&](int thread)
    {
        Timing& timing = timings[thread];
        KavdorBotHandCL::Observer observer = [&](const KavdorSeatView&, KavdorBotLevel level, int,
                                                 const KavdorHandChoice* play, double seconds, double cpu)
        {
            if (level == KavdorBotLevel::HARD)
            {
                ++timing.hardDecisions;
                timing.hardSeconds += seconds;
                (play != nullptr ? timing.hardPlayMs : timing.hardBidMs)
                    .push_back(static_cast<float>(seconds * 1e3));
                (play != nullptr ? timing.hardPlayCpuMs : timing.hardBidCpuMs)
                    .push_back(static_cast<float>(cpu * 1e3));
            }
            else
            {
                ++timing.easyDecisions;
                timing.easySeconds += seconds;
            }
        };
        for (long deal; !g_stop && (deal = next++) < deals;)
        {
            DealResult& r = results[deal];
            uint64_t dealSeed = static_cast<uint64_t>(seed) * 1000003ull + static_cast<uint64_t>(deal);
            int firstBidder = static_cast<int>(deal % 4);
            for (const auto& pair : kHardPairs)
            {
                std::array<KavdorBotLevel, 4> levels;
                levels.fill(KavdorBotLevel::EASY);
                levels[pair[0]] = levels[pair[1]] = KavdorBotLevel::HARD;
                KavdorBotHandResult hand =
                    KavdorBotHandCL::Play(dealSeed, firstBidder, levels, hard, observer);
                for (int seat = 0; seat < 4; ++seat)
                {
                    bool isHard = levels[seat] == KavdorBotLevel::HARD;
                    (isHard ? r.hard : r.easy) += hand.scores[seat];
                    if (seat == hand.landlordSeat)
                        (isHard ? r.hardLandlordScore : r.easyLandlordScore) += hand.scores[seat];
                    else
                    {
                        (isHard ? r.hardFarmerScore : r.easyFarmerScore) += hand.scores[seat];
                        ++(isHard ? r.hardFarmerSeats : r.easyFarmerSeats);
                    }
                }
                ++r.hands;
                r.landlordWins += hand.landlordWon;
                if (levels[hand.landlordSeat] == KavdorBotLevel::HARD)
                {
                    ++r.hardLandlord;
                    r.hardLandlordWins += hand.landlordWon;
                }
                else
                {
                    ++r.easyLandlord;
                    r.easyLandlordWins += hand.landlordWon;
                }
                r.refusedHard += hand.refusedHard;
            }
            r.hard /= 2.0 * r.hands;
            r.easy /= 2.0 * r.hands;
            std::lock_guard<std::mutex> lock(progressLock);
            long done = ++reported;
            if (done % std::max(1L, deals / 20) == 0)
            {
                double elapsed =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                std::fprintf(stderr, "%ld/%ld deals, %.0f s\n", done, deals, elapsed);
            }
        }
    };
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(work, t);
    for (std::thread& t : pool)
        t.join();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::vector<double> hardScores, easyScores, differences;
    DealResult total;
    long played = 0;
    for (const DealResult& r : results)
    {
        if (r.hands != kArrangements)
            continue; // not played: the run was stopped early
        ++played;
        hardScores.push_back(r.hard);
        easyScores.push_back(r.easy);
        differences.push_back(r.hard - r.easy);
        total.hands += r.hands;
        total.landlordWins += r.landlordWins;
        total.hardLandlord += r.hardLandlord;
        total.hardLandlordWins += r.hardLandlordWins;
        total.easyLandlord += r.easyLandlord;
        total.easyLandlordWins += r.easyLandlordWins;
        total.refusedHard += r.refusedHard;
        total.hardLandlordScore += r.hardLandlordScore;
        total.easyLandlordScore += r.easyLandlordScore;
        total.hardFarmerScore += r.hardFarmerScore;
        total.easyFarmerScore += r.easyFarmerScore;
        total.hardFarmerSeats += r.hardFarmerSeats;
        total.easyFarmerSeats += r.easyFarmerSeats;
    }
    Timing all;
    for (const Timing& t : timings)
    {
        all.hardPlayMs.insert(all.hardPlayMs.end(), t.hardPlayMs.begin(), t.hardPlayMs.end());
        all.hardBidMs.insert(all.hardBidMs.end(), t.hardBidMs.begin(), t.hardBidMs.end());
        all.hardPlayCpuMs.insert(all.hardPlayCpuMs.end(), t.hardPlayCpuMs.begin(), t.hardPlayCpuMs.end());
        all.hardBidCpuMs.insert(all.hardBidCpuMs.end(), t.hardBidCpuMs.begin(), t.hardBidCpuMs.end());
        all.hardSeconds += t.hardSeconds;
        all.easySeconds += t.easySeconds;
        all.hardDecisions += t.hardDecisions;
        all.easyDecisions += t.easyDecisions;
    }
    Interval hardMean = MeanInterval(hardScores), easyMean = MeanInterval(easyScores);
    Interval difference = MeanInterval(differences);

    if (played < deals)
        std::printf("stopped early: %ld of %ld deals played\n", played, deals);
    std::printf("hands %d (%ld deals x %d seatings), seed %ld, threads %ld, wall %.1f s\n", total.hands,
                played, kArrangements, seed, threads, wall);
    std::printf("hard: play rollouts %d, candidates %d, bid rollouts %d, bid thresholds %.2f %.2f %.2f\n",
                settings.playRollouts, settings.maxCandidates, settings.bidRollouts,
                settings.bidThresholds[0], settings.bidThresholds[1], settings.bidThresholds[2]);
    std::printf("average score per seat and hand (95%% interval over deals):\n");
    std::printf("  hard  %+.3f  [%+.3f, %+.3f]\n", hardMean.mean, hardMean.mean - hardMean.half,
                hardMean.mean + hardMean.half);
    std::printf("  easy  %+.3f  [%+.3f, %+.3f]\n", easyMean.mean, easyMean.mean - easyMean.half,
                easyMean.mean + easyMean.half);
    std::printf("  hard - easy  %+.3f  [%+.3f, %+.3f]\n", difference.mean, difference.mean - difference.half,
                difference.mean + difference.half);
    auto rate = [](int wins, int of) { return of > 0 ? 100.0 * wins / of : 0.0; };
    std::printf(
        "landlord win rate: %.1f %% of %d hands; hard landlord %.1f %% of %d, easy landlord %.1f %% of %d\n",
        rate(total.landlordWins, total.hands), total.hands, rate(total.hardLandlordWins, total.hardLandlord),
        total.hardLandlord, rate(total.easyLandlordWins, total.easyLandlord), total.easyLandlord);
    auto average = [](long sum, int of) { return of > 0 ? static_cast<double>(sum) / of : 0.0; };
    std::printf(
        "average score as landlord: hard %+.3f, easy %+.3f; per farmer seat: hard %+.3f, easy %+.3f\n",
        average(total.hardLandlordScore, total.hardLandlord),
        average(total.easyLandlordScore, total.easyLandlord),
        average(total.hardFarmerScore, total.hardFarmerSeats),
        average(total.easyFarmerScore, total.easyFarmerSeats));
    std::printf("decisions per second of decision time: hard %.0f (%ld), easy %.0f (%ld)\n",
                all.hardSeconds > 0 ? all.hardDecisions / all.hardSeconds : 0.0, all.hardDecisions,
                all.easySeconds > 0 ? all.easyDecisions / all.easySeconds : 0.0, all.easyDecisions);
    auto times = [](const char* what, const std::vector<float>& ms)
    {
        std::printf("%s: median %.2f, 99th percentile %.2f, worst %.2f\n", what, Percentile(ms, 0.5),
                    Percentile(ms, 0.99), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
    };
    times("hard play decision ms, clock    ", all.hardPlayMs);
    times("hard play decision ms, processor", all.hardPlayCpuMs);
    times("hard bid decision ms, clock     ", all.hardBidMs);
    times("hard bid decision ms, processor ", all.hardBidCpuMs);
    std::printf("hard plays refused by the referee: %d\n", total.refusedHard);
    return 0;
}
