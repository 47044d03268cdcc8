#include "D3D8Rasterizer.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <emmintrin.h>
#include <immintrin.h>

// How the rasteriser keeps its promises:
//
// Coverage. Vertex positions are snapped to a grid of 1/256 pixel and every edge function is
// evaluated in 64-bit integers, so a pixel centre lying exactly on an edge shared by two
// triangles is decided the same way (with opposite signs) for both: it belongs to exactly one.
// For each row the covered span is solved exactly from the three edges (integer floor and
// ceiling divisions), so no pixel is tested twice. Vertices beyond a guard band are clipped in
// double precision first, which keeps every product of the edge functions within 62 bits.
//
// Attributes. u, v and the four diffuse channels are planes a(x, y) = a0 + dady (y - y0) +
// dadx (x - x0) through the snapped vertex 0 of the triangle, evaluated in double precision at
// the pixel centre in one fixed order: first the row part, then the column part. The gradients
// come from Cramer's rule on the snapped differences in one fixed order too. For the two
// triangles (tl, tr, br) and (tl, br, bl) of an axis-aligned quad whose u depends only on x and
// v only on y, those formulas give the two triangles bit-identical planes with du/dy and dv/dx
// exactly zero (see PrepareQuad); the quad fast path works out the first triangle's planes,
// checks the zeros, and then evaluates the very same expressions once per column (u) and once
// per row (v), or finds that they run one texel per pixel from their ends (IndexTable). That
// is why it produces the same pixels as drawing the two triangles one by one.
//
// Rounding. Modulate is (a * b + 127) / 255 in integers, which is a * b / 255 rounded to the
// nearest integer (a tie cannot occur because 255 is odd). Blending is
// min(255, (s * sf + d * df + 127) / 255) for the same reason. The SIMD paths compute the same
// quotient as ((n + 128) + ((n + 128) >> 8)) >> 8, equal to (n + 127) / 255 for all
// n <= 255 * 255, or as the high half of (n + 128) * 257, which is the same number.

namespace
{

constexpr int kSubpixelBits = 8;
constexpr int64_t kSubpixels = int64_t(1) << kSubpixelBits;
// Coordinates (pixels) within which the fixed-point edge functions stay far from overflow.
constexpr double kGuardBand = 1048576.0;
// Pixels processed per piece of a span when a source buffer has to be filled first.
constexpr int kChunk = 256;
// Texture coordinates times the texture size are limited to this before conversion to int.
constexpr double kTexelLimit = 1073741824.0;

enum Attr
{
    kU = 0,
    kV = 1,
    kB = 2,
    kG = 3,
    kR = 4,
    kA = 5,
    kAttrCount = 6,
};

struct Box
{
    int left;
    int top;
    int right;
    int bottom;

    bool Empty() const { return left >= right || top >= bottom; }
};

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int64_t CeilDiv(int64_t a, int64_t b)
{
    return -FloorDiv(-a, b);
}

// Floor and ceiling of a subpixel position in whole pixels: an arithmetic shift is a floor
// division by a power of two (C++20 defines it so for negative values too).
inline int64_t FloorPixel(int64_t a)
{
    return a >> kSubpixelBits;
}

inline int64_t CeilPixel(int64_t a)
{
    return -((-a) >> kSubpixelBits);
}

inline uint32_t Channel(uint32_t c, int index)
{
    return (c >> (index * 8)) & 0xFFu;
}

inline uint32_t Div255Round(uint32_t n)
{
    return (n + 127u) / 255u;
}

inline uint32_t Modulate(uint32_t a, uint32_t b)
{
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i)
        r |= Div255Round(Channel(a, i) * Channel(b, i)) << (i * 8);
    return r;
}

// NaN and far-away texel coordinates pinned to the limits, so that conversions to int are defined.
inline double PinTexelCoordinate(double t)
{
    if (!(t >= -kTexelLimit))
        t = -kTexelLimit;
    if (!(t <= kTexelLimit))
        t = kTexelLimit;
    return t;
}

// floor(t) as an int.
inline int FloorToInt(double t)
{
    t = PinTexelCoordinate(t);
    int i = static_cast<int>(t);
    if (static_cast<double>(i) > t)
        --i;
    return i;
}

__attribute__((always_inline)) inline int AddressTexel(int i, int size, DWORD mode)
{
    if (static_cast<unsigned>(i) < static_cast<unsigned>(size))
        return i;
    switch (mode)
    {
    case D3DTADDRESS_WRAP:
    {
        int m = i % size;
        return m < 0 ? m + size : m;
    }
    case D3DTADDRESS_MIRROR:
    {
        int period = 2 * size;
        int m = i % period;
        if (m < 0)
            m += period;
        return m < size ? m : period - 1 - m;
    }
    default: // clamp, and the border modes this device does not offer
        return i < 0 ? 0 : size - 1;
    }
}

// ---- Blending --------------------------------------------------------------------------------

enum class BlendKind
{
    Copy,       // the source replaces the target
    AlphaBlend, // SRCALPHA, INVSRCALPHA
    AddSat,     // ONE, ONE
    Generic,
};

struct BlendMode
{
    BlendKind kind = BlendKind::Copy;
    DWORD src = D3DBLEND_ONE;
    DWORD dest = D3DBLEND_ZERO;
    bool hasAlpha = true;
    bool avx2 = false;
};

bool KnownBlendFactor(DWORD f)
{
    return f >= D3DBLEND_ZERO && f <= D3DBLEND_SRCALPHASAT;
}

BlendMode MakeBlendMode(const D3D8RasterState& state, bool hasAlpha)
{
    BlendMode m;
    m.hasAlpha = hasAlpha;
    m.avx2 = D3D8ActiveRasterPath() == D3D8RasterPath::Avx2;
    if (!state.blend)
        return m;
    // Factors this device does not know behave as the default pair ONE, ZERO.
    m.src = KnownBlendFactor(state.srcBlend) ? state.srcBlend : DWORD(D3DBLEND_ONE);
    m.dest = KnownBlendFactor(state.destBlend) ? state.destBlend : DWORD(D3DBLEND_ZERO);
    if (m.src == D3DBLEND_ONE && m.dest == D3DBLEND_ZERO)
        m.kind = BlendKind::Copy;
    else if (m.src == D3DBLEND_SRCALPHA && m.dest == D3DBLEND_INVSRCALPHA)
        m.kind = BlendKind::AlphaBlend;
    else if (m.src == D3DBLEND_ONE && m.dest == D3DBLEND_ONE)
        m.kind = BlendKind::AddSat;
    else
        m.kind = BlendKind::Generic;
    return m;
}

inline uint32_t BlendFactor(DWORD f, int ch, uint32_t s, uint32_t d)
{
    uint32_t sa = s >> 24;
    uint32_t da = d >> 24;
    switch (f)
    {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return Channel(s, ch);
    case D3DBLEND_INVSRCCOLOR:
        return 255 - Channel(s, ch);
    case D3DBLEND_SRCALPHA:
        return sa;
    case D3DBLEND_INVSRCALPHA:
        return 255 - sa;
    case D3DBLEND_DESTALPHA:
        return da;
    case D3DBLEND_INVDESTALPHA:
        return 255 - da;
    case D3DBLEND_DESTCOLOR:
        return Channel(d, ch);
    case D3DBLEND_INVDESTCOLOR:
        return 255 - Channel(d, ch);
    case D3DBLEND_SRCALPHASAT:
        return ch == 3 ? 255 : std::min(sa, 255 - da);
    default:
        return 0;
    }
}

inline uint32_t BlendPixel(const BlendMode& m, uint32_t s, uint32_t d)
{
    if (!m.hasAlpha)
        d |= 0xFF000000u;
    uint32_t r = 0;
    for (int ch = 0; ch < 4; ++ch)
    {
        uint32_t n =
            Channel(s, ch) * BlendFactor(m.src, ch, s, d) + Channel(d, ch) * BlendFactor(m.dest, ch, s, d);
        r |= std::min(255u, Div255Round(n)) << (ch * 8);
    }
    if (!m.hasAlpha)
        r |= 0xFF000000u;
    return r;
}

inline uint32_t AlphaBlendPixel(uint32_t s, uint32_t d)
{
    uint32_t a = s >> 24;
    uint32_t r = 0;
    for (int ch = 0; ch < 4; ++ch)
        r |= Div255Round(Channel(s, ch) * a + Channel(d, ch) * (255 - a)) << (ch * 8);
    return r;
}

// Blends four pixels: (s * a + d * (255 - a) + 127) / 255 on every channel, alpha included.
//
// In 16-bit lanes, s a + d (255 - a) + 128 is computed as (s - d) a + 256 d - d + 128: the
// arithmetic wraps modulo 2^16, but the true value lies in 128 ... 65153, so the wrapped one is
// it. Then (t + (t >> 8)) >> 8, the division by 255 rounded, is the high half of t * 257.
inline __m128i AlphaBlendHalf4(__m128i s, __m128i d, __m128i a)
{
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, d), a),
                              _mm_sub_epi16(_mm_slli_epi16(d, 8), _mm_sub_epi16(d, _mm_set1_epi16(128))));
    return _mm_mulhi_epu16(t, _mm_set1_epi16(257));
}

