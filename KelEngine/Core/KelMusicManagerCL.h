#pragma once
// Streamed music by file name: Play starts a stream for a file of the sound engine's sound
// directory (KelSoundEngineCL), on its device and window; Update deletes the streams that are no
// longer playing, whether they ended by themselves or were stopped.
//
// Playing a file that already has a stream deletes the old stream first: one stream per file,
// none left behind unreachable.

#include <map>
#include <memory>
#include <string>

#include "KelSingletonCL.h"

class KelMusicStreamCL;

class KelMusicManagerCL : public KelSingletonCL<KelMusicManagerCL>
{
public:
    KelMusicManagerCL();

    /* 1 */ virtual void DeleteAllStreams();
    /* 2 */ virtual void Update();
    /* 3 */ virtual bool Play(const char* name);

    virtual ~KelMusicManagerCL();

    // The stream of the full path, or null.
    KelMusicStreamCL* FindStream(const std::string& path);
    size_t GetStreamCount() const { return m_streams.size(); }

private:
    std::map<std::string, std::unique_ptr<KelMusicStreamCL>> m_streams;
};
