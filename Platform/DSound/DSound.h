#pragma once
// The DirectSound 8 interfaces the sound engine uses, on a mixer of this layer: every playing
// secondary buffer is mixed, with its volume, pan, frequency and 3D placement, into 44.1 kHz
// 16-bit stereo, which goes to SDL2's audio output.
//
// Output. DirectSoundCreate8 opens SDL's audio device with the driver SDL chooses (the
// SDL_AUDIODRIVER environment variable picks one). When no driver can be opened it falls back to
// SDL's dummy driver and says so on stderr: sound is then not heard, but the mixer still runs in
// real time, so play positions, notifications and the ends of sounds behave exactly as with a
// card. Tests and headless runs set SDL_AUDIODRIVER=dummy themselves. With the environment
// variable KAVDOR_AUDIO_CAPTURE set to a file name, everything a device mixes is also written to
// that WAV file, to listen to what a headless run would have played.
//
// Objects are reference counted as COM objects are: creation returns one reference, AddRef and
// Release count, the last Release deletes. QueryInterface hands out the other interfaces of the
// same object (the 3D and notification interfaces of a buffer, the listener of a primary buffer
// made with DSBCAPS_CTRL3D) with one more reference. A buffer keeps its device alive.
//
// Threads. The mixer runs on SDL's audio thread; the UI thread and other threads (a music
// stream's refill thread) call the buffers meanwhile. One lock per device covers every buffer's
// state and samples: each method takes it for its own short work, and the mixer holds it while it
// mixes a block of 512 frames. Lock hands out a copy of the locked bytes and Unlock writes the
// copy back under the lock, so no thread writes samples the mixer is reading. Notification
// events are set by the mixer thread.
//
// The 3D model, kept simple: the source's position relative to the listener, in the listener's
// orientation, gives an equal-power left/right pan (a source straight ahead, behind, above or at
// the listener is centred). Distance attenuates as minimum / (minimum + rolloff x (d - minimum))
// for d beyond the minimum distance, d in units times the distance factor, capped at the maximum
// distance; a rolloff factor of 0 means no attenuation by distance. Outside the outer cone angle
// (measured between the cone orientation and the direction from the source to the listener) the
// cone's outside volume applies, between the inner and outer angles it is interpolated in
// decibels. Doppler is not modelled. A stereo 3D buffer is mixed down to mono first.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "Win32/WinTypes.h"

typedef unsigned long ULONG;

