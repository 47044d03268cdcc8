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

template <class T>
class KelSingletonCL
{
public:
    static T* GetInstance()
    {
        if (s_instance == nullptr)
        {
            if (s_own == nullptr)
                s_own = new T(); // its constructor makes it current
            s_instance = s_own;
        }
        return static_cast<T*>(s_instance);
    }

    static void SetInstance(T* instance) { s_instance = instance; }

protected:
    KelSingletonCL() { s_instance = this; }
    ~KelSingletonCL()
    {
        if (s_instance == this)
            s_instance = nullptr;
    }
    KelSingletonCL(const KelSingletonCL&) = delete;
    KelSingletonCL& operator=(const KelSingletonCL&) = delete;

private:
    // Kept as the base: while the base is being built the object is not yet a T.
    static inline KelSingletonCL* s_instance = nullptr;
    static inline T* s_own = nullptr;
};
