#include "KelMutexManagerCL.h"

#include "KelGuard.h"
#include "KelLogCL.h"
#include "Win32/Sync.h"

KelMutexManagerCL::KelMutexManagerCL() = default;

KelMutexManagerCL::~KelMutexManagerCL()
{
    Destroy();
}

HANDLE KelMutexManagerCL::InitialMutex(const std::string& name)
{
    KEL_TRY
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, name.c_str());
    if (event == nullptr)
        KelLogPrintf("创建Mutex失败:%s", name.c_str());
    m_mutexes[name] = event;
    return event;
    KEL_CATCH
}

void KelMutexManagerCL::Destroy()
{
    KEL_TRY
    for (auto& entry : m_mutexes)
        if (entry.second != nullptr)
            CloseHandle(entry.second);
    m_mutexes.clear();
    KEL_CATCH
}

HANDLE KelMutexManagerCL::GetMutex(const std::string& name)
{
    KEL_TRY
    auto found = m_mutexes.find(name);
    if (found != m_mutexes.end())
        return found->second;
    return InitialMutex(name);
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
