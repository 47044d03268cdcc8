#include "PlayerStoreWorkerCL.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace
{
// The first pause after a failed save; it doubles with every failure up to the maximum.
constexpr int kFirstRetryPauseMs = 50;

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ChangesText(const std::vector<PlayerChange>& changes)
{
    std::string text;
    for (const PlayerChange& c : changes)
    {
        if (!text.empty())
            text += "; ";
        text += "player " + std::to_string(c.id) + ": score " + std::to_string(c.score) + ", coins " +
                std::to_string(c.coins) + ", wins " + std::to_string(c.wins) + ", losses " +
                std::to_string(c.losses) + ", draws " + std::to_string(c.draws) + ", games " +
                std::to_string(c.games) + ", escapes " + std::to_string(c.escapes);
    }
    return text;
}
} // namespace

PlayerStoreWorkerCL::PlayerStoreWorkerCL(std::unique_ptr<PlayerStoreCL> store, std::function<void()> wake,
                                         std::string server)
    : m_store(std::move(store)), m_wake(std::move(wake)), m_server(std::move(server))
{
    m_thread = std::thread([this] { Run(); });
}

PlayerStoreWorkerCL::~PlayerStoreWorkerCL()
{
    Stop(0);
}

void PlayerStoreWorkerCL::PostLogin(int connection, const std::string& nickname, const std::string& password,
                                    int sex, LoginMode mode, bool trusted)
{
    Job job;
    job.connection = connection;
    job.nickname = nickname;
    job.password = password;
    job.sex = sex;
    job.mode = mode;
    job.trusted = trusted;
    Post(std::move(job));
}

void PlayerStoreWorkerCL::PostRenew()
{
    Job job;
    job.kind = Job::RENEW;
    Post(std::move(job));
}

void PlayerStoreWorkerCL::PostRelease(int playerId)
{
    Job job;
    job.kind = Job::RELEASE;
    job.playerId = playerId;
    Post(std::move(job));
}

void PlayerStoreWorkerCL::Post(Job job)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping)
        return;
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
}

void PlayerStoreWorkerCL::PostSave(int table, const std::vector<PlayerChange>& changes)
{
    Job job;
    job.kind = Job::SAVE;
    job.table = table;
    job.changes = changes;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
}

std::vector<PlayerStoreWorkerCL::Outcome> PlayerStoreWorkerCL::Collect()
{
    std::vector<Outcome> outcomes;
    std::lock_guard<std::mutex> lock(m_mutex);
    outcomes.swap(m_outcomes);
    return outcomes;
}

size_t PlayerStoreWorkerCL::Backlog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_jobs.size() + m_busy;
}

void PlayerStoreWorkerCL::Stop(int graceMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_stopping)
        {
            m_stopping = true;
            m_giveUpAt = SteadyMs() + std::max(0, graceMs);
            // Nobody is left to answer a login; hands still have to be kept.
            m_jobs.erase(
                std::remove_if(m_jobs.begin(), m_jobs.end(), [](const Job& job) { return job.kind != Job::SAVE; }),
                m_jobs.end());
        }
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void PlayerStoreWorkerCL::Deliver(Outcome outcome)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_outcomes.push_back(std::move(outcome));
    }
    if (m_wake)
        m_wake();
}

void PlayerStoreWorkerCL::Run()
{
    for (;;)
    {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                break; // stopping, and everything is done
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            ++m_busy;
        }
        switch (job.kind)
        {
        case Job::LOGIN:
            DoLogin(job);
            break;
        case Job::SAVE:
            DoSave(job);
            break;
        case Job::RENEW:
            if (!m_store->Renew(m_server))
                Note("the players' presence marks are not renewed: " + m_store->LastError());
            break;
        case Job::RELEASE:
            if (!m_store->Release(job.playerId, m_server))
                Note("player " + std::to_string(job.playerId) +
                     " is still marked at this server: " + m_store->LastError());
            break;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_busy;
    }
    // The players of a server that stops may log in elsewhere at once.
    if (!m_store->Release(0, m_server))
        Note("the players' presence marks are left (they lapse in " + std::to_string(kPresenceStaleSeconds) +
             " s): " + m_store->LastError());
}

void PlayerStoreWorkerCL::Note(const std::string& line)
{
    Outcome note;
    note.note = line;
    Deliver(std::move(note));
}

void PlayerStoreWorkerCL::DoLogin(Job& job)
{
    Outcome outcome;
    outcome.kind = Outcome::LOGIN;
    outcome.connection = job.connection;
    outcome.result =
        m_store->Login(job.nickname, job.password, job.sex, outcome.record, job.mode, job.trusted);
    if (outcome.result != LoginResult::Ok && outcome.result != LoginResult::Created)
        outcome.note = m_store->LastError();
    else
    {
        // Where several servers share the records, a player is at one of them at a time.
        const int claimed = m_store->Claim(outcome.record.id, m_server, kPresenceStaleSeconds);
        if (claimed <= 0)
        {
            outcome.result = claimed == 0 ? LoginResult::Refused : LoginResult::Error;
            outcome.note = claimed == 0 ? "already playing at another server" : m_store->LastError();
            outcome.record = PlayerRecord();
        }
    }
    // The password is not kept a moment longer than needed.
    std::fill(job.password.begin(), job.password.end(), '\0');
    Deliver(std::move(outcome));
}

void PlayerStoreWorkerCL::DoSave(Job& job)
{
    int pause = kFirstRetryPauseMs;
    for (int attempt = 1;; ++attempt)
    {
        if (m_store->Apply(job.changes))
        {
            if (attempt > 1)
            {
                Outcome note;
                note.note = "the records of a hand at table " + std::to_string(job.table) +
                            " are saved after " + std::to_string(attempt) + " tries";
                Deliver(std::move(note));
            }
            Outcome saved;
            saved.kind = Outcome::SAVED;
            saved.table = job.table;
            saved.changes = std::move(job.changes);
            Deliver(std::move(saved));
            return;
        }
        std::string error = m_store->LastError();
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_stopping && SteadyMs() >= m_giveUpAt)
        {
            lock.unlock();
            Outcome lost;
            lost.note = "the records of a hand at table " + std::to_string(job.table) +
                        " could not be saved before the server stopped (" + error +
                        "); apply by hand: " + ChangesText(job.changes);
            Deliver(std::move(lost));
            return;
        }
        lock.unlock();
        // One line per failure; the growing pause keeps a long outage from flooding the log.
        Outcome note;
        note.note = "the records of a hand at table " + std::to_string(job.table) + " are not saved yet (" +
                    error + "); trying again in " + std::to_string(pause) + " ms";
        Deliver(std::move(note));
        lock.lock();
        int64_t until = SteadyMs() + pause;
        if (m_stopping)
            until = std::min(until, m_giveUpAt);
        m_changed.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(0, until - SteadyMs())),
                           [&] { return m_stopping && SteadyMs() >= m_giveUpAt; });
        pause = std::min(pause * 2, kMaxRetryPauseMs);
    }
}
