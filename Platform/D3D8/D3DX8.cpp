#include "D3D8/D3DX8.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "D3D8/D3D8Internal.h"
#include "Win32/Files.h"

namespace
{

// Images larger than this are refused before they are decoded: a damaged or hostile header can
// claim any size, and the decoder would try to allocate it.
constexpr UINT kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;
// Image files are read whole into memory; nothing the engine loads comes near this.
constexpr size_t kMaxFileSize = size_t(256) << 20;

bool StartsWith(const uint8_t* data, UINT size, const char* signature, UINT length)
{
    return size >= length && std::memcmp(data, signature, length) == 0;
}

// The container format by its signature. TGA has none, so its header is checked for the values
// a TGA file can hold; that also keeps out the other formats the decoder would accept (GIF,
// PSD, HDR and the like), whose first bytes never form a TGA header.
bool DetectFileFormat(const uint8_t* data, UINT size, D3DXIMAGE_FILEFORMAT* format)
{
    if (StartsWith(data, size, "\x89PNG", 4))
        *format = D3DXIFF_PNG;
    else if (StartsWith(data, size, "\xFF\xD8", 2))
        *format = D3DXIFF_JPG;
    else if (StartsWith(data, size, "BM", 2))
        *format = D3DXIFF_BMP;
    else
    {
        if (size < 18)
            return false;
        uint8_t colourMapType = data[1];
        uint8_t imageType = data[2];
        bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                         imageType == 10 || imageType == 11;
        if (colourMapType > 1 || !knownType)
            return false;
        *format = D3DXIFF_TGA;
    }
    return true;
}

// Formats that hold colours; depth formats cannot take an image.
bool IsColourFormat(D3DFORMAT format)
{
    return format != D3DFMT_D16 && D3D8BytesPerPixel(format) != 0;
}

bool SizeIsAcceptable(int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    if (static_cast<UINT>(width) > kMaxImageSide || static_cast<UINT>(height) > kMaxImageSide)
        return false;
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxImagePixels;
}

HRESULT ReadImageInfo(const void* data, UINT size, D3DXIMAGE_INFO* info)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    D3DXIMAGE_FILEFORMAT fileFormat;
    if (!DetectFileFormat(bytes, size, &fileFormat))
        return D3DXERR_INVALIDDATA;
    // The decoder takes an int length; anything that large was refused when it was read.
    if (size > static_cast<UINT>(INT32_MAX))
        return D3DXERR_INVALIDDATA;
    int width = 0;
    int height = 0;
    int components = 0;
    if (stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &components) == 0)
        return D3DXERR_INVALIDDATA;
    if (!SizeIsAcceptable(width, height))
        return D3DXERR_INVALIDDATA;
    info->Width = static_cast<UINT>(width);
    info->Height = static_cast<UINT>(height);
    info->Depth = 1;
    info->MipLevels = 1;
    if (components == 2 || components == 4)
        info->Format = D3DFMT_A8R8G8B8;
    else if (fileFormat == D3DXIFF_JPG)
        info->Format = D3DFMT_R8G8B8;
    else
        info->Format = D3DFMT_X8R8G8B8;
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = fileFormat;
    return D3D_OK;
}

// Reads a whole file named by a Windows-form path. A file that cannot be opened is a bad
// argument, as it is for D3DX; one that cannot be read through, is empty or is absurdly large
// is bad data.
HRESULT ReadWholeFile(LPCSTR file, std::vector<uint8_t>* content)
{
    FILE* stream = Win32OpenFile(file, "rb");
    if (stream == nullptr)
        return D3DERR_INVALIDCALL;
    HRESULT result = D3D_OK;
    uint8_t buffer[65536];
    for (;;)
    {
        size_t got = std::fread(buffer, 1, sizeof(buffer), stream);
        if (got > 0)
        {
            if (content->size() + got > kMaxFileSize)
            {
                result = D3DXERR_INVALIDDATA;
                break;
            }
            content->insert(content->end(), buffer, buffer + got);
        }
        if (got < sizeof(buffer))
        {
            if (std::ferror(stream))
                result = D3DXERR_INVALIDDATA;
            break;
        }
    }
    std::fclose(stream);
    if (result == D3D_OK && content->empty())
        result = D3DXERR_INVALIDDATA; // an empty file holds no image
    return result;
}

