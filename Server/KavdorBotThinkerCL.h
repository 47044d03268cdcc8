#pragma once
// Thinks the hard bot's decisions on threads of their own. The server serves every table from one
// thread, and a hard decision plays the hand out thousands of times (milliseconds to tens of
// milliseconds); made there, it would hold up every other table and every player's request. A
// table asks here as soon as a bot's turn begins and takes the answer when the bot's delay is
// over, by which time it is normally ready.
//
// A decision is a function of the bot's settings and the seat's view alone, so an answer thought
// here is the one the table would have worked out itself.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "KavdorStrongBotCL.h"

class KavdorBotThinkerCL
{
public:
    // One decision asked for. The table keeps the only lasting reference: once it lets go (the
    // turn went another way, the table was closed), a decision not yet begun is skipped.
    class Decision
    {
    public:
        Decision(std::shared_ptr<const KavdorStrongBotCL> bot, KavdorSeatView view, bool bidding);

        // What the decision was asked about.
        const KavdorSeatView& View() const { return m_view; }
        bool Bidding() const { return m_bidding; }

        // The answer; thought on the calling thread when no thread has begun it yet, else waited
        // for.
        int WaitBid();
        KavdorHandChoice WaitPlay();

    private:
        friend class KavdorBotThinkerCL;
        bool Claim(); // true for the one caller who is to think it
        void Think();
        void Wait();

        const std::shared_ptr<const KavdorStrongBotCL> m_bot;
        const KavdorSeatView m_view;
        const bool m_bidding;

        std::mutex m_lock;
        std::condition_variable m_done;
        bool m_started = false;
        bool m_ready = false;
        int m_bid = -1;
        KavdorHandChoice m_play;
    };

    // threads <= 0: one fewer than the machine's cores, at least one.
    explicit KavdorBotThinkerCL(int threads = 0);
    // Finishes the decisions under way and drops the others: a table that still wants one thinks
    // it when it asks for the answer.
    ~KavdorBotThinkerCL();

    KavdorBotThinkerCL(const KavdorBotThinkerCL&) = delete;
    KavdorBotThinkerCL& operator=(const KavdorBotThinkerCL&) = delete;

    std::shared_ptr<Decision> Ask(std::shared_ptr<const KavdorStrongBotCL> bot, const KavdorSeatView& view,
                                  bool bidding);

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::weak_ptr<Decision>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
