#pragma once
// Takes a lock on another thread and tells whether it got it, to show that a lock blocks.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

class LockProbe
{
public:
    explicit LockProbe(std::function<void()> lock)
        : m_thread([this, lock] {
              lock();
              m_acquired = true;
          })
    {
    }
    ~LockProbe()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // True when the lock was taken within the time (polled, so a fast answer returns early).
    bool AcquiredWithin(std::chrono::milliseconds time) const
    {
        auto end = std::chrono::steady_clock::now() + time;
        while (!m_acquired && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return m_acquired;
    }

private:
    std::atomic<bool> m_acquired{false};
    std::thread m_thread;
};

// Long enough that a thread which could take the lock would have done so.
constexpr std::chrono::milliseconds kBlockedFor{150};
// Generous: a loaded machine may be slow to wake a thread.
constexpr std::chrono::milliseconds kReleasedWithin{5000};
