#include "D3D8/D3D8Rasterizer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "RasterPaths.h"

namespace
{

// Every pixel test of this file runs once on each SIMD path the CPU can run.
class D3D8Rasterizer : public OnEachRasterPath<>
{
};
INSTANTIATE_ON_EACH_RASTER_PATH(D3D8Rasterizer);

struct Image
{
    int width;
    int height;
    bool hasAlpha;
    std::vector<uint32_t> pixels;

    Image(int w, int h, uint32_t fill = 0, bool alpha = true)
        : width(w), height(h), hasAlpha(alpha), pixels(static_cast<size_t>(w) * h, fill)
    {
    }

    D3D8RasterTarget Target() { return D3D8RasterTarget{pixels.data(), width, height, width, hasAlpha}; }
    D3D8RasterTexture Texture() const { return D3D8RasterTexture{pixels.data(), width, height, width}; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

D3D8RasterVertex V(float x, float y, uint32_t diffuse = 0xFFFFFFFFu, float u = 0, float v = 0)
{
    return D3D8RasterVertex{x, y, 0.0f, diffuse, u, v};
}

// Draws with the colour of the vertices as the source (no texture involved).
D3D8RasterState ColourState(const Image& target)
{
    D3D8RasterState s;
    s.colorOp = D3DTOP_SELECTARG2;
    s.alphaOp = D3DTOP_SELECTARG2;
    s.cullMode = D3DCULL_NONE;
    s.clip = RECT{0, 0, target.width, target.height};
    return s;
}

// Additive blending of colour 1: every covering draws adds one, so a count above one shows a
// pixel drawn twice.
D3D8RasterState CountingState(const Image& target)
{
    D3D8RasterState s = ColourState(target);
    s.blend = true;
    s.srcBlend = D3DBLEND_ONE;
    s.destBlend = D3DBLEND_ONE;
    return s;
}

constexpr uint32_t kOne = 0x01010101u;

// Two triangles per quad in the engine's order: tl, tr, br and tl, br, bl.
void AppendQuad(std::vector<D3D8RasterVertex>& vertices, std::vector<uint16_t>& indices,
                const D3D8RasterVertex& tl, const D3D8RasterVertex& tr, const D3D8RasterVertex& br,
                const D3D8RasterVertex& bl)
{
    uint16_t base = static_cast<uint16_t>(vertices.size());
    vertices.insert(vertices.end(), {tl, tr, br, bl});
    for (int i : {0, 1, 2, 0, 2, 3})
        indices.push_back(static_cast<uint16_t>(base + i));
}

void DrawTriangles(Image& target, const D3D8RasterState& state, const std::vector<D3D8RasterVertex>& vertices,
                   const std::vector<uint16_t>& indices)
{
    D3D8RasterTarget t = target.Target();
    D3D8RasterTriangles(t, state, vertices.data(), indices.data(), static_cast<int>(indices.size() / 3));
}

void DrawRect(Image& target, const D3D8RasterState& state, float l, float t, float r, float b,
              uint32_t colour)
{
    std::vector<D3D8RasterVertex> vertices;
    std::vector<uint16_t> indices;
    AppendQuad(vertices, indices, V(l, t, colour), V(r, t, colour), V(r, b, colour), V(l, b, colour));
    DrawTriangles(target, state, vertices, indices);
}

using PixelSet = std::function<bool(int, int)>;

// Every pixel must hold the colour when the predicate says so and the background otherwise.
void ExpectPixels(const Image& image, const PixelSet& inside, uint32_t colour, uint32_t background,
                  const std::string& what)
{
    int wrong = 0;
    for (int y = 0; y < image.height; ++y)
    {
        for (int x = 0; x < image.width; ++x)
        {
            uint32_t expected = inside(x, y) ? colour : background;
            if (image.At(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << std::hex
                              << image.At(x, y) << ", expected " << expected;
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}

int CeilInt(double v)
{
    return static_cast<int>(std::ceil(v));
}

// ---- Coverage ----------------------------------------------------------------------------------

TEST_P(D3D8Rasterizer, AdjacentRectanglesCoverEveryPixelExactlyOnce)
{
    // Rectangles split along a diagonal with fractional and integral edges; each rectangle must
    // cover the centres with ceil(l) <= x < ceil(r), ceil(t) <= y < ceil(b) exactly once.
    struct Case
    {
        float l, t, r, b;
    };
    const Case cases[] = {
        {2.0f, 3.0f, 10.0f, 9.0f},      {1.5f, 2.5f, 9.5f, 11.5f}, {0.3f, 0.7f, 17.2f, 5.1f},
        {3.25f, 1.75f, 4.0f, 19.0f},    {5.0f, 5.0f, 5.5f, 6.0f},  {-3.6f, -1.2f, 7.9f, 6.6f},
        {0.49f, 0.51f, 15.51f, 14.49f},
    };
    for (bool fast : {true, false})
    {
        for (const Case& c : cases)
        {
            Image image(20, 20);
            D3D8RasterState state = CountingState(image);
            state.fastPath = fast;
            DrawRect(image, state, c.l, c.t, c.r, c.b, kOne);
            ExpectPixels(
                image,
                [&](int x, int y)
                { return x >= CeilInt(c.l) && x < CeilInt(c.r) && y >= CeilInt(c.t) && y < CeilInt(c.b); },
                kOne, 0,
                "rectangle " + std::to_string(c.l) + "," + std::to_string(c.t) + (fast ? " fast" : ""));
        }
    }
}

TEST_P(D3D8Rasterizer, TriangleFansAndGridsLeaveNoGapsOrOverlaps)
{
    // A polygon fanned around an inner point and a grid of quads whose shared corners are
    // jittered: adjacent triangles in every direction share edges that must partition pixels.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jitter(-0.9f, 0.9f);
    for (int round = 0; round < 20; ++round)
    {
        Image image(40, 40);
        D3D8RasterState state = CountingState(image);
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        const int n = 4 + round % 9;
        float cx = 20.0f + jitter(rng);
        float cy = 20.0f + jitter(rng);
        vertices.push_back(V(cx, cy, kOne));
        for (int i = 0; i < n; ++i)
        {
            double angle = 2.0 * M_PI * i / n + 0.1 * jitter(rng);
            vertices.push_back(V(cx + static_cast<float>(15 * std::cos(angle)),
                                 cy + static_cast<float>(15 * std::sin(angle)), kOne));
        }
        for (int i = 0; i < n; ++i)
            indices.insert(indices.end(),
                           {0, static_cast<uint16_t>(1 + i), static_cast<uint16_t>(1 + (i + 1) % n)});
        DrawTriangles(image, state, vertices, indices);
        int inner = 0;
        for (int y = 0; y < 40; ++y)
        {
            for (int x = 0; x < 40; ++x)
            {
                uint32_t p = image.At(x, y);
                ASSERT_TRUE(p == 0 || p == kOne) << "fan " << round << " pixel " << x << "," << y;
                // Well inside the polygon (its inscribed radius is above 10) nothing is missing.
                if (std::hypot(x - cx, y - cy) < 9.0)
                {
                    EXPECT_EQ(p, kOne) << "fan " << round << " gap at " << x << "," << y;
                    ++inner;
                }
            }
        }
        EXPECT_GT(inner, 200);
    }
    for (int round = 0; round < 10; ++round)
    {
        Image image(48, 48);
        D3D8RasterState state = CountingState(image);
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        const int cells = 6;
        for (int j = 0; j <= cells; ++j)
        {
            for (int i = 0; i <= cells; ++i)
            {
                bool border = i == 0 || j == 0 || i == cells || j == cells;
                float x = 4.0f + 6.5f * i + (border ? 0.0f : jitter(rng) * 2.0f);
                float y = 4.0f + 6.5f * j + (border ? 0.0f : jitter(rng) * 2.0f);
                vertices.push_back(V(x, y, kOne));
            }
        }
        for (int j = 0; j < cells; ++j)
        {
            for (int i = 0; i < cells; ++i)
            {
                uint16_t a = static_cast<uint16_t>(j * (cells + 1) + i);
                uint16_t b = static_cast<uint16_t>(a + 1);
                uint16_t c = static_cast<uint16_t>(a + cells + 2);
                uint16_t d = static_cast<uint16_t>(a + cells + 1);
                if ((i + j + round) % 2 == 0)
                    indices.insert(indices.end(), {a, b, c, a, c, d});
                else
                    indices.insert(indices.end(), {a, b, d, b, c, d});
            }
        }
        DrawTriangles(image, state, vertices, indices);
        // The outer border is the square [4, 43]: centres 4 ... 42 in both directions.
        ExpectPixels(
            image, [](int x, int y) { return x >= 4 && x < 43 && y >= 4 && y < 43; }, kOne, 0,
            "grid " + std::to_string(round));
    }
}

TEST_P(D3D8Rasterizer, CentresOnEdgesFollowTheTopLeftRule)
{
    struct Case
    {
        const char* name;
        D3D8RasterVertex a, b, c;
        PixelSet inside;
    };
    const Case cases[] = {
        // Top edge y = 3 and left edge x = 2 run through centres: included. The hypotenuse
        // runs down-left: a right edge, excluded.
        {"top and left", V(2, 3, kOne), V(8, 3, kOne), V(2, 9, kOne),
         [](int x, int y) { return x >= 2 && y >= 3 && (x - 2) + (y - 3) < 6; }},
        // Bottom edge y = 9 excluded, left edge x = 2 included, the diagonal is a right edge.
        {"bottom and left", V(2, 3, kOne), V(8, 9, kOne), V(2, 9, kOne),
         [](int x, int y) { return x >= 2 && y < 9 && (x - 2) < (y - 3); }},
        // Right edge x = 8 excluded, top edge included, the diagonal is a left edge (included).
        {"top and right", V(2, 3, kOne), V(8, 3, kOne), V(8, 9, kOne),
         [](int x, int y) { return x < 8 && y >= 3 && (x - 2) >= (y - 3); }},
        // The same triangle given counter-clockwise: the rule depends on geometry, not order.
        {"top and right, reversed", V(2, 3, kOne), V(8, 9, kOne), V(8, 3, kOne),
         [](int x, int y) { return x < 8 && y >= 3 && (x - 2) >= (y - 3); }},
        // A one-pixel-high sliver between centres of two rows covers the upper row only.
        {"row sliver", V(1, 4, kOne), V(7, 4, kOne), V(7, 5, kOne),
         [](int x, int y) { return y == 4 && x >= 1 && x < 7; }},
    };
    for (const Case& c : cases)
    {
        Image image(12, 12);
        D3D8RasterState state = CountingState(image);
        DrawTriangles(image, state, {c.a, c.b, c.c}, {0, 1, 2});
        ExpectPixels(image, c.inside, kOne, 0, c.name);
    }
}

TEST_P(D3D8Rasterizer, CullModesDecideOnScreenWinding)
{
    struct Case
    {
        DWORD cull;
        bool clockwise;
        bool drawn;
    };
    const Case cases[] = {
        {D3DCULL_NONE, true, true},  {D3DCULL_NONE, false, true}, {D3DCULL_CCW, true, true},
        {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},   {D3DCULL_CW, false, true},
    };
    for (const Case& c : cases)
    {
        Image image(8, 8);
        D3D8RasterState state = ColourState(image);
        state.cullMode = c.cull;
        // (1, 1) -> (6, 1) -> (1, 6) goes clockwise on a screen whose y points down.
        std::vector<D3D8RasterVertex> vertices = {V(1, 1, 0xFF00FF00u), V(6, 1, 0xFF00FF00u),
                                                  V(1, 6, 0xFF00FF00u)};
        std::vector<uint16_t> indices =
            c.clockwise ? std::vector<uint16_t>{0, 1, 2} : std::vector<uint16_t>{0, 2, 1};
        DrawTriangles(image, state, vertices, indices);
        EXPECT_EQ(image.At(2, 2), c.drawn ? 0xFF00FF00u : 0u)
            << "cull " << c.cull << " clockwise " << c.clockwise;
    }
    // The engine's sprite quads are drawn with the default culling; a mirrored one is culled.
    for (bool fast : {true, false})
    {
        Image image(8, 8);
        D3D8RasterState state = ColourState(image);
        state.cullMode = D3DCULL_CCW;
        state.fastPath = fast;
        DrawRect(image, state, 1, 1, 5, 5, 0xFF0000FFu);
        DrawRect(image, state, 7, 6, 5, 8, 0xFFFF0000u);
        ExpectPixels(
            image, [](int x, int y) { return x >= 1 && x < 5 && y >= 1 && y < 5; }, 0xFF0000FFu, 0,
            fast ? "sprite quads, fast" : "sprite quads");
    }
}

TEST_P(D3D8Rasterizer, ClipsToTargetAndClipRectangle)
{
    struct Case
    {
        const char* name;
        RECT clip;
        float l, t, r, b;
    };
    const float huge = 67108864.0f;
    const Case cases[] = {
        {"inside", {0, 0, 16, 12}, 2, 3, 9, 7},
        {"past every target edge", {0, 0, 16, 12}, -5.5f, -3, 30, 25},
        {"partly left and above", {0, 0, 16, 12}, -10.5f, -3, 5, 4},
        {"fully outside", {0, 0, 16, 12}, 17, 2, 30, 9},
        {"fully above", {0, 0, 16, 12}, 2, -9, 9, -0.5f},
        {"clip rectangle", {3, 2, 11, 9}, 0, 0, 16, 12},
        {"clip rectangle larger than the target", {-40, -40, 400, 400}, -1, -1, 20, 20},
        {"huge coordinates", {0, 0, 16, 12}, -huge, -huge, huge, huge},
        {"huge and offset", {2, 1, 15, 10}, 4.5f, -huge, huge, 6},
        {"empty clip", {5, 5, 5, 9}, 0, 0, 16, 12},
    };
    for (bool fast : {true, false})
    {
        for (const Case& c : cases)
        {
            Image image(16, 12, 0xFF000000u);
            D3D8RasterState state = ColourState(image);
            state.clip = c.clip;
            state.fastPath = fast;
            DrawRect(image, state, c.l, c.t, c.r, c.b, 0xFFFFFFFFu);
            ExpectPixels(
                image,
                [&](int x, int y)
                {
                    return x >= c.clip.left && x < c.clip.right && y >= c.clip.top && y < c.clip.bottom &&
                           x >= CeilInt(c.l) && x < CeilInt(c.r) && y >= CeilInt(c.t) && y < CeilInt(c.b);
                },
                0xFFFFFFFFu, 0xFF000000u, std::string(c.name) + (fast ? " (fast)" : ""));
        }
    }
}

TEST_P(D3D8Rasterizer, HugeTriangleKeepsItsEdgeInsideTheTarget)
{
    // Vertices far beyond the target with an edge x + y = 8 crossing it: after clipping the
    // far parts away the edge must still pass through the same centres (right edge: excluded).
    const float h = 67108864.0f;
    Image image(12, 12);
    D3D8RasterState state = CountingState(image);
    DrawTriangles(image, state, {V(-h, -h, kOne), V(h + 8, -h, kOne), V(-h, h + 8, kOne)}, {0, 1, 2});
    ExpectPixels(
        image, [](int x, int y) { return x + y < 8; }, kOne, 0, "huge triangle");
}

TEST_P(D3D8Rasterizer, InvalidVerticesAndArgumentsAreIgnored)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Image image(8, 8, 0xFF101010u);
    D3D8RasterState state = ColourState(image);
    const std::vector<std::vector<D3D8RasterVertex>> triangles = {
        {V(nan, 1), V(6, 1), V(1, 6)},
        {V(1, 1), V(6, nan), V(1, 6)},
        {V(1, 1), V(inf, 1), V(1, 6)},
        {V(1, 1), V(6, 1), V(-inf, 6)},
        {V(nan, nan), V(nan, nan), V(nan, nan)},
        {V(3, 3), V(3, 3), V(3, 3)}, // zero area
        {V(1, 1), V(4, 4), V(7, 7)}, // collinear
    };
    for (const auto& tri : triangles)
        DrawTriangles(image, state, tri, {0, 1, 2});
    // The same through the quad path, and as lines.
    std::vector<D3D8RasterVertex> quad = {V(nan, 1), V(6, 1), V(6, 6), V(nan, 6)};
    DrawTriangles(image, state, quad, {0, 1, 2, 0, 2, 3});
    D3D8RasterTarget target = image.Target();
    const uint16_t lineIndices[] = {0, 1};
    D3D8RasterVertex line[] = {V(nan, 2), V(5, 2)};
    D3D8RasterLines(target, state, line, lineIndices, 1);
    line[0] = V(1, 2);
    line[1] = V(5, inf);
    D3D8RasterLines(target, state, line, lineIndices, 1);
    ExpectPixels(
        image, [](int, int) { return false; }, 0, 0xFF101010u, "invalid vertices");

    // Null and empty arguments.
    D3D8RasterVertex good[] = {V(0, 0), V(8, 0), V(8, 8)};
    const uint16_t goodIndices[] = {0, 1, 2};
    D3D8RasterTriangles(target, state, nullptr, goodIndices, 1);
    D3D8RasterTriangles(target, state, good, nullptr, 1);
    D3D8RasterTriangles(target, state, good, goodIndices, 0);
    D3D8RasterTriangles(target, state, good, goodIndices, -3);
    D3D8RasterLines(target, state, nullptr, goodIndices, 1);
    D3D8RasterTarget noPixels{nullptr, 8, 8, 8, true};
    D3D8RasterTriangles(noPixels, state, good, goodIndices, 1);
    D3D8RasterTarget badPitch{image.pixels.data(), 8, 8, 4, true};
    D3D8RasterTriangles(badPitch, state, good, goodIndices, 1);
    D3D8RasterTarget zeroSize{image.pixels.data(), 0, 8, 8, true};
    D3D8RasterLines(zeroSize, state, good, goodIndices, 1);
    ExpectPixels(
        image, [](int, int) { return false; }, 0, 0xFF101010u, "invalid arguments");

    // Texture coordinates that are not numbers still sample some texel without crashing.
    Image texture(3, 3, 0xFF00FF00u);
    D3D8RasterTexture tex = texture.Texture();
    state.texture = &tex;
    state.colorOp = D3DTOP_SELECTARG1;
    state.alphaOp = D3DTOP_SELECTARG1;
    for (DWORD address : {DWORD(D3DTADDRESS_WRAP), DWORD(D3DTADDRESS_CLAMP), DWORD(D3DTADDRESS_MIRROR)})
    {
        for (DWORD filter : {DWORD(D3DTEXF_POINT), DWORD(D3DTEXF_LINEAR)})
        {
            state.addressU = state.addressV = address;
            state.magFilter = state.minFilter = filter;
            for (bool fast : {true, false})
            {
                state.fastPath = fast;
                image = Image(8, 8);
                std::vector<D3D8RasterVertex> q = {V(0, 0, 0, nan, -1e30f), V(8, 0, 0, inf, -1e30f),
                                                   V(8, 8, 0, inf, 3e38f), V(0, 8, 0, nan, 3e38f)};
                DrawTriangles(image, state, q, {0, 1, 2, 0, 2, 3});
                ExpectPixels(
                    image, [](int, int) { return true; }, 0xFF00FF00u, 0, "texture coordinates not numbers");
            }
        }
    }
}

// ---- Colour ------------------------------------------------------------------------------------

TEST_P(D3D8Rasterizer, EachBlendFactorOnKnownColours)
{
    // Source 0xC0402010 over target 0x60C0A0F0; results are round(c * f / 255) per channel,
    // computed by hand for each factor used alone as source factor and as target factor.
    const uint32_t src = 0xC0402010u;
    const uint32_t dst = 0x60C0A0F0u;
    struct Case
    {
        DWORD factor;
        uint32_t asSource; // srcBlend = factor, destBlend = ZERO
        uint32_t asDest;   // srcBlend = ZERO, destBlend = factor
    };
    const Case cases[] = {
        {D3DBLEND_ZERO, 0x00000000u, 0x00000000u},        {D3DBLEND_ONE, 0xC0402010u, 0x60C0A0F0u},
        {D3DBLEND_SRCCOLOR, 0x91100401u, 0x4830140Fu},    {D3DBLEND_INVSRCCOLOR, 0x2F301C0Fu, 0x18908CE1u},
        {D3DBLEND_SRCALPHA, 0x9130180Cu, 0x489178B5u},    {D3DBLEND_INVSRCALPHA, 0x2F100804u, 0x182F283Bu},
        {D3DBLEND_DESTALPHA, 0x48180C06u, 0x24483C5Au},   {D3DBLEND_INVDESTALPHA, 0x7828140Au, 0x3C786496u},
        {D3DBLEND_DESTCOLOR, 0x4830140Fu, 0x249164E2u},   {D3DBLEND_INVDESTCOLOR, 0x78100C01u, 0x3C2F3C0Eu},
        {D3DBLEND_SRCALPHASAT, 0xC028140Au, 0x60786496u},
    };
    struct Pair
    {
        DWORD s;
        DWORD d;
        uint32_t expected;
    };
    std::vector<Pair> pairs;
    for (const Case& c : cases)
    {
        pairs.push_back({c.factor, D3DBLEND_ZERO, c.asSource});
        pairs.push_back({D3DBLEND_ZERO, c.factor, c.asDest});
    }
    pairs.push_back({D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xA8604047u});
    pairs.push_back({D3DBLEND_ONE, D3DBLEND_ONE, 0xFFFFC0FFu}); // saturates red and blue
    pairs.push_back({D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR, 0xB5A168E3u});
    pairs.push_back({D3DBLEND_SRCALPHASAT, D3DBLEND_ONE, 0xFFE8B4FAu});
    for (bool fast : {true, false})
    {
        for (const Pair& p : pairs)
        {
            // 9 x 3 pixels: the SIMD paths see groups of four plus a remainder.
            Image image(9, 3, dst);
            D3D8RasterState state = ColourState(image);
            state.blend = true;
            state.srcBlend = p.s;
            state.destBlend = p.d;
            state.fastPath = fast;
            DrawRect(image, state, 0, 0, 9, 3, src);
            ExpectPixels(
                image, [](int, int) { return true; }, p.expected, 0,
                "blend " + std::to_string(p.s) + "/" + std::to_string(p.d));
        }
    }
    // Without blending the source replaces the target.
    Image image(4, 4, dst);
    D3D8RasterState state = ColourState(image);
    DrawRect(image, state, 0, 0, 4, 4, src);
    ExpectPixels(
        image, [](int, int) { return true; }, src, 0, "no blending");
}

TEST_P(D3D8Rasterizer, AlphaBlendMatchesRoundedFormulaForAllAlphas)
{
    // Every source alpha over a few targets, through the vector paths: 256 columns of a texture.
    Image texture(256, 1);
    for (int x = 0; x < 256; ++x)
        texture.At(x, 0) = static_cast<uint32_t>(x) << 24 | 0x00FF7F01u;
    D3D8RasterTexture tex = texture.Texture();
    for (uint32_t dst : {0x00000000u, 0xFFFFFFFFu, 0x80C03F02u})
    {
        Image image(256, 1, dst);
        D3D8RasterState state = ColourState(image);
        state.texture = &tex;
        state.colorOp = state.alphaOp = D3DTOP_SELECTARG1;
        state.addressU = D3DTADDRESS_CLAMP;
        state.blend = true;
        state.srcBlend = D3DBLEND_SRCALPHA;
        state.destBlend = D3DBLEND_INVSRCALPHA;
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        AppendQuad(vertices, indices, V(0, 0, 0xFFFFFFFFu, 0, 0), V(256, 0, 0xFFFFFFFFu, 1, 0),
                   V(256, 1, 0xFFFFFFFFu, 1, 1), V(0, 1, 0xFFFFFFFFu, 0, 1));
        DrawTriangles(image, state, vertices, indices);
        for (int x = 0; x < 256; ++x)
        {
            uint32_t s = texture.At(x, 0);
            uint32_t expected = 0;
            for (int ch = 0; ch < 4; ++ch)
            {
                double sc = (s >> (8 * ch)) & 255;
                double dc = (dst >> (8 * ch)) & 255;
                expected |= static_cast<uint32_t>(std::lround((sc * x + dc * (255 - x)) / 255.0)) << (8 * ch);
            }
            ASSERT_EQ(image.At(x, 0), expected) << "alpha " << x << " over " << std::hex << dst;
        }
    }
}

TEST_P(D3D8Rasterizer, ModulateRoundsToNearestForAllChannelPairs)
{
    // A texture row holding every channel value, modulated by every diffuse value.
    Image texture(256, 1);
    for (int x = 0; x < 256; ++x)
        texture.At(x, 0) = static_cast<uint32_t>(x) * 0x01010101u;
    D3D8RasterTexture tex = texture.Texture();
    for (bool fast : {true, false})
    {
        for (uint32_t d = 0; d < 256; ++d)
        {
            Image image(256, 1);
            D3D8RasterState state = ColourState(image);
            state.texture = &tex;
            state.colorOp = D3DTOP_MODULATE;
            state.colorArg1 = D3DTA_TEXTURE;
            state.colorArg2 = D3DTA_DIFFUSE;
            state.alphaOp = D3DTOP_MODULATE;
            state.alphaArg1 = D3DTA_DIFFUSE;
            state.alphaArg2 = D3DTA_TEXTURE;
            state.fastPath = fast;
            uint32_t diffuse = d * 0x01010101u;
            std::vector<D3D8RasterVertex> vertices;
            std::vector<uint16_t> indices;
            AppendQuad(vertices, indices, V(0, 0, diffuse, 0, 0), V(256, 0, diffuse, 1, 0),
                       V(256, 1, diffuse, 1, 1), V(0, 1, diffuse, 0, 1));
            DrawTriangles(image, state, vertices, indices);
            for (int x = 0; x < 256; ++x)
            {
                uint32_t expected =
                    static_cast<uint32_t>(std::lround(x * static_cast<double>(d) / 255.0)) * 0x01010101u;
                ASSERT_EQ(image.At(x, 0), expected)
                    << "texel " << x << " diffuse " << d << (fast ? " fast" : "");
            }
        }
    }
}

TEST_P(D3D8Rasterizer, StageOperationsAndArguments)
{
    const uint32_t texel = 0x80FF8040u;
    const uint32_t diffuse = 0xC0204080u;
    struct Case
    {
        const char* name;
        DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
        bool textured;
        uint32_t expected;
    };
    const Case cases[] = {
        {"texture colour, diffuse alpha", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, true, 0xC0FF8040u},
        {"current is diffuse on stage 0", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1,
         D3DTA_CURRENT, D3DTA_TEXTURE, true, 0xC0204080u},
        // 0xFF * 0x20 = 0x20; 0x80 * 0x40 / 255 = 32.1 -> 0x20; 0x40 * 0x80 / 255 = 32.1 -> 0x20;
        // alpha 0x80 * 0xC0 / 255 = 96.4 -> 0x60.
        {"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, true, 0x60202020u},
        {"disabled stage passes diffuse", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, true, 0xC0204080u},
        // Without a texture the texture argument reads as opaque white.
        {"no texture, select texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, false, 0xFFFFFFFFu},
        {"no texture, modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, false, 0xC0204080u},
    };
    Image texture(1, 1, texel);
    D3D8RasterTexture tex = texture.Texture();
    for (bool fast : {true, false})
    {
        for (const Case& c : cases)
        {
            Image image(5, 3);
            D3D8RasterState state = ColourState(image);
            state.texture = c.textured ? &tex : nullptr;
            state.colorOp = c.colorOp;
            state.colorArg1 = c.colorArg1;
            state.colorArg2 = c.colorArg2;
            state.alphaOp = c.alphaOp;
            state.alphaArg1 = c.alphaArg1;
            state.alphaArg2 = c.alphaArg2;
            state.fastPath = fast;
            DrawRect(image, state, 0, 0, 5, 3, diffuse);
            ExpectPixels(
                image, [](int, int) { return true; }, c.expected, 0, c.name);
        }
    }
}

TEST_P(D3D8Rasterizer, DiffuseIsInterpolatedAtPixelCentres)
{
    // Red goes 0 -> 200 from x = 0 to x = 8; the centre of pixel x sees 25 x.
    Image image(8, 2);
    D3D8RasterState state = ColourState(image);
    DrawRect(image, state, 0, 0, 8, 2, 0xFF000000u);
    std::vector<D3D8RasterVertex> vertices;
    std::vector<uint16_t> indices;
    AppendQuad(vertices, indices, V(0, 0, 0xFF000000u), V(8, 0, 0xFFC80000u), V(8, 2, 0xFFC80000u),
               V(0, 2, 0xFF000000u));
    DrawTriangles(image, state, vertices, indices);
    for (int y = 0; y < 2; ++y)
    {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(image.At(x, y), 0xFF000000u | static_cast<uint32_t>(25 * x) << 16) << x << "," << y;
    }
}

// ---- Texture sampling ---------------------------------------------------------------------------

class Sampling2x2 : public OnEachRasterPath<>
{
protected:
    // Red channel of the texels: 0, 200 / 100, 40.
    Image texture{2, 2};
    D3D8RasterTexture tex{};

    void SetUp() override
    {
        OnEachRasterPath::SetUp();
        texture.At(0, 0) = 0xFF000000u;
        texture.At(1, 0) = 0xFFC80000u;
        texture.At(0, 1) = 0xFF640000u;
        texture.At(1, 1) = 0xFF280000u;
        tex = texture.Texture();
    }

    // Draws the texture onto 4 x 4 pixels with u, v from lo to hi; returns the red channels.
    std::vector<int> Draw(DWORD mag, DWORD min, DWORD address, float lo, float hi, bool fast)
    {
        Image image(4, 4);
        D3D8RasterState state = ColourState(image);
        state.texture = &tex;
        state.colorOp = state.alphaOp = D3DTOP_SELECTARG1;
        state.magFilter = mag;
        state.minFilter = min;
        state.addressU = state.addressV = address;
        state.fastPath = fast;
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        AppendQuad(vertices, indices, V(0, 0, 0xFFFFFFFFu, lo, lo), V(4, 0, 0xFFFFFFFFu, hi, lo),
                   V(4, 4, 0xFFFFFFFFu, hi, hi), V(0, 4, 0xFFFFFFFFu, lo, hi));
        DrawTriangles(image, state, vertices, indices);
        std::vector<int> red;
        for (uint32_t p : image.pixels)
            red.push_back(static_cast<int>((p >> 16) & 255));
        return red;
    }
};

INSTANTIATE_ON_EACH_RASTER_PATH(Sampling2x2);

TEST_P(Sampling2x2, PointAndLinearFilteringWithClampAndWrap)
{
    const DWORD P = D3DTEXF_POINT;
    const DWORD L = D3DTEXF_LINEAR;
    struct Case
    {
        const char* name;
        DWORD mag, min, address;
        float lo, hi;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // Centres at u = 0, 0.25, 0.5, 0.75: texels 0, 0, 1, 1.
        {"point",
         P,
         P,
         D3DTADDRESS_CLAMP,
         0.0f,
         1.0f,
         {0, 0, 200, 200, 0, 0, 200, 200, 100, 100, 40, 40, 100, 100, 40, 40}},
        // u * 2 - 0.5 = -0.5, 0, 0.5, 1: the edge texel (clamped), texel 0, halfway, texel 1.
        {"linear clamp",
         L,
         P,
         D3DTADDRESS_CLAMP,
         0.0f,
         1.0f,
         {0, 0, 100, 200, 0, 0, 100, 200, 50, 50, 85, 120, 100, 100, 70, 40}},
        // Here the first column and row mix with the opposite texels.
        {"linear wrap",
         L,
         P,
         D3DTADDRESS_WRAP,
         0.0f,
         1.0f,
         {85, 50, 85, 120, 100, 0, 100, 200, 85, 50, 85, 120, 70, 100, 70, 40}},
        // Centres at u = -0.5, 0, 0.5, 1: texels -1, 0, 1, 2.
        {"point clamp outside",
         P,
         P,
         D3DTADDRESS_CLAMP,
         -0.5f,
         1.5f,
         {0, 0, 200, 200, 0, 0, 200, 200, 100, 100, 40, 40, 100, 100, 40, 40}},
        {"point wrap outside",
         P,
         P,
         D3DTADDRESS_WRAP,
         -0.5f,
         1.5f,
         {40, 100, 40, 100, 200, 0, 200, 0, 40, 100, 40, 100, 200, 0, 200, 0}},
        // Magnified: the magnification filter counts, not the minification one.
        {"magnified uses mag filter",
         P,
         L,
         D3DTADDRESS_CLAMP,
         0.0f,
         1.0f,
         {0, 0, 200, 200, 0, 0, 200, 200, 100, 100, 40, 40, 100, 100, 40, 40}},
        // Two texels per pixel in each direction: minified, so the minification filter counts.
        {"minified uses min filter",
         P,
         L,
         D3DTADDRESS_WRAP,
         0.0f,
         4.0f,
         {85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 85}},
    };
    for (bool fast : {true, false})
    {
        for (const Case& c : cases)
            EXPECT_EQ(Draw(c.mag, c.min, c.address, c.lo, c.hi, fast), c.expected)
                << c.name << (fast ? " fast" : "");
    }
}

TEST_P(D3D8Rasterizer, SpriteMappingCopiesTexelsOneToOne)
{
    // The engine maps a w-wide source to u = left / (W - 1) ... (left + w) / (W - 1); drawn at
    // its own size at an integral position, every texel lands on its own pixel.
    std::mt19937 rng(3);
    Image texture(60, 78);
    for (uint32_t& p : texture.pixels)
        p = rng();
    D3D8RasterTexture tex = texture.Texture();
    for (bool fast : {true, false})
    {
        Image image(100, 100, 0xFF000000u);
        D3D8RasterState state = ColourState(image);
        state.texture = &tex;
        state.colorOp = D3DTOP_MODULATE;
        state.alphaOp = D3DTOP_MODULATE;
        state.addressU = state.addressV = D3DTADDRESS_CLAMP;
        state.cullMode = D3DCULL_CCW;
        state.fastPath = fast;
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        const float x = 17;
        const float y = 9;
        AppendQuad(vertices, indices, V(x, y, 0xFFFFFFFFu, 0, 0), V(x + 60, y, 0xFFFFFFFFu, 60.0f / 59, 0),
                   V(x + 60, y + 78, 0xFFFFFFFFu, 60.0f / 59, 78.0f / 77),
                   V(x, y + 78, 0xFFFFFFFFu, 0, 78.0f / 77));
        DrawTriangles(image, state, vertices, indices);
        for (int py = 0; py < 100; ++py)
        {
            for (int px = 0; px < 100; ++px)
            {
                bool inside = px >= 17 && px < 77 && py >= 9 && py < 87;
                uint32_t expected = inside ? texture.At(px - 17, py - 9) : 0xFF000000u;
                ASSERT_EQ(image.At(px, py), expected) << px << "," << py << (fast ? " fast" : "");
            }
        }
    }
}

TEST_P(D3D8Rasterizer, RotatedQuadSamplesTheTexelUnderEachCentre)
{
    // A 4 x 6 texture turned a quarter clockwise onto 6 x 4 pixels, placed half a pixel off so
    // that no centre falls on a texel boundary: pixel (x, y) shows texel (y - 2, 10 - x).
    std::mt19937 rng(11);
    Image texture(4, 6);
    for (uint32_t& p : texture.pixels)
        p = rng() | 0xFF000000u;
    D3D8RasterTexture tex = texture.Texture();
    for (DWORD address : {DWORD(D3DTADDRESS_CLAMP), DWORD(D3DTADDRESS_WRAP)})
    {
        Image image(14, 8);
        D3D8RasterState state = ColourState(image);
        state.texture = &tex;
        state.colorOp = state.alphaOp = D3DTOP_MODULATE;
        state.colorArg1 = state.alphaArg1 = D3DTA_TEXTURE;
        state.colorArg2 = state.alphaArg2 = D3DTA_DIFFUSE;
        state.addressU = state.addressV = address;
        state.cullMode = D3DCULL_CCW;
        std::vector<D3D8RasterVertex> vertices;
        std::vector<uint16_t> indices;
        AppendQuad(vertices, indices, V(10.5f, 1.5f, 0xFFFFFFFFu, 0, 0), V(10.5f, 5.5f, 0xFFFFFFFFu, 1, 0),
                   V(4.5f, 5.5f, 0xFFFFFFFFu, 1, 1), V(4.5f, 1.5f, 0xFFFFFFFFu, 0, 1));
        DrawTriangles(image, state, vertices, indices);
        for (int y = 0; y < 8; ++y)
        {
            for (int x = 0; x < 14; ++x)
            {
                bool inside = x >= 5 && x <= 10 && y >= 2 && y <= 5;
                uint32_t expected = inside ? texture.At(y - 2, 10 - x) : 0u;
                EXPECT_EQ(image.At(x, y), expected) << x << "," << y << " address " << address;
            }
        }
    }
}

// ---- X8R8G8B8 ---------------------------------------------------------------------------------

TEST_P(D3D8Rasterizer, TargetsWithoutAlphaReadAndWriteOpaqueAlpha)
{
    // The target memory holds alpha 0x12 that must read as 255.
    const uint32_t dst = 0x12402010u;
    const uint32_t src = 0x80FF0000u;
    struct Case
    {
        bool blend;
        DWORD s, d;
        uint32_t expected;
    };
    const Case cases[] = {
        {false, D3DBLEND_ONE, D3DBLEND_ZERO, 0xFFFF0000u},
        {true, D3DBLEND_DESTALPHA, D3DBLEND_ZERO, 0xFFFF0000u},
        {true, D3DBLEND_INVDESTALPHA, D3DBLEND_ONE, 0xFF402010u},
        // Red (255 * 128 + 64 * 127) / 255 = 159.9 -> 0xA0; green 15.9 -> 0x10, blue 7.97 -> 0x08.
        {true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xFFA01008u},
        {true, D3DBLEND_ONE, D3DBLEND_ONE, 0xFFFF2010u},
        {true, D3DBLEND_ZERO, D3DBLEND_ONE, 0xFF402010u},
        // SRCALPHASAT: min(128, 255 - 255) = 0 for colour.
        {true, D3DBLEND_SRCALPHASAT, D3DBLEND_ONE, 0xFF402010u},
    };
    for (bool fast : {true, false})
    {
        for (const Case& c : cases)
        {
            Image image(6, 2, dst, false);
            D3D8RasterState state = ColourState(image);
            state.blend = c.blend;
            state.srcBlend = c.s;
            state.destBlend = c.d;
            state.fastPath = fast;
            DrawRect(image, state, 0, 0, 6, 2, src);
            ExpectPixels(
                image, [](int, int) { return true; }, c.expected, 0,
                "X8 blend " + std::to_string(c.s) + "/" + std::to_string(c.d));
        }
    }
}

// ---- Lines ---------------------------------------------------------------------------------------

TEST_P(D3D8Rasterizer, LinesWalkBresenhamBetweenRoundedEnds)
{
    using Pixels = std::vector<std::pair<int, int>>;
    struct Case
    {
        const char* name;
        float x0, y0, x1, y1;
        bool lastPixel;
        RECT clip;
        Pixels expected;
    };
    const RECT all{0, 0, 10, 10};
    const Case cases[] = {
        {"horizontal", 1, 2, 6, 2, true, all, {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}}},
        {"horizontal without last pixel", 1, 2, 6, 2, false, all, {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}},
        {"leftwards", 6, 2, 3, 2, false, all, {{6, 2}, {5, 2}, {4, 2}}},
        {"vertical", 3, 1, 3, 4, true, all, {{3, 1}, {3, 2}, {3, 3}, {3, 4}}},
        {"diagonal", 0, 0, 4, 4, true, all, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
        {"shallow", 0, 0, 6, 2, true, all, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}}},
        {"steep upwards",
         5,
         7,
         4,
         0,
         true,
         all,
         {{5, 7}, {5, 6}, {5, 5}, {5, 4}, {4, 3}, {4, 2}, {4, 1}, {4, 0}}},
        {"rounded ends", 0.4f, 0.6f, 3.5f, 1.2f, true, all, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
        {"single point with last pixel", 2, 2, 2.2f, 1.9f, true, all, {{2, 2}}},
        {"single point without last pixel", 2, 2, 2.2f, 1.9f, false, all, {}},
        {"clipped by the target",
         -5,
         3,
         20,
         3,
         true,
         all,
         {{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}, {8, 3}, {9, 3}}},
        {"clipped by the clip rectangle",
         -5,
         3,
         20,
         3,
         true,
         {2, 0, 6, 10},
         {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        {"clipped diagonal", -2, -2, 12, 12, true, {3, 1, 6, 5}, {{3, 3}, {4, 4}}},
        {"huge coordinates",
         -1e9f,
         4,
         1e9f,
         4,
         true,
         {0, 0, 10, 10},
         {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}, {8, 4}, {9, 4}}},
        {"outside", 0, -3, 9, -3, true, all, {}},
    };
    for (const Case& c : cases)
    {
        Image image(10, 10);
        D3D8RasterState state = CountingState(image);
        state.clip = c.clip;
        state.lastPixel = c.lastPixel;
        D3D8RasterVertex ends[] = {V(c.x0, c.y0, kOne), V(c.x1, c.y1, kOne)};
        const uint16_t indices[] = {0, 1};
        D3D8RasterTarget target = image.Target();
        D3D8RasterLines(target, state, ends, indices, 1);
        ExpectPixels(
            image,
            [&](int x, int y)
            {
                for (auto [ex, ey] : c.expected)
                    if (ex == x && ey == y)
                        return true;
                return false;
            },
            kOne, 0, c.name);
    }
}

TEST_P(D3D8Rasterizer, LinesInterpolateColourAndBlend)
{
    Image image(6, 2, 0xFF000010u);
    D3D8RasterState state = ColourState(image);
    D3D8RasterVertex ends[] = {V(0, 0, 0xFF000000u), V(4, 0, 0xFF0000C8u), V(0, 1, 0x80FF0000u),
                               V(4, 1, 0x80FF0000u)};
    const uint16_t indices[] = {0, 1, 2, 3};
    D3D8RasterTarget target = image.Target();
    D3D8RasterLines(target, state, ends, indices, 1);
    // Blue 0 -> 200 over four steps.
    const uint32_t row0[] = {0xFF000000u, 0xFF000032u, 0xFF000064u, 0xFF000096u, 0xFF0000C8u, 0xFF000010u};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(image.At(x, 0), row0[x]) << x;
    state.blend = true;
    state.srcBlend = D3DBLEND_SRCALPHA;
    state.destBlend = D3DBLEND_INVSRCALPHA;
    state.lastPixel = false;
    D3D8RasterLines(target, state, ends, indices + 2, 1);
    // Red 255 * 128 / 255 = 128, blue 16 * 127 / 255 = 7.97 -> 8,
    // alpha (128 * 128 + 255 * 127) / 255 = 191.25 -> 0xBF.
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(image.At(x, 1), 0xBF800008u) << x;
    EXPECT_EQ(image.At(4, 1), 0xFF000010u);
}

// ---- Fast path --------------------------------------------------------------------------------

struct RandomScene
{
    Image texture{1, 1};
    D3D8RasterState state;
    std::vector<D3D8RasterVertex> vertices;
    std::vector<uint16_t> indices;
    Image target{1, 1};
};

RandomScene MakeRandomScene(std::mt19937& rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    RandomScene s;
    int tw = 1 + pick(41);
    int th = 1 + pick(41);
    s.texture = Image(tw, th);
    int alphaStyle = pick(3);
    for (uint32_t& p : s.texture.pixels)
    {
        uint32_t a = alphaStyle == 0 ? 255u : alphaStyle == 1 ? (pick(3) == 0 ? 0u : 255u) : rng() & 255u;
        p = (a << 24) | (rng() & 0x00FFFFFFu);
    }
    s.target = Image(24 + pick(40), 20 + pick(40), 0, pick(4) != 0);
    for (uint32_t& p : s.target.pixels)
        p = rng();
    D3D8RasterState& st = s.state;
    st.clip = pick(3) == 0 ? RECT{pick(10), pick(10), 10 + pick(60), 10 + pick(60)}
                           : RECT{0, 0, s.target.width, s.target.height};
    st.addressU = pick(2) ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
    st.addressV = pick(3) == 0 ? DWORD(D3DTADDRESS_MIRROR) : st.addressU;
    st.magFilter = pick(5) == 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    st.cullMode = pick(4) == 0 ? D3DCULL_NONE : D3DCULL_CCW;
    st.colorOp = pick(4) == 0 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE;
    st.alphaOp = pick(3) == 0 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE;
    if (pick(8) == 0)
        st.colorOp = D3DTOP_SELECTARG2;
    st.blend = pick(4) != 0;
    const DWORD factors[] = {D3DBLEND_SRCALPHA,  D3DBLEND_INVSRCALPHA,  D3DBLEND_ONE,        D3DBLEND_ZERO,
                             D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTALPHA, D3DBLEND_SRCALPHASAT};
    if (pick(2))
    {
        st.srcBlend = D3DBLEND_SRCALPHA;
        st.destBlend = D3DBLEND_INVSRCALPHA;
    }
    else
    {
        st.srcBlend = factors[pick(7)];
        st.destBlend = factors[pick(6)];
    }
    int quads = 1 + pick(12);
    for (int q = 0; q < quads; ++q)
    {
        // Source rectangle in texels, mapped the engine's way (divisor size - 1, or size).
        int sl = pick(tw);
        int st0 = pick(th);
        int sw = 1 + pick(tw - sl);
        int sh = 1 + pick(th - st0);
        double divU = tw > 1 && pick(3) != 0 ? tw - 1 : tw;
        double divV = th > 1 && pick(3) != 0 ? th - 1 : th;
        float u0 = static_cast<float>(sl / divU);
        float u1 = static_cast<float>((sl + sw) / divU);
        float v0 = static_cast<float>(st0 / divV);
        float v1 = static_cast<float>((st0 + sh) / divV);
        if (pick(6) == 0)
            std::swap(u0, u1); // mirrored texture
        double scale = pick(3) == 0 ? real(0.3, 3.0) : 1.0;
        double x = pick(2) ? pick(80) - 20 : real(-20.0, 60.0);
        double y = pick(2) ? pick(80) - 20 : real(-20.0, 60.0);
        if (pick(4) == 0)
        {
            x = std::round(x * 8) / 8;
            y = std::round(y * 8) / 8;
        }
        float l = static_cast<float>(x);
        float t = static_cast<float>(y);
        float r = static_cast<float>(x + sw * scale * (pick(4) == 0 ? real(0.5, 2.0) : 1.0));
        float b = static_cast<float>(y + sh * scale);
        uint32_t diffuse = pick(2) ? 0xFFFFFFFFu : static_cast<uint32_t>(rng());
        AppendQuad(s.vertices, s.indices, V(l, t, diffuse, u0, v0), V(r, t, diffuse, u1, v0),
                   V(r, b, diffuse, u1, v1), V(l, b, diffuse, u0, v1));
    }
    return s;
}

TEST_P(D3D8Rasterizer, AxisAlignedQuadsMatchTheTrianglePath)
{
    std::mt19937 rng(12345);
    int drawn = 0;
    for (int round = 0; round < 1500; ++round)
    {
        RandomScene s = MakeRandomScene(rng);
        D3D8RasterTexture tex = s.texture.Texture();
        bool textured = round % 7 != 0;
        s.state.texture = textured ? &tex : nullptr;
        Image fast = s.target;
        Image general = s.target;
        D3D8RasterState state = s.state;
        state.fastPath = true;
        DrawTriangles(fast, state, s.vertices, s.indices);
        state.fastPath = false;
        DrawTriangles(general, state, s.vertices, s.indices);
        ASSERT_EQ(fast.pixels, general.pixels) << "scene " << round;
        drawn += fast.pixels != s.target.pixels ? 1 : 0;
    }
    // Most scenes draw something: the comparison is not between two untouched targets.
    EXPECT_GT(drawn, 1000);
}

// ---- Choice of SIMD path ------------------------------------------------------------------------

bool CpuHasAvx2()
{
    return __builtin_cpu_supports("avx2") != 0;
}

D3D8RasterPath WidestPath()
{
    return CpuHasAvx2() ? D3D8RasterPath::Avx2 : D3D8RasterPath::Sse2;
}

// Puts the path in effect before a test back when it ends.
class D3D8RasterPathChoice : public ::testing::Test
{
protected:
    void TearDown() override { D3D8SetRasterPath(m_previous); }

private:
    D3D8RasterPath m_previous = D3D8ActiveRasterPath();
};

TEST_F(D3D8RasterPathChoice, RequestsAreClampedToTheCpuAndTheEffectivePathIsReported)
{
    struct Case
    {
        D3D8RasterPath requested;
        D3D8RasterPath effective;
    };
    const Case cases[] = {
        {D3D8RasterPath::Sse2, D3D8RasterPath::Sse2},
        {D3D8RasterPath::Avx2, WidestPath()},
        {D3D8RasterPath::Auto, WidestPath()},
        {D3D8RasterPath::Sse2, D3D8RasterPath::Sse2}, // back down after the wider ones
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(D3D8SetRasterPath(c.requested), c.effective) << D3D8RasterPathName(c.requested);
        EXPECT_EQ(D3D8ActiveRasterPath(), c.effective) << D3D8RasterPathName(c.requested);
    }
    EXPECT_TRUE(D3D8RasterPathAvailable(D3D8RasterPath::Auto));
    EXPECT_TRUE(D3D8RasterPathAvailable(D3D8RasterPath::Sse2));
    EXPECT_EQ(D3D8RasterPathAvailable(D3D8RasterPath::Avx2), CpuHasAvx2());
}

TEST_F(D3D8RasterPathChoice, EnvironmentValuesAndTheirMessages)
{
    struct Case
    {
        const char* value;
        D3D8RasterPath requested;
        bool unknown; // reported as an unknown value
    };
    const Case cases[] = {
        {nullptr, D3D8RasterPath::Auto, false}, {"", D3D8RasterPath::Auto, false},
        {"auto", D3D8RasterPath::Auto, false},  {"AUTO", D3D8RasterPath::Auto, false},
        {"sse2", D3D8RasterPath::Sse2, false},  {"Sse2", D3D8RasterPath::Sse2, false},
        {"avx2", D3D8RasterPath::Avx2, false},  {"AVX2", D3D8RasterPath::Avx2, false},
        {"avx", D3D8RasterPath::Auto, true},    {"avx512", D3D8RasterPath::Auto, true},
        {" sse2", D3D8RasterPath::Auto, true},  {"scalar", D3D8RasterPath::Auto, true},
    };
    for (const Case& c : cases)
    {
        std::string shown = c.value != nullptr ? c.value : "(unset)";
        D3D8RasterPath expected = c.requested == D3D8RasterPath::Sse2 ? D3D8RasterPath::Sse2 : WidestPath();
        ::testing::internal::CaptureStderr();
        D3D8RasterPath got = D3D8RasterPathFromName(c.value);
        std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(got, expected) << shown;
        EXPECT_EQ(message.find("unknown") != std::string::npos, c.unknown) << shown << ": " << message;
        // A path the CPU lacks is reported as well; both messages name the path drawn with.
        bool clamped = c.requested == D3D8RasterPath::Avx2 && !CpuHasAvx2();
        EXPECT_EQ(message.find("cannot run") != std::string::npos, clamped) << shown << ": " << message;
        std::string drawingWith = std::string("drawing with ") + D3D8RasterPathName(expected);
        EXPECT_EQ(message.find(drawingWith) != std::string::npos, c.unknown || clamped)
            << shown << ": " << message;
    }
}

TEST_F(D3D8RasterPathChoice, InitialPathFollowsTheEnvironment)
{
    // Every test puts the path back, so the one in effect is still the initial choice. CTest also
    // runs this test with KAVDOR_RASTER_PATH set to each value.
    EXPECT_EQ(D3D8ActiveRasterPath(), D3D8RasterPathFromName(std::getenv("KAVDOR_RASTER_PATH")));
}

// ---- SSE2 and AVX2 agree ------------------------------------------------------------------------

// Draws the same thing on both paths; the images must be identical.
class D3D8RasterPathsAgree : public D3D8RasterPathChoice
{
protected:
    void SetUp() override
    {
        if (!CpuHasAvx2())
            GTEST_SKIP() << "this CPU runs only the SSE2 path";
    }

    // Returns the image drawn with SSE2; fails when the AVX2 one differs anywhere.
    template <class DrawFunction>
    Image DrawOnBoth(const Image& start, DrawFunction draw, const std::string& what)
    {
        Image sse2 = start;
        Image avx2 = start;
        D3D8SetRasterPath(D3D8RasterPath::Sse2);
        draw(sse2);
        D3D8SetRasterPath(D3D8RasterPath::Avx2);
        draw(avx2);
        for (size_t i = 0; i < sse2.pixels.size(); ++i)
        {
            if (sse2.pixels[i] != avx2.pixels[i])
            {
                ADD_FAILURE() << what << ": pixel (" << i % sse2.width << ", " << i / sse2.width << ") is "
                              << std::hex << sse2.pixels[i] << " with sse2, " << avx2.pixels[i]
                              << " with avx2";
                break;
            }
        }
        return sse2;
    }
};

uint32_t ExpectedAlphaBlend(uint32_t s, uint32_t d, bool hasAlpha)
{
    uint32_t a = s >> 24;
    uint32_t r = 0;
    for (int ch = 0; ch < 4; ++ch)
    {
        uint32_t sc = (s >> (8 * ch)) & 255;
        uint32_t dc = (d >> (8 * ch)) & 255;
        r |= (sc * a + dc * (255 - a) + 127) / 255 << (8 * ch);
    }
    return hasAlpha ? r : r | 0xFF000000u;
}

TEST_F(D3D8RasterPathsAgree, AlphaBlendSpansOfEveryWidth)
{
    // Three rows of n source pixels blended onto the target at column x0: every width up to 48
    // (each remainder after groups of four and of eight, several times over; rows of 8k + 4 pair
    // their last four pixels, and the third row is left on its own) and a few long ones, with
    // alphas that exercise the opaque and transparent shortcuts of both paths.
    std::mt19937 rng(20260101);
    std::vector<int> widths;
    for (int n = 0; n <= 48; ++n)
        widths.push_back(n);
    for (int n : {63, 64, 65, 255, 256, 257, 300, 517})
        widths.push_back(n);
    int blended = 0;
    for (int n : widths)
    {
        for (int style = 0; style < 4; ++style)
        {
            const int x0 = static_cast<int>(rng() % 8);
            // Power-of-two sides keep the texture coordinates exact: pixel i samples texel i.
            Image texture(1024, 4);
            for (int i = 0; i < 3 * n; ++i)
            {
                uint32_t a = rng() & 255u;
                if (style == 1) // runs of eight opaque or transparent pixels, some broken by one
                    a = (i / 8) % 2 == 0 ? 255u : 0u;
                if (style == 1 && rng() % 16 == 0)
                    a = rng() & 255u;
                if (style == 2) // opaque and transparent mixed within each group
                    a = rng() % 2 == 0 ? 255u : 0u;
                if (style == 3 && i % 4 == 0) // mostly random, some groups fully opaque
                    a = 255u;
                texture.At(i % n, i / n) = a << 24 | (rng() & 0x00FFFFFFu);
            }
            for (bool hasAlpha : {true, false})
            {
                for (bool fast : {true, false})
                {
                    Image start(x0 + n + 8, 5, 0, hasAlpha);
                    for (uint32_t& p : start.pixels)
                        p = rng();
                    D3D8RasterTexture tex = texture.Texture();
                    auto draw = [&](Image& image)
                    {
                        D3D8RasterState state = ColourState(image);
                        state.texture = &tex;
                        state.colorOp = state.alphaOp = D3DTOP_SELECTARG1;
                        state.addressU = state.addressV = D3DTADDRESS_CLAMP;
                        state.blend = true;
                        state.srcBlend = D3DBLEND_SRCALPHA;
                        state.destBlend = D3DBLEND_INVSRCALPHA;
                        state.fastPath = fast;
                        float l = static_cast<float>(x0);
                        float r = static_cast<float>(x0 + n);
                        std::vector<D3D8RasterVertex> vertices;
                        std::vector<uint16_t> indices;
                        float u1 = static_cast<float>(n) / static_cast<float>(texture.width);
                        AppendQuad(vertices, indices, V(l, 1, 0xFFFFFFFFu, 0, 0), V(r, 1, 0xFFFFFFFFu, u1, 0),
                                   V(r, 4, 0xFFFFFFFFu, u1, 0.75f), V(l, 4, 0xFFFFFFFFu, 0, 0.75f));
                        DrawTriangles(image, state, vertices, indices);
                    };
                    std::string what = "width " + std::to_string(n) + " style " + std::to_string(style) +
                                       (hasAlpha ? "" : " no alpha") + (fast ? " fast" : "");
                    Image result = DrawOnBoth(start, draw, what);
                    // And both are right: the blended rows as the formula says, nothing else touched.
                    for (int y = 0; y < start.height; ++y)
                    {
                        for (int x = 0; x < start.width; ++x)
                        {
                            bool inside = y >= 1 && y < 4 && x >= x0 && x < x0 + n;
                            uint32_t expected = inside ? ExpectedAlphaBlend(texture.At(x - x0, y - 1),
                                                                            start.At(x, y), hasAlpha)
                                                       : start.At(x, y);
                            ASSERT_EQ(result.At(x, y), expected) << what << " at " << x << "," << y;
                        }
                    }
                    blended += 3 * n;
                }
            }
        }
    }
    EXPECT_GT(blended, 10000);
}

TEST_F(D3D8RasterPathsAgree, ClampedPointSamplingOfTurnedQuads)
{
    // Quads turned by random angles take the per-pixel sampling loop, which AVX2 runs four
    // pixels at a time when both directions clamp. Texture coordinates reach well outside the
    // texture, up to values that have to be pinned, so that the clamping is seen from all sides.
    std::mt19937 rng(424242);
    auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    const double reaches[] = {1.0, 3.0, 1e3, 1e12};
    int changed = 0;
    for (int round = 0; round < 400; ++round)
    {
        int tw = 1 + static_cast<int>(rng() % 37);
        int th = 1 + static_cast<int>(rng() % 37);
        Image texture(tw, th);
        for (uint32_t& p : texture.pixels)
            p = rng();
        D3D8RasterTexture tex = texture.Texture();
        Image start(48, 40, 0, round % 3 != 0);
        for (uint32_t& p : start.pixels)
            p = rng();
        const double reach = reaches[round % 4];
        const bool blend = round % 2 == 0;
        double cx = real(8, 40);
        double cy = real(8, 32);
        double angle = real(0, 2 * M_PI);
        double hw = real(1, 24);
        double hh = real(1, 20);
        float u0 = static_cast<float>(real(-reach, 0.5));
        float u1 = static_cast<float>(real(0.5, 1 + reach));
        float v0 = static_cast<float>(real(-reach, 0.5));
        float v1 = static_cast<float>(real(0.5, 1 + reach));
        // An infinite or undefined coordinate at one corner spreads over the whole quad.
        if (round % 10 == 8)
            u0 = std::numeric_limits<float>::infinity();
        if (round % 10 == 9)
            v0 = std::numeric_limits<float>::quiet_NaN();
        auto corner = [&](double sx, double sy, float u, float v)
        {
            double x = cx + sx * hw * std::cos(angle) - sy * hh * std::sin(angle);
            double y = cy + sx * hw * std::sin(angle) + sy * hh * std::cos(angle);
            return V(static_cast<float>(x), static_cast<float>(y), 0xFFFFFFFFu, u, v);
        };
        auto draw = [&](Image& image)
        {
            D3D8RasterState state = ColourState(image);
            state.texture = &tex;
            state.colorOp = state.alphaOp = D3DTOP_MODULATE;
            state.colorArg1 = state.alphaArg1 = D3DTA_TEXTURE;
            state.colorArg2 = state.alphaArg2 = D3DTA_DIFFUSE;
            state.addressU = state.addressV = D3DTADDRESS_CLAMP;
            state.blend = blend;
            state.srcBlend = D3DBLEND_SRCALPHA;
            state.destBlend = D3DBLEND_INVSRCALPHA;
            std::vector<D3D8RasterVertex> vertices;
            std::vector<uint16_t> indices;
            AppendQuad(vertices, indices, corner(-1, -1, u0, v0), corner(1, -1, u1, v0), corner(1, 1, u1, v1),
                       corner(-1, 1, u0, v1));
            DrawTriangles(image, state, vertices, indices);
        };
        Image result = DrawOnBoth(start, draw, "round " + std::to_string(round));
        if (HasFailure())
            return;
        changed += result.pixels != start.pixels ? 1 : 0;
    }
    EXPECT_GT(changed, 350);
}

} // namespace
