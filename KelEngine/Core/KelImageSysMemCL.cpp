#include "KelImageSysMemCL.h"

#include <cstring>

#include <zlib.h>

#include "D3D8/D3DX8.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelScreenManagerCL.h"
#include "KelSpriteCL.h"

namespace
{

// The 1-bit alpha of the 16-bit copy: set for pixels that are mostly opaque.
uint16_t To1555(uint32_t pixel, bool opaque)
{
    const uint16_t colour = KelConvert8888To1555(pixel, false) & 0x7FFF;
    return static_cast<uint16_t>(colour | ((opaque || pixel > 0xBFFFFFFFu) ? 0x8000 : 0));
}

} // namespace

KelImageSysMemCL::KelImageSysMemCL() = default;

KelImageSysMemCL::~KelImageSysMemCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    Release();
    KEL_CATCH_RETURN()
}

void KelImageSysMemCL::Release()
{
    if (m_surface != nullptr)
    {
        m_surface->Release();
        m_surface = nullptr;
    }
    if (m_texture != nullptr)
    {
        m_texture->Release();
        m_texture = nullptr;
    }
    m_width = 0;
    m_height = 0;
    m_desc = D3DSURFACE_DESC{};
    m_pixels16.clear();
    m_compressed.clear();
    m_compressedValid = false;
}

bool KelImageSysMemCL::Adopt(IDirect3DTexture8* texture, const char* name)
{
    Release();
    m_texture = texture;
    texture->GetLevelDesc(0, &m_desc);
    m_width = static_cast<int>(m_desc.Width);
    m_height = static_cast<int>(m_desc.Height);
    m_name = name;
    return Build16();
}

bool KelImageSysMemCL::Build16()
{
    m_compressed.clear();
    m_compressedValid = false;
    m_pixels16.clear();
    if (m_texture == nullptr)
        return false;
    D3DLOCKED_RECT locked{};
    if (m_texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return false;
    const D3DFORMAT format = m_desc.Format;
    const UINT bytes = D3D8BytesPerPixel(format);
    const bool is32 = format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
    const bool opaque = format == D3DFMT_X8R8G8B8;
    m_pixels16.resize(static_cast<size_t>(m_width) * m_height);
    uint16_t* out = m_pixels16.data();
    for (int y = 0; y < m_height; ++y)
    {
        const uint8_t* row =
            static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (int x = 0; x < m_width; ++x, ++out)
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
    m_texture->UnlockRect(0);
    return true;
}

bool KelImageSysMemCL::SetPixels16Format(D3DFORMAT format)
{
    KEL_TRY
    if (format != D3DFMT_A4R4G4B4 && format != D3DFMT_A1R5G5B5)
        return false;
    m_format16 = format;
    if (m_texture != nullptr)
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
    if (path == nullptr || path[0] == '\0')
        return false;
    IDirect3DDevice8* device = KelGetCurrentDevice();
    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* texture = nullptr;
    bool loaded = device != nullptr && D3DXGetImageInfoFromFileA(path, &info) == D3D_OK;
    if (loaded)
        loaded = D3DXCreateTextureFromFileExA(device, path, info.Width, info.Height, info.MipLevels, 0,
                                              info.Format, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, 0, colorKey,
                                              nullptr, nullptr, &texture) == D3D_OK &&
                 texture != nullptr;
    if (!loaded)
    {
        KelLogPrintf("加载图片错误 : %s", path);
        return false;
    }
    return Adopt(texture, path);
    KEL_CATCH
}

bool KelImageSysMemCL::LoadFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    if (name == nullptr || data == nullptr || size == 0)
        return false;
    IDirect3DDevice8* device = KelGetCurrentDevice();
    IDirect3DTexture8* texture = nullptr;
    if (device == nullptr ||
        D3DXCreateTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                            D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, 0, 0,
                                            nullptr, nullptr, &texture) != D3D_OK ||
        texture == nullptr)
    {
        KelLogPrintf("内存加载图片错误 : %s", name);
        return false;
    }
    return Adopt(texture, name);
    KEL_CATCH
}