uint32_t PackArgb(const uint8_t* rgba)
{
    return (static_cast<uint32_t>(rgba[3]) << 24) | (static_cast<uint32_t>(rgba[0]) << 16) |
           (static_cast<uint32_t>(rgba[1]) << 8) | static_cast<uint32_t>(rgba[2]);
}

// Samples of an image decoded to A8R8G8B8, for filling a texture of some other size.
class SourceImage
{
public:
    // A view of width x height pixels that the caller keeps.
    SourceImage(const uint32_t* pixels, int width, int height)
        : m_pixels(pixels), m_width(width), m_height(height)
    {
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    uint32_t At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

    // The pixel of a texture of width x height at (x, y) under the filter. Pixel centres are
    // matched: destination centre x + 0.5 lies at source position (x + 0.5) * sourceWidth /
    // width.
    uint32_t Sample(DWORD filter, int x, int y, int width, int height) const
    {
        if (filter == D3DX_FILTER_NONE)
            return (x < m_width && y < m_height) ? At(x, y) : 0u;
        if (width == m_width && height == m_height)
            return At(x, y);
        if (filter == D3DX_FILTER_POINT)
        {
            int sx = static_cast<int>((static_cast<uint64_t>(x) * 2 + 1) * m_width / (uint64_t(width) * 2));
            int sy = static_cast<int>((static_cast<uint64_t>(y) * 2 + 1) * m_height / (uint64_t(height) * 2));
            return At(sx < m_width ? sx : m_width - 1, sy < m_height ? sy : m_height - 1);
        }
        return Linear((x + 0.5) * m_width / width - 0.5, (y + 0.5) * m_height / height - 0.5);
    }

private:
    // Bilinear blend of the four pixels around a source position, edges clamped.
    uint32_t Linear(double fx, double fy) const
    {
        double floorX = std::floor(fx);
        double floorY = std::floor(fy);
        double wx = fx - floorX;
        double wy = fy - floorY;
        int x0 = Clamp(static_cast<int>(floorX), m_width);
        int x1 = Clamp(static_cast<int>(floorX) + 1, m_width);
        int y0 = Clamp(static_cast<int>(floorY), m_height);
        int y1 = Clamp(static_cast<int>(floorY) + 1, m_height);
        uint32_t p00 = At(x0, y0);
        uint32_t p10 = At(x1, y0);
        uint32_t p01 = At(x0, y1);
        uint32_t p11 = At(x1, y1);
        uint32_t result = 0;
        for (int shift = 0; shift < 32; shift += 8)
        {
            double top = ((p00 >> shift) & 0xFF) * (1 - wx) + ((p10 >> shift) & 0xFF) * wx;
            double bottom = ((p01 >> shift) & 0xFF) * (1 - wx) + ((p11 >> shift) & 0xFF) * wx;
            double value = top * (1 - wy) + bottom * wy;
            uint32_t channel = static_cast<uint32_t>(std::lround(value));
            result |= (channel > 255 ? 255u : channel) << shift;
        }
        return result;
    }

    static int Clamp(int value, int size) { return value < 0 ? 0 : (value >= size ? size - 1 : value); }

    const uint32_t* m_pixels;
    int m_width;
    int m_height;
};

// The filter kind of a filter argument: the low byte names it, higher bits (dithering, mirror
// flags) do not change how this implementation samples. 0 when the argument is not a filter.
DWORD FilterKind(DWORD filter)
{
    if (filter == D3DX_DEFAULT)
        return D3DX_FILTER_LINEAR;
    DWORD kind = filter & 0xFFu;
    if (kind < D3DX_FILTER_NONE || kind > D3DX_FILTER_BOX)
        return 0;
    // Triangle and box filters are approximated by the linear filter.
    return kind >= D3DX_FILTER_LINEAR ? D3DX_FILTER_LINEAR : kind;
}

UINT ResolveSize(UINT requested, UINT imageSize)
{
    return (requested == 0 || requested == D3DX_DEFAULT) ? imageSize : requested;
}

// Writes every pixel of level 0 of a new texture; the texture is released on any failure.
HRESULT FillTexture(IDirect3DTexture8* texture, const SourceImage& image, DWORD filter)
{
    D3DSURFACE_DESC desc;
    HRESULT result = texture->GetLevelDesc(0, &desc);
    if (FAILED(result))
        return result;
    UINT bytesPerPixel = D3D8BytesPerPixel(desc.Format);
    if (bytesPerPixel == 0)
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    result = texture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(result))
        return result;
    int width = static_cast<int>(desc.Width);
    int height = static_cast<int>(desc.Height);
    for (int y = 0; y < height; ++y)
    {
        uint8_t* row = static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch;
        for (int x = 0; x < width; ++x)
            D3D8EncodePixel(desc.Format, image.Sample(filter, x, y, width, height),
                            row + static_cast<size_t>(x) * bytesPerPixel);
    }
    return texture->UnlockRect(0);
}

