#pragma once
// The parts of the process-wide state, each kept by the file that uses it (Keyboard.cpp,
// Clipboard.cpp, Ime.cpp, Window.cpp): its own instance, and making and deleting one more.

#include "ProcessState.h"

Win32KeyboardState* Win32OwnKeyboardState();
Win32KeyboardState* Win32NewKeyboardState();
void Win32DeleteKeyboardState(Win32KeyboardState* state);

Win32ClipboardState* Win32OwnClipboardState();
Win32ClipboardState* Win32NewClipboardState();
void Win32DeleteClipboardState(Win32ClipboardState* state);

Win32ImeStore* Win32OwnImeStore();
Win32ImeStore* Win32NewImeStore();
void Win32DeleteImeStore(Win32ImeStore* state);

Win32CaptureState* Win32OwnCaptureState();
Win32CaptureState* Win32NewCaptureState();
void Win32DeleteCaptureState(Win32CaptureState* state);
