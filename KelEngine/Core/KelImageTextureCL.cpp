#include "KelImageTextureCL.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "D3D8/D3DX8.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelScreenManagerCL.h"
#include "KelSpriteCL.h"
#include "KelSystemCL.h"

namespace
{

// Result slots of images deleted while their background load was still queued or running. The
// loader still holds their addresses, so they live on until their texture arrives (it is then
// released) or the loader has been closed with nothing queued. Only the UI thread touches
// this list.
std::vector<KelImageTextureCL::LoadSlot*>& OrphanedSlots()
{
    static std::vector<KelImageTextureCL::LoadSlot*> slots;
    return slots;
}

IDirect3DTexture8* ReadPublished(KelImageTextureCL::LoadSlot& slot)
{
    return std::atomic_ref<IDirect3DTexture8*>(slot.texture).load(std::memory_order_acquire);
}

// What the background loader subtracted for a texture.
int LoaderChargeKb(const D3DSURFACE_DESC& desc)
{
    return KelEstimateLoadedTextureKb(desc.Width, desc.Height, desc.Format);
}

void ReclaimOrphanedSlots()
{
    std::vector<KelImageTextureCL::LoadSlot*>& slots = OrphanedSlots();
    if (slots.empty())
        return;
    KelLoadSystemCL* loader = KelLoadSystemCL::GetInstance();
    // Once the loader is stopped with an empty queue no request can write any more.
    const bool loaderIdle = !loader->IsStarted() && loader->GetQueuedCount() == 0;
    for (size_t i = 0; i < slots.size();)
    {
        KelImageTextureCL::LoadSlot* slot = slots[i];
        IDirect3DTexture8* texture = ReadPublished(*slot);
        if (texture == nullptr && !loaderIdle)
        {
            ++i;
            continue;
        }
        if (texture != nullptr)
        {
            D3DSURFACE_DESC desc{};
            if (texture->GetLevelDesc(0, &desc) == D3D_OK)
                KelAddAvailableVideoMemoryKb(LoaderChargeKb(desc));
            texture->Release();
        }
        delete slot;
        slots[i] = slots.back();
        slots.pop_back();
    }
}

// Hands the slot of an unfinished load over to the orphan list, and frees the orphans whose
// loads have ended meanwhile.
void OrphanSlot(std::unique_ptr<KelImageTextureCL::LoadSlot>& slot)
{
    if (slot)
        OrphanedSlots().push_back(slot.release());
    ReclaimOrphanedSlots();
}

void LogCreateTextureError(HRESULT result, const char* name)
{
    if (result == E_OUTOFMEMORY)
        KelLogPrintf("CreateTexture错误  E_OUTOFMEMORY %s", name);
    else if (result == D3DERR_OUTOFVIDEOMEMORY)
        KelLogPrintf("CreateTexture错误  D3DERR_OUTOFVIDEOMEMORY %s", name);
    else if (result == D3DERR_INVALIDCALL)
        KelLogPrintf("CreateTexture错误  D3DERR_INVALIDCALL %s", name);
    else
        KelLogPrintf("CreateTexture错误   %s", name);
}

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Read32(const uint8_t* p)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof(value));
    return value;
}

// Widens a colour field of `bits` bits to 8 by repeating its high bits, so that an empty field
// reads 0 and a full one 255.
uint32_t Widen(uint32_t field, int bits)
{
    uint32_t value = field << (8 - bits);
    return value | value >> bits;
}

} // namespace

uint16_t KelConvert8888To4444(uint32_t p, bool opaque)
{
    uint32_t result =
        ((p >> 28) << 12) | (((p >> 20) & 0xF) << 8) | (((p >> 12) & 0xF) << 4) | ((p >> 4) & 0xF);
    if (opaque)
        result |= 0xF000;
    return static_cast<uint16_t>(result);
}

uint16_t KelConvert8888To1555(uint32_t p, bool opaque)
{
    uint32_t result =
        ((p & 0x80000000u) >> 16) | ((p & 0xF80000u) >> 9) | ((p & 0xF800u) >> 6) | ((p >> 3) & 0x1F);
    if (opaque)
        result |= 0x8000;
    return static_cast<uint16_t>(result);
}

