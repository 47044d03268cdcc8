#include "Win32/Sync.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <unistd.h>
#include <unordered_map>

namespace
{
// The state shared by every handle opened on one event.
//
// Windows satisfies waits at the moment SetEvent is called: a thread already waiting is released
// even if ResetEvent follows at once, before the thread gets to run. A plain flag checked by the
// woken thread would lose such a release, so a manual-reset event counts its SetEvent calls (a
// waiter passes once the count has moved), and an auto-reset event hands a SetEvent straight to
// one waiter (m_handoffs) when there is a waiter not yet served.
class Event
{
public:
    Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled)
    {
    }

    void Set()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_manualReset)
        {
            m_signalled = true;
            ++m_generation;
            m_changed.notify_all();
        }
        else if (m_handoffs < m_waiters)
        {
            ++m_handoffs;
            m_changed.notify_one();
        }
        else
        {
            m_signalled = true;
        }
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }

    DWORD Wait(DWORD milliseconds)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_signalled)
        {
            if (!m_manualReset)
            {
                m_signalled = false;
            }
            return WAIT_OBJECT_0;
        }
        if (milliseconds == 0)
        {
            return WAIT_TIMEOUT;
        }
        return m_manualReset ? WaitManual(lock, milliseconds) : WaitAuto(lock, milliseconds);
    }

private:
    DWORD WaitManual(std::unique_lock<std::mutex>& lock, DWORD milliseconds)
    {
        uint64_t start = m_generation;
        auto released = [this, start] { return m_signalled || m_generation != start; };
        return WaitFor(lock, milliseconds, released) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }

    DWORD WaitAuto(std::unique_lock<std::mutex>& lock, DWORD milliseconds)
    {
        ++m_waiters;
        // A handoff belongs to whichever waiter wakes first; the count of handoffs never exceeds
        // the count of waiters, so every handoff is taken by exactly one of them.
        auto released = [this] { return m_handoffs > 0; };
        bool passed = WaitFor(lock, milliseconds, released);
        --m_waiters;
        if (passed)
        {
            --m_handoffs;
            return WAIT_OBJECT_0;
        }
        return WAIT_TIMEOUT;
    }

    template <typename Predicate>
    bool WaitFor(std::unique_lock<std::mutex>& lock, DWORD milliseconds, Predicate released)
    {
        if (milliseconds == INFINITE)
        {
            m_changed.wait(lock, released);
            return true;
        }
        // The steady clock makes the timeout immune to changes of the wall clock.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        return m_changed.wait_until(lock, deadline, released);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const bool m_manualReset;
    bool m_signalled;
    uint64_t m_generation = 0;
    unsigned m_waiters = 0;
    unsigned m_handoffs = 0;
};

// Named events of the process. The table does not keep an event alive: once its last handle is
// closed the name is free again and a new CreateEventA of it makes a new event.
struct NameTable
{
    std::mutex mutex;
    std::unordered_map<std::string, std::weak_ptr<Event>> events;
};

// Every live handle of this layer. The table owns the handle objects; CloseHandle removes them.
struct HandleTable
{
    std::mutex mutex;
    std::unordered_map<Win32KernelObject*, std::shared_ptr<Win32KernelObject>> objects;
};

// Both tables are created on first use and never destroyed, so that a thread still closing
// handles while the process exits does not meet a destroyed table.
NameTable& Names()
{
    static NameTable* table = new NameTable;
    return *table;
}

HandleTable& Handles()
{
    static HandleTable* table = new HandleTable;
    return *table;
}

// Forgets a name whose event no longer exists. The event may have been replaced already by a new
// one of the same name, which is left in place.
void ForgetName(const std::string& name)
{
    NameTable& names = Names();
    std::lock_guard<std::mutex> lock(names.mutex);
    auto found = names.events.find(name);
    if (found != names.events.end() && found->second.expired())
    {
        names.events.erase(found);
    }
}

// One handle to an event. Several handles can share the event when it is named.
class EventHandle final : public Win32KernelObject
{
public:
    EventHandle(std::shared_ptr<Event> event, std::string name)
        : m_event(std::move(event)), m_name(std::move(name))
    {
    }

    ~EventHandle() override
    {
        // The last handle of a named event frees the name. This never runs while the name table
        // is locked: handle objects are only destroyed outside of it.
        if (!m_name.empty())
        {
            m_event.reset();
            ForgetName(m_name);
        }
    }

