#pragma once
// PlaySoundA: plays a WAV file through the audio output of the DirectSound layer (DSound.h), as
// the system's click sounds are played. One sound plays at a time; a new one stops the one
// before. Only files are played (SND_FILENAME, or a name without it, which is taken as a file).

#include "WinTypes.h"

class IDirectSound8;

#define SND_SYNC 0x00000000u
#define SND_ASYNC 0x00000001u
#define SND_NODEFAULT 0x00000002u
#define SND_LOOP 0x00000008u
#define SND_NOSTOP 0x00000010u
#define SND_PURGE 0x00000040u
#define SND_FILENAME 0x00020000u

// A null sound stops the sound playing. FALSE when the file cannot be read as a WAV file, the
// output cannot be opened, or SND_NOSTOP finds a sound playing. Without SND_ASYNC it returns when
// the sound has ended (a looping sound needs SND_ASYNC).
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

// The device PlaySoundA plays on, opened on first use (null when it cannot be): tests attach the
// capture hook to it to hear what was played.
IDirectSound8* Win32GetPlaySoundDevice();
// Makes PlaySoundA play on the given device (holding a reference) instead of one of its own, so
// that a program with a sound engine has a single audio output; null goes back to its own. The
// sound playing stops.
void Win32SetPlaySoundDevice(IDirectSound8* device);
