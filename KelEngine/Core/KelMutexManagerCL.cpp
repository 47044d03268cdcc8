#include "KelMutexManagerCL.h"

#include "KelGuard.h"
#include "KelLogCL.h"
#include "Win32/Sync.h"

namespace
{
void LogCreateFailure(HANDLE event, const std::string& name)
{
    if (event == nullptr)
        KelLogPrintf("创建Mutex失败:%s", name.c_str());
}
} // namespace

KelMutexManagerCL::KelMutexManagerCL() = default;

KelMutexManagerCL::~KelMutexManagerCL()
{
    Destroy();
}

HANDLE KelMutexManagerCL::StoreNewMutex(const std::string& name)
{
    // A second creation under a name would open the same named event through a new handle and
    // lose the first, which callers may still hold; the stored handle already is that event.
    auto stored = m_mutexes.find(name);
    if (stored != m_mutexes.end() && stored->second != nullptr)
        return stored->second;
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, name.c_str());
    // A null handle stays in the map as well, so that the failure is logged once.
    m_mutexes[name] = event;
    return event;
}

HANDLE KelMutexManagerCL::InitialMutex(const std::string& name)
{
    KEL_TRY
    HANDLE event = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        event = StoreNewMutex(name);
    }
    LogCreateFailure(event, name);
    return event;
    KEL_CATCH
}

void KelMutexManagerCL::Destroy()
{
    KEL_TRY
    std::lock_guard<std::mutex> lock(m_lock);
    for (auto& entry : m_mutexes)
        if (entry.second != nullptr)
            CloseHandle(entry.second);
    m_mutexes.clear();
    KEL_CATCH
}

HANDLE KelMutexManagerCL::GetMutex(const std::string& name)
{
    KEL_TRY
    HANDLE event = nullptr;
    {
        // Looked up and created under one hold of the lock: two threads asking for a new name
        // at once must not each make a handle of their own.
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_mutexes.find(name);
        if (found != m_mutexes.end())
            return found->second;
        event = StoreNewMutex(name);
    }
    // Logged outside the registry's lock, so that the log never waits for the registry.
    LogCreateFailure(event, name);
    return event;
    KEL_CATCH
}

void KelMutexManagerCL::Lock(const std::string& name)
{
    KEL_TRY
    HANDLE event = GetMutex(name);
    WaitForSingleObject(event, INFINITE);
    ResetEvent(event);
    KEL_CATCH
}

void KelMutexManagerCL::UnLock(const std::string& name)
{
    KEL_TRY
    SetEvent(GetMutex(name));
    KEL_CATCH
}

void KelLockMutex(const std::string& name)
{
    KelMutexManagerCL::GetInstance()->Lock(name);
}

void KelUnLockMutex(const std::string& name)
{
    KelMutexManagerCL::GetInstance()->UnLock(name);
}
