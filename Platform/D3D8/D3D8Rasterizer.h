#pragma once
// The CPU rasteriser under the software Direct3D 8 device: triangles and one-pixel lines in
// screen space, drawn into a 32-bit A8R8G8B8 (or X8R8G8B8) target with Direct3D 8's rules:
//
// - pixel centres lie at integer coordinates: pixel (px, py) is covered by a triangle when the
//   point (px, py) is inside it; points on an edge follow the top-left rule (covered on a top or
//   left edge, not on a bottom or right edge); positions are snapped to 1/256 pixel first and
//   edges are evaluated exactly, so triangles sharing an edge never both cover a pixel of it;
//   triangles with a vertex that is not a finite number are skipped;
// - colour and texture coordinates are interpolated linearly in screen space and evaluated at
//   the pixel centre;
// - texture sampling: the texel grid has texel centres at (i + 0.5) / size; point filtering
//   takes the texel containing u * size (floor), linear filtering blends the four texels around
//   u * size - 0.5; addressing clamps (or wraps) texel indices;
// - stage 0 combines texture and diffuse as the texture-stage operations say (modulate:
//   channel * channel / 255 rounded to nearest, i.e. (a * b + 127) / 255; select arg1 / arg2;
//   disable); without a texture the texture argument reads as opaque white;
// - with blending enabled, result = src * srcFactor + dst * destFactor per channel, each factor
//   in 0..255 as D3DBLEND says, rounded to nearest and clamped to 255;
//   otherwise the source replaces the target;
// - everything is clipped to the clip rectangle (the viewport within the target); an empty
//   clip rectangle draws nothing.
//
// Most quads of the engine are axis-aligned with texels mapped one to one; those take a fast
// path that produces exactly the pixels of the general path.

#include <cstdint>

#include "D3D8Types.h"

struct D3D8RasterTarget
{
    uint32_t* pixels;
    int width;
    int height;
    int pitch; // in pixels
    // X8R8G8B8 targets read their alpha as 255 and keep writing 255 there.
    bool hasAlpha;
};

struct D3D8RasterTexture
{
    const uint32_t* pixels; // A8R8G8B8
    int width;
    int height;
    int pitch; // in pixels
    // Every texel's alpha is 255, as its owner last measured; false when not known. Alpha
    // blending such a texture needs no arithmetic.
    bool opaque = false;
};

struct D3D8RasterVertex
{
    float x, y; // screen space, pixels
    float z;
    uint32_t diffuse; // A8R8G8B8
    float u, v;
};

struct D3D8RasterState
{
    const D3D8RasterTexture* texture = nullptr; // stage 0; null: no texture
    DWORD colorOp = D3DTOP_MODULATE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_DIFFUSE;
    DWORD alphaOp = D3DTOP_SELECTARG1;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_DIFFUSE;
    DWORD magFilter = D3DTEXF_POINT;
    DWORD minFilter = D3DTEXF_POINT;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    DWORD cullMode = D3DCULL_CCW; // culls triangles that are counter-clockwise on the screen
    bool lastPixel = true;        // lines: draw their last pixel
    RECT clip{0, 0, 0, 0};        // left, top inclusive; right, bottom exclusive
    bool fastPath = true;         // tests turn it off to compare against the general path
};

// Draws `count` triangles; each takes three entries of `indices` (positions in `vertices`).
void D3D8RasterTriangles(const D3D8RasterTarget& target, const D3D8RasterState& state,
                         const D3D8RasterVertex* vertices, const uint16_t* indices, int count);
// What drawing the first two triangles of a list (the engine's quad) does to the target's
// earlier contents: whether it writes every pixel of the target without reading any, in which
// case a pending clear of the target need not be done.
enum class D3D8RasterCover
{
    Partial,              // some pixel keeps or blends with what was there
    Whole,                // every pixel is replaced
    WholeIfTextureOpaque, // every pixel is replaced if every texel's alpha is 255
};
D3D8RasterCover D3D8RasterFirstQuadCover(const D3D8RasterTarget& target, const D3D8RasterState& state,
                                         const D3D8RasterVertex* vertices, const uint16_t* indices,
                                         int count);

// Draws `count` one-pixel lines, two indices each, with the colours of their ends interpolated
// along the line; textures are ignored. A line covers the pixels a Bresenham walk from its
// rounded start to its rounded end visits; the end pixel only with lastPixel.
void D3D8RasterLines(const D3D8RasterTarget& target, const D3D8RasterState& state,
                     const D3D8RasterVertex* vertices, const uint16_t* indices, int count);

// The SIMD code the rasteriser's alpha blending and clamped point sampling run on. Every path
// produces the same pixels; they differ only in speed. The first draw settles the choice from
// the environment variable KAVDOR_RASTER_PATH ("sse2", "avx2" or "auto"; unset or empty means
// auto), and auto takes the widest path the CPU offers. The choice is read once per draw call
// and may be changed from any thread; a draw already running keeps the path it started with.
enum class D3D8RasterPath
{
    Auto,
    Sse2,
    Avx2,
};

// Whether the CPU can run the path (Auto and SSE2 always can).
bool D3D8RasterPathAvailable(D3D8RasterPath path);
// Selects the path for the following draw calls and returns the one in effect: a path the CPU
// lacks falls back to the widest one it has, and Auto resolves to that as well.
D3D8RasterPath D3D8SetRasterPath(D3D8RasterPath path);
// The path draw calls take now; never Auto.
D3D8RasterPath D3D8ActiveRasterPath();
// The path a value of KAVDOR_RASTER_PATH asks for, resolved as D3D8SetRasterPath does (null or
// empty: auto; letter case does not matter). An unknown value is read as auto, and a path the
// CPU lacks falls back; both are reported on stderr.
D3D8RasterPath D3D8RasterPathFromName(const char* name);
// "sse2", "avx2" or "auto".
const char* D3D8RasterPathName(D3D8RasterPath path);
