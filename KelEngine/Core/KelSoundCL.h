#pragma once
// One playing copy of an effect: a duplicate of the cached sound buffer, owned by the copy and
// released with it. The sound engine owns every copy it plays and deletes it once it has
// finished (or at release); whoever plays an effect may stop it or change its volume while it
// lives.
//
// Volumes are percentages. set volume(p) plays at p x volume scale percent, clamped to 0 ... 100,
// as (v x 10000 / 100 - 10000) hundredths of a decibel; set voice volume(p) uses
// p x (scale + (1 - scale) x 0.3) instead, so that voices stay at 30 % or more when the master
// scale is 0.
//
// Fading out is offered through StartFade: every FadeStep (once per engine update) lowers the
// volume linearly from the current volume, and the last step stops the sound.

#include <cstdint>
#include <memory>

#include "DSound/DSound.h"

// Releases a reference-counted sound interface when its owner goes.
struct KelSoundInterfaceRelease
{
    template <class T>
    void operator()(T* object) const
    {
        if (object != nullptr)
            object->Release();
    }
};
template <class T>
using KelSoundInterfacePtr = std::unique_ptr<T, KelSoundInterfaceRelease>;

class KelSoundCL
{
public:
    // Takes over the reference of the buffer.
    explicit KelSoundCL(IDirectSoundBuffer* buffer);

    /* 1 */ virtual ~KelSoundCL();
    /* 2 */ virtual void SetUserValue(int32_t value);
    /* 3 */ virtual int32_t GetUserValue();
    /* 4 */ virtual void SetVolumeScale(float scale);
    /* 5 */ virtual bool Is3D();
    /* 6 */ virtual bool IsPlaying();
    /* 7 */ virtual void Stop();
    /* 8 */ virtual void SetVolume(float percent);
    /* 9 */ virtual void SetVoiceVolume(float percent);
    /* 10 */ virtual void FadeStep();

    // Starts fading out over the given number of steps (at least 1).
    void StartFade(int32_t steps);
    bool IsFading() const { return m_fadeCounter >= 0; }
    int32_t GetCurrentVolume() const { return m_currentVolume; }
    float GetVolumeScale() const { return m_volumeScale; }
    IDirectSoundBuffer* GetBuffer() const { return m_buffer.get(); }

    KelSoundCL(const KelSoundCL&) = delete;
    KelSoundCL& operator=(const KelSoundCL&) = delete;

private:
    void ApplyPercent(float percent);

    KelSoundInterfacePtr<IDirectSoundBuffer> m_buffer;
    float m_volumeScale = 1.0f;
    int32_t m_userValue = 0;
    int32_t m_currentVolume = 0;
    int32_t m_fadeLength = 0;
    int32_t m_fadeCounter = -1;
};

// A copy played in 3D: the same operations, and the buffer's 3D interface for positioning.
class KelSound3DCL : public KelSoundCL
{
public:
    // Takes over the references of both interfaces (of one buffer).
    KelSound3DCL(IDirectSoundBuffer* buffer, IDirectSound3DBuffer* buffer3D);
    ~KelSound3DCL() override;

    bool Is3D() override;
    IDirectSound3DBuffer* Get3DBuffer() const { return m_buffer3D.get(); }

private:
    KelSoundInterfacePtr<IDirectSound3DBuffer> m_buffer3D;
};
