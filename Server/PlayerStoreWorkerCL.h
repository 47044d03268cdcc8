#pragma once
// The player records on a thread of their own. Checking a password hash takes a good fraction of
// a second by design, and a database that is busy or failing can take longer; the table
// server's one thread must never wait for either. The server posts logins and the changes of
// finished hands; the worker carries them out strictly in the order they were posted, so that a
// login never reads a record older than a hand posted before it, and hands the outcomes back in
// that same order.
// A login that would put a player at two servers at once (a database that several servers share)
// is refused; the presence marks that prevent it are renewed and cleared here too.
//
// A hand whose changes cannot be written is tried again, with growing pauses, until it is kept:
// it is never reported saved before it is.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PlayerStoreCL.h"

class PlayerStoreWorkerCL
{
public:
    struct Outcome
    {
        enum Kind
        {
            LOGIN, // a login was checked: connection, result, record (when Ok/Created), error
            SAVED, // the changes of a hand are kept: table, changes
            NOTE,  // a line for the log: note
        };
        Kind kind = NOTE;
        int connection = 0;
        LoginResult result = LoginResult::Error;
        PlayerRecord record;
        int table = 0;
        std::vector<PlayerChange> changes;
        std::string note;
    };

    // Longest pause between two tries of a hand that could not be saved.
    static constexpr int kMaxRetryPauseMs = 2000;

    // How long a server that stopped saying it is alive keeps its players from logging in
    // elsewhere; a server says it every third of that.
    static constexpr int kPresenceStaleSeconds = 30;

    // Takes the opened store over; `wake` is called from the worker's thread whenever
    // outcomes are waiting, so that the server's poll returns to collect them. `server` names
    // this server in the records' presence marks, which say where each player is logged in.
    PlayerStoreWorkerCL(std::unique_ptr<PlayerStoreCL> store, std::function<void()> wake,
                        std::string server = "local");
    // Stops as Stop(0) does.
    ~PlayerStoreWorkerCL();
    PlayerStoreWorkerCL(const PlayerStoreWorkerCL&) = delete;
    PlayerStoreWorkerCL& operator=(const PlayerStoreWorkerCL&) = delete;

    // `trusted`: the password is not checked (the embedding host's own login).
    void PostLogin(int connection, const std::string& nickname, const std::string& password, int sex,
                   LoginMode mode = LoginMode::LogInOrCreate, bool trusted = false);
    void PostSave(int table, const std::vector<PlayerChange>& changes);
    // This server is alive: its players' presence marks are renewed.
    void PostRenew();
    // The player is no longer at this server: another server may take him.
    void PostRelease(int playerId);
    // The outcomes finished since the last call, in order; never waits.
    std::vector<Outcome> Collect();
    // Jobs posted and not finished yet.
    size_t Backlog() const;

    // Finishes the saves still queued (pending logins are dropped: nobody waits for them),
    // clears this server's presence marks, then ends the thread. A save still failing after `graceMs` is given up: the changes it would
    // have written are reported in a NOTE so that they can be applied by hand. Collect the
    // outcomes afterwards to log them.
    void Stop(int graceMs);

private:
    struct Job
    {
        enum Kind
        {
            LOGIN,
            SAVE,
            RENEW,
            RELEASE,
        };
        Kind kind = LOGIN;
        int playerId = 0; // RELEASE
        int connection = 0;
        std::string nickname;
        std::string password;
        int sex = 0;
        LoginMode mode = LoginMode::LogInOrCreate;
        bool trusted = false;
        int table = 0;
        std::vector<PlayerChange> changes;
    };

    void Run();
    void DoLogin(Job& job);
    void DoSave(Job& job);
    void Post(Job job);
    // A line for the server's log.
    void Note(const std::string& line);
    void Deliver(Outcome outcome);

    std::unique_ptr<PlayerStoreCL> m_store;
    std::function<void()> m_wake;
    const std::string m_server;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    size_t m_busy = 0; // jobs taken from the queue and not finished
    std::vector<Outcome> m_outcomes;
    bool m_stopping = false;
    int64_t m_giveUpAt = 0; // steady milliseconds; 0 while not stopping
    std::thread m_thread;
};
