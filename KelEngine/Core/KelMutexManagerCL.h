#pragma once
// Two-state locks looked up by name: each name is an auto-reset event, free when signalled.
// The lock is not recursive: a thread that takes a name twice without giving it back waits
// forever. Registries that use the same name share one lock, because the event is named.
//
// Threads. Any thread may look up, lock and unlock names at any time: the map is guarded by
// m_lock, which is held only to find or store an entry, never while waiting for a lock, so a
// thread waiting for a name does not keep others from the registry. Every thread that asks for
// a name gets the same handle. A handle lives until Destroy or the registry's end, which must
// therefore wait until no thread holds or waits for any of its names.

#include <map>
#include <mutex>
#include <string>

#include "KelSingletonCL.h"
#include "Win32/WinTypes.h"

class KelMutexManagerCL : public KelSingletonCL<KelMutexManagerCL>
{
public:
    KelMutexManagerCL();

    virtual HANDLE InitialMutex(const std::string& name);
    virtual void Destroy();
    virtual HANDLE GetMutex(const std::string& name);
    virtual void Lock(const std::string& name);
    virtual void UnLock(const std::string& name);

    virtual ~KelMutexManagerCL();

private:
    // Creates the event and stores it under the name (null when it cannot be created); m_lock
    // is held by the caller.
    HANDLE StoreNewMutex(const std::string& name);

    // Guards m_mutexes.
    std::mutex m_lock;
    std::map<std::string, HANDLE> m_mutexes;
};

void KelLockMutex(const std::string& name);
void KelUnLockMutex(const std::string& name);