inline __m128i AlphaBlend4(__m128i s, __m128i d)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i sLo = _mm_unpacklo_epi8(s, zero);
    __m128i sHi = _mm_unpackhi_epi8(s, zero);
    __m128i aLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sLo, 0xFF), 0xFF);
    __m128i aHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sHi, 0xFF), 0xFF);
    return _mm_packus_epi16(AlphaBlendHalf4(sLo, _mm_unpacklo_epi8(d, zero), aLo),
                            AlphaBlendHalf4(sHi, _mm_unpackhi_epi8(d, zero), aHi));
}

// Blends four pixels onto the target, skipping the arithmetic for groups that are wholly opaque
// (the source exactly) or wholly transparent (the target exactly), as card interiors and edges
// are.
inline void AlphaBlendGroup4(uint32_t* dst, const uint32_t* src, uint32_t force)
{
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i forceV = _mm_set1_epi32(static_cast<int>(force));
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i a = _mm_and_si128(s, alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, alphaMask)) == 0xFFFF)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(s, forceV));
        return;
    }
    bool transparent = _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF;
    if (transparent && force == 0)
        return;
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_or_si128(transparent ? d : AlphaBlend4(s, d), forceV));
}

void AlphaBlendSpanSse2(uint32_t* dst, const uint32_t* src, int n, uint32_t force)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
        AlphaBlendGroup4(dst + i, src + i, force);
    for (; i < n; ++i)
        dst[i] = AlphaBlendPixel(src[i], dst[i]) | force;
}

// AlphaBlendHalf4 on eight pixels' worth of 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i AlphaBlendHalf8(__m256i s, __m256i d, __m256i a)
{
    __m256i t = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_sub_epi16(s, d), a),
        _mm256_sub_epi16(_mm256_slli_epi16(d, 8), _mm256_sub_epi16(d, _mm256_set1_epi16(128))));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

__attribute__((target("avx2"))) inline __m256i AlphaBlend8(__m256i s, __m256i d)
{
    const __m256i zero = _mm256_setzero_si256();
    // Each pixel's alpha byte into the four 16-bit lanes of its channels (0x80: zero).
    const __m256i alphaLo =
        _mm256_setr_epi8(3, -128, 3, -128, 3, -128, 3, -128, 7, -128, 7, -128, 7, -128, 7, -128, 3, -128, 3,
                         -128, 3, -128, 3, -128, 7, -128, 7, -128, 7, -128, 7, -128);
    const __m256i alphaHi = _mm256_add_epi8(alphaLo, _mm256_set1_epi16(8));
    __m256i sLo = _mm256_unpacklo_epi8(s, zero);
    __m256i sHi = _mm256_unpackhi_epi8(s, zero);
    __m256i aLo = _mm256_shuffle_epi8(s, alphaLo);
    __m256i aHi = _mm256_shuffle_epi8(s, alphaHi);
    return _mm256_packus_epi16(AlphaBlendHalf8(sLo, _mm256_unpacklo_epi8(d, zero), aLo),
                               AlphaBlendHalf8(sHi, _mm256_unpackhi_epi8(d, zero), aHi));
}

// Eight pixels from two places of four, or from one place of eight when the halves adjoin.
__attribute__((target("avx2"), always_inline)) inline __m256i LoadHalves(const uint32_t* lo,
                                                                         const uint32_t* hi, bool whole)
{
    return whole ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo))
                 : _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(hi),
                                       reinterpret_cast<const __m128i*>(lo));
}

// Eight pixels, each of the two four-pixel halves at its own place (so two rows' last four pixels
// can go together).
__attribute__((target("avx2"), always_inline)) inline void AlphaBlendGroup8Avx2(
    uint32_t* dstLo, uint32_t* dstHi, const uint32_t* srcLo, const uint32_t* srcHi, uint32_t force)
{
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i forceV = _mm256_set1_epi32(static_cast<int>(force));
    const bool whole = dstHi == dstLo + 4;
    const __m256i s = LoadHalves(srcLo, srcHi, whole);
    __m256i out;
    // One test tells a group with some alpha bits set and some not, which needs the arithmetic
    // (glyphs, shaded edges), from the wholly opaque or transparent ones (a card's interior).
    if (_mm256_testnzc_si256(s, alphaMask))
        out = _mm256_or_si256(AlphaBlend8(s, LoadHalves(dstLo, dstHi, whole)), forceV);
    else if (_mm256_testc_si256(s, alphaMask))
        out = _mm256_or_si256(s, forceV);
    else if (force == 0)
        return;
    else
        out = _mm256_or_si256(LoadHalves(dstLo, dstHi, whole), forceV);
    if (whole)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dstLo), out);
    else
        _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(dstHi), reinterpret_cast<__m128i*>(dstLo), out);
}

__attribute__((target("avx2"), always_inline)) inline void AlphaBlendSpanAvx2(uint32_t* dst,
                                                                              const uint32_t* src, int n,
                                                                              uint32_t force)
{
    int i = 0;
    for (; i + 8 <= n; i += 8)
        AlphaBlendGroup8Avx2(dst + i, dst + i + 4, src + i, src + i + 4, force);
    // The rest without masked loads, which cannot take their data from a store still on its
    // way to the cache and so wait for it: a group of four, then single pixels.
    if (i + 4 <= n)
    {
        AlphaBlendGroup4(dst + i, src + i, force);
        i += 4;
    }
    for (; i < n; ++i)
        dst[i] = AlphaBlendPixel(src[i], dst[i]) | force;
}

// Writes n source pixels onto the target with a blend mode; each draw call picks the function
// for its mode once (SelectSpan).
using SpanFn = void (*)(const BlendMode& m, uint32_t* dst, const uint32_t* src, int n);

void CopySpan(const BlendMode& /*m*/, uint32_t* dst, const uint32_t* src, int n)
{
    std::memmove(dst, src, static_cast<size_t>(n) * sizeof(uint32_t));
}

// Onto a target without alpha, whose alpha stays 255.
void CopyOpaqueSpan(const BlendMode& /*m*/, uint32_t* dst, const uint32_t* src, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = src[i] | 0xFF000000u;
}

void AlphaBlendSpanSse2Fn(const BlendMode& m, uint32_t* dst, const uint32_t* src, int n)
{
    AlphaBlendSpanSse2(dst, src, n, m.hasAlpha ? 0u : 0xFF000000u);
}

__attribute__((target("avx2"))) void AlphaBlendSpanAvx2Fn(const BlendMode& m, uint32_t* dst,
                                                          const uint32_t* src, int n)
{
    AlphaBlendSpanAvx2(dst, src, n, m.hasAlpha ? 0u : 0xFF000000u);
}

void AddSatSpan(const BlendMode& m, uint32_t* dst, const uint32_t* src, int n)
{
    // (s * 255 + d * 255 + 127) / 255 is exactly s + d; the clamp makes it a saturated add.
    const __m128i forceV = _mm_set1_epi32(static_cast<int>(m.hasAlpha ? 0u : 0xFF000000u));
    int i = 0;
    for (; i + 4 <= n; i += 4)
    {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(_mm_adds_epu8(s, d), forceV));
    }
    for (; i < n; ++i)
        dst[i] = BlendPixel(m, src[i], dst[i]);
}

void GenericSpan(const BlendMode& m, uint32_t* dst, const uint32_t* src, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = BlendPixel(m, src[i], dst[i]);
}

// Rows of n source pixels, one under the other, onto as many target rows: a sprite drawn one
// texel per pixel. One call for the whole rectangle keeps the per-row work to the blending.
struct RectSpans
{
    uint32_t* dst;
    size_t dstPitch;
    const uint32_t* src;
    size_t srcPitch;
    int n;
    int rows;
    bool prefetch; // the blend reads the target: ask for its rows a little ahead
};
using RectFn = void (*)(const BlendMode& m, const RectSpans& r);

// Blending reads the target, whose rows a sprite visits one after another, a screen's width
// apart: the hardware does not guess that, so the rows a little ahead are asked for early.
constexpr int kPrefetchRows = 2;
constexpr int kPrefetchWidth = 16;

inline void PrefetchSpan(const uint32_t* pixels, int n)
{
    const char* bytes = reinterpret_cast<const char*>(pixels);
    for (int b = 0; b < n * 4; b += 64)
        _mm_prefetch(bytes + b, _MM_HINT_T0);
    _mm_prefetch(bytes + n * 4 - 1, _MM_HINT_T0);
}