D3DCOLOR KelReadPixelColor(D3DFORMAT format, const void* bits)
{
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return Read32(p);
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    {
        const uint32_t v = Read16(p);
        const uint32_t alpha = (v & 0x8000) != 0 ? 255u : 0u;
        const uint32_t red = ((v & 0x7C00) >> 7) | 7;
        const uint32_t green = ((v & 0x3E0) >> 2) | 7;
        const uint32_t blue = (v * 8 + 7) & 0xFF;
        return alpha << 24 | red << 16 | green << 8 | blue;
    }
    case D3DFMT_R5G6B5:
    {
        const uint32_t v = Read16(p);
        return 0xFF000000u | Widen(v >> 11, 5) << 16 | Widen((v >> 5) & 0x3F, 6) << 8 | Widen(v & 0x1F, 5);
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    {
        const uint32_t v = Read16(p);
        return ((v >> 12) & 0xF) * 0x11u << 24 | ((v >> 8) & 0xF) * 0x11u << 16 |
               ((v >> 4) & 0xF) * 0x11u << 8 | (v & 0xF) * 0x11u;
    }
    default:
        return 0;
    }
}

int KelEstimateTextureKb(UINT width, UINT height)
{
    return static_cast<int>(static_cast<unsigned long long>(width) * height * 2 / 1024);
}

int KelEstimateLoadedTextureKb(UINT width, UINT height, D3DFORMAT format)
{
    int kb = KelEstimateTextureKb(width, height);
    const int code = static_cast<int>(format);
    if (code == 21 || code == 22 || code == 63)
        kb *= 2;
    return 2 * kb;
}

KelImageTextureCL::KelImageTextureCL() = default;

KelImageTextureCL::~KelImageTextureCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    ReleaseTextureM();
    KEL_CATCH_RETURN()
}

bool KelImageTextureCL::TakePendingLoad()
{
    if (!m_pending)
        return true;
    IDirect3DTexture8* texture = ReadPublished(*m_pending);
    if (texture == nullptr)
        return false;
    m_pending.reset();
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    Adopt(texture, m_name, LoaderChargeKb(desc));
    return true;
}

void KelImageTextureCL::DropTexture()
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
}

void KelImageTextureCL::Adopt(IDirect3DTexture8* texture, const std::string& name, int chargedKb)
{
    m_texture = texture;
    m_desc = D3DSURFACE_DESC{};
    texture->GetLevelDesc(0, &m_desc);
    m_width = static_cast<int>(m_desc.Width);
    m_height = static_cast<int>(m_desc.Height);
    m_name = name;
    m_chargedKb = chargedKb;
    m_lost = false;
}

void KelImageTextureCL::ReleaseTextureM()
{
    KEL_TRY
    OrphanSlot(m_pending);
    DropTexture();
    KelAddAvailableVideoMemoryKb(m_chargedKb);
    m_chargedKb = 0;
    m_width = 0;
    m_height = 0;
    m_desc = D3DSURFACE_DESC{};
    m_lost = false;
    KEL_CATCH
}

bool KelImageTextureCL::LoadFromFileM(const char* path, D3DCOLOR)
{
    KEL_TRY
    if (path == nullptr || path[0] == '\0')
        return false;
    ReleaseTextureM();
    m_name = path;
    m_pending = std::make_unique<LoadSlot>();
    KelLoadSystemCL::GetInstance()->Enqueue(path, &m_pending->texture, &m_pending->width, &m_pending->height);
    return true;
    KEL_CATCH
}

bool KelImageTextureCL::LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey)
{
    KEL_TRY
    return LoadFileIntoPool(path, colorKey, D3DPOOL_MANAGED);
    KEL_CATCH
}

bool KelImageTextureCL::LoadFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    return LoadMemoryIntoPool(name, data, size, D3DPOOL_MANAGED);
    KEL_CATCH
}

