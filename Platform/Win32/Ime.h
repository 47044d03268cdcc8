#pragma once
// The input-method functions the GUI reads (composition, result, candidates, description), on a
// state of this layer that the host fills from the desktop's text input (SDL2's editing and text
// events) and tests fill directly. A context exists while an input method is active.

#include <string>
#include <vector>

#include "WinTypes.h"

typedef void* HIMC;
typedef void* HKL;

#define GCS_COMPREADSTR 0x0001u
#define GCS_COMPSTR 0x0008u
#define GCS_RESULTSTR 0x0800u
#define IMN_CLOSECANDIDATE 0x0004u
#define IMN_OPENCANDIDATE 0x0005u
#define IMN_CHANGECANDIDATE 0x0003u

struct CANDIDATELIST
{
    DWORD dwSize;
    DWORD dwStyle;
    DWORD dwCount;
    DWORD dwSelection;
    DWORD dwPageStart;
    DWORD dwPageSize;
    DWORD dwOffset[1]; // from the start of the list to each zero-terminated candidate
};

// Null when no input method is active.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// The bytes of the string (GCS_COMPSTR, GCS_RESULTSTR, GCS_COMPREADSTR), not zero-terminated;
// with a null buffer or a length of 0 the size needed. Negative on a bad request.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD length);
// The size of the list with a null buffer or a length of 0, else the list copied (0 when it does
// not fit or there is none).
DWORD ImmGetCandidateListA(HIMC context, DWORD index, CANDIDATELIST* list, DWORD length);
// The input method's name for the layout; 0 (and an empty string) without one.
UINT ImmGetDescriptionA(HKL layout, LPSTR description, UINT length);
HKL GetKeyboardLayout(DWORD thread);
BOOL ImmIsIME(HKL layout);
BOOL MessageBeep(UINT type);

// The state behind them, for the host and tests.
struct Win32ImeState
{
    bool active = false;
    std::string description;
    std::string composition;
    std::string reading;
    std::string result;
    std::vector<std::string> candidates;
    DWORD pageStart = 0;
    DWORD pageSize = 9;
    DWORD selection = 0;
};
void Win32SetImeState(const Win32ImeState& state);
Win32ImeState Win32GetImeState();
// How many times MessageBeep has been called.
unsigned Win32BeepCount();