template <SpanFn Span>
void RectOf(const BlendMode& m, const RectSpans& r)
{
    for (int y = 0; y < r.rows; ++y)
    {
        if (r.prefetch && y + kPrefetchRows < r.rows)
            PrefetchSpan(r.dst + (y + kPrefetchRows) * r.dstPitch, r.n);
        Span(m, r.dst + y * r.dstPitch, r.src + y * r.srcPitch, r.n);
    }
}

__attribute__((target("avx2"))) void AlphaBlendRectAvx2(const BlendMode& m, const RectSpans& r)
{
    const uint32_t force = m.hasAlpha ? 0u : 0xFF000000u;
    int y = 0;
    // Rows of 8k + 4 pixels (a glyph is 12 wide): the last four of two rows are blended as one
    // group of eight.
    const int body = r.n & ~7;
    if (r.n - body == 4)
        for (; y + 2 <= r.rows; y += 2)
        {
            uint32_t* d0 = r.dst + y * r.dstPitch;
            uint32_t* d1 = d0 + r.dstPitch;
            const uint32_t* s0 = r.src + y * r.srcPitch;
            const uint32_t* s1 = s0 + r.srcPitch;
            if (r.prefetch && y + kPrefetchRows + 1 < r.rows)
            {
                PrefetchSpan(d0 + kPrefetchRows * r.dstPitch, r.n);
                PrefetchSpan(d1 + kPrefetchRows * r.dstPitch, r.n);
            }
            for (int i = 0; i < body; i += 8)
            {
                AlphaBlendGroup8Avx2(d0 + i, d0 + i + 4, s0 + i, s0 + i + 4, force);
                AlphaBlendGroup8Avx2(d1 + i, d1 + i + 4, s1 + i, s1 + i + 4, force);
            }
            AlphaBlendGroup8Avx2(d0 + body, d1 + body, s0 + body, s1 + body, force);
        }
    for (; y < r.rows; ++y)
    {
        if (r.prefetch && y + kPrefetchRows < r.rows)
            PrefetchSpan(r.dst + (y + kPrefetchRows) * r.dstPitch, r.n);
        AlphaBlendSpanAvx2(r.dst + y * r.dstPitch, r.src + y * r.srcPitch, r.n, force);
    }
}

RectFn SelectRect(const BlendMode& m)
{
    switch (m.kind)
    {
    case BlendKind::Copy:
        return m.hasAlpha ? RectOf<CopySpan> : RectOf<CopyOpaqueSpan>;
    case BlendKind::AlphaBlend:
        return m.avx2 ? AlphaBlendRectAvx2 : RectOf<AlphaBlendSpanSse2Fn>;
    case BlendKind::AddSat:
        return RectOf<AddSatSpan>;
    default:
        return RectOf<GenericSpan>;
    }
}

SpanFn SelectSpan(const BlendMode& m)
{
    switch (m.kind)
    {
    case BlendKind::Copy:
        return m.hasAlpha ? CopySpan : CopyOpaqueSpan;
    case BlendKind::AlphaBlend:
        return m.avx2 ? AlphaBlendSpanAvx2Fn : AlphaBlendSpanSse2Fn;
    case BlendKind::AddSat:
        return AddSatSpan;
    default:
        return GenericSpan;
    }
}

// ---- Texture stage 0 ---------------------------------------------------------------------------

struct Stage
{
    DWORD colorOp;
    DWORD colorArg1;
    DWORD colorArg2;
    DWORD alphaOp;
    DWORD alphaArg1;
    DWORD alphaArg2;

    bool operator==(const Stage&) const = default;
};

// The argument modifiers (complement, alpha replicate) are not offered by this device: only the
// selector bits count. On stage 0 the current colour is the diffuse colour; selectors this
// device does not know read the diffuse colour as well.
inline bool ArgIsTexture(DWORD arg)
{
    return (arg & 0xFu) == D3DTA_TEXTURE;
}

inline uint32_t ArgValue(DWORD arg, uint32_t tex, uint32_t dif)
{
    return ArgIsTexture(arg) ? tex : dif;
}

inline uint32_t ApplyOp(DWORD op, DWORD arg1, DWORD arg2, uint32_t tex, uint32_t dif)
{
    switch (op)
    {
    case D3DTOP_SELECTARG1:
        return ArgValue(arg1, tex, dif);
    case D3DTOP_SELECTARG2:
        return ArgValue(arg2, tex, dif);
    case D3DTOP_MODULATE:
        return Modulate(ArgValue(arg1, tex, dif), ArgValue(arg2, tex, dif));
    default: // disable and the operations this device does not offer pass the current colour on
        return dif;
    }
}

// The colour stage 0 produces from a texel (white when no texture is set) and the diffuse colour.
inline uint32_t CombinePixel(const Stage& st, uint32_t tex, uint32_t dif)
{
    // A disabled colour stage disables the whole stage: diffuse colour and alpha pass through.
    if (st.colorOp == D3DTOP_DISABLE)
        return dif;
    uint32_t c = ApplyOp(st.colorOp, st.colorArg1, st.colorArg2, tex, dif);
    uint32_t a = ApplyOp(st.alphaOp, st.alphaArg1, st.alphaArg2, tex, dif);
    return (c & 0x00FFFFFFu) | (a & 0xFF000000u);
}

// Whether one component of the stage hands the texel through unchanged for a constant diffuse
// colour (`mask` selects the channels of the component).
bool PassesTexel(DWORD op, DWORD arg1, DWORD arg2, uint32_t dif, bool difConst, uint32_t mask)
{
    switch (op)
    {
    case D3DTOP_SELECTARG1:
        return ArgIsTexture(arg1);
    case D3DTOP_SELECTARG2:
        return ArgIsTexture(arg2);
    case D3DTOP_MODULATE:
        if (ArgIsTexture(arg1) == ArgIsTexture(arg2))
            return false;
        // Modulating by 255 is exact: (t * 255 + 127) / 255 == t.
        return difConst && (dif & mask) == mask;
    default:
        return false;
    }
}

bool UsesTexture(DWORD op, DWORD arg1, DWORD arg2)
{
    switch (op)
    {
    case D3DTOP_SELECTARG1:
        return ArgIsTexture(arg1);
    case D3DTOP_SELECTARG2:
        return ArgIsTexture(arg2);
    case D3DTOP_MODULATE:
        return ArgIsTexture(arg1) || ArgIsTexture(arg2);
    default:
        return false;
    }
}

enum class SourceKind
{
    Texel,    // the source colour is the sampled texel
    Constant, // the same source colour everywhere
    Combined, // texel and diffuse combined per pixel
};

SourceKind ClassifySource(const Stage& st, bool hasTexture, bool difConst, uint32_t dif)
{
    bool texUsed = st.colorOp != D3DTOP_DISABLE && (UsesTexture(st.colorOp, st.colorArg1, st.colorArg2) ||
                                                    UsesTexture(st.alphaOp, st.alphaArg1, st.alphaArg2));
    if (difConst && (!hasTexture || !texUsed))
        return SourceKind::Constant;
    if (hasTexture && st.colorOp != D3DTOP_DISABLE &&
        PassesTexel(st.colorOp, st.colorArg1, st.colorArg2, dif, difConst, 0x00FFFFFFu) &&
        PassesTexel(st.alphaOp, st.alphaArg1, st.alphaArg2, dif, difConst, 0xFF000000u))
        return SourceKind::Texel;
    return SourceKind::Combined;
}

// The stage's result for a constant diffuse colour, channel by channel. Every operation the
// stage offers (select, modulate) works on each channel alone, so channel k of the result depends
// on channel k of the texel only: four tables of 256 give it exactly, with no per-pixel decisions.
// Text drawn in a colour is the common case (every glyph texel modulated by the text colour).
struct CombineTable
{
    bool valid = false;
    Stage stage{};
    uint32_t colour = 0;
    uint8_t channel[4][256];

    bool Holds(const Stage& st, uint32_t dif) const { return valid && dif == colour && st == stage; }

    void Make(const Stage& st, uint32_t dif)
    {
        for (uint32_t v = 0; v < 256; ++v)
        {
            uint32_t out = CombinePixel(st, v * 0x01010101u, dif);
            for (int k = 0; k < 4; ++k)
                channel[k][v] = static_cast<uint8_t>(Channel(out, k));
        }
        valid = true;
        stage = st;
        colour = dif;
    }

    uint32_t Apply(uint32_t texel) const
    {
        return static_cast<uint32_t>(channel[0][texel & 0xFFu]) |
               static_cast<uint32_t>(channel[1][(texel >> 8) & 0xFFu]) << 8 |
               static_cast<uint32_t>(channel[2][(texel >> 16) & 0xFFu]) << 16 |
               static_cast<uint32_t>(channel[3][texel >> 24]) << 24;
    }
};

// Kept across draw calls: the text of a frame comes in many draws of a few colours.
const CombineTable& CombineTableFor(const Stage& st, uint32_t dif)
{
    thread_local CombineTable table;
    if (!table.Holds(st, dif))
        table.Make(st, dif);
    return table;
}

