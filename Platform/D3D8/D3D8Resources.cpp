#include <algorithm>
#include <cstring>

#include "D3D8/D3D8Internal.h"

// ---------------------------------------------------------------------------------------------
// Surfaces

D3D8SurfaceImpl::D3D8SurfaceImpl(D3D8DeviceImpl* device, UINT width, UINT height, D3DFORMAT format,
                                 D3DPOOL pool, DWORD usage, IUnknownD3D8* container, bool ownedByDevice)
    : m_device(device), m_container(container), m_ownedByDevice(ownedByDevice), m_width(width),
      m_height(height), m_format(format), m_pool(pool), m_usage(usage)
{
    // Rows are kept 4-byte aligned, as drivers do.
    m_pitch = static_cast<int>((width * D3D8BytesPerPixel(format) + 3u) & ~3u);
    m_bits.Reset(static_cast<size_t>(m_pitch) / 4 * height);
    if (m_container == nullptr && !m_ownedByDevice)
    {
        m_device->AddRef();
        m_device->Register(this, pool, ByteSize());
    }
}

D3D8SurfaceImpl::~D3D8SurfaceImpl()
{
    if (m_container == nullptr && !m_ownedByDevice)
    {
        m_device->Unregister(this, m_pool, ByteSize());
        m_device->Release();
    }
}

ULONG D3D8SurfaceImpl::AddRef()
{
    if (m_container != nullptr)
        return m_container->AddRef();
    return ++m_references;
}

ULONG D3D8SurfaceImpl::Release()
{
    if (m_container != nullptr)
        return m_container->Release();
    ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT D3D8SurfaceImpl::GetDevice(IDirect3DDevice8** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

HRESULT D3D8SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc)
{
    if (desc == nullptr)
        return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = static_cast<UINT>(ByteSize());
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = m_width;
    desc->Height = m_height;
    return D3D_OK;
}

HRESULT D3D8SurfaceImpl::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (locked == nullptr || m_locked || m_format == D3DFMT_D16)
        return D3DERR_INVALIDCALL;
    RECT area{0, 0, static_cast<LONG>(m_width), static_cast<LONG>(m_height)};
    if (rect != nullptr)
    {
        if (rect->left < 0 || rect->top < 0 || rect->right > area.right || rect->bottom > area.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        area = *rect;
    }
    ApplyPendingFill();
    m_locked = true;
    if ((flags & D3DLOCK_READONLY) == 0)
        Touch();
    locked->Pitch = m_pitch;
    locked->pBits = reinterpret_cast<uint8_t*>(m_bits.data()) + static_cast<size_t>(area.top) * m_pitch +
                    static_cast<size_t>(area.left) * D3D8BytesPerPixel(m_format);
    return D3D_OK;
}

void D3D8SurfaceImpl::ApplyPendingFill()
{
    if (!m_fillPending)
        return;
    m_fillPending = false;
    if (D3D8BytesPerPixel(m_format) == 2)
        std::fill_n(reinterpret_cast<uint16_t*>(m_bits.data()), ByteSize() / 2,
                    static_cast<uint16_t>(m_pendingFill));
    else
        std::fill_n(m_bits.data(), m_bits.size(), m_pendingFill);
}

HRESULT D3D8SurfaceImpl::UnlockRect()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    // Pixels written under the lock after opacity was measured.
    m_opacity = Opacity::Unknown;
    return D3D_OK;
}

D3D8RasterTarget D3D8SurfaceImpl::TargetView()
{
    ApplyPendingFill();
    Touch();
    return TargetShape();
}

D3D8RasterTarget D3D8SurfaceImpl::TargetShape()
{
    return D3D8RasterTarget{m_bits.data(), static_cast<int>(m_width), static_cast<int>(m_height), m_pitch / 4,
                            m_format == D3DFMT_A8R8G8B8};
}

const D3D8RasterTexture& D3D8SurfaceImpl::SampleView()
{
    ApplyPendingFill();
    if (m_format == D3DFMT_A8R8G8B8)
    {
        m_sampleView = D3D8RasterTexture{m_bits.data(), static_cast<int>(m_width), static_cast<int>(m_height),
                                         m_pitch / 4, m_opacity == Opacity::Opaque};
        return m_sampleView;
    }
    if (m_sampleStale)
    {
        m_sample.resize(static_cast<size_t>(m_width) * m_height);
        UINT bytes = D3D8BytesPerPixel(m_format);
        for (UINT y = 0; y < m_height; ++y)
        {
            const uint8_t* row =
                reinterpret_cast<const uint8_t*>(m_bits.data()) + static_cast<size_t>(y) * m_pitch;
            for (UINT x = 0; x < m_width; ++x)
                m_sample[static_cast<size_t>(y) * m_width + x] = D3D8DecodePixel(m_format, row + x * bytes);
        }
        m_sampleStale = false;
    }
    m_sampleView = D3D8RasterTexture{m_sample.data(), static_cast<int>(m_width), static_cast<int>(m_height),
                                     static_cast<int>(m_width), m_opacity == Opacity::Opaque};
    return m_sampleView;
}