HRESULT CreateTextureFromMemory(IDirect3DDevice8* device, const void* data, UINT size, UINT width,
                                UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, IDirect3DTexture8** texture)
{
    DWORD filterKind = FilterKind(filter);
    if (filterKind == 0)
        return D3DERR_INVALIDCALL;
    D3DXIMAGE_INFO info;
    HRESULT result = ReadImageInfo(data, size, &info);
    if (FAILED(result))
        return result;

    UINT textureWidth = ResolveSize(width, info.Width);
    UINT textureHeight = ResolveSize(height, info.Height);
    if (textureWidth > kMaxImageSide || textureHeight > kMaxImageSide)
        return D3DERR_INVALIDCALL;
    D3DFORMAT textureFormat = format == D3DFMT_UNKNOWN ? info.Format : format;
    if (!IsColourFormat(textureFormat))
        return D3DERR_INVALIDCALL;

    int decodedWidth = 0;
    int decodedHeight = 0;
    int components = 0;
    std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> rgba(
        stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &decodedWidth,
                              &decodedHeight, &components, 4),
        &stbi_image_free);
    if (rgba == nullptr)
        return D3DXERR_INVALIDDATA;
    if (decodedWidth != static_cast<int>(info.Width) || decodedHeight != static_cast<int>(info.Height))
        return D3DXERR_INVALIDDATA;
    // The decoded bytes become A8R8G8B8 pixels where they lie, four bytes each: a large picture
    // is not held twice while it loads.
    const size_t count = static_cast<size_t>(decodedWidth) * decodedHeight;
    uint32_t key = colorKey | 0xFF000000u;
    for (size_t i = 0; i < count; ++i)
    {
        uint32_t argb = PackArgb(rgba.get() + i * 4);
        // The key names an opaque colour; a pixel of that colour is keyed out whatever its alpha.
        argb = (colorKey != 0 && (argb | 0xFF000000u) == key) ? 0u : argb;
        std::memcpy(rgba.get() + i * 4, &argb, sizeof(argb));
    }
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(rgba.get());
    SourceImage image(pixels, decodedWidth, decodedHeight);

    IDirect3DTexture8* created = nullptr;
    result = device->CreateTexture(textureWidth, textureHeight, 1, usage, textureFormat, pool, &created);
    if (FAILED(result))
        return result;
    if (created == nullptr)
        return D3DERR_INVALIDCALL;
    result = FillTexture(created, image, filterKind);
    if (FAILED(result))
    {
        created->Release();
        return result;
    }
    if (srcInfo != nullptr)
        *srcInfo = info;
    *texture = created;
    return D3D_OK;
}

