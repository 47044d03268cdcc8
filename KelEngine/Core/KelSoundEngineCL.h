#pragma once
// The engine's sound front end: it opens the sound device for a window, sets the primary format
// and the 3D listener, loads short effect files once into cached sound buffers, and plays any
// number of overlapping copies of them in 2D or 3D. Finished copies are deleted by the update,
// once per frame, which then updates the streamed music (KelMusicManagerCL).
//
// Effects are found in the sound directory, which is "sound" until SetSoundDirectory makes it
// the module directory, a backslash and the relative directory. Loading is described in
// KelSoundDecoder.h; an effect that cannot be loaded plays nothing (the play answers null).
//
// Everything runs on the UI thread; only streamed music has threads of its own.

#include <list>
#include <map>
#include <memory>
#include <string>

#include "DSound/DSound.h"
#include "KelSingletonCL.h"
#include "KelSoundCL.h"

struct KelDecodedSound;

class KelSoundEngineCL : public KelSingletonCL<KelSoundEngineCL>
{
public:
    KelSoundEngineCL();

    /* 1 */ virtual HRESULT Initialize(HWND window);
    /* 2 */ virtual void Release();
    /* 3 */ virtual void ReleaseCachedSounds();
    /* 4 */ virtual void ReleasePlayingSounds();
    /* 5 */ virtual void SetSoundDirectory(const char* relative);
    /* 6 */ virtual const std::string& GetSoundDirectory();
    /* 7 */ virtual void SetMasterVolumeScale(float scale);
    /* 8 */ virtual float GetMasterVolumeScale();
    /* 9 */ virtual void Set3DDistances(float minimum, float maximum);
    /* 10 */ virtual void Get3DDistances(float* minimum, float* maximum);
    /* 11 */ virtual HWND GetWindow();
    /* 12 */ virtual IDirectSound8* GetDirectSound();
    /* 13 */ virtual HRESULT SetPrimaryBufferFormat(WORD channels, DWORD samplesPerSec, WORD bitsPerSample);
    /* 14 */ virtual HRESULT Create3DListener();
    // The caller owns the buffer that 15 and 16 return.
    /* 15 */ virtual IDirectSoundBuffer* Create3DBuffer(DWORD size, const WAVEFORMATEX* format);
    /* 16 */ virtual IDirectSoundBuffer* Create2DBuffer(DWORD size, const WAVEFORMATEX* format);
    /* 17 */ virtual void Update();
    /* 18 */ virtual void RemoveFinishedSounds();
    /* 19 */ virtual bool Set3DPosition(KelSoundCL* sound, float x, float y, float z);
    /* 20 */ virtual void SetListener(float x, float y, float z, float frontX, float frontY, float frontZ,
                                      float topX, float topY, float topZ);
    /* 21 */ virtual KelSoundCL* Play2DEffect(const char* name, bool loop);
    /* 22 */ virtual KelSoundCL* Play3DEffect(const char* name, float x, float y, float z, bool loop);

    virtual ~KelSoundEngineCL();

    bool IsInitialized() const { return m_directSound != nullptr; }
    size_t GetPlaying2DCount() const { return m_playing2D.size(); }
    size_t GetPlaying3DCount() const { return m_playing3D.size(); }
    size_t GetCachedCount() const { return m_cache2D.size() + m_cache3D.size(); }

private:
    using BufferPtr = KelSoundInterfacePtr<IDirectSoundBuffer>;
    using SoundList = std::list<std::unique_ptr<KelSoundCL>>;

    IDirectSoundBuffer* CreateBuffer(DWORD size, const WAVEFORMATEX* format, DWORD flags);
    // Undoes a failed initialisation.
    void ReleaseDevice();
    // The cached buffer of the effect, loaded on first use; null when it cannot be loaded.
    IDirectSoundBuffer* CachedEffect(const char* name, bool threeD);
    BufferPtr LoadEffect(const std::string& path, bool threeD);
    static void RemoveFinished(SoundList* sounds);

    HWND m_window = nullptr;
    KelSoundInterfacePtr<IDirectSound8> m_directSound;
    KelSoundInterfacePtr<IDirectSound3DListener> m_listener;
    std::string m_directory = "sound";
    std::map<std::string, BufferPtr> m_cache2D;
    std::map<std::string, BufferPtr> m_cache3D;
    SoundList m_playing2D;
    SoundList m_playing3D;
    float m_masterScale = 1.0f;
    float m_minDistance = 1.0f;
    float m_maxDistance = 100.0f;
    D3DVECTOR m_listenerFront{0.0f, 1.0f, 0.0f};
};