// ---- Drawing context ---------------------------------------------------------------------------

// Texel indices floor((base + grad * (start + i)) * size), addressed, for i = 0 ... count - 1.
// The quads of one draw call usually share their texture mapping and integral positions, so
// the last table is kept and reused when all of its inputs are the same.
struct IndexTable
{
    bool valid = false;
    double base = 0;
    double grad = 0;
    double start = 0;
    int count = 0;
    int size = 0;
    DWORD mode = 0;
    bool consecutive = false; // index i is first + i; `index` is then not filled in
    int first = 0;
    std::vector<int> index;

    void Make(double b, double g, double s, int n, int sz, DWORD m);
    bool RunsOn(double b, double g, double s, int n, int sz, DWORD m);
    int At(int i) const { return consecutive ? first + i : index[static_cast<size_t>(i)]; }
};

// About one texel per pixel, the common case, needs no table. The engine maps a picture's
// edges onto its outer texels (u = x / (size - 1)), so the step k = grad * size is a little above
// 1, and the last index may come out one beyond the others' run (where addressing takes it back).
//
// Let v(i) be the computed (b + g (s + i)) size. Over indices whose values lie in [0, 2^24], each
// is within 2^-25 of its exact value, and exact values step by k. So:
// - with k >= 1 + 2^-20 (and below 2), every computed step is above 1 and the floors rise by at
//   least 1 each; if the first n - 1 of them rise by exactly n - 2 in all, they are
//   floor(v(0)) + i;
// - with |k - 1| <= 2^-40, the exact values run v(0) + i (1 + e), |e| < 2^-40, so if v(0) lies at
//   least 2^-20 from an integer, none of the first 2^19 floors departs from floor(v(0)) + i.
// The last index is then computed and addressed as the loop would.
bool IndexTable::RunsOn(double b, double g, double s, int n, int sz, DWORD m)
{
    if (n < 2 || n > (1 << 19) || sz > (1 << 24))
        return false;
    auto raw = [&](int i) { return FloorToInt((b + g * (s + i)) * sz); };
    const int first0 = raw(0);
    if (first0 < 0 || first0 + n - 2 >= sz)
        return false;
    const double k = g * sz;
    bool prefix = false;
    if (k >= 1.0 + 0x1p-20 && k < 2.0)
    {
        prefix = raw(n - 2) == first0 + n - 2;
    }
    else if (std::fabs(k - 1.0) <= 0x1p-40)
    {
        const double v0 = (b + g * (s + 0)) * sz;
        const double below = v0 - std::floor(v0);
        prefix = below >= 0x1p-20 && 1.0 - below >= 0x1p-20;
    }
    if (!prefix || AddressTexel(raw(n - 1), sz, m) != first0 + n - 1)
        return false;
    consecutive = true;
    first = first0;
    return true;
}

void IndexTable::Make(double b, double g, double s, int n, int sz, DWORD m)
{
    if (valid && base == b && grad == g && start == s && count == n && size == sz && mode == m)
        return;
    valid = true;
    base = b;
    grad = g;
    start = s;
    count = n;
    size = sz;
    mode = m;
    if (RunsOn(b, g, s, n, sz, m))
        return;
    index.resize(static_cast<size_t>(n));
    consecutive = true;
    for (int i = 0; i < n; ++i)
    {
        // start + i is exact: both are multiples of 1/256 far below 2^44.
        int ix = AddressTexel(FloorToInt((b + g * (s + i)) * sz), sz, m);
        index[static_cast<size_t>(i)] = ix;
        consecutive = consecutive && ix == index[0] + i;
    }
    first = index.empty() ? 0 : index[0];
}

struct Context
{
    const D3D8RasterTarget* target;
    const D3D8RasterTexture* texture; // null when none is set or it is unusable
    Box clip;
    BlendMode blend;
    SpanFn span;
    RectFn rect;
    Stage stage;
    DWORD cullMode;
    DWORD addressU;
    DWORD addressV;
    DWORD magFilter;
    DWORD minFilter;
    bool fastPath;
    // The source kind of the last quad planned, for its colour.
    bool lastKindValid = false;
    uint32_t lastKindColour = 0;
    SourceKind lastKind = SourceKind::Combined;
    IndexTable columns; // the quad fast path's texel column per target column
    IndexTable rows;    // and texel row per target row
};

bool UsableTarget(const D3D8RasterTarget& t)
{
    return t.pixels != nullptr && t.width > 0 && t.height > 0 && t.pitch >= t.width && t.width <= (1 << 20) &&
           t.height <= (1 << 20);
}

bool UsableTexture(const D3D8RasterTexture* t)
{
    return t != nullptr && t->pixels != nullptr && t->width > 0 && t->height > 0 && t->pitch >= t->width &&
           t->width <= (1 << 24) && t->height <= (1 << 24);
}

void InitContext(Context& c, const D3D8RasterTarget& target, const D3D8RasterState& state)
{
    c.target = &target;
    c.texture = UsableTexture(state.texture) ? state.texture : nullptr;
    c.clip.left = static_cast<int>(std::max<LONG>(state.clip.left, 0));
    c.clip.top = static_cast<int>(std::max<LONG>(state.clip.top, 0));
    c.clip.right = static_cast<int>(std::min<LONG>(state.clip.right, target.width));
    c.clip.bottom = static_cast<int>(std::min<LONG>(state.clip.bottom, target.height));
    c.blend = MakeBlendMode(state, target.hasAlpha);
    c.span = SelectSpan(c.blend);
    c.rect = SelectRect(c.blend);
    c.stage = Stage{state.colorOp, state.colorArg1, state.colorArg2,
                    state.alphaOp, state.alphaArg1, state.alphaArg2};
    c.cullMode = state.cullMode;
    c.addressU = state.addressU;
    c.addressV = state.addressV;
    c.magFilter = state.magFilter;
    c.minFilter = state.minFilter;
    c.fastPath = state.fastPath;
}

// Checks a draw call's arguments and sets up its context; false when there is nothing to draw.
bool BeginDraw(Context& c, const D3D8RasterTarget& target, const D3D8RasterState& state,
               const D3D8RasterVertex* vertices, const uint16_t* indices, int count)
{
    if (vertices == nullptr || indices == nullptr || count <= 0 || !UsableTarget(target))
        return false;
    InitContext(c, target, state);
    return !c.clip.Empty();
}

inline uint32_t SamplePoint(const D3D8RasterTexture& t, const Context& c, double u, double v)
{
    int ix = AddressTexel(FloorToInt(u * t.width), t.width, c.addressU);
    int iy = AddressTexel(FloorToInt(v * t.height), t.height, c.addressV);
    return t.pixels[static_cast<size_t>(iy) * static_cast<size_t>(t.pitch) + static_cast<size_t>(ix)];
}

// FloorToInt and clamped addressing of four coordinates.
__attribute__((target("avx2"))) inline __m128i FloorClamped4(__m256d x, __m128i maxIndex)
{
    // max first: a NaN lane takes the lower limit, as FloorToInt does.
    x = _mm256_min_pd(_mm256_max_pd(x, _mm256_set1_pd(-kTexelLimit)), _mm256_set1_pd(kTexelLimit));
    __m128i i = _mm256_cvttpd_epi32(x);
    __m256d above = _mm256_cmp_pd(_mm256_cvtepi32_pd(i), x, _CMP_GT_OQ);
    i = _mm_sub_epi32(i, _mm256_cvttpd_epi32(_mm256_and_pd(above, _mm256_set1_pd(1.0))));
    return _mm_min_epi32(_mm_max_epi32(i, _mm_setzero_si128()), maxIndex);
}

// Point samples along a span with clamped addressing, four pixels at a time, with the same
// double arithmetic as the scalar loop (no fused multiply-add in this function). Returns how
// many pixels it did; the caller finishes the rest.
__attribute__((target("avx2"))) int PointSpanClampAvx2(const D3D8RasterTexture& t, double ru, double rv,
                                                       double gu, double gv, double d, int n, uint32_t* out)
{
    const __m256d w = _mm256_set1_pd(t.width);
    const __m256d h = _mm256_set1_pd(t.height);
    const __m256d four = _mm256_set1_pd(4.0);
    const __m256d vru = _mm256_set1_pd(ru);
    const __m256d vrv = _mm256_set1_pd(rv);
    const __m256d vgu = _mm256_set1_pd(gu);
    const __m256d vgv = _mm256_set1_pd(gv);
    const __m128i maxX = _mm_set1_epi32(t.width - 1);
    const __m128i maxY = _mm_set1_epi32(t.height - 1);
    const __m128i pitch = _mm_set1_epi32(t.pitch);
    __m256d dv = _mm256_add_pd(_mm256_set1_pd(d), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
    int i = 0;
    for (; i + 4 <= n; i += 4, dv = _mm256_add_pd(dv, four))
    {
        __m128i ix = FloorClamped4(_mm256_mul_pd(_mm256_add_pd(vru, _mm256_mul_pd(vgu, dv)), w), maxX);
        __m128i iy = FloorClamped4(_mm256_mul_pd(_mm256_add_pd(vrv, _mm256_mul_pd(vgv, dv)), h), maxY);
        __m128i index = _mm_add_epi32(_mm_mullo_epi32(iy, pitch), ix);
        __m128i texels = _mm_i32gather_epi32(reinterpret_cast<const int*>(t.pixels), index, 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), texels);
    }
    return i;
}

