#include "D3D8/D3D8Types.h"

namespace
{
// Widens an n-bit channel to 8 bits the way hardware does: the top bits repeat below.
inline uint32_t Widen(uint32_t value, int bits)
{
    switch (bits)
    {
    case 1:
        return value ? 255u : 0u;
    case 4:
        return value * 17u;
    case 5:
        return (value << 3) | (value >> 2);
    case 6:
        return (value << 2) | (value >> 4);
    default:
        return value;
    }
}

// Narrows an 8-bit channel to n bits, rounding to nearest.
inline uint32_t Narrow(uint32_t value, int bits)
{
    uint32_t max = (1u << bits) - 1u;
    return (value * max + 127u) / 255u;
}

inline uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline void Write16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
} // namespace

UINT D3D8BytesPerPixel(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_D16:
        return 2;
    default:
        return 0;
    }
}

uint32_t D3D8DecodePixel(D3DFORMAT format, const uint8_t* p)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    case D3DFMT_X8R8G8B8:
        return 0xFF000000u | static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    case D3DFMT_R8G8B8:
        return 0xFF000000u | static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    case D3DFMT_R5G6B5:
    {
        uint32_t v = Read16(p);
        return 0xFF000000u | Widen(v >> 11, 5) << 16 | Widen((v >> 5) & 63, 6) << 8 | Widen(v & 31, 5);
    }
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    {
        uint32_t v = Read16(p);
        uint32_t a = format == D3DFMT_A1R5G5B5 ? Widen(v >> 15, 1) : 255u;
        return a << 24 | Widen((v >> 10) & 31, 5) << 16 | Widen((v >> 5) & 31, 5) << 8 | Widen(v & 31, 5);
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    {
        uint32_t v = Read16(p);
        uint32_t a = format == D3DFMT_A4R4G4B4 ? Widen(v >> 12, 4) : 255u;
        return a << 24 | Widen((v >> 8) & 15, 4) << 16 | Widen((v >> 4) & 15, 4) << 8 | Widen(v & 15, 4);
    }
    case D3DFMT_D16:
    {
        uint32_t v = Read16(p) >> 8;
        return 0xFF000000u | v << 16 | v << 8 | v;
    }
    default:
        return 0;
    }
}

void D3D8EncodePixel(D3DFORMAT format, uint32_t argb, uint8_t* p)
{
    uint32_t a = argb >> 24, r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        p[3] = static_cast<uint8_t>(a);
        break;
    case D3DFMT_X8R8G8B8:
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        p[3] = 0xFF;
        break;
    case D3DFMT_R8G8B8:
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        break;
    case D3DFMT_R5G6B5:
        Write16(p, Narrow(r, 5) << 11 | Narrow(g, 6) << 5 | Narrow(b, 5));
        break;
    case D3DFMT_X1R5G5B5:
        Write16(p, 1u << 15 | Narrow(r, 5) << 10 | Narrow(g, 5) << 5 | Narrow(b, 5));
        break;
    case D3DFMT_A1R5G5B5:
        Write16(p, (a >= 128 ? 1u : 0u) << 15 | Narrow(r, 5) << 10 | Narrow(g, 5) << 5 | Narrow(b, 5));
        break;
    case D3DFMT_A4R4G4B4:
        Write16(p, Narrow(a, 4) << 12 | Narrow(r, 4) << 8 | Narrow(g, 4) << 4 | Narrow(b, 4));
        break;
    case D3DFMT_X4R4G4B4:
        Write16(p, 15u << 12 | Narrow(r, 4) << 8 | Narrow(g, 4) << 4 | Narrow(b, 4));
        break;
    case D3DFMT_D16:
        Write16(p, (r * 65535u + 127u) / 255u);
        break;
    default:
        break;
    }
}
