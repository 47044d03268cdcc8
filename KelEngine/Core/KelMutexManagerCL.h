#pragma once
// Two-state locks looked up by name: each name is an auto-reset event, free when signalled.
// The lock is not recursive: a thread that takes a name twice without giving it back waits
// forever. Registries that use the same name share one lock, because the event is named.
// The registry itself is not thread-safe: create each name from one thread before others use it.

#include <map>
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
    std::map<std::string, HANDLE> m_mutexes;
};

void KelLockMutex(const std::string& name);
void KelUnLockMutex(const std::string& name);
