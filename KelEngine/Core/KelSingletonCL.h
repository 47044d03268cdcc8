#pragma once
// Process-wide access to an engine manager.
//
// Each manager has one current instance. The getter builds the engine's own instance on first
// use; the setter installs another one (the host hands its managers to the module this way, so
// that both share one engine); a newly constructed instance makes itself current. When the
// current instance is destroyed, the getter falls back to the engine's own.
//
// The engine's own instance is deliberately never destroyed: static objects of other files may
// still log or lock while the process exits, after a function-static instance would be gone.
//
// Threads. The loader's worker reads the current instance of the log, the lock registries and
// the system object while the UI thread may install or construct one. The pointer is therefore
// atomic: an instance is published with release ordering once it is installed, and the getter
// reads it with acquire ordering, so a thread that gets the pointer also sees the object it
// points to. The engine's own instance is built exactly once even when two threads ask for it
// together, and becomes current only once its constructor has finished. Any other new instance
// is current from its first moment, so managers are constructed, installed and destroyed while
// no other thread uses them; that stays the caller's affair.

#include <atomic>
#include <mutex>

template <class T>
class KelSingletonCL
{
public:
    static T* GetInstance()
    {
        KelSingletonCL* current = s_instance.load(std::memory_order_acquire);
        if (current != nullptr)
            return static_cast<T*>(current);
        // The own instance's constructor may ask for itself (through the log, say); it gets the
        // object being built, on its own thread only.
        if (s_ownInConstruction != nullptr)
            return static_cast<T*>(s_ownInConstruction);
        std::call_once(s_ownOnce, &BuildOwn);
        // Another instance may have been installed meanwhile; that one wins.
        KelSingletonCL* expected = nullptr;
        if (s_instance.compare_exchange_strong(expected, s_own, std::memory_order_acq_rel,
                                               std::memory_order_acquire))
            return s_own;
        return static_cast<T*>(expected);
    }

    static void SetInstance(T* instance) { s_instance.store(instance, std::memory_order_release); }

protected:
    KelSingletonCL()
    {
        // The own instance is made current only once it is complete (see GetInstance).
        if (s_buildingOwn)
            s_ownInConstruction = this;
        else
            s_instance.store(this, std::memory_order_release);
    }
    ~KelSingletonCL()
    {
        KelSingletonCL* self = this;
        s_instance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
    }
    KelSingletonCL(const KelSingletonCL&) = delete;
    KelSingletonCL& operator=(const KelSingletonCL&) = delete;

private:
    static void BuildOwn()
    {
        s_buildingOwn = true;
        try
        {
            s_own = new T();
        }
        catch (...)
        {
            s_buildingOwn = false;
            s_ownInConstruction = nullptr;
            throw;
        }
        s_buildingOwn = false;
        s_ownInConstruction = nullptr;
    }

    // Kept as the base: while the base is being built the object is not yet a T.
    static inline std::atomic<KelSingletonCL*> s_instance{nullptr};
    // Written once under s_ownOnce and read only after it.
    static inline T* s_own = nullptr;
    static inline std::once_flag s_ownOnce;
    // Set on the thread that builds the own instance, while it does.
    static inline thread_local bool s_buildingOwn = false;
    static inline thread_local KelSingletonCL* s_ownInConstruction = nullptr;
};