bool D3D8SurfaceImpl::AllOpaque()
{
    if (m_locked)
        return false;
    if (m_opacity == Opacity::Unknown)
    {
        const D3D8RasterTexture view = SampleView();
        bool opaque = true;
        for (int y = 0; y < view.height && opaque; ++y)
        {
            const uint32_t* row = view.pixels + static_cast<size_t>(y) * view.pitch;
            uint32_t all = 0xFF000000u;
            for (int x = 0; x < view.width; ++x)
                all &= row[x];
            opaque = all == 0xFF000000u;
        }
        m_opacity = opaque ? Opacity::Opaque : Opacity::NotOpaque;
    }
    m_sampleView.opaque = m_opacity == Opacity::Opaque;
    return m_sampleView.opaque;
}

// ---------------------------------------------------------------------------------------------
// Textures

D3D8TextureImpl::D3D8TextureImpl(D3D8DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool)
    : m_device(device), m_pool(pool)
{
    // Level count 0 asks for the whole chain down to 1 x 1.
    UINT w = width, h = height;
    for (UINT level = 0; levels == 0 || level < levels; ++level)
    {
        m_levels.push_back(new D3D8SurfaceImpl(device, w, h, format, pool, usage, this));
        if (w == 1 && h == 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    m_device->AddRef();
    m_device->Register(this, pool, ByteSize());
}

D3D8TextureImpl::~D3D8TextureImpl()
{
    size_t bytes = ByteSize();
    for (D3D8SurfaceImpl* level : m_levels)
        delete level;
    m_device->Unregister(this, m_pool, bytes);
    m_device->Release();
}

size_t D3D8TextureImpl::ByteSize() const
{
    size_t bytes = 0;
    for (const D3D8SurfaceImpl* level : m_levels)
        bytes += level->ByteSize();
    return bytes;
}

HRESULT D3D8TextureImpl::GetDevice(IDirect3DDevice8** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

HRESULT D3D8TextureImpl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->GetDesc(desc);
}

HRESULT D3D8TextureImpl::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface)
{
    if (level >= m_levels.size() || surface == nullptr)
        return D3DERR_INVALIDCALL;
    AddRef();
    *surface = m_levels[level];
    return D3D_OK;
}

HRESULT D3D8TextureImpl::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->LockRect(locked, rect, flags);
}

HRESULT D3D8TextureImpl::UnlockRect(UINT level)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->UnlockRect();
}

// ---------------------------------------------------------------------------------------------
// Buffers

template <class Interface, class Desc>
D3D8BufferImpl<Interface, Desc>::D3D8BufferImpl(D3D8DeviceImpl* device, UINT length, DWORD usage,
                                                D3DFORMAT format, D3DPOOL pool, DWORD fvf)
    : m_device(device), m_data(length, 0), m_usage(usage), m_format(format), m_pool(pool), m_fvf(fvf)
{
    m_device->AddRef();
    m_device->Register(this, pool, 0);
}

template <class Interface, class Desc>
D3D8BufferImpl<Interface, Desc>::~D3D8BufferImpl()
{
    m_device->Unregister(this, m_pool, 0);
    m_device->Release();
}

template <class Interface, class Desc>
HRESULT D3D8BufferImpl<Interface, Desc>::GetDevice(IDirect3DDevice8** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT D3D8BufferImpl<Interface, Desc>::Lock(UINT offset, UINT size, BYTE** data, DWORD /*flags*/)
{
    // Size 0 locks everything from the offset on, as Direct3D does.
    if (data == nullptr || m_locked || offset > m_data.size() || (size != 0 && size > m_data.size() - offset))
        return D3DERR_INVALIDCALL;
    m_locked = true;
    *data = m_data.data() + offset;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT D3D8BufferImpl<Interface, Desc>::Unlock()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT D3D8BufferImpl<Interface, Desc>::GetDesc(Desc* desc)
{
    if (desc == nullptr)
        return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = std::is_same_v<Desc, D3DVERTEXBUFFER_DESC> ? D3DRTYPE_VERTEXBUFFER : D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = static_cast<UINT>(m_data.size());
    if constexpr (std::is_same_v<Desc, D3DVERTEXBUFFER_DESC>)
        desc->FVF = m_fvf;
    return D3D_OK;
}

template class D3D8BufferImpl<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>;
template class D3D8BufferImpl<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>;
