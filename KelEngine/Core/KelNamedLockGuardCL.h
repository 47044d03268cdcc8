#pragma once
// Holds a lock of a named-lock registry (KelMutexManagerCL or KelCriticalSectionManagerCL) for
// the lifetime of the guard, so that a lock taken is given back on every way out of a scope,
// an exception included:
//
//     {
//         KelNamedLockGuardCL<KelMutexManagerCL> lock("KelLoadSystem");
//         ... // the queue is ours
//     }
//
// The guard gives the lock back to the registry it took it from, even when another registry
// has been made current meanwhile.

#include <string>

#include "KelGuard.h"

template <class RegistryT>
class KelNamedLockGuardCL
{
public:
    // Locks the name in the current registry.
    explicit KelNamedLockGuardCL(const std::string& name)
        : KelNamedLockGuardCL(*RegistryT::GetInstance(), name)
    {
    }

    KelNamedLockGuardCL(RegistryT& registry, const std::string& name) : m_registry(registry), m_name(name)
    {
        m_registry.Lock(m_name);
    }

    ~KelNamedLockGuardCL()
    {
        // A destructor must not throw; the guard still logs where the failure came from.
        KEL_TRY
        m_registry.UnLock(m_name);
        KEL_CATCH_RETURN()
    }

    KelNamedLockGuardCL(const KelNamedLockGuardCL&) = delete;
    KelNamedLockGuardCL& operator=(const KelNamedLockGuardCL&) = delete;

private:
    RegistryT& m_registry;
    const std::string m_name;
};
