// kavdor-sound: plays sound files through the engine's sound engine, one after the other, and
// waits until each has been heard. Effects (WAV, Ogg Vorbis, MPEG audio) play in 2D, or in 3D
// at a position; --music streams an Ogg Vorbis file as the game's music is streamed.
//
//   kavdor-sound [--music] [--3d X Y Z] [--volume PERCENT] FILE...
//
// SDL_AUDIODRIVER picks the output; KAVDOR_AUDIO_CAPTURE=out.wav also writes what is mixed.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "KelLogCL.h"
#include "KelMusicManagerCL.h"
#include "KelMusicStreamCL.h"
#include "KelSoundEngineCL.h"
#include "KelSystemCL.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
struct Options
{
    bool music = false;
    bool threeD = false;
    float x = 0, y = 0, z = 0;
    float volume = 100.0f;
    std::vector<std::string> files;
};

const char kUsage[] =
    "usage: kavdor-sound [--music] [--3d X Y Z] [--volume PERCENT] FILE...\n"
    "  plays sound effects (WAV, Ogg Vorbis, MPEG audio) through the engine's sound engine;\n"
    "  --music streams an Ogg Vorbis file as music, --3d places the effects around the\n"
    "  listener, --volume sets their volume (0 to 100)\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseFloat(const char* text, float* out)
{
    char* end = nullptr;
    *out = std::strtof(text, &end);
    return end != text && *end == '\0';
}

// The Windows-form folder of the file relative to the module directory, as the engine's sound
// directory takes it, and the file's name.
std::pair<std::string, std::string> EngineName(const std::string& file)
{
    namespace fs = std::filesystem;
    const fs::path absolute = fs::absolute(file);
    std::string module = KelGetModuleDirectory();
    for (char& c : module)
        if (c == '\\')
            c = '/';
    std::string folder =
        fs::relative(absolute.parent_path(), module.empty() ? fs::path("/") : fs::path(module)).string();
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    return {folder, absolute.filename().string()};
}

bool PlayEffect(KelSoundEngineCL& engine, const Options& options, const std::string& name)
{
    KelSoundCL* sound = options.threeD
                            ? engine.Play3DEffect(name.c_str(), options.x, options.y, options.z, false)
                            : engine.Play2DEffect(name.c_str(), false);
    if (sound == nullptr)
        return false;
    if (options.threeD)
        sound->SetVoiceVolume(options.volume);
    else
        sound->SetVolume(options.volume);
    while (engine.GetPlaying2DCount() + engine.GetPlaying3DCount() > 0)
    {
        Sleep(20);
        engine.Update();
    }
    return true;
}

bool PlayMusic(KelSoundEngineCL& engine, const std::string& name)
{
    KelMusicManagerCL* music = KelMusicManagerCL::GetInstance();
    if (!music->Play(name.c_str()))
        return false;
    while (music->GetStreamCount() > 0)
    {
        Sleep(50);
        engine.Update();
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--music")
            options.music = true;
        else if (arg == "--3d" && i + 3 < argc)
        {
            options.threeD = ParseFloat(argv[i + 1], &options.x) && ParseFloat(argv[i + 2], &options.y) &&
                             ParseFloat(argv[i + 3], &options.z);
            if (!options.threeD)
                return Usage();
            i += 3;
        }
        else if (arg == "--volume" && i + 1 < argc)
        {
            if (!ParseFloat(argv[++i], &options.volume))
                return Usage();
        }
        else if (!arg.empty() && arg[0] == '-')
            return Usage();
        else
            options.files.push_back(arg);
    }
    if (options.files.empty())
        return Usage();

    KelSystemCL::GetInstance()->Initialize(nullptr);
    MemoryWindow window(1, 1);
    KelSoundEngineCL* engine = KelSoundEngineCL::GetInstance();
    if (FAILED(engine->Initialize(&window)))
    {
        std::fprintf(stderr, "kavdor-sound: the sound device cannot be opened (see KelLogFile.txt)\n");
        return 1;
    }
    int failures = 0;
    for (const std::string& file : options.files)
    {
        const auto [folder, name] = EngineName(file);
        engine->SetSoundDirectory(folder.c_str());
        std::printf("playing %s\n", file.c_str());
        std::fflush(stdout);
        if (!(options.music ? PlayMusic(*engine, name) : PlayEffect(*engine, options, name)))
        {
            std::fprintf(stderr, "kavdor-sound: %s cannot be played (see KelLogFile.txt)\n", file.c_str());
            ++failures;
        }
    }
    engine->Release();
    return failures == 0 ? 0 : 1;
}