bool KelImageSysMemCL::CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD,
                                    D3DFORMAT format, D3DPOOL)
{
    KEL_TRY
    const char* shownName = name != nullptr ? name : "";
    IDirect3DDevice8* device = KelGetCurrentDevice();
    IDirect3DTexture8* texture = nullptr;
    const HRESULT result = device != nullptr ? device->CreateTexture(width, height, levels, 0, format,
                                                                     D3DPOOL_SYSTEMMEM, &texture)
                                             : E_FAIL;
    if (result != D3D_OK || texture == nullptr)
    {
        KelLogPrintf("CreateTexture错误   %s", shownName);
        return false;
    }
    return Adopt(texture, shownName);
    KEL_CATCH
}

IDirect3DTexture8* KelImageSysMemCL::GetTextureM()
{
    return m_texture;
}

IDirect3DSurface8* KelImageSysMemCL::GetSurfaceM()
{
    KEL_TRY
    if (m_surface == nullptr && m_texture != nullptr && m_texture->GetSurfaceLevel(0, &m_surface) != D3D_OK)
    {
        m_surface = nullptr;
        KelLogPrintf("取得Surface错误");
    }
    return m_surface;
    KEL_CATCH
}

std::string KelImageSysMemCL::GetIDM()
{
    return m_name;
}

bool KelImageSysMemCL::OnLostDevice()
{
    return true;
}

bool KelImageSysMemCL::OnResetDevice()
{
    return true;
}

bool KelImageSysMemCL::LockRect(int x, int y, int width, int height, void** bits, int* pitch, DWORD flags)
{
    KEL_TRY
    if (bits != nullptr)
        *bits = nullptr;
    if (pitch != nullptr)
        *pitch = 0;
    if (m_texture == nullptr)
        return false;
    RECT area{x, y, x + width, y + height};
    D3DLOCKED_RECT locked{};
    if (m_texture->LockRect(0, &locked, &area, flags) != D3D_OK)
        return false;
    if (bits != nullptr)
        *bits = locked.pBits;
    if (pitch != nullptr)
        *pitch = locked.Pitch;
    return true;
    KEL_CATCH
}

bool KelImageSysMemCL::UnLockRect()
{
    KEL_TRY
    if (m_texture == nullptr || m_texture->UnlockRect(0) != D3D_OK)
        return false;
    // The pixels may have changed: the 16-bit copy follows them.
    return Build16();
    KEL_CATCH
}

bool KelImageSysMemCL::Render(KelCanvasCL* canvas, float x, float y)
{
    KEL_TRY
    if (canvas == nullptr)
        return false;
    KelSpriteCL* sprite = canvas->GetImageSprite();
    if (sprite == nullptr)
        return false;
    D3DXVECTOR2 position{0.0f, 0.0f};
    canvas->GetOrigin(&position.x, &position.y);
    position.x += x;
    position.y += y;
    const KelRect source(0, 0, m_width, m_height);
    return sprite->Draw(this, &source, &position, nullptr, 0.0f, 0xFFFFFFFF);
    KEL_CATCH
}

bool KelImageSysMemCL::RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height,
                                  D3DCOLOR color)
{
    KEL_TRY
    if (canvas == nullptr)
        return false;
    KelSpriteCL* sprite = canvas->GetImageSprite();
    if (sprite == nullptr)
        return false;
    D3DXVECTOR2 position{0.0f, 0.0f};
    canvas->GetOrigin(&position.x, &position.y);
    const KelRect source(left, top, left + width, top + height);
    return sprite->Draw(this, &source, &position, nullptr, 0.0f, color);
    KEL_CATCH
}

bool KelImageSysMemCL::GetPointColor(int x, int y, D3DCOLOR* color)
{
    KEL_TRY
    if (color == nullptr)
        return false;
    *color = 0;
    if (m_texture == nullptr || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return false;
    RECT pixel{x, y, x + 1, y + 1};
    D3DLOCKED_RECT locked{};
    if (m_texture->LockRect(0, &locked, &pixel, D3DLOCK_READONLY) != D3D_OK)
        return false;
    *color = KelReadPixelColor(m_desc.Format, locked.pBits);
    m_texture->UnlockRect(0);
    return true;
    KEL_CATCH
}

int KelImageSysMemCL::GetImageWidth()
{
    return m_width;
}

int KelImageSysMemCL::GetImageHeight()
{
    return m_height;
}

const D3DSURFACE_DESC* KelImageSysMemCL::GetSurfaceDesc()
{
    return m_texture != nullptr ? &m_desc : nullptr;
}
