#include "ProcessState.h"

#include <atomic>

#include "ProcessStateParts.h"

namespace
{
std::atomic<const Win32ProcessState*> g_adopted{nullptr};
} // namespace

const Win32ProcessState* Win32OwnProcessState()
{
    static const Win32ProcessState own{Win32OwnKeyboardState(), Win32OwnClipboardState(), Win32OwnImeStore(),
                                       Win32OwnCaptureState()};
    return &own;
}

void Win32AdoptProcessState(const Win32ProcessState* state)
{
    g_adopted.store(state == Win32OwnProcessState() ? nullptr : state);
}

const Win32ProcessState& Win32CurrentProcessState()
{
    const Win32ProcessState* adopted = g_adopted.load();
    return adopted != nullptr ? *adopted : *Win32OwnProcessState();
}

Win32ProcessStateStorage::Win32ProcessStateStorage()
    : m_state{Win32NewKeyboardState(), Win32NewClipboardState(), Win32NewImeStore(), Win32NewCaptureState()}
{
}

Win32ProcessStateStorage::~Win32ProcessStateStorage()
{
    Win32DeleteKeyboardState(m_state.keyboard);
    Win32DeleteClipboardState(m_state.clipboard);
    Win32DeleteImeStore(m_state.ime);
    Win32DeleteCaptureState(m_state.capture);
}
