// pixman_table_frame: the table_frame workload (see TableFrameBench.cpp for the pixels) drawn with
// pixman, the compositor under cairo and the X server, so that the engine's frame can be
// measured against a well-known 2D library on the same machine and in the same run
// (bench/compare-pixman runs both, interleaved, and prints the ratios).
//
// pixman blends premultiplied colours, so the card and atlas pictures are premultiplied once
// when they are made; the blend is then the same "source over" the engine does on straight
// alpha, up to rounding. The rotated cards are drawn through a transform about the card's
// integer centre with nearest sampling, over the rotated card's bounding box.
//
// When KAVDOR_FRAME_PNG names a folder, the last frame is written there as
// pixman_frame_<opaque><rotated>.png, and when the engine's frame of the same variant is there
// (engine_frame_<opaque><rotated>.png, written by engine_frame_bench) the largest difference of
// any channel between the two pictures is reported as the counter max_diff.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <pixman.h>
#include <stb/stb_image.h>

#include "FrameCheck.h"

namespace
{
constexpr int kWidth = 800;
constexpr int kHeight = 600;

uint32_t Premultiplied(uint32_t argb)
{
    const uint32_t a = argb >> 24;
    auto channel = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | channel((argb >> 16) & 255) << 16 | channel((argb >> 8) & 255) << 8 |
           channel(argb & 255);
}

// A picture of its own pixels; pixman reads the memory, the vector keeps it.
struct Picture
{
    std::vector<uint32_t> bits;
    pixman_image_t* image = nullptr;

    template <class Pixel>
    Picture(int width, int height, Pixel pixel) : bits(static_cast<size_t>(width) * height)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bits[static_cast<size_t>(y) * width + x] = pixel(x, y);
        image = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, bits.data(), width * 4);
    }
    ~Picture() { pixman_image_unref(image); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
};

class PixmanTableFrame
{
public:
    PixmanTableFrame(bool opaqueCards, bool rotated)
        : m_target(kWidth, kHeight, [](int, int) { return 0u; }),
          m_background(kWidth, kHeight,
                       [](int x, int y)
                       {
                           return 0xFF000000u | static_cast<uint32_t>(x * 255 / 799) << 16 |
                                  static_cast<uint32_t>(y * 255 / 599) << 8 |
                                  static_cast<uint32_t>((x ^ y) & 255);
                       }),
          m_card(60, 78,
                 [opaqueCards](int x, int y)
                 {
                     uint32_t a = static_cast<uint32_t>(x * 255 / 59);
                     if (opaqueCards)
                     {
                         const int d = std::min(x, 59 - x) + std::min(y, 77 - y);
                         a = d < 4 ? 0 : d == 4 ? 128 : 255;
                     }
                     return Premultiplied(a << 24 | static_cast<uint32_t>(255 - 3 * y) << 16 |
                                          static_cast<uint32_t>(4 * x) << 8 | 128u);
                 }),
          m_atlas(256, 256,
                  [](int x, int y) {
                      return Premultiplied(static_cast<uint32_t>((7 * x + 13 * y) & 255) << 24 | 0x00FFFFFFu);
                  }),
          m_rotated(rotated)
    {
        pixman_image_set_filter(m_card.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }

    void Render(int frame)
    {
        const pixman_color_t black{0, 0, 0, 0xFFFF};
        const pixman_rectangle16_t all{0, 0, kWidth, kHeight};
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, m_target.image, &black, 1, &all);
        pixman_image_composite32(PIXMAN_OP_SRC, m_background.image, nullptr, m_target.image, 0, 0, 0, 0, 0, 0,
                                 kWidth, kHeight);
        for (int i = 0; i < 200; ++i)
        {
            const int x = (97 * i + 7 * frame) % 741;
            const int y = (61 * i + 5 * frame) % 523;
            if (m_rotated && i % 10 == 0)
                DrawRotatedCard(x, y, (17 * i + 3 * frame) % 360);
            else
                pixman_image_composite32(PIXMAN_OP_OVER, m_card.image, nullptr, m_target.image, 0, 0, 0, 0, x,
                                         y, 60, 78);
        }
        for (int j = 0; j < 50; ++j)
            pixman_image_composite32(PIXMAN_OP_OVER, m_atlas.image, nullptr, m_target.image,
                                     ((5 * j) % 32) * 8, ((3 * j) % 21) * 12, 0, 0, 16 + (j % 25) * 20,
                                     540 + (j / 25) * 20, 8, 12);
    }

