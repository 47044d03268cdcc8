// raster_frame: the CPU rasteriser alone on one frame of a busy card table, with screen-space
// vertices built the way the engine's sprite batch builds them (corners at the position, texture
// coordinates over size - 1, diffuse white, 192 quads per call) and the 2D states the engine's
// camera sets (modulate, clamp, point filtering, SRCALPHA / INVSRCALPHA blending, CCW culling).
//
// The frame: an 800 x 600 target cleared to opaque black; one opaque 800 x 600 background (drawn
// with blending enabled, alpha 255 everywhere); 200 alpha-blended 60 x 78 cards from one
// texture; 50 glyphs of 8 x 12 from a 256 x 256 atlas. Background pixel (x, y) =
// (x * 255 / 799, y * 255 / 599, (x xor y) & 255). Card pixel (x, y) = alpha a, red 255 - 3y,
// green 4x, blue 128, where a = x * 255 / 59 ("gradient" cards) or, for "opaque" cards, 0 within
// 4 pixels (taxicab) of a corner, 128 at exactly 4, else 255. Card i in frame f sits at
// ((97i + 7f) mod 741, (61i + 5f) mod 523). Atlas pixel (x, y) = white with alpha
// (7x + 13y) & 255; glyph j comes from (((5j) mod 32) * 8, ((3j) mod 21) * 12) and goes to
// (16 + (j mod 25) * 20, 540 + (j div 25) * 20). The "rotated" variants turn every tenth card
// clockwise by (17i + 3f) mod 360 degrees about its centre; those take the general triangle path.
//
// Each frame (clear and draw calls; building the vertices is not counted) is timed on its own
// after 50 warm-up frames; the counters give the median and the FNV-1a hash of the last frame.
// The "path" argument picks the rasteriser's SIMD code (1 SSE2, 2 AVX2); both must give the
// same hash. A CPU without AVX2 skips the AVX2 runs.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "D3D8/D3D8Rasterizer.h"

namespace
{

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kQuadsPerCall = 192;

struct Texture
{
    int width;
    int height;
    std::vector<uint32_t> pixels;

    D3D8RasterTexture Raster() const { return D3D8RasterTexture{pixels.data(), width, height, width}; }
};

Texture BackgroundTexture()
{
    Texture t{kWidth, kHeight, std::vector<uint32_t>(kWidth * kHeight)};
    for (uint32_t y = 0; y < kHeight; ++y)
    {
        for (uint32_t x = 0; x < kWidth; ++x)
            t.pixels[y * kWidth + x] =
                0xFF000000u | (x * 255 / 799) << 16 | (y * 255 / 599) << 8 | ((x ^ y) & 255);
    }
    return t;
}

Texture CardTexture(bool opaque)
{
    Texture t{60, 78, std::vector<uint32_t>(60 * 78)};
    for (int y = 0; y < 78; ++y)
    {
        for (int x = 0; x < 60; ++x)
        {
            uint32_t a = static_cast<uint32_t>(x * 255 / 59);
            if (opaque)
            {
                int corner = std::min(x, 59 - x) + std::min(y, 77 - y);
                a = corner < 4 ? 0 : corner == 4 ? 128 : 255;
            }
            t.pixels[static_cast<size_t>(y * 60 + x)] =
                a << 24 | static_cast<uint32_t>(255 - 3 * y) << 16 | static_cast<uint32_t>(4 * x) << 8 | 128u;
        }
    }
    return t;
}

Texture AtlasTexture()
{
    Texture t{256, 256, std::vector<uint32_t>(256 * 256)};
    for (uint32_t y = 0; y < 256; ++y)
    {
        for (uint32_t x = 0; x < 256; ++x)
            t.pixels[y * 256 + x] = ((7 * x + 13 * y) & 255) << 24 | 0x00FFFFFFu;
    }
    return t;
}

// One draw of a sprite: the source rectangle of a texture of size tw x th at a position,
// optionally rotated clockwise (radians) about (w / 2, h / 2) in integer halves.
void AppendSprite(std::vector<D3D8RasterVertex>& quads, int tw, int th, int left, int top, int w, int h,
                  float x, float y, float angle)
{
    float cx[4] = {0, static_cast<float>(w), static_cast<float>(w), 0};
    float cy[4] = {0, 0, static_cast<float>(h), static_cast<float>(h)};
    if (angle != 0.0f)
    {
        float c = std::cos(angle);
        float s = std::sin(angle);
        float ox = static_cast<float>(w / 2);
        float oy = static_cast<float>(h / 2);
        for (int i = 0; i < 4; ++i)
        {
            float dx = cx[i] - ox;
            float dy = cy[i] - oy;
            cx[i] = ox + dx * c - dy * s;
            cy[i] = oy + dx * s + dy * c;
        }
    }
    float u0 = static_cast<float>(left) / static_cast<float>(tw - 1);
    float v0 = static_cast<float>(top) / static_cast<float>(th - 1);
    float u1 = static_cast<float>(left + w) / static_cast<float>(tw - 1);
    float v1 = static_cast<float>(top + h) / static_cast<float>(th - 1);
    const float us[4] = {u0, u1, u1, u0};
    const float vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i)
        quads.push_back(D3D8RasterVertex{cx[i] + x, cy[i] + y, -1.0f, 0xFFFFFFFFu, us[i], vs[i]});
}