    DWORD Wait(DWORD milliseconds) override
    {
        return m_event->Wait(milliseconds);
    }

    Event& Get()
    {
        return *m_event;
    }

private:
    std::shared_ptr<Event> m_event;
    std::string m_name;
};

// The event behind a handle, kept alive while the caller uses it; null (and ERROR_INVALID_HANDLE)
// when the handle is not a live event handle.
std::shared_ptr<EventHandle> ReferenceEvent(HANDLE handle)
{
    std::shared_ptr<EventHandle> event = std::dynamic_pointer_cast<EventHandle>(Win32ReferenceHandle(handle));
    if (!event)
    {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return event;
}
} // namespace

HANDLE Win32RegisterHandle(std::unique_ptr<Win32KernelObject> object)
{
    if (!object)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Win32KernelObject* raw = object.get();
    try
    {
        // Built before the table is locked, so that a failure destroys the object unlocked.
        std::shared_ptr<Win32KernelObject> shared(std::move(object));
        HandleTable& handles = Handles();
        std::lock_guard<std::mutex> lock(handles.mutex);
        handles.objects.emplace(raw, shared);
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HANDLE>(raw);
}

std::shared_ptr<Win32KernelObject> Win32ReferenceHandle(HANDLE handle)
{
    if (handle == nullptr)
    {
        return nullptr;
    }
    // The handle is only compared, never followed, until it is found among the live ones.
    Win32KernelObject* key = static_cast<Win32KernelObject*>(handle);
    HandleTable& handles = Handles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    auto found = handles.objects.find(key);
    if (found == handles.objects.end())
    {
        return nullptr;
    }
    return found->second;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    // Security attributes have no meaning inside one process.
    (void)attributes;
    try
    {
        std::string eventName = name != nullptr ? std::string(name) : std::string();
        std::shared_ptr<Event> event;
        bool existed = false;
        if (eventName.empty())
        {
            event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE);
        }
        else
        {
            NameTable& names = Names();
            std::lock_guard<std::mutex> lock(names.mutex);
            std::weak_ptr<Event>& entry = names.events[eventName];
            event = entry.lock();
            existed = event != nullptr;
            if (!existed)
            {
                event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE);
                entry = event;
            }
        }
        // Made after the name table is unlocked: if registering fails, destroying this handle
        // object locks the name table to free the name.
        auto handleObject = std::make_unique<EventHandle>(std::move(event), std::move(eventName));
        HANDLE handle = Win32RegisterHandle(std::move(handleObject));
        if (handle == nullptr)
        {
            return nullptr;
        }
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return handle;
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL SetEvent(HANDLE event)
{
    std::shared_ptr<EventHandle> handle = ReferenceEvent(event);
    if (!handle)
    {
        return FALSE;
    }
    handle->Get().Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    std::shared_ptr<EventHandle> handle = ReferenceEvent(event);
    if (!handle)
    {
        return FALSE;
    }
    handle->Get().Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    std::shared_ptr<Win32KernelObject> object = Win32ReferenceHandle(handle);
    if (!object)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->Wait(milliseconds);
}

BOOL CloseHandle(HANDLE handle)
{
    int fd = -1;
    if (Win32FdFromHandle(handle, &fd))
    {
        if (close(fd) != 0 && errno == EBADF)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        // Any other failure (EINTR, EIO) still releases the descriptor on Linux, so the handle
        // is gone either way.
        return TRUE;
    }
    std::shared_ptr<Win32KernelObject> object;
    {
        HandleTable& handles = Handles();
        std::lock_guard<std::mutex> lock(handles.mutex);
        auto found = handles.objects.find(static_cast<Win32KernelObject*>(handle));
        if (found == handles.objects.end())
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(found->second);
        handles.objects.erase(found);
    }
    // The object goes here, with the table unlocked, unless a wait still holds it.
    object.reset();
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
    {
        return;
    }
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
    {
        return;
    }
    pthread_mutex_destroy(&section->mutex);
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
    {
        return;
    }
    pthread_mutex_lock(&section->mutex);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
    {
        return FALSE;
    }
    return pthread_mutex_trylock(&section->mutex) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == nullptr)
    {
        return;
    }
    pthread_mutex_unlock(&section->mutex);
}