bool KelImageTextureCL::LoadFileIntoPool(const char* path, D3DCOLOR colorKey, D3DPOOL pool)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    IDirect3DDevice8* device = KelGetCurrentDevice();
    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* texture = nullptr;
    bool loaded = device != nullptr && D3DXGetImageInfoFromFileA(path, &info) == D3D_OK;
    if (loaded)
        loaded = D3DXCreateTextureFromFileExA(device, path, info.Width, info.Height, info.MipLevels, 0,
                                              info.Format, pool, D3DX_FILTER_NONE, 0, colorKey, nullptr,
                                              nullptr, &texture) == D3D_OK;
    return ReplaceByLoaded(loaded ? texture : nullptr, path, "加载图片错误");
}

bool KelImageTextureCL::LoadMemoryIntoPool(const char* name, const void* data, UINT size, D3DPOOL pool)
{
    if (name == nullptr || data == nullptr || size == 0)
        return false;
    IDirect3DDevice8* device = KelGetCurrentDevice();
    IDirect3DTexture8* texture = nullptr;
    HRESULT result = E_FAIL;
    if (device != nullptr && pool == D3DPOOL_MANAGED)
        result = D3DXCreateTextureFromFileInMemory(device, data, size, &texture);
    else if (device != nullptr)
        // Outside the managed pool the pixels are read back one by one: a single level, exactly
        // as stored in the file.
        result = D3DXCreateTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                                     D3DFMT_UNKNOWN, pool, D3DX_FILTER_NONE, 0, 0, nullptr,
                                                     nullptr, &texture);
    return ReplaceByLoaded(result == D3D_OK ? texture : nullptr, name, "内存加载图片错误");
}

bool KelImageTextureCL::ReplaceByLoaded(IDirect3DTexture8* texture, const char* name, const char* failure)
{
    if (texture == nullptr)
    {
        KelLogPrintf("%s : %s", failure, name);
        return false;
    }
    ReleaseTextureM();
    Adopt(texture, name, 0);
    return true;
}

bool KelImageTextureCL::CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool)
{
    KEL_TRY
    const char* shownName = name != nullptr ? name : "";
    IDirect3DDevice8* device = KelGetCurrentDevice();
    IDirect3DTexture8* texture = nullptr;
    HRESULT result = device != nullptr
                         ? device->CreateTexture(width, height, levels, usage, format, pool, &texture)
                         : E_FAIL;
    if (result != D3D_OK || texture == nullptr)
    {
        LogCreateTextureError(result, shownName);
        return false;
    }
    ReleaseTextureM();
    // Default-pool textures cost their estimate once, dynamic ones twice (the driver keeps a
    // copy to update from); managed textures keep a system-memory copy too.
    int estimate = KelEstimateTextureKb(width, height);
    int charge = 0;
    if (pool == D3DPOOL_DEFAULT)
        charge = (usage & D3DUSAGE_DYNAMIC) != 0 ? 2 * estimate : estimate;
    else if (pool == D3DPOOL_MANAGED)
        charge = 2 * estimate;
    KelAddAvailableVideoMemoryKb(-charge);
    Adopt(texture, shownName, charge);
    return true;
    KEL_CATCH
}

std::pair<int, int> KelImageTextureCL::GetSizeM()
{
    return {GetImageWidth(), GetImageHeight()};
}

IDirect3DTexture8* KelImageTextureCL::GetTextureM()
{
    TakePendingLoad();
    return m_texture;
}

IDirect3DSurface8* KelImageTextureCL::GetSurfaceM()
{
    KEL_TRY
    TakePendingLoad();
    if (m_surface == nullptr && m_texture != nullptr)
    {
        if (m_texture->GetSurfaceLevel(0, &m_surface) != D3D_OK)
        {
            m_surface = nullptr;
            KelLogPrintf("取得Surface错误");
        }
    }
    return m_surface;
    KEL_CATCH
}

std::string KelImageTextureCL::GetIDM()
{
    return m_name;
}

void KelImageTextureCL::SetReadFilterM(int filter)
{
    m_readFilter = filter;
}