// Splits a texel-space coordinate into the lower texel and a weight in 1/256 steps (0 ... 256).
inline void LinearTap(double t, int& index, uint32_t& weight)
{
    t = PinTexelCoordinate(t);
    double f = std::floor(t);
    index = static_cast<int>(f);
    weight = static_cast<uint32_t>((t - f) * 256.0 + 0.5);
}

inline uint32_t SampleLinear(const D3D8RasterTexture& t, const Context& c, double u, double v)
{
    int x0;
    int y0;
    uint32_t wx;
    uint32_t wy;
    LinearTap(u * t.width - 0.5, x0, wx);
    LinearTap(v * t.height - 0.5, y0, wy);
    int xa = AddressTexel(x0, t.width, c.addressU);
    int xb = AddressTexel(x0 + 1, t.width, c.addressU);
    const uint32_t* rowA = t.pixels + static_cast<size_t>(AddressTexel(y0, t.height, c.addressV)) * t.pitch;
    const uint32_t* rowB =
        t.pixels + static_cast<size_t>(AddressTexel(y0 + 1, t.height, c.addressV)) * t.pitch;
    uint32_t t00 = rowA[xa];
    uint32_t t10 = rowA[xb];
    uint32_t t01 = rowB[xa];
    uint32_t t11 = rowB[xb];
    uint32_t w00 = (256 - wx) * (256 - wy);
    uint32_t w10 = wx * (256 - wy);
    uint32_t w01 = (256 - wx) * wy;
    uint32_t w11 = wx * wy;
    uint32_t r = 0;
    for (int ch = 0; ch < 4; ++ch)
    {
        uint32_t sum =
            Channel(t00, ch) * w00 + Channel(t10, ch) * w10 + Channel(t01, ch) * w01 + Channel(t11, ch) * w11;
        r |= ((sum + 32768u) >> 16) << (ch * 8);
    }
    return r;
}

// ---- Triangle setup ------------------------------------------------------------------------------

struct Vert
{
    double x;
    double y;
    double a[kAttrCount];
};

Vert ToVert(const D3D8RasterVertex& v)
{
    Vert r;
    r.x = v.x;
    r.y = v.y;
    r.a[kU] = v.u;
    r.a[kV] = v.v;
    for (int ch = 0; ch < 4; ++ch)
        r.a[kB + ch] = Channel(v.diffuse, ch);
    return r;
}

struct Edge
{
    int64_t ax;
    int64_t ay;
    int64_t dx;
    int64_t dy;
    int64_t bias; // 1 on top and left edges: a centre exactly on them is inside
};

struct Setup
{
    bool swapped; // the vertices were counter-clockwise and were reordered
    int64_t X[3];
    int64_t Y[3];
    Edge edges[3];
    int rowFirst;
    int rowEnd;
    double refX;
    double refY;
    double a0[kAttrCount];
    double gx[kAttrCount];
    double gy[kAttrCount];
    bool constColour;
    uint32_t colour; // the diffuse colour when constant
    bool linear;
};

bool InsideGuardBand(double x, double y)
{
    return std::fabs(x) <= kGuardBand && std::fabs(y) <= kGuardBand;
}

// numerator / area * 256. A zero numerator (an attribute constant along one axis, as u along
// y on a sprite) gives that zero, sign included, without the division.
inline double Gradient(double numerator, double areaD)
{
    return numerator == 0.0 ? numerator : numerator / areaD * static_cast<double>(kSubpixels);
}

// The attribute planes of a triangle through vertex 0, from its snapped positions (going
// clockwise on the screen, area > 0), and whether it samples with linear filtering.
// `sameColour`: the three vertices have one diffuse colour, whose planes are then flat (the
// formulas give exactly +0 gradients for zero differences, so they are not evaluated).
void SetupPlanes(const Context& c, const Vert& v0, const Vert& v1, const Vert& v2, int64_t X0, int64_t Y0,
                 int64_t X1, int64_t Y1, int64_t X2, int64_t Y2, int64_t area, Setup& s,
                 bool sameColour = false)
{
    s.refX = static_cast<double>(X0) / kSubpixels;
    s.refY = static_cast<double>(Y0) / kSubpixels;
    double dX1 = static_cast<double>(X1 - X0);
    double dY1 = static_cast<double>(Y1 - Y0);
    double dX2 = static_cast<double>(X2 - X0);
    double dY2 = static_cast<double>(Y2 - Y0);
    double areaD = static_cast<double>(area);
    const int planes = sameColour ? kB : kAttrCount;
    for (int k = planes; k < kAttrCount; ++k)
    {
        s.a0[k] = v0.a[k];
        s.gx[k] = 0.0;
        s.gy[k] = 0.0;
    }
    for (int k = 0; k < planes; ++k)
    {
        double a0 = v0.a[k];
        double d1 = v1.a[k] - a0;
        double d2 = v2.a[k] - a0;
        s.a0[k] = a0;
        s.gx[k] = Gradient(d1 * dY2 - d2 * dY1, areaD);
        s.gy[k] = Gradient(d2 * dX1 - d1 * dX2, areaD);
        if (!std::isfinite(s.gx[k]) || !std::isfinite(s.gy[k]))
        {
            s.gx[k] = 0.0;
            s.gy[k] = 0.0;
        }
    }
    s.constColour = true;
    for (int k = kB; k <= kA; ++k)
        s.constColour = s.constColour && s.gx[k] == 0.0 && s.gy[k] == 0.0;
    s.colour = 0;
    for (int ch = 0; ch < 4; ++ch)
        s.colour |= static_cast<uint32_t>(s.a0[kB + ch]) << (ch * 8);

    s.linear = false;
    if (c.texture != nullptr)
    {
        // Texels per pixel: more than one is minification.
        double w = c.texture->width;
        double h = c.texture->height;
        double footprint = std::fabs(s.gx[kU] * w * s.gy[kV] * h - s.gy[kU] * w * s.gx[kV] * h);
        DWORD filter = footprint > 1.0 ? c.minFilter : c.magFilter;
        s.linear = filter >= D3DTEXF_LINEAR;
    }
}

// Prepares a triangle whose vertices lie within the guard band. False: nothing to draw (culled
// or zero area after snapping).
bool SetupTriangle(const Context& c, const Vert& v0, const Vert& v1In, const Vert& v2In, Setup& s)
{
    const Vert* v1 = &v1In;
    const Vert* v2 = &v2In;
    int64_t X0 = std::llrint(v0.x * kSubpixels);
    int64_t Y0 = std::llrint(v0.y * kSubpixels);
    int64_t X1 = std::llrint(v1->x * kSubpixels);
    int64_t Y1 = std::llrint(v1->y * kSubpixels);
    int64_t X2 = std::llrint(v2->x * kSubpixels);
    int64_t Y2 = std::llrint(v2->y * kSubpixels);
    int64_t area = (X1 - X0) * (Y2 - Y0) - (X2 - X0) * (Y1 - Y0);
    if (area == 0)
        return false;
    // With y pointing down, a positive area means the vertices go clockwise on the screen.
    if ((c.cullMode == D3DCULL_CCW && area < 0) || (c.cullMode == D3DCULL_CW && area > 0))
        return false;
    s.swapped = area < 0;
    if (s.swapped)
    {
        std::swap(v1, v2);
        std::swap(X1, X2);
        std::swap(Y1, Y2);
        area = -area;
    }
    s.X[0] = X0;
    s.X[1] = X1;
    s.X[2] = X2;
    s.Y[0] = Y0;
    s.Y[1] = Y1;
    s.Y[2] = Y2;
    for (int e = 0; e < 3; ++e)
    {
        int b = (e + 1) % 3;
        Edge& edge = s.edges[e];
        edge.ax = s.X[e];
        edge.ay = s.Y[e];
        edge.dx = s.X[b] - s.X[e];
        edge.dy = s.Y[b] - s.Y[e];
        // Clockwise on the screen, the inside lies to the right of each edge when walking it: a
        // top edge runs rightwards along a row, a left edge runs upwards.
        bool topLeft = edge.dy < 0 || (edge.dy == 0 && edge.dx > 0);
        edge.bias = topLeft ? 1 : 0;
    }
    int64_t minY = std::min({Y0, Y1, Y2});
    int64_t maxY = std::max({Y0, Y1, Y2});
    s.rowFirst = static_cast<int>(CeilPixel(minY));
    s.rowEnd = static_cast<int>(FloorPixel(maxY) + 1);

    SetupPlanes(c, v0, *v1, *v2, X0, Y0, X1, Y1, X2, Y2, area, s);
    return true;
}

