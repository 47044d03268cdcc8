#pragma once
// What Windows keeps once per process: the keyboard state, the clipboard, the input method's
// state and the window holding the mouse capture. The host and the game module each link their
// own copy of this layer, so each copy has its own of these; the module adopts the host's, so
// that both read one keyboard, one clipboard and one input method, as one process does.
//
// The host offers its state through the exported C function `KavdorHostProcessState`; the module
// looks it up when the host hands it the engine and adopts it.

struct Win32KeyboardState;
struct Win32ClipboardState;
struct Win32ImeStore;
struct Win32CaptureState;

struct Win32ProcessState
{
    Win32KeyboardState* keyboard;
    Win32ClipboardState* clipboard;
    Win32ImeStore* ime;
    Win32CaptureState* capture;
};

// This copy's own state.
const Win32ProcessState* Win32OwnProcessState();
// Uses another copy's state from now on; null goes back to the own.
void Win32AdoptProcessState(const Win32ProcessState* state);
// The state in use.
const Win32ProcessState& Win32CurrentProcessState();

// The name of the host's exported function: `const Win32ProcessState* KavdorHostProcessState()`.
constexpr const char kKavdorHostProcessStateSymbol[] = "KavdorHostProcessState";

// A complete state of its own, for tests that play the part of another copy.
class Win32ProcessStateStorage
{
public:
    Win32ProcessStateStorage();
    ~Win32ProcessStateStorage();
    Win32ProcessStateStorage(const Win32ProcessStateStorage&) = delete;
    Win32ProcessStateStorage& operator=(const Win32ProcessStateStorage&) = delete;
    const Win32ProcessState* State() const { return &m_state; }

private:
    Win32ProcessState m_state;
};
