#include "KelSoundCL.h"

#include <algorithm>

#include "KelGuard.h"

namespace
{
constexpr float kVoiceFloor = 0.3f;
}

KelSoundCL::KelSoundCL(IDirectSoundBuffer* buffer) : m_buffer(buffer) {}

KelSoundCL::~KelSoundCL() = default;

void KelSoundCL::SetUserValue(int32_t value)
{
    m_userValue = value;
}

int32_t KelSoundCL::GetUserValue()
{
    return m_userValue;
}

void KelSoundCL::SetVolumeScale(float scale)
{
    m_volumeScale = scale;
}

bool KelSoundCL::Is3D()
{
    return false;
}

bool KelSoundCL::IsPlaying()
{
    KEL_TRY
    DWORD status = 0;
    return m_buffer != nullptr && SUCCEEDED(m_buffer->GetStatus(&status)) &&
           (status & DSBSTATUS_PLAYING) != 0;
    KEL_CATCH
}

void KelSoundCL::Stop()
{
    KEL_TRY
    if (m_buffer != nullptr)
        m_buffer->Stop();
    KEL_CATCH
}

void KelSoundCL::ApplyPercent(float percent)
{
    const float v = std::clamp(percent, 0.0f, 100.0f);
    m_currentVolume = static_cast<int32_t>(v * 10000.0f / 100.0f) - 10000;
    if (m_buffer != nullptr)
        m_buffer->SetVolume(m_currentVolume);
}

void KelSoundCL::SetVolume(float percent)
{
    KEL_TRY
    ApplyPercent(percent * m_volumeScale);
    KEL_CATCH
}

void KelSoundCL::SetVoiceVolume(float percent)
{
    KEL_TRY
    ApplyPercent(percent * (m_volumeScale + (1.0f - m_volumeScale) * kVoiceFloor));
    KEL_CATCH
}

void KelSoundCL::StartFade(int32_t steps)
{
    m_fadeLength = std::max<int32_t>(steps, 1);
    m_fadeCounter = m_fadeLength;
}

void KelSoundCL::FadeStep()
{
    KEL_TRY
    if (m_fadeCounter < 0)
        return;
    if (m_fadeCounter > 0)
    {
        // A straight line from the volume the fade started at down to silence.
        const int64_t above = static_cast<int64_t>(m_currentVolume) + 10000;
        const int32_t volume = static_cast<int32_t>(above * m_fadeCounter / m_fadeLength) - 10000;
        if (m_buffer != nullptr)
            m_buffer->SetVolume(volume);
        --m_fadeCounter;
        return;
    }
    Stop();
    m_currentVolume = -10000;
    m_fadeCounter = -1;
    KEL_CATCH
}

KelSound3DCL::KelSound3DCL(IDirectSoundBuffer* buffer, IDirectSound3DBuffer* buffer3D)
    : KelSoundCL(buffer), m_buffer3D(buffer3D)
{
}

KelSound3DCL::~KelSound3DCL() = default;

bool KelSound3DCL::Is3D()
{
    return true;
}