// The value of an attribute plane at a pixel centre; both paths use exactly this arithmetic.
inline double RowBase(const Setup& s, int k, int py)
{
    return s.a0[k] + s.gy[k] * (static_cast<double>(py) - s.refY);
}

inline double AtColumn(const Setup& s, int k, double rowBase, int px)
{
    return rowBase + s.gx[k] * (static_cast<double>(px) - s.refX);
}

inline uint32_t ColourAt(const Setup& s, const double* rowBase, int px)
{
    uint32_t r = 0;
    for (int ch = 0; ch < 4; ++ch)
    {
        double value = AtColumn(s, kB + ch, rowBase[ch], px);
        int q = FloorToInt(value + 0.5);
        r |= static_cast<uint32_t>(std::clamp(q, 0, 255)) << (ch * 8);
    }
    return r;
}

// Fills `out` with the source colours of n pixels of row py starting at column px.
void ShadeSpan(const Context& c, const Setup& s, SourceKind kind, uint32_t constant, int py, int px, int n,
               uint32_t* out)
{
    if (kind == SourceKind::Constant)
    {
        std::fill(out, out + n, constant);
        return;
    }
    const D3D8RasterTexture* tex = c.texture;
    double ru = RowBase(s, kU, py);
    double rv = RowBase(s, kV, py);
    double rc[4];
    for (int ch = 0; ch < 4; ++ch)
        rc[ch] = RowBase(s, kB + ch, py);
    if (kind == SourceKind::Texel && !s.linear)
    {
        // The common case of rotated or skewed sprites. px - refX is stepped by one, which is
        // exact, so the coordinates are those of AtColumn.
        const double w = tex->width;
        const double h = tex->height;
        const double gu = s.gx[kU];
        const double gv = s.gx[kV];
        double d = static_cast<double>(px) - s.refX;
        int i = 0;
        if (c.blend.avx2 && c.addressU == D3DTADDRESS_CLAMP && c.addressV == D3DTADDRESS_CLAMP &&
            static_cast<int64_t>(tex->pitch) * tex->height < (int64_t(1) << 31))
        {
            i = PointSpanClampAvx2(*tex, ru, rv, gu, gv, d, n, out);
            d += i;
        }
        for (; i < n; ++i, d += 1.0)
        {
            int ix = AddressTexel(FloorToInt((ru + gu * d) * w), tex->width, c.addressU);
            int iy = AddressTexel(FloorToInt((rv + gv * d) * h), tex->height, c.addressV);
            out[i] = tex->pixels[static_cast<size_t>(iy) * static_cast<size_t>(tex->pitch) +
                                 static_cast<size_t>(ix)];
        }
        return;
    }
    for (int i = 0; i < n; ++i)
    {
        int x = px + i;
        uint32_t texel = 0xFFFFFFFFu;
        if (tex != nullptr)
        {
            double u = AtColumn(s, kU, ru, x);
            double v = AtColumn(s, kV, rv, x);
            texel = s.linear ? SampleLinear(*tex, c, u, v) : SamplePoint(*tex, c, u, v);
        }
        if (kind == SourceKind::Texel)
        {
            out[i] = texel;
            continue;
        }
        uint32_t dif = s.constColour ? s.colour : ColourAt(s, rc, x);
        out[i] = CombinePixel(c.stage, texel, dif);
    }
}

// The covered columns [xl, xr) of row py, already clipped.
inline void RowSpan(const Context& c, const Setup& s, int py, int& xlOut, int& xrOut)
{
    int64_t xl = c.clip.left;
    int64_t xr = c.clip.right;
    int64_t Py = static_cast<int64_t>(py) * kSubpixels;
    for (const Edge& e : s.edges)
    {
        // Inside: dx (Py - ay) - dy (Px - ax) + bias > 0, with Px = px * 256.
        int64_t C = e.dx * (Py - e.ay) + e.dy * e.ax + e.bias;
        int64_t k = e.dy * kSubpixels;
        if (k == 0)
        {
            if (C <= 0)
            {
                xr = xl;
                break;
            }
        }
        else if (k < 0)
        {
            xl = std::max(xl, FloorDiv(-C, -k) + 1);
        }
        else
        {
            xr = std::min(xr, CeilDiv(C, k));
        }
    }
    xlOut = static_cast<int>(xl);
    xrOut = static_cast<int>(std::max(xl, xr));
}

void DrawSetup(const Context& c, const Setup& s)
{
    int y0 = std::max(c.clip.top, s.rowFirst);
    int y1 = std::min(c.clip.bottom, s.rowEnd);
    if (y0 >= y1)
        return;
    SourceKind kind = ClassifySource(c.stage, c.texture != nullptr, s.constColour, s.colour);
    uint32_t constant = kind == SourceKind::Constant ? CombinePixel(c.stage, 0xFFFFFFFFu, s.colour) : 0;
    uint32_t buffer[kChunk];
    const D3D8RasterTarget& t = *c.target;
    for (int py = y0; py < y1; ++py)
    {
        int xl;
        int xr;
        RowSpan(c, s, py, xl, xr);
        uint32_t* row = t.pixels + static_cast<size_t>(py) * static_cast<size_t>(t.pitch);
        for (int x = xl; x < xr; x += kChunk)
        {
            int n = std::min(kChunk, xr - x);
            ShadeSpan(c, s, kind, constant, py, x, n, buffer);
            c.span(c.blend, row + x, buffer, n);
        }
    }
}

// Clips a polygon against one side of the guard band (axis 0: x, 1: y; sign: +1 keeps
// coordinate <= limit, -1 keeps coordinate >= -limit), interpolating every attribute.
int ClipPolygon(const Vert* in, int n, Vert* out, int axis, double sign)
{
    auto coord = [axis](const Vert& v) { return axis == 0 ? v.x : v.y; };
    int m = 0;
    for (int i = 0; i < n; ++i)
    {
        const Vert& a = in[i];
        const Vert& b = in[(i + 1) % n];
        double da = kGuardBand - sign * coord(a);
        double db = kGuardBand - sign * coord(b);
        if (da >= 0)
            out[m++] = a;
        if ((da >= 0) != (db >= 0))
        {
            double t = da / (da - db);
            Vert& r = out[m++];
            r.x = a.x + (b.x - a.x) * t;
            r.y = a.y + (b.y - a.y) * t;
            for (int k = 0; k < kAttrCount; ++k)
                r.a[k] = a.a[k] + (b.a[k] - a.a[k]) * t;
            // Land exactly on the band so that rounding cannot leave it.
            if (axis == 0)
                r.x = sign * kGuardBand;
            else
                r.y = sign * kGuardBand;
        }
    }
    return m;
}

void DrawTriangle(const Context& c, const Vert& v0, const Vert& v1, const Vert& v2)
{
    if (InsideGuardBand(v0.x, v0.y) && InsideGuardBand(v1.x, v1.y) && InsideGuardBand(v2.x, v2.y))
    {
        Setup s;
        if (SetupTriangle(c, v0, v1, v2, s))
            DrawSetup(c, s);
        return;
    }
    // A triangle reaching far outside: decide culling on the whole triangle, then clip it to
    // the guard band and draw the pieces as a fan. Pieces that snapping turns around are
    // slivers of rounding and are dropped.
    double area = (v1.x - v0.x) * (v2.y - v0.y) - (v2.x - v0.x) * (v1.y - v0.y);
    if (!(area != 0.0) || !std::isfinite(area))
        return;
    if ((c.cullMode == D3DCULL_CCW && area < 0) || (c.cullMode == D3DCULL_CW && area > 0))
        return;
    Vert bufA[9];
    Vert bufB[9];
    bufA[0] = v0;
    bufA[1] = v1;
    bufA[2] = v2;
    int n = 3;
    n = ClipPolygon(bufA, n, bufB, 0, 1.0);
    n = ClipPolygon(bufB, n, bufA, 0, -1.0);
    n = ClipPolygon(bufA, n, bufB, 1, 1.0);
    n = ClipPolygon(bufB, n, bufA, 1, -1.0);
    Context pieces = c;
    pieces.cullMode = area > 0 ? DWORD(D3DCULL_CCW) : DWORD(D3DCULL_CW);
    for (int i = 1; i + 1 < n; ++i)
    {
        Setup s;
        if (SetupTriangle(pieces, bufA[0], bufA[i], bufA[i + 1], s))
            DrawSetup(pieces, s);
    }
}