// Collects what the image writer produces, so that the file is written in one go.
void AppendToBuffer(void* context, void* data, int size)
{
    auto* buffer = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (size > 0)
        buffer->insert(buffer->end(), bytes, bytes + size);
}

bool FormatHasAlpha(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4;
}

class RenderToSurface : public D3D8RefCounted<ID3DXRenderToSurface>
{
public:
    RenderToSurface(IDirect3DDevice8* device, const D3DXRTS_DESC& desc, IDirect3DSurface8* depth)
        : m_device(device), m_desc(desc), m_depth(depth)
    {
        m_device->AddRef();
    }

    HRESULT GetDevice(IDirect3DDevice8** device) override
    {
        if (device == nullptr)
            return D3DERR_INVALIDCALL;
        m_device->AddRef();
        *device = m_device;
        return D3D_OK;
    }

    HRESULT GetDesc(D3DXRTS_DESC* desc) override
    {
        if (desc == nullptr)
            return D3DERR_INVALIDCALL;
        *desc = m_desc;
        return D3D_OK;
    }

    HRESULT BeginScene(IDirect3DSurface8* surface, const D3DVIEWPORT8* viewport) override
    {
        if (m_inScene || surface == nullptr)
            return D3DERR_INVALIDCALL;
        D3DSURFACE_DESC desc;
        if (FAILED(surface->GetDesc(&desc)) || desc.Width != m_desc.Width || desc.Height != m_desc.Height ||
            desc.Format != m_desc.Format || (desc.Usage & D3DUSAGE_RENDERTARGET) == 0)
            return D3DERR_INVALIDCALL;

        HRESULT result = m_device->GetRenderTarget(&m_savedTarget);
        if (FAILED(result))
        {
            m_savedTarget = nullptr;
            return result;
        }
        // A device without a depth buffer has none to give back, and none is to be restored.
        if (FAILED(m_device->GetDepthStencilSurface(&m_savedDepth)))
            m_savedDepth = nullptr;
        result = m_device->GetViewport(&m_savedViewport);
        if (!FAILED(result))
            result = m_device->SetRenderTarget(surface, m_depth);
        if (FAILED(result))
        {
            ReleaseSaved();
            return result;
        }
        // Setting a render target resets the viewport to the whole target, so the viewport is set
        // after it.
        D3DVIEWPORT8 whole{0, 0, m_desc.Width, m_desc.Height, 0.0f, 1.0f};
        result = m_device->SetViewport(viewport != nullptr ? viewport : &whole);
        if (!FAILED(result))
            result = m_device->BeginScene();
        if (FAILED(result))
        {
            Restore();
            return result;
        }
        m_inScene = true;
        return D3D_OK;
    }

    HRESULT EndScene() override
    {
        if (!m_inScene)
            return D3DERR_INVALIDCALL;
        HRESULT result = m_device->EndScene();
        HRESULT restored = Restore();
        return FAILED(result) ? result : restored;
    }

private:
    ~RenderToSurface() override
    {
        // Released in the middle of a scene: the device must not be left drawing into a
        // surface nobody will hand back.
        if (m_inScene)
            EndScene();
        if (m_depth != nullptr)
            m_depth->Release();
        m_device->Release();
    }

    // Puts the device's own target, depth buffer and viewport back and drops the references
    // taken when they were saved.
    HRESULT Restore()
    {
        HRESULT result = m_device->SetRenderTarget(m_savedTarget, m_savedDepth);
        HRESULT viewport = m_device->SetViewport(&m_savedViewport);
        ReleaseSaved();
        m_inScene = false;
        return FAILED(result) ? result : viewport;
    }

    void ReleaseSaved()
    {
        if (m_savedTarget != nullptr)
            m_savedTarget->Release();
        if (m_savedDepth != nullptr)
            m_savedDepth->Release();
        m_savedTarget = nullptr;
        m_savedDepth = nullptr;
    }

