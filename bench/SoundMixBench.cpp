// The sound mixer with 32 effects playing at once, the most the table ever plays together many
// times over: 16-bit stereo at the output rate (the common case), with their own volumes and
// pans, half of them looping. Each iteration mixes one second of output (44,100 frames in the
// output thread's blocks of 512), so the time per iteration divided by one second is the share of
// one core the mixer takes ("core_share_percent" below). A second case mixes effects that need converting
// (mono, 8-bit, other rates, 3D), which the fast path does not cover.

#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "DSound/DSound.h"
#include "Win32/Window.h"

namespace
{
constexpr int kEffects = 32;
constexpr size_t kBlock = 512;
constexpr size_t kSecond = 44100;

struct Effects
{
    MemoryWindow window{4, 4};
    IDirectSound8* device = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;

    explicit Effects(bool converted)
    {
        DirectSoundCreateManual8(&device);
        device->SetCooperativeLevel(&window, DSSCL_PRIORITY);
        for (int i = 0; i < kEffects; ++i)
        {
            WAVEFORMATEX format{};
            format.wFormatTag = WAVE_FORMAT_PCM;
            format.nChannels = converted && i % 2 == 0 ? 1 : 2;
            format.wBitsPerSample = converted && i % 4 == 1 ? 8 : 16;
            format.nSamplesPerSec = converted ? 22050 + 1000 * static_cast<DWORD>(i) : 44100;
            format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
            format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
            DSBUFFERDESC desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags =
                DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | (converted && i % 3 == 0 ? DSBCAPS_CTRL3D : 0);
            if ((desc.dwFlags & DSBCAPS_CTRL3D) != 0)
                desc.dwFlags &= ~static_cast<DWORD>(DSBCAPS_CTRLPAN);
            // Two seconds of a tone each, so that the ones played once last the whole iteration.
            desc.dwBufferBytes = format.nAvgBytesPerSec * 2;
            desc.lpwfxFormat = &format;
            IDirectSoundBuffer* buffer = nullptr;
            device->CreateSoundBuffer(&desc, &buffer, nullptr);
            void* bytes = nullptr;
            DWORD size = 0;
            buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
            for (DWORD b = 0; b < size; ++b)
                static_cast<uint8_t*>(bytes)[b] = static_cast<uint8_t>(std::sin(b * 0.01 * (i + 1)) * 100);
            buffer->Unlock(bytes, size, nullptr, 0);
            buffer->SetVolume(-100 * i);
            if ((desc.dwFlags & DSBCAPS_CTRLPAN) != 0)
                buffer->SetPan(i * 300 - 4800);
            buffers.push_back(buffer);
        }
    }
    ~Effects()
    {
        for (IDirectSoundBuffer* buffer : buffers)
            buffer->Release();
        device->Release();
    }
    void PlayAll()
    {
        for (int i = 0; i < kEffects; ++i)
        {
            buffers[static_cast<size_t>(i)]->SetCurrentPosition(0);
            buffers[static_cast<size_t>(i)]->Play(0, 0, i % 2 == 0 ? DSBPLAY_LOOPING : 0);
        }
    }
};

void Mix(benchmark::State& state, bool converted)
{
    Effects effects(converted);
    std::vector<int16_t> out(kBlock * 2);
    for (auto _ : state)
    {
        state.PauseTiming();
        effects.PlayAll();
        state.ResumeTiming();
        for (size_t done = 0; done < kSecond; done += kBlock)
            DirectSoundMixManual(effects.device, out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    // Seconds of work per second of sound, in percent: 100 x seconds per iteration.
    state.counters["core_share_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void mix_32_effects(benchmark::State& state)
{
    Mix(state, false);
}
BENCHMARK(mix_32_effects)->Unit(benchmark::kMillisecond);

void mix_32_converted_effects(benchmark::State& state)
{
    Mix(state, true);
}
BENCHMARK(mix_32_converted_effects)->Unit(benchmark::kMillisecond);
} // namespace