    const std::vector<uint32_t>& Frame() const { return m_target.bits; }

private:
    // Clockwise by `degrees` about the card's integer centre (30, 39), as the engine turns it.
    void DrawRotatedCard(int x, int y, int degrees)
    {
        const double radians = degrees * 3.14159265358979 / 180.0;
        const double c = std::cos(radians);
        const double s = std::sin(radians);
        const double cx = x + 30.0;
        const double cy = y + 39.0;
        // The bounding box of the turned card on the target.
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
        for (const auto& corner : {std::pair{-30.0, -39.0}, {30.0, -39.0}, {30.0, 39.0}, {-30.0, 39.0}})
        {
            const double px = cx + corner.first * c - corner.second * s;
            const double py = cy + corner.first * s + corner.second * c;
            left = std::min(left, px);
            right = std::max(right, px);
            top = std::min(top, py);
            bottom = std::max(bottom, py);
        }
        const int boxX = std::max(0, static_cast<int>(std::floor(left)));
        const int boxY = std::max(0, static_cast<int>(std::floor(top)));
        const int boxW = std::min(kWidth, static_cast<int>(std::ceil(right))) - boxX;
        const int boxH = std::min(kHeight, static_cast<int>(std::ceil(bottom))) - boxY;
        if (boxW <= 0 || boxH <= 0)
            return;
        // Target point p samples the card at R(-angle)(p - centre) + (30, 39).
        pixman_f_transform_t f;
        pixman_f_transform_init_translate(&f, -cx, -cy);
        pixman_f_transform_rotate(&f, nullptr, c, -s);
        pixman_f_transform_translate(&f, nullptr, 30.0, 39.0);
        pixman_transform_t transform;
        pixman_transform_from_pixman_f_transform(&transform, &f);
        pixman_image_set_transform(m_card.image, &transform);
        pixman_image_composite32(PIXMAN_OP_OVER, m_card.image, nullptr, m_target.image, boxX, boxY, 0, 0,
                                 boxX, boxY, boxW, boxH);
        pixman_image_set_transform(m_card.image, nullptr);
    }

    Picture m_target;
    Picture m_background;
    Picture m_card;
    Picture m_atlas;
    bool m_rotated;
};

// The largest channel difference between our frame and the engine's picture of the same
// variant, or -1 when there is no such picture to compare with.
int MaxDifference(const std::vector<uint32_t>& frame, const std::string& variant)
{
    const char* folder = std::getenv("KAVDOR_FRAME_PNG");
    if (folder == nullptr)
        return -1;
    const std::string path = std::string(folder) + "/engine_frame_" + variant + ".png";
    int width = 0, height = 0, channels = 0;
    unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (rgb == nullptr)
        return -1;
    int worst = 0;
    if (width == kWidth && height == kHeight)
        for (size_t i = 0; i < frame.size(); ++i)
            for (int k = 0; k < 3; ++k)
            {
                const int ours = static_cast<int>((frame[i] >> (16 - 8 * k)) & 255);
                worst = std::max(worst, std::abs(ours - static_cast<int>(rgb[i * 3 + k])));
            }
    else
        worst = 255;
    stbi_image_free(rgb);
    return worst;
}

void pixman_table_frame(benchmark::State& state)
{
    const bool opaque = state.range(0) != 0;
    const bool rotated = state.range(1) != 0;
    PixmanTableFrame frame(opaque, rotated);
    TimeFrames(state, [&frame](int number) { frame.Render(number); });
    state.counters["hash"] = static_cast<double>(FrameHash(frame.Frame()));
    const std::string variant = std::to_string(opaque) + std::to_string(rotated);
    WriteFramePng("pixman_frame_" + variant, frame.Frame(), kWidth, kHeight);
    state.counters["max_diff"] = MaxDifference(frame.Frame(), variant);
}
// The same iteration count as engine_table_frame, so both end on the same frame number.
BENCHMARK(pixman_table_frame)
    ->ArgNames({"opaque", "rotated"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond);
} // namespace