    IDirect3DDevice8* m_device;
    D3DXRTS_DESC m_desc;
    IDirect3DSurface8* m_depth;
    bool m_inScene = false;
    IDirect3DSurface8* m_savedTarget = nullptr;
    IDirect3DSurface8* m_savedDepth = nullptr;
    D3DVIEWPORT8 m_savedViewport{};
};

D3DXMATRIX Multiplied(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[row][k] * b.m[k][column];
            result.m[row][column] = sum;
        }
    return result;
}

D3DXVECTOR3 Subtract(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A zero vector stays zero rather than becoming NaNs.
D3DXVECTOR3 Normalized(const D3DXVECTOR3& v)
{
    float length = std::sqrt(Dot(v, v));
    if (length == 0.0f)
        return v;
    return {v.x / length, v.y / length, v.z / length};
}

} // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info)
{
    if (data == nullptr || size == 0 || info == nullptr)
        return D3DERR_INVALIDCALL;
    return ReadImageInfo(data, size, info);
}

HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info)
{
    if (file == nullptr || info == nullptr)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> content;
    HRESULT result = ReadWholeFile(file, &content);
    if (FAILED(result))
        return result;
    return ReadImageInfo(content.data(), static_cast<UINT>(content.size()), info);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, void* palette,
                                            IDirect3DTexture8** texture)
{
    // Only one level is ever made, so the mip-map arguments have nothing to act on; images
    // with palettes are decoded to true colour, so no palette is handed out.
    (void)mipLevels;
    (void)mipFilter;
    (void)palette;
    if (texture == nullptr)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (device == nullptr || data == nullptr || size == 0)
        return D3DERR_INVALIDCALL;
    return CreateTextureFromMemory(device, data, size, width, height, usage, format, pool, filter, colorKey,
                                   srcInfo, texture);
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* data, UINT size,
                                          IDirect3DTexture8** texture)
{
    return D3DXCreateTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                               0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                               D3DX_FILTER_LINEAR, 0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, void* palette, IDirect3DTexture8** texture)
{
    if (texture == nullptr)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (device == nullptr || file == nullptr)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> content;
    HRESULT result = ReadWholeFile(file, &content);
    if (FAILED(result))
        return result;
    return D3DXCreateTextureFromFileInMemoryEx(device, content.data(), static_cast<UINT>(content.size()),
                                               width, height, mipLevels, usage, format, pool, filter,
                                               mipFilter, colorKey, srcInfo, palette, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, LPCSTR file, IDirect3DTexture8** texture)
{
    return D3DXCreateTextureFromFileExA(device, file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                        D3DX_FILTER_LINEAR, 0, nullptr, nullptr, texture);
}

HRESULT D3DXSaveSurfaceToFileA(LPCSTR file, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface8* surface,
                               const void* palette, const RECT* rect)
{
    (void)palette; // surfaces of this device are true colour
    if (file == nullptr || surface == nullptr || (format != D3DXIFF_PNG && format != D3DXIFF_BMP))
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    HRESULT result = surface->GetDesc(&desc);
    if (FAILED(result))
        return result;
    UINT bytesPerPixel = D3D8BytesPerPixel(desc.Format);
    if (!IsColourFormat(desc.Format) || desc.Width == 0 || desc.Height == 0)
        return D3DERR_INVALIDCALL;
    RECT area{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (rect != nullptr)
    {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            rect->right > area.right || rect->bottom > area.bottom)
            return D3DERR_INVALIDCALL;
        area = *rect;
    }
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    // Formats without alpha are written without it, so that the file reads back as opaque.
    int components = FormatHasAlpha(desc.Format) ? 4 : 3;

    D3DLOCKED_RECT locked;
    result = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(result))
        return result;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * components);
    for (int y = 0; y < height; ++y)
    {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) +
                             static_cast<ptrdiff_t>(area.top + y) * locked.Pitch +
                             static_cast<size_t>(area.left) * bytesPerPixel;
        for (int x = 0; x < width; ++x)
        {
            uint32_t argb = D3D8DecodePixel(desc.Format, row + static_cast<size_t>(x) * bytesPerPixel);
            uint8_t* out = &pixels[(static_cast<size_t>(y) * width + x) * components];
            out[0] = static_cast<uint8_t>(argb >> 16);
            out[1] = static_cast<uint8_t>(argb >> 8);
            out[2] = static_cast<uint8_t>(argb);
            if (components == 4)
                out[3] = static_cast<uint8_t>(argb >> 24);
        }
    }
    surface->UnlockRect();

    std::vector<uint8_t> encoded;
    int written =
        format == D3DXIFF_PNG
            ? stbi_write_png_to_func(AppendToBuffer, &encoded, width, height, components, pixels.data(),
                                     width * components)
            : stbi_write_bmp_to_func(AppendToBuffer, &encoded, width, height, components, pixels.data());
    if (written == 0 || encoded.empty())
        return E_FAIL;

    FILE* stream = Win32OpenFile(file, "wb");
    if (stream == nullptr)
        return D3DERR_INVALIDCALL;
    bool complete = std::fwrite(encoded.data(), 1, encoded.size(), stream) == encoded.size();
    complete = std::fclose(stream) == 0 && complete;
    if (!complete)
    {
        // A cut-off image is worse than none: whoever looks for the file would find garbage.
        std::remove(ResolveWin32Path(file).c_str());
        return E_FAIL;
    }
    return D3D_OK;
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** object)
{
    if (object == nullptr)
        return D3DERR_INVALIDCALL;
    *object = nullptr;
    if (device == nullptr || width == 0 || height == 0 || !IsColourFormat(format))
        return D3DERR_INVALIDCALL;
    IDirect3DSurface8* depth = nullptr;
    if (depthStencil)
    {
        HRESULT result =
            device->CreateDepthStencilSurface(width, height, depthStencilFormat, D3DMULTISAMPLE_NONE, &depth);
        if (FAILED(result))
            return result;
    }
    D3DXRTS_DESC desc{width, height, format, depthStencil ? TRUE : FALSE,
                      depthStencil ? depthStencilFormat : D3DFMT_UNKNOWN};
    *object = new RenderToSurface(device, desc, depth);
    return D3D_OK;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    if (out == nullptr)
        return nullptr;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            out->m[row][column] = row == column ? 1.0f : 0.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b)
{
    if (out == nullptr || a == nullptr || b == nullptr)
        return nullptr;
    // Computed aside first, since out may be a or b.
    *out = Multiplied(*a, *b);
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float x, float y, float z)
{
    if (D3DXMatrixIdentity(out) == nullptr)
        return nullptr;
    out->m[0][0] = x;
    out->m[1][1] = y;
    out->m[2][2] = z;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z)
{
    if (D3DXMatrixIdentity(out) == nullptr)
        return nullptr;
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle)
{
    if (D3DXMatrixIdentity(out) == nullptr)
        return nullptr;
    float c = std::cos(angle);
    float s = std::sin(angle);
    out->m[0][0] = c;
    out->m[0][1] = s;
    out->m[1][0] = -s;
    out->m[1][1] = c;
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* out, float width, float height, float zNear, float zFar)
{
    if (D3DXMatrixIdentity(out) == nullptr)
        return nullptr;
    out->m[0][0] = 2.0f / width;
    out->m[1][1] = 2.0f / height;
    out->m[2][2] = 1.0f / (zNear - zFar);
    out->m[3][2] = zNear / (zNear - zFar);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveRH(D3DXMATRIX* out, float width, float height, float zNear, float zFar)
{
    if (D3DXMatrixIdentity(out) == nullptr)
        return nullptr;
    out->m[0][0] = 2.0f * zNear / width;
    out->m[1][1] = 2.0f * zNear / height;
    out->m[2][2] = zFar / (zNear - zFar);
    out->m[2][3] = -1.0f;
    out->m[3][2] = zNear * zFar / (zNear - zFar);
    out->m[3][3] = 0.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up)
{
    if (out == nullptr || eye == nullptr || at == nullptr || up == nullptr)
        return nullptr;
    D3DXVECTOR3 zAxis = Normalized(Subtract(*eye, *at));
    D3DXVECTOR3 xAxis = Normalized(Cross(*up, zAxis));
    D3DXVECTOR3 yAxis = Cross(zAxis, xAxis);
    const D3DXVECTOR3 axes[3] = {xAxis, yAxis, zAxis};
    for (int column = 0; column < 3; ++column)
    {
        out->m[0][column] = axes[column].x;
        out->m[1][column] = axes[column].y;
        out->m[2][column] = axes[column].z;
        out->m[3][column] = -Dot(axes[column], *eye);
    }
    out->m[0][3] = 0.0f;
    out->m[1][3] = 0.0f;
    out->m[2][3] = 0.0f;
    out->m[3][3] = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scalingCenter,
                                       float scalingRotation, const D3DXVECTOR2* scaling,
                                       const D3DXVECTOR2* rotationCenter, float rotation,
                                       const D3DXVECTOR2* translation)
{
    if (out == nullptr)
        return nullptr;
    D3DXVECTOR2 sc = scalingCenter != nullptr ? *scalingCenter : D3DXVECTOR2{0.0f, 0.0f};
    D3DXVECTOR2 s = scaling != nullptr ? *scaling : D3DXVECTOR2{1.0f, 1.0f};
    D3DXVECTOR2 rc = rotationCenter != nullptr ? *rotationCenter : D3DXVECTOR2{0.0f, 0.0f};
    D3DXVECTOR2 t = translation != nullptr ? *translation : D3DXVECTOR2{0.0f, 0.0f};

    // Scaling: move the scaling centre to the origin, turn the scaling axes onto x and y, scale,
    // and undo both; then the same about the rotation centre for the rotation; then translate.
    D3DXMATRIX step;
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, -sc.x, -sc.y, 0.0f);
    m = Multiplied(m, *D3DXMatrixRotationZ(&step, -scalingRotation));
    m = Multiplied(m, *D3DXMatrixScaling(&step, s.x, s.y, 1.0f));
    m = Multiplied(m, *D3DXMatrixRotationZ(&step, scalingRotation));
    m = Multiplied(m, *D3DXMatrixTranslation(&step, sc.x - rc.x, sc.y - rc.y, 0.0f));
    m = Multiplied(m, *D3DXMatrixRotationZ(&step, rotation));
    m = Multiplied(m, *D3DXMatrixTranslation(&step, rc.x + t.x, rc.y + t.y, 0.0f));
    *out = m;
    return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m)
{
    if (out == nullptr || v == nullptr || m == nullptr)
        return nullptr;
    float x = v->x * m->m[0][0] + v->y * m->m[1][0] + m->m[3][0];
    float y = v->x * m->m[0][1] + v->y * m->m[1][1] + m->m[3][1];
    float w = v->x * m->m[0][3] + v->y * m->m[1][3] + m->m[3][3];
    out->x = x / w;
    out->y = y / w;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    if (out == nullptr || v == nullptr || m == nullptr)
        return nullptr;
    float x = v->x * m->m[0][0] + v->y * m->m[1][0] + v->z * m->m[2][0] + m->m[3][0];
    float y = v->x * m->m[0][1] + v->y * m->m[1][1] + v->z * m->m[2][1] + m->m[3][1];
    float z = v->x * m->m[0][2] + v->y * m->m[1][2] + v->z * m->m[2][2] + m->m[3][2];
    float w = v->x * m->m[0][3] + v->y * m->m[1][3] + v->z * m->m[2][3] + m->m[3][3];
    out->x = x / w;
    out->y = y / w;
    out->z = z / w;
    return out;
}