class RasterFrame
{
public:
    RasterFrame(bool opaque, bool rotated)
        : m_rotated(rotated), m_background(BackgroundTexture()), m_card(CardTexture(opaque)),
          m_atlas(AtlasTexture()), m_target(static_cast<size_t>(kWidth) * kHeight)
    {
        for (int q = 0; q < kQuadsPerCall; ++q)
        {
            uint16_t base = static_cast<uint16_t>(q * 4);
            m_indices.insert(m_indices.end(),
                             {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2), base,
                              static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)});
        }
        m_state.colorOp = D3DTOP_MODULATE;
        m_state.colorArg1 = D3DTA_TEXTURE;
        m_state.colorArg2 = D3DTA_DIFFUSE;
        m_state.alphaOp = D3DTOP_MODULATE;
        m_state.alphaArg1 = D3DTA_TEXTURE;
        m_state.alphaArg2 = D3DTA_DIFFUSE;
        m_state.magFilter = D3DTEXF_POINT;
        m_state.addressU = D3DTADDRESS_CLAMP;
        m_state.addressV = D3DTADDRESS_CLAMP;
        m_state.blend = true;
        m_state.srcBlend = D3DBLEND_SRCALPHA;
        m_state.destBlend = D3DBLEND_INVSRCALPHA;
        m_state.cullMode = D3DCULL_CCW;
        m_state.lastPixel = false;
        m_state.clip = RECT{0, 0, kWidth, kHeight};
    }

    // Builds the vertices of frame f (not timed).
    void Build(int f)
    {
        m_backgroundQuads.clear();
        m_cardQuads.clear();
        m_glyphQuads.clear();
        AppendSprite(m_backgroundQuads, kWidth, kHeight, 0, 0, kWidth, kHeight, 0, 0, 0);
        for (int i = 0; i < 200; ++i)
        {
            float x = static_cast<float>((97 * i + 7 * f) % 741);
            float y = static_cast<float>((61 * i + 5 * f) % 523);
            float angle = 0;
            if (m_rotated && i % 10 == 0)
                angle = static_cast<float>(((17 * i + 3 * f) % 360) * M_PI / 180.0);
            AppendSprite(m_cardQuads, 60, 78, 0, 0, 60, 78, x, y, angle);
        }
        for (int j = 0; j < 50; ++j)
        {
            AppendSprite(m_glyphQuads, 256, 256, (5 * j) % 32 * 8, (3 * j) % 21 * 12, 8, 12,
                         static_cast<float>(16 + (j % 25) * 20), static_cast<float>(540 + (j / 25) * 20), 0);
        }
    }

    void Draw()
    {
        std::fill(m_target.begin(), m_target.end(), 0xFF000000u);
        D3D8RasterTarget target{m_target.data(), kWidth, kHeight, kWidth, true};
        D3D8RasterTexture background = m_background.Raster();
        D3D8RasterTexture card = m_card.Raster();
        D3D8RasterTexture atlas = m_atlas.Raster();
        Flush(target, &background, m_backgroundQuads);
        Flush(target, &card, m_cardQuads);
        Flush(target, &atlas, m_glyphQuads);
    }

    uint64_t Hash() const
    {
        uint64_t h = 14695981039346656037ull;
        for (uint32_t p : m_target)
        {
            for (int i = 0; i < 4; ++i)
            {
                h ^= (p >> (8 * i)) & 255;
                h *= 1099511628211ull;
            }
        }
        return h;
    }

private:
    void Flush(const D3D8RasterTarget& target, const D3D8RasterTexture* texture,
               const std::vector<D3D8RasterVertex>& quads)
    {
        m_state.texture = texture;
        int total = static_cast<int>(quads.size() / 4);
        for (int first = 0; first < total; first += kQuadsPerCall)
        {
            int count = std::min(kQuadsPerCall, total - first);
            D3D8RasterTriangles(target, m_state, quads.data() + first * 4, m_indices.data(), count * 2);
        }
    }

    bool m_rotated;
    Texture m_background;
    Texture m_card;
    Texture m_atlas;
    std::vector<uint32_t> m_target;
    std::vector<uint16_t> m_indices;
    D3D8RasterState m_state;
    std::vector<D3D8RasterVertex> m_backgroundQuads;
    std::vector<D3D8RasterVertex> m_cardQuads;
    std::vector<D3D8RasterVertex> m_glyphQuads;
};

void raster_frame(benchmark::State& state)
{
    const D3D8RasterPath path = state.range(2) == 2 ? D3D8RasterPath::Avx2 : D3D8RasterPath::Sse2;
    if (!D3D8RasterPathAvailable(path))
    {
        state.SkipWithError("this CPU cannot run the path");
        return;
    }
    const D3D8RasterPath previous = D3D8ActiveRasterPath();
    D3D8SetRasterPath(path);
    RasterFrame frame(state.range(0) != 0, state.range(1) != 0);
    int number = 0;
    for (; number < 50; ++number)
    {
        frame.Build(number);
        frame.Draw();
    }
    std::vector<double> times;
    for (auto _ : state)
    {
        frame.Build(number++);
        auto start = std::chrono::steady_clock::now();
        frame.Draw();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1000.0);
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["hash"] = static_cast<double>(frame.Hash());
    D3D8SetRasterPath(previous);
}
BENCHMARK(raster_frame)
    ->ArgNames({"opaque", "rotated", "path"})
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
