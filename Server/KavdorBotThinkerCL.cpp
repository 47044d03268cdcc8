#include "KavdorBotThinkerCL.h"

#include <algorithm>
#include <cassert>
#include <utility>

KavdorBotThinkerCL::Decision::Decision(std::shared_ptr<const KavdorStrongBotCL> bot, KavdorSeatView view,
                                       bool bidding)
    : m_bot(std::move(bot)), m_view(std::move(view)), m_bidding(bidding)
{
    assert(m_bot != nullptr);
}

bool KavdorBotThinkerCL::Decision::Claim()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_started)
        return false;
    m_started = true;
    return true;
}

void KavdorBotThinkerCL::Decision::Think()
{
    // Worked out without the lock: nobody reads the answer before m_ready says it is there.
    int bid = -1;
    KavdorHandChoice play;
    if (m_bidding)
        bid = m_bot->ChooseBid(m_view);
    else
        play = m_bot->ChoosePlay(m_view);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bid = bid;
        m_play = std::move(play);
        m_ready = true;
    }
    m_done.notify_all();
}

void KavdorBotThinkerCL::Decision::Wait()
{
    // Not begun yet (the threads are busy with other tables): the table thinks it itself rather
    // than wait for the decisions queued before it.
    if (Claim())
    {
        Think();
        return;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [this] { return m_ready; });
}

int KavdorBotThinkerCL::Decision::WaitBid()
{
    assert(m_bidding);
    Wait();
    return m_bid;
}

KavdorHandChoice KavdorBotThinkerCL::Decision::WaitPlay()
{
    assert(!m_bidding);
    Wait();
    return m_play;
}

KavdorBotThinkerCL::KavdorBotThinkerCL(int threads)
{
    if (threads <= 0)
        threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1);
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Run(); });
}

KavdorBotThinkerCL::~KavdorBotThinkerCL()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        // A table that still wants one of these thinks it itself when it asks for the answer.
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

std::shared_ptr<KavdorBotThinkerCL::Decision> KavdorBotThinkerCL::Ask(
    std::shared_ptr<const KavdorStrongBotCL> bot, const KavdorSeatView& view, bool bidding)
{
    auto decision = std::make_shared<Decision>(std::move(bot), view, bidding);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_queue.push_back(decision);
    }
    m_wake.notify_one();
    return decision;
}

void KavdorBotThinkerCL::Run()
{
    for (;;)
    {
        std::shared_ptr<Decision> decision;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            decision = m_queue.front().lock();
            m_queue.pop_front();
        }
        // Nobody waits for it any more (the table moved on or closed), or its table is thinking
        // it already.
        if (decision != nullptr && decision->Claim())
            decision->Think();
    }
}
