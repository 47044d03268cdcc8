#include "KelImageSysMemCL.h"

#include <cstring>

#include <zlib.h>

#include "KelGuard.h"

namespace
{

// The 1-bit alpha of the 16-bit copy: set for pixels that are mostly opaque.
uint16_t To1555(uint32_t pixel, bool opaque)
{
    const uint16_t colour = KelConvert8888To1555(pixel, false) & 0x7FFF;
    return static_cast<uint16_t>(colour | ((opaque || pixel > 0xBFFFFFFFu) ? 0x8000 : 0));
}

} // namespace

void KelImageSysMemCL::ReleaseTextureM()
{
    KelImageTextureCL::ReleaseTextureM();
    m_pixels16.clear();
    m_compressed.clear();
    m_compressedValid = false;
}

bool KelImageSysMemCL::Build16()
{
    m_compressed.clear();
    m_compressedValid = false;
    m_pixels16.clear();
    IDirect3DTexture8* texture = GetTextureM();
    const D3DSURFACE_DESC* desc = GetSurfaceDesc();
    if (texture == nullptr || desc == nullptr)
        return false;
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return false;
    const int width = static_cast<int>(desc->Width);
    const int height = static_cast<int>(desc->Height);
    const D3DFORMAT format = desc->Format;
    const UINT bytes = D3D8BytesPerPixel(format);
    const bool is32 = format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
    const bool opaque = format == D3DFMT_X8R8G8B8;
    m_pixels16.resize(static_cast<size_t>(width) * height);
    uint16_t* out = m_pixels16.data();
    for (int y = 0; y < height; ++y)
    {
        const uint8_t* row =
            static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (int x = 0; x < width; ++x, ++out)
        {
            const uint8_t* p = row + static_cast<size_t>(x) * bytes;
            if (is32)
            {
                uint32_t pixel;
                std::memcpy(&pixel, p, 4);
                *out = m_format16 == D3DFMT_A1R5G5B5 ? To1555(pixel, opaque)
                                                     : KelConvert8888To4444(pixel, opaque);
            }
            else
            {
                // Other formats: their first two bytes.
                *out = static_cast<uint16_t>(p[0] | (bytes > 1 ? p[1] << 8 : 0));
            }
        }
    }
    texture->UnlockRect(0);
    return true;
}

bool KelImageSysMemCL::SetPixels16Format(D3DFORMAT format)
{
    KEL_TRY
    if (format != D3DFMT_A4R4G4B4 && format != D3DFMT_A1R5G5B5)
        return false;
    m_format16 = format;
    if (GetTextureM() != nullptr)
        Build16();
    return true;
    KEL_CATCH
}

const std::vector<uint8_t>& KelImageSysMemCL::GetCompressedPixels16()
{
    KEL_TRY
    if (!m_compressedValid)
    {
        m_compressed.clear();
        if (!m_pixels16.empty())
        {
            std::vector<uint8_t> bytes(m_pixels16.size() * 2);
            for (size_t i = 0; i < m_pixels16.size(); ++i)
            {
                bytes[i * 2] = static_cast<uint8_t>(m_pixels16[i]);
                bytes[i * 2 + 1] = static_cast<uint8_t>(m_pixels16[i] >> 8);
            }
            uLongf length = compressBound(static_cast<uLong>(bytes.size()));
            m_compressed.resize(length);
            if (compress2(m_compressed.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()), 1) ==
                Z_OK)
                m_compressed.resize(length);
            else
                m_compressed.clear();
        }
        m_compressedValid = true;
    }
    return m_compressed;
    KEL_CATCH
}

bool KelImageSysMemCL::LoadFromFileM(const char* path, D3DCOLOR colorKey)
{
    return LoadFromFileImmediateM(path, colorKey);
}

bool KelImageSysMemCL::LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey)
{
    KEL_TRY
    return LoadFileIntoPool(path, colorKey, D3DPOOL_SYSTEMMEM) && Build16();
    KEL_CATCH
}

bool KelImageSysMemCL::LoadFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    return LoadMemoryIntoPool(name, data, size, D3DPOOL_SYSTEMMEM) && Build16();
    KEL_CATCH
}

bool KelImageSysMemCL::CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD,
                                    D3DFORMAT format, D3DPOOL)
{
    KEL_TRY
    return KelImageTextureCL::CreateImageM(name, width, height, levels, 0, format, D3DPOOL_SYSTEMMEM) &&
           Build16();
    KEL_CATCH
}

bool KelImageSysMemCL::UnLockRect()
{
    KEL_TRY
    // The pixels may have changed: the 16-bit copy follows them.
    return KelImageTextureCL::UnLockRect() && Build16();
    KEL_CATCH
}