bool FiniteVertex(const D3D8RasterVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// ---- Axis-aligned quads ----------------------------------------------------------------------

// An axis-aligned quad (tl, tr, br) + (tl, br, bl) ready to draw: the planes of its first
// triangle, which the second shares, and the pixels it covers.
struct QuadPlan
{
    Setup s;
    int x0;
    int x1;
    int y0;
    int y1;
    SourceKind kind;

    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// Plans the quad when it is an axis-aligned rectangle whose u depends on x only and v on y
// only, with one diffuse colour and point sampling; false leaves it to the triangle path.
//
// For such a quad the two triangles' planes are the same: with W and H the snapped width and
// height, the first triangle's differences are (W, 0) and (W, H), the second's (W, H) and
// (0, H), and the gradient formulas of SetupPlanes give both u_x = du H / (W H), v_y = dv W /
// (W H) and exactly zero for u_y, v_x and the colour, term by term in the same floating-point
// operations. So the planes of the first triangle alone are those of the quad.
bool PrepareQuad(Context& c, const D3D8RasterVertex& tl, const D3D8RasterVertex& tr,
                 const D3D8RasterVertex& br, const D3D8RasterVertex& bl, QuadPlan& q)
{
    if (!(tl.y == tr.y && tr.x == br.x && br.y == bl.y && bl.x == tl.x && tr.x > tl.x && bl.y > tl.y))
        return false;
    if (!(tl.u == bl.u && tr.u == br.u && tl.v == tr.v && br.v == bl.v))
        return false;
    if (tl.diffuse != tr.diffuse || tl.diffuse != br.diffuse || tl.diffuse != bl.diffuse)
        return false;
    // Both triangles go clockwise; a device culling clockwise triangles draws neither.
    if (c.cullMode == D3DCULL_CW || !InsideGuardBand(tl.x, tl.y) || !InsideGuardBand(br.x, br.y))
        return false;
    const int64_t X0 = std::llrint(tl.x * kSubpixels);
    const int64_t Y0 = std::llrint(tl.y * kSubpixels);
    const int64_t X1 = std::llrint(tr.x * kSubpixels);
    const int64_t Y2 = std::llrint(br.y * kSubpixels);
    const int64_t area = (X1 - X0) * (Y2 - Y0);
    if (area <= 0)
        return false;
    Setup& s = q.s;
    s.swapped = false;
    // Only u and v differ between the corners; the colour planes come from tl alone.
    Vert vtl;
    Vert vtr;
    Vert vbr;
    vtl.a[kU] = tl.u;
    vtl.a[kV] = tl.v;
    for (int ch = 0; ch < 4; ++ch)
        vtl.a[kB + ch] = Channel(tl.diffuse, ch);
    vtr.a[kU] = tr.u;
    vtr.a[kV] = tr.v;
    vbr.a[kU] = br.u;
    vbr.a[kV] = br.v;
    SetupPlanes(c, vtl, vtr, vbr, X0, Y0, X1, Y0, X1, Y2, area, s, true);
    if (s.linear || s.gy[kU] != 0.0 || s.gx[kV] != 0.0 || !s.constColour)
        return false;

    // The two triangles together cover exactly the centres with X0 <= 256 px < X1 and
    // Y0 <= 256 py < Y2: their top and left edges are in, their right and bottom edges out, and
    // the shared diagonal is a left edge of one and a right edge of the other.
    q.x0 = static_cast<int>(std::max<int64_t>(c.clip.left, CeilPixel(X0)));
    q.x1 = static_cast<int>(std::min<int64_t>(c.clip.right, CeilPixel(X1)));
    q.y0 = static_cast<int>(std::max<int64_t>(c.clip.top, CeilPixel(Y0)));
    q.y1 = static_cast<int>(std::min<int64_t>(c.clip.bottom, CeilPixel(Y2)));
    // The draw's quads mostly share one colour, and with it the kind of source.
    if (!c.lastKindValid || c.lastKindColour != s.colour)
    {
        c.lastKind = ClassifySource(c.stage, c.texture != nullptr, true, s.colour);
        c.lastKindColour = s.colour;
        c.lastKindValid = true;
    }
    q.kind = c.lastKind;
    return true;
}

// Draws a planned quad.
void DrawQuad(Context& c, const QuadPlan& q)
{
    if (q.Empty())
        return;
    const Setup& s = q.s;
    const int x0 = q.x0;
    const int n = q.x1 - q.x0;
    const D3D8RasterTarget& t = *c.target;
    const D3D8RasterTexture* tex = c.texture;
    uint32_t buffer[kChunk];
    if (q.kind == SourceKind::Constant)
    {
        uint32_t constant = CombinePixel(c.stage, 0xFFFFFFFFu, s.colour);
        std::fill(buffer, buffer + std::min(n, kChunk), constant);
        for (int py = q.y0; py < q.y1; ++py)
        {
            uint32_t* row = t.pixels + static_cast<size_t>(py) * static_cast<size_t>(t.pitch);
            for (int x = x0; x < q.x1; x += kChunk)
                c.span(c.blend, row + x, buffer, std::min(kChunk, q.x1 - x));
        }
        return;
    }

    // The texel column of every target column: AtColumn(s, kU, RowBase(s, kU, y0), px) with
    // px - refX written as (x0 - refX) + i, which is the same exact value. The texel row of every
    // target row: RowBase(s, kV, py); AtColumn adds dv/dx (px - refX) = +-0 to it, which cannot
    // change the floor.
    c.columns.Make(RowBase(s, kU, q.y0), s.gx[kU], static_cast<double>(x0) - s.refX, n, tex->width,
                   c.addressU);
    c.rows.Make(s.a0[kV], s.gy[kV], static_cast<double>(q.y0) - s.refY, q.y1 - q.y0, tex->height, c.addressV);
    const bool consecutive = c.columns.consecutive;
    // An opaque texture's texels replace the target under alpha blending.
    SpanFn span = q.kind == SourceKind::Texel && tex->opaque && c.blend.kind == BlendKind::AlphaBlend
                      ? CopySpan
                      : c.span;
    // A glyph's rows are shorter than a cache line: asking for them ahead costs more than it saves.
    const bool readsTarget = span != CopySpan && span != CopyOpaqueSpan && n >= kPrefetchWidth;
    const CombineTable* combine =
        q.kind == SourceKind::Combined ? &CombineTableFor(c.stage, s.colour) : nullptr;
    if (q.kind == SourceKind::Texel && consecutive && c.rows.consecutive)
    {
        const RectSpans r{t.pixels + static_cast<size_t>(q.y0) * static_cast<size_t>(t.pitch) + x0,
                          static_cast<size_t>(t.pitch),
                          tex->pixels + static_cast<size_t>(c.rows.first) * static_cast<size_t>(tex->pitch) +
                              c.columns.first,
                          static_cast<size_t>(tex->pitch),
                          n,
                          q.y1 - q.y0,
                          readsTarget};
        (span == c.span ? c.rect : RectOf<CopySpan>)(c.blend, r);
        return;
    }
    for (int py = q.y0; py < q.y1; ++py)
    {
        int iy = c.rows.At(py - q.y0);
        const uint32_t* texRow = tex->pixels + static_cast<size_t>(iy) * static_cast<size_t>(tex->pitch);
        uint32_t* row = t.pixels + static_cast<size_t>(py) * static_cast<size_t>(t.pitch) + x0;
        if (q.kind == SourceKind::Texel && consecutive)
        {
            if (readsTarget && py + kPrefetchRows < q.y1)
                PrefetchSpan(row + kPrefetchRows * static_cast<size_t>(t.pitch), n);
            span(c.blend, row, texRow + c.columns.first, n);
            continue;
        }
        for (int x = 0; x < n; x += kChunk)
        {
            int m = std::min(kChunk, n - x);
            if (q.kind == SourceKind::Texel)
            {
                for (int i = 0; i < m; ++i)
                    buffer[i] = texRow[c.columns.At(x + i)];
            }
            else if (consecutive)
            {
                const uint32_t* texels = texRow + c.columns.first + x;
                for (int i = 0; i < m; ++i)
                    buffer[i] = combine->Apply(texels[i]);
            }
            else
            {
                for (int i = 0; i < m; ++i)
                    buffer[i] = combine->Apply(texRow[c.columns.At(x + i)]);
            }
            span(c.blend, row + x, buffer, m);
        }
    }
}

// Whether triangles i and i + 1 of the list are the two halves of a quad as the engine sends
// them: (a, b, c), (a, c, d) with a, b, c, d going round the rectangle from its top-left corner.
inline bool QuadPair(const uint16_t* indices, int i, int count)
{
    const uint16_t* tri = indices + 3 * i;
    return i + 1 < count && tri[3] == tri[0] && tri[4] == tri[2];
}

} // namespace

void D3D8RasterTriangles(const D3D8RasterTarget& target, const D3D8RasterState& state,
                         const D3D8RasterVertex* vertices, const uint16_t* indices, int count)
{
    Context c;
    if (!BeginDraw(c, target, state, vertices, indices, count))
        return;
    QuadPlan quad;
    for (int i = 0; i < count; ++i)
    {
        const uint16_t* tri = indices + 3 * i;
        if (c.fastPath && QuadPair(indices, i, count) &&
            PrepareQuad(c, vertices[tri[0]], vertices[tri[1]], vertices[tri[2]], vertices[tri[5]], quad))
        {
            DrawQuad(c, quad);
            ++i;
            continue;
        }
        const D3D8RasterVertex& a = vertices[tri[0]];
        const D3D8RasterVertex& b = vertices[tri[1]];
        const D3D8RasterVertex& d = vertices[tri[2]];
        if (!FiniteVertex(a) || !FiniteVertex(b) || !FiniteVertex(d))
            continue;
        DrawTriangle(c, ToVert(a), ToVert(b), ToVert(d));
    }
}

D3D8RasterCover D3D8RasterFirstQuadCover(const D3D8RasterTarget& target, const D3D8RasterState& state,
                                         const D3D8RasterVertex* vertices, const uint16_t* indices, int count)
{
    // The triangle path draws the same pixels as the quad path, so the answer does not depend on
    // which of the two will draw.
    Context c;
    QuadPlan quad;
    if (!BeginDraw(c, target, state, vertices, indices, count) || !QuadPair(indices, 0, count) ||
        !PrepareQuad(c, vertices[indices[0]], vertices[indices[1]], vertices[indices[2]],
                     vertices[indices[5]], quad))
        return D3D8RasterCover::Partial;
    if (quad.x0 != 0 || quad.y0 != 0 || quad.x1 != target.width || quad.y1 != target.height)
        return D3D8RasterCover::Partial;
    switch (c.blend.kind)
    {
    case BlendKind::Copy:
        return D3D8RasterCover::Whole;
    case BlendKind::AlphaBlend:
        if (quad.kind == SourceKind::Texel)
            return D3D8RasterCover::WholeIfTextureOpaque;
        if (quad.kind == SourceKind::Constant &&
            (CombinePixel(c.stage, 0xFFFFFFFFu, quad.s.colour) >> 24) == 255)
            return D3D8RasterCover::Whole;
        return D3D8RasterCover::Partial;
    default:
        return D3D8RasterCover::Partial;
    }
}

namespace
{

// Rounds a line end to its pixel (centres at integers, halves upwards), limited so that the
// walk's products stay well inside 64 bits.
int64_t LinePixel(float value)
{
    double r = std::floor(static_cast<double>(value) + 0.5);
    return static_cast<int64_t>(std::clamp(r, -268435456.0, 268435456.0));
}

void DrawLine(const Context& c, const D3D8RasterVertex& a, const D3D8RasterVertex& b, bool lastPixel)
{
    if (!FiniteVertex(a) || !FiniteVertex(b))
        return;
    int64_t x0 = LinePixel(a.x);
    int64_t y0 = LinePixel(a.y);
    int64_t x1 = LinePixel(b.x);
    int64_t y1 = LinePixel(b.y);
    int64_t dx = x1 - x0;
    int64_t dy = y1 - y0;
    int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    int64_t last = lastPixel ? steps : steps - 1;
    if (last < 0)
        return;
    bool xMajor = std::llabs(dx) >= std::llabs(dy);
    int64_t m0 = xMajor ? x0 : y0;
    int64_t n0 = xMajor ? y0 : x0;
    int64_t sm = (xMajor ? dx : dy) < 0 ? -1 : 1;
    int64_t dn = xMajor ? dy : dx;
    int64_t sn = dn < 0 ? -1 : 1;
    dn = std::llabs(dn);
    int64_t mLo = xMajor ? c.clip.left : c.clip.top;
    int64_t mHi = (xMajor ? c.clip.right : c.clip.bottom) - 1;
    int64_t nLo = xMajor ? c.clip.top : c.clip.left;
    int64_t nHi = (xMajor ? c.clip.bottom : c.clip.right) - 1;
    // Only the steps whose major coordinate lies in the clip rectangle are walked.
    int64_t iLo = 0;
    int64_t iHi = last;
    if (sm > 0)
    {
        iLo = std::max(iLo, mLo - m0);
        iHi = std::min(iHi, mHi - m0);
    }
    else
    {
        iLo = std::max(iLo, m0 - mHi);
        iHi = std::min(iHi, m0 - mLo);
    }
    const D3D8RasterTarget& t = *c.target;
    for (int64_t i = iLo; i <= iHi; ++i)
    {
        // Bresenham's minor coordinate: i * dn / steps rounded, halves away from the start.
        int64_t minor = steps == 0 ? n0 : n0 + sn * FloorDiv(2 * i * dn + steps, 2 * steps);
        if (minor < nLo || minor > nHi)
            continue;
        int64_t major = m0 + sm * i;
        int64_t px = xMajor ? major : minor;
        int64_t py = xMajor ? minor : major;
        uint32_t dif = 0;
        for (int ch = 0; ch < 4; ++ch)
        {
            int64_t c0 = Channel(a.diffuse, ch);
            int64_t c1 = Channel(b.diffuse, ch);
            int64_t value = steps == 0 ? c0 : (c0 * (steps - i) + c1 * i + steps / 2) / steps;
            dif |= static_cast<uint32_t>(value) << (ch * 8);
        }
        // Lines take no texture: texture arguments read as white, as with no texture set.
        uint32_t src = CombinePixel(c.stage, 0xFFFFFFFFu, dif);
        uint32_t* dst =
            t.pixels + static_cast<size_t>(py) * static_cast<size_t>(t.pitch) + static_cast<size_t>(px);
        c.span(c.blend, dst, &src, 1);
    }
}

} // namespace

void D3D8RasterLines(const D3D8RasterTarget& target, const D3D8RasterState& state,
                     const D3D8RasterVertex* vertices, const uint16_t* indices, int count)
{
    Context c;
    if (!BeginDraw(c, target, state, vertices, indices, count))
        return;
    for (int i = 0; i < count; ++i)
        DrawLine(c, vertices[indices[2 * i]], vertices[indices[2 * i + 1]], state.lastPixel);
}

// ---- Choice of SIMD path ---------------------------------------------------------------------

namespace
{

bool CpuHasAvx2()
{
    static const bool has = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

D3D8RasterPath Resolve(D3D8RasterPath path)
{
    if (path == D3D8RasterPath::Sse2 || (path == D3D8RasterPath::Avx2 && CpuHasAvx2()))
        return path;
    return CpuHasAvx2() ? D3D8RasterPath::Avx2 : D3D8RasterPath::Sse2;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) {
                                                  return std::tolower(static_cast<unsigned char>(x)) ==
                                                         std::tolower(static_cast<unsigned char>(y));
                                              });
}

// Settled on first use, so that a program that never draws never looks at the variable, and a
// static constructor that draws still finds it initialised.
std::atomic<D3D8RasterPath>& ActivePath()
{
    static std::atomic<D3D8RasterPath> path{D3D8RasterPathFromName(std::getenv("KAVDOR_RASTER_PATH"))};
    return path;
}

} // namespace