bool KelImageTextureCL::ClearRectM(const RECT* rect)
{
    KEL_TRY
    if (!TakePendingLoad() || m_texture == nullptr)
        return false;
    RECT whole{0, 0, m_width, m_height};
    const RECT& area = rect != nullptr ? *rect : whole;
    const UINT bytes = D3D8BytesPerPixel(m_desc.Format);
    if (bytes == 0 || area.left < 0 || area.top < 0 || area.right > m_width || area.bottom > m_height ||
        area.left >= area.right || area.top >= area.bottom)
        return false;
    D3DLOCKED_RECT locked{};
    if (m_texture->LockRect(0, &locked, &area, 0) != D3D_OK)
        return false;
    const size_t rowBytes = static_cast<size_t>(area.right - area.left) * bytes;
    uint8_t* row = static_cast<uint8_t*>(locked.pBits);
    for (LONG y = area.top; y < area.bottom; ++y, row += locked.Pitch)
        std::memset(row, 0, rowBytes);
    m_texture->UnlockRect(0);
    return true;
    KEL_CATCH
}

bool KelImageTextureCL::OnLostDevice()
{
    KEL_TRY
    TakePendingLoad();
    if (m_texture == nullptr)
        return true;
    m_texture->GetLevelDesc(0, &m_desc);
    const DWORD volatileUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC;
    if (m_desc.Pool == D3DPOOL_DEFAULT && (m_desc.Usage & volatileUsage) != 0)
    {
        DropTexture();
        m_lost = true;
    }
    return true;
    KEL_CATCH
}

bool KelImageTextureCL::OnResetDevice()
{
    KEL_TRY
    if (!m_lost)
        return true;
    // The lost texture's estimate is given back once the new one has taken its own.
    const int lostCharge = m_chargedKb;
    m_chargedKb = 0;
    const D3DSURFACE_DESC desc = m_desc;
    const std::string name = m_name;
    const bool created =
        CreateImageM(name.c_str(), desc.Width, desc.Height, 0, desc.Usage, desc.Format, desc.Pool);
    KelAddAvailableVideoMemoryKb(lostCharge);
    if (!created)
    {
        // Tried again at the next reset; the size stays known meanwhile.
        m_desc = desc;
        m_name = name;
        return false;
    }
    m_recreated = true;
    return true;
    KEL_CATCH
}

bool KelImageTextureCL::LockRect(int x, int y, int width, int height, void** bits, int* pitch, DWORD flags)
{
    KEL_TRY
    if (bits != nullptr)
        *bits = nullptr;
    if (pitch != nullptr)
        *pitch = 0;
    if (!TakePendingLoad() || m_texture == nullptr)
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

bool KelImageTextureCL::UnLockRect()
{
    KEL_TRY
    return m_texture != nullptr && m_texture->UnlockRect(0) == D3D_OK;
    KEL_CATCH
}

bool KelImageTextureCL::Render(KelCanvasCL* canvas, float x, float y)
{
    KEL_TRY
    return Draw(canvas, KelRect(0, 0, GetImageWidth(), GetImageHeight()), x, y, 0xFFFFFFFF);
    KEL_CATCH
}

bool KelImageTextureCL::RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height,
                                   D3DCOLOR color)
{
    KEL_TRY
    return Draw(canvas, KelRect(left, top, left + width, top + height), 0.0f, 0.0f, color);
    KEL_CATCH
}

bool KelImageTextureCL::Draw(KelCanvasCL* canvas, const KelRect& source, float x, float y, D3DCOLOR color)
{
    if (canvas == nullptr)
        return false;
    KelSpriteCL* sprite = canvas->GetImageSprite();
    if (sprite == nullptr)
        return false;
    float originX = 0.0f;
    float originY = 0.0f;
    canvas->GetOrigin(&originX, &originY);
    const D3DXVECTOR2 position{originX + x, originY + y};
    return sprite->Draw(this, &source, &position, nullptr, 0.0f, color);
}

