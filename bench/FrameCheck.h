#pragma once
// What the frame benchmarks print and write of their last frame: a hash of the picture, so
// that a change in what is drawn is noticed, and a PNG when KAVDOR_FRAME_PNG names a folder, so
// that a person can look at what was timed (and compare the engine's frame with the device's).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <stb/stb_image_write.h>

inline void WriteFramePng(const std::string& name, const std::vector<uint32_t>& frame, int width, int height)
{
    const char* folder = std::getenv("KAVDOR_FRAME_PNG");
    if (folder == nullptr || frame.size() < static_cast<size_t>(width) * height)
        return;
    std::vector<uint8_t> rgb;
    rgb.reserve(frame.size() * 3);
    for (uint32_t pixel : frame)
    {
        rgb.push_back(static_cast<uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<uint8_t>(pixel));
    }
    std::string path = std::string(folder) + "/" + name + ".png";
    stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3);
}

// FNV-1a over the pixels' bytes. The back buffer's alpha byte depends on its format (X8 or A8);
// the picture does not, so it is hashed as opaque.
inline uint32_t FrameHash(const std::vector<uint32_t>& frame)
{
    uint32_t hash = 2166136261u;
    for (uint32_t pixel : frame)
        for (int b = 0; b < 4; ++b)
        {
            hash ^= ((pixel | 0xFF000000u) >> (8 * b)) & 255u;
            hash *= 16777619u;
        }
    return hash;
}

// Draws 50 warm-up frames, then times every frame of the benchmark loop on its own and reports
// the median in ms. `draw` takes the frame number, which keeps counting across the warm-up.
template <class Draw>
void TimeFrames(benchmark::State& state, Draw draw)
{
    int number = 0;
    for (; number < 50; ++number)
        draw(number);
    std::vector<double> times;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        draw(number++);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
}