bool D3D8RasterPathAvailable(D3D8RasterPath path)
{
    return path != D3D8RasterPath::Avx2 || CpuHasAvx2();
}

D3D8RasterPath D3D8SetRasterPath(D3D8RasterPath path)
{
    D3D8RasterPath effective = Resolve(path);
    ActivePath().store(effective, std::memory_order_relaxed);
    return effective;
}

D3D8RasterPath D3D8ActiveRasterPath()
{
    // Relaxed is enough: the value selects between paths that draw the same pixels, and it
    // guards no other data.
    return ActivePath().load(std::memory_order_relaxed);
}

D3D8RasterPath D3D8RasterPathFromName(const char* name)
{
    std::string_view text = name != nullptr ? name : "";
    D3D8RasterPath requested = D3D8RasterPath::Auto;
    bool known = true;
    if (SameLetters(text, "sse2"))
        requested = D3D8RasterPath::Sse2;
    else if (SameLetters(text, "avx2"))
        requested = D3D8RasterPath::Avx2;
    else
        known = text.empty() || SameLetters(text, "auto");
    D3D8RasterPath effective = Resolve(requested);
    // Someone who set the variable by hand learns that it did not do what they meant; the first
    // draw settles the choice, so a program says this once.
    if (!known)
        std::fprintf(
            stderr,
            "KAVDOR_RASTER_PATH: unknown value \"%s\" ignored (sse2, avx2 or auto); drawing with %s\n", name,
            D3D8RasterPathName(effective));
    else if (requested != D3D8RasterPath::Auto && effective != requested)
        std::fprintf(stderr, "KAVDOR_RASTER_PATH: this CPU cannot run %s; drawing with %s\n",
                     D3D8RasterPathName(requested), D3D8RasterPathName(effective));
    return effective;
}

const char* D3D8RasterPathName(D3D8RasterPath path)
{
    switch (path)
    {
    case D3D8RasterPath::Sse2:
        return "sse2";
    case D3D8RasterPath::Avx2:
        return "avx2";
    default:
        return "auto";
    }
}