struct GUID
{
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef const GUID* LPCGUID;
typedef const GUID& REFIID;
inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

extern const GUID IID_IDirectSoundBuffer;
extern const GUID IID_IDirectSoundBuffer8;
extern const GUID IID_IDirectSound3DBuffer;
extern const GUID IID_IDirectSound3DListener;
extern const GUID IID_IDirectSoundNotify;
extern const GUID DS3DALG_DEFAULT;

#ifndef D3DVECTOR_DEFINED
#define D3DVECTOR_DEFINED
struct D3DVECTOR
{
    float x;
    float y;
    float z;
};
#endif

#define WAVE_FORMAT_PCM 1

struct WAVEFORMATEX
{
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
typedef WAVEFORMATEX* LPWAVEFORMATEX;

struct DSBUFFERDESC
{
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
};
typedef const DSBUFFERDESC* LPCDSBUFFERDESC;

struct DSCAPS
{
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwFreeHwMixingAllBuffers;
};

struct DSBCAPS
{
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwUnlockTransferRate;
    DWORD dwPlayCpuOverhead;
};

struct DS3DBUFFER
{
    DWORD dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    DWORD dwInsideConeAngle;
    DWORD dwOutsideConeAngle;
    D3DVECTOR vConeOrientation;
    LONG lConeOutsideVolume;
    float flMinDistance;
    float flMaxDistance;
    DWORD dwMode;
};

struct DS3DLISTENER
{
    DWORD dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    D3DVECTOR vOrientFront;
    D3DVECTOR vOrientTop;
    float flDistanceFactor;
    float flRolloffFactor;
    float flDopplerFactor;
};

struct DSBPOSITIONNOTIFY
{
    DWORD dwOffset;
    HANDLE hEventNotify;
};

// The same definitions as the Direct3D layer's, so that either header may come first.
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

#define DS_OK 0
#define DSERR_ALLOCATED static_cast<HRESULT>(0x8878000AL)
#define DSERR_CONTROLUNAVAIL static_cast<HRESULT>(0x8878001EL)
#define DSERR_INVALIDPARAM static_cast<HRESULT>(0x80070057L)
#define DSERR_INVALIDCALL static_cast<HRESULT>(0x88780032L)
#define DSERR_GENERIC static_cast<HRESULT>(0x80004005L)
#define DSERR_PRIOLEVELNEEDED static_cast<HRESULT>(0x88780046L)
#define DSERR_OUTOFMEMORY static_cast<HRESULT>(0x8007000EL)
#define DSERR_BADFORMAT static_cast<HRESULT>(0x88780064L)
#define DSERR_NODRIVER static_cast<HRESULT>(0x88780078L)
#define DSERR_BUFFERLOST static_cast<HRESULT>(0x88780096L)
#define DSERR_NOAGGREGATION static_cast<HRESULT>(0x80040110L)
#define DSERR_UNINITIALIZED static_cast<HRESULT>(0x887800AAL)
#define DSERR_NOINTERFACE static_cast<HRESULT>(0x80004002L)

#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

#define DSCAPS_PRIMARYMONO 0x00000001
#define DSCAPS_PRIMARYSTEREO 0x00000002
#define DSCAPS_PRIMARY8BIT 0x00000004
#define DSCAPS_PRIMARY16BIT 0x00000008
#define DSCAPS_CONTINUOUSRATE 0x00000010
#define DSCAPS_SECONDARYMONO 0x00000100
#define DSCAPS_SECONDARYSTEREO 0x00000200
#define DSCAPS_SECONDARY8BIT 0x00000400
#define DSCAPS_SECONDARY16BIT 0x00000800

#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRL3D 0x00000010
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100
#define DSBCAPS_STICKYFOCUS 0x00004000
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000

#define DSBPLAY_LOOPING 0x00000001

#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004

#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_ORIGINAL 0
#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 200000
#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

#define DS3D_IMMEDIATE 0x00000000
#define DS3D_DEFERRED 0x00000001
#define DS3DMODE_NORMAL 0x00000000
#define DS3DMODE_HEADRELATIVE 0x00000001
#define DS3DMODE_DISABLE 0x00000002
#define DS3D_DEFAULTMINDISTANCE 1.0f
#define DS3D_DEFAULTMAXDISTANCE 1000000000.0f
#define DS3D_DEFAULTCONEANGLE 360
#define DSBPN_OFFSETSTOP 0xFFFFFFFF

class IUnknownDSound
{
public:
    // E_NOINTERFACE (DSERR_NOINTERFACE) for an interface the object does not have.
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknownDSound() = default;
};

class IDirectSoundBuffer : public IUnknownDSound
{
public:
    virtual HRESULT GetCaps(DSBCAPS* caps) = 0;
    // The play cursor (the next byte to be mixed) and the write cursor (the first byte it is safe
    // to write: one mixing block ahead).
    virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // The region [offset, offset + bytes), as two parts when it wraps round the end. One lock at
    // a time per buffer.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                         DWORD* secondBytes, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    // Primary buffer only: records the format the application asks for. The mixer always
    // produces 44.1 kHz 16-bit stereo and converts every buffer to it.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) = 0;
    virtual HRESULT Restore() = 0;
};
typedef IDirectSoundBuffer IDirectSoundBuffer8;

class IDirectSound3DBuffer : public IUnknownDSound
{
public:
    virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
    virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetMinDistance(float distance, DWORD apply) = 0;
    virtual HRESULT SetMaxDistance(float distance, DWORD apply) = 0;
    virtual HRESULT SetConeAngles(DWORD inside, DWORD outside, DWORD apply) = 0;
    virtual HRESULT SetConeOrientation(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) = 0;
};
typedef IDirectSound3DBuffer IDirectSound3DBuffer8;

class IDirectSound3DListener : public IUnknownDSound
{
public:
    virtual HRESULT GetAllParameters(DS3DLISTENER* parameters) = 0;
    virtual HRESULT SetAllParameters(const DS3DLISTENER* parameters, DWORD apply) = 0;
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                                   float topZ, DWORD apply) = 0;
    virtual HRESULT SetDistanceFactor(float factor, DWORD apply) = 0;
    virtual HRESULT SetRolloffFactor(float factor, DWORD apply) = 0;
    virtual HRESULT SetDopplerFactor(float factor, DWORD apply) = 0;
    // Applies the settings made with DS3D_DEFERRED, on the listener and on every 3D buffer.
    virtual HRESULT CommitDeferredSettings() = 0;
};
typedef IDirectSound3DListener IDirectSound3DListener8;

class IDirectSoundNotify : public IUnknownDSound
{
public:
    // Replaces the buffer's notifications; only while it is stopped. Offsets are below the
    // buffer size or DSBPN_OFFSETSTOP.
    virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};
typedef IDirectSoundNotify IDirectSoundNotify8;

class IDirectSound8 : public IUnknownDSound
{
public:
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer, void* outer) = 0;
    virtual HRESULT GetCaps(DSCAPS* caps) = 0;
    // A buffer sharing the original's samples, with its own cursor, status, volume, pan and
    // frequency, stopped at position 0.
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};

// Opens a device on the audio output (see the top of this file). DSERR_NODRIVER when not even
// the dummy output opens.
HRESULT DirectSoundCreate8(LPCGUID device, IDirectSound8** directSound, void* outer);

// A device without output or thread: it mixes only when DirectSoundMixManual asks, so that tests
// and benchmarks run the mixer exactly and as fast as it goes.
HRESULT DirectSoundCreateManual8(IDirectSound8** directSound);
// Mixes the next frames of a manual device into out (interleaved stereo), as the output thread
// does for a real one, capture hook included. False for a device that is not manual.
bool DirectSoundMixManual(IDirectSound8* directSound, int16_t* out, size_t frames);

// Called after each mixed block with the interleaved samples; an empty function removes the
// hook. Once this returns, the previous hook is not running and will not be called again.
using DirectSoundCaptureHook =
    std::function<void(const int16_t* samples, size_t frames, int channels, int rate)>;
void DirectSoundSetCaptureHook(IDirectSound8* directSound, DirectSoundCaptureHook hook);

// Marks every buffer of the device lost, as when another application takes the device: each
// stops, reports DSBSTATUS_BUFFERLOST and refuses Play and Lock until Restore.
void DirectSoundLoseBuffers(IDirectSound8* directSound);
