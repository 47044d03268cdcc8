#include "KelMusicManagerCL.h"

#include "KelGuard.h"
#include "KelMusicStreamCL.h"
#include "KelSoundEngineCL.h"

KelMusicManagerCL::KelMusicManagerCL() = default;

KelMusicManagerCL::~KelMusicManagerCL()
{
    KEL_TRY
    DeleteAllStreams();
    KEL_CATCH_RETURN()
}

void KelMusicManagerCL::DeleteAllStreams()
{
    KEL_TRY
    m_streams.clear();
    KEL_CATCH
}

void KelMusicManagerCL::Update()
{
    KEL_TRY
    for (auto stream = m_streams.begin(); stream != m_streams.end();)
    {
        if (stream->second->IsPlaying())
            ++stream;
        else
            stream = m_streams.erase(stream);
    }
    KEL_CATCH
}

bool KelMusicManagerCL::Play(const char* name)
{
    KEL_TRY
    KelSoundEngineCL* engine = KelSoundEngineCL::GetInstance();
    const std::string path = engine->GetSoundDirectory() + "\\" + (name != nullptr ? name : "");
    m_streams.erase(path);
    auto stream = std::make_unique<KelOggStreamCL>(engine->GetWindow(), engine->GetDirectSound());
    if (!stream->Start(path.c_str()))
        return false;
    m_streams.emplace(path, std::move(stream));
    return true;
    KEL_CATCH
}

KelMusicStreamCL* KelMusicManagerCL::FindStream(const std::string& path)
{
    auto stream = m_streams.find(path);
    return stream == m_streams.end() ? nullptr : stream->second.get();
}