bool KelImageTextureCL::BeRecreated()
{
    const bool recreated = m_recreated;
    m_recreated = false;
    return recreated;
}

void KelImageTextureCL::SetBeRecreated(bool recreated)
{
    m_recreated = recreated;
}

bool KelImageTextureCL::GetPointColor(int x, int y, D3DCOLOR* color)
{
    KEL_TRY
    if (color == nullptr)
        return false;
    *color = 0;
    if (!TakePendingLoad() || m_texture == nullptr || x < 0 || y < 0 || x >= m_width || y >= m_height)
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

int KelImageTextureCL::GetImageWidth()
{
    TakePendingLoad();
    return m_pending ? 0 : m_width;
}

int KelImageTextureCL::GetImageHeight()
{
    TakePendingLoad();
    return m_pending ? 0 : m_height;
}

bool KelImageTextureCL::ConvertTo16(D3DFORMAT format, D3DPOOL pool, DWORD usage,
                                    uint16_t (*convert)(uint32_t, bool))
{
    if (!TakePendingLoad() || m_texture == nullptr)
        return false;
    const D3DFORMAT oldFormat = m_desc.Format;
    if (oldFormat != D3DFMT_A8R8G8B8 && oldFormat != D3DFMT_X8R8G8B8)
        return false;
    const bool opaque = oldFormat == D3DFMT_X8R8G8B8;
    IDirect3DDevice8* device = KelGetCurrentDevice();
    IDirect3DTexture8* converted = nullptr;
    const HRESULT result = device != nullptr ? device->CreateTexture(m_desc.Width, m_desc.Height, 1, usage,
                                                                     format, pool, &converted)
                                             : E_FAIL;
    if (result != D3D_OK || converted == nullptr)
    {
        LogCreateTextureError(result, m_name.c_str());
        return false;
    }
    D3DLOCKED_RECT source{};
    D3DLOCKED_RECT target{};
    if (m_texture->LockRect(0, &source, nullptr, D3DLOCK_READONLY) != D3D_OK)
    {
        converted->Release();
        return false;
    }
    if (converted->LockRect(0, &target, nullptr, 0) != D3D_OK)
    {
        m_texture->UnlockRect(0);
        converted->Release();
        return false;
    }
    for (UINT y = 0; y < m_desc.Height; ++y)
    {
        const uint8_t* from =
            static_cast<const uint8_t*>(source.pBits) + static_cast<size_t>(y) * source.Pitch;
        uint8_t* to = static_cast<uint8_t*>(target.pBits) + static_cast<size_t>(y) * target.Pitch;
        for (size_t x = 0; x < m_desc.Width; ++x)
        {
            const uint16_t pixel = convert(Read32(from + x * 4), opaque);
            to[x * 2] = static_cast<uint8_t>(pixel);
            to[x * 2 + 1] = static_cast<uint8_t>(pixel >> 8);
        }
    }
    converted->UnlockRect(0);
    m_texture->UnlockRect(0);
    // The estimate taken when the texture was made stays charged: it is given back on release.
    const int charge = m_chargedKb;
    DropTexture();
    Adopt(converted, m_name, charge);
    return true;
}

bool KelImageTextureCL::Change32To16()
{
    KEL_TRY
    return ConvertTo16(D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, 0, KelConvert8888To4444);
    KEL_CATCH
}

bool KelImageTextureCL::Change32To1555()
{
    KEL_TRY
    // A 16-bit texture cannot be a render target. In the default pool it is made dynamic, so
    // that a device loss drops and re-creates it like the texture it replaces.
    const D3DPOOL pool = m_desc.Pool;
    const DWORD usage = pool == D3DPOOL_DEFAULT ? D3DUSAGE_DYNAMIC : 0;
    return ConvertTo16(D3DFMT_A1R5G5B5, pool, usage, KelConvert8888To1555);
    KEL_CATCH
}

const D3DSURFACE_DESC* KelImageTextureCL::GetSurfaceDesc()
{
    TakePendingLoad();
    return m_texture != nullptr ? &m_desc : nullptr;
}
