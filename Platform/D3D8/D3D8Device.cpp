#include <algorithm>
#include <cmath>
#include <cstring>

#include <xmmintrin.h>

#include "D3D8/D3D8Internal.h"
#include "Win32/Window.h"

namespace
{
// What the software adapter reports as its current display mode.
constexpr UINT kDisplayWidth = 1920;
constexpr UINT kDisplayHeight = 1080;
// The "video memory" the device pretends to have for textures and surfaces.
constexpr size_t kTextureMemory = 512u * 1024u * 1024u;

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] =
                a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

bool IsTargetFormat(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool IsTextureFormat(D3DFORMAT format)
{
    return D3D8BytesPerPixel(format) != 0 && format != D3DFMT_D16;
}

// Fills the part of an area that lies on the surface with one pixel value, whole rows at once.
template <class Pixel>
void FillRows(D3D8SurfaceImpl* surface, const RECT& area, Pixel value)
{
    LONG right = std::min<LONG>(area.right, static_cast<LONG>(surface->Width()));
    LONG bottom = std::min<LONG>(area.bottom, static_cast<LONG>(surface->Height()));
    LONG left = std::max<LONG>(area.left, 0);
    LONG top = std::max<LONG>(area.top, 0);
    if (top >= bottom || left >= right)
        return;
    // One row is filled pixel by pixel; the others are copies of it, which the C library copies
    // many bytes at a time.
    uint8_t* bits = surface->Bits();
    const size_t bytes = static_cast<size_t>(right - left) * sizeof(Pixel);
    uint8_t* first =
        bits + static_cast<size_t>(top) * surface->Pitch() + static_cast<size_t>(left) * sizeof(Pixel);
    std::fill_n(reinterpret_cast<Pixel*>(first), right - left, value);
    for (LONG y = top + 1; y < bottom; ++y)
        std::memcpy(bits + static_cast<size_t>(y) * surface->Pitch() +
                        static_cast<size_t>(left) * sizeof(Pixel),
                    first, bytes);
}

// Copies `count` indices of the index buffer's type (bytes, so each is copied out rather than
// read through a wider type) made relative to minIndex; false when one lies outside
// [minIndex, minIndex + vertexCount). The bounds are checked once at the end, so that the loop
// has no exit and runs many indices at a time.
template <class Index>
bool RelativeIndices(const uint8_t* data, UINT count, UINT minIndex, UINT vertexCount, uint16_t* out)
{
    uint32_t low = UINT32_MAX;
    uint32_t high = 0;
    for (UINT i = 0; i < count; ++i)
    {
        Index index;
        memcpy(&index, data + static_cast<size_t>(i) * sizeof(Index), sizeof(Index));
        low = std::min<uint32_t>(low, index);
        high = std::max<uint32_t>(high, index);
        out[i] = static_cast<uint16_t>(index - minIndex);
    }
    return count == 0 || (low >= minIndex && high - minIndex < vertexCount);
}

// Whether the rectangle takes in the whole surface.
bool Covers(const RECT& area, const D3D8SurfaceImpl* surface)
{
    return area.left <= 0 && area.top <= 0 && area.right >= static_cast<LONG>(surface->Width()) &&
           area.bottom >= static_cast<LONG>(surface->Height());
}

template <class T>
void Replace(T*& slot, T* value)
{
    if (value != nullptr)
        value->AddRef();
    if (slot != nullptr)
        slot->Release();
    slot = value;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// IDirect3D8

IDirect3D8* Direct3DCreate8(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new D3D8Impl();
}

HRESULT D3D8Impl::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr)
        return D3DERR_INVALIDCALL;
    *mode = D3DDISPLAYMODE{kDisplayWidth, kDisplayHeight, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT D3D8Impl::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD /*behaviourFlags*/,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || parameters == nullptr || type < D3DDEVTYPE_HAL ||
        type > D3DDEVTYPE_SW)
        return D3DERR_INVALIDCALL;
    HWND window = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
    if (window == nullptr)
        return D3DERR_INVALIDCALL;
    auto* created = new D3D8DeviceImpl(this, window, *parameters);
    if (!created->Valid())
    {
        created->Release();
        return D3DERR_INVALIDCALL;
    }
    *device = created;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Device: life cycle

D3D8DeviceImpl::D3D8DeviceImpl(D3D8Impl* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters)
    : m_direct3d(direct3d), m_window(window)
{
    m_direct3d->AddRef();
    CreateSwapChain(parameters);
    SetDefaultStates();
}

D3D8DeviceImpl::~D3D8DeviceImpl()
{
    ReleaseBindings();
    ReleaseSwapChain();
    m_direct3d->Release();
}

bool D3D8DeviceImpl::CreateSwapChain(const D3DPRESENT_PARAMETERS& parameters)
{
    D3DPRESENT_PARAMETERS p = parameters;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN)
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0))
    {
        p.BackBufferWidth = static_cast<UINT>(std::max(1, m_window->ClientWidth()));
        p.BackBufferHeight = static_cast<UINT>(std::max(1, m_window->ClientHeight()));
    }
    if (!IsTargetFormat(p.BackBufferFormat) || p.BackBufferWidth == 0 || p.BackBufferHeight == 0 ||
        p.BackBufferWidth > 16384 || p.BackBufferHeight > 16384)
        return false;
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;
    m_parameters = p;
    m_backBuffer = new D3D8SurfaceImpl(this, p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat,
                                       D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, nullptr, true);
    if (p.EnableAutoDepthStencil)
        m_autoDepth =
            new D3D8SurfaceImpl(this, p.BackBufferWidth, p.BackBufferHeight, p.AutoDepthStencilFormat,
                                D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, nullptr, true);
    m_backBuffer->AddRef();
    m_renderTarget = m_backBuffer;
    if (m_autoDepth != nullptr)
        m_autoDepth->AddRef();
    m_depth = m_autoDepth;
    return true;
}

// Drops the textures, vertex stream and indices set on the device, with their references.
void D3D8DeviceImpl::ReleaseBindings()
{
    for (IDirect3DBaseTexture8*& texture : m_textures)
        Replace(texture, static_cast<IDirect3DBaseTexture8*>(nullptr));
    Replace(m_stream, static_cast<D3D8VertexBufferImpl*>(nullptr));
    Replace(m_indices, static_cast<D3D8IndexBufferImpl*>(nullptr));
}

void D3D8DeviceImpl::ReleaseSwapChain()
{
    Replace(m_renderTarget, static_cast<D3D8SurfaceImpl*>(nullptr));
    Replace(m_depth, static_cast<D3D8SurfaceImpl*>(nullptr));
    if (m_backBuffer != nullptr)
        m_backBuffer->Release();
    if (m_autoDepth != nullptr)
        m_autoDepth->Release();
    m_backBuffer = nullptr;
    m_autoDepth = nullptr;
}

// The states of a new (or reset) device, as Direct3D 8 documents them.
void D3D8DeviceImpl::SetDefaultStates()
{
    std::fill(std::begin(m_renderStates), std::end(m_renderStates), 0);
    m_renderStates[D3DRS_ZENABLE] = m_parameters.EnableAutoDepthStencil ? TRUE : FALSE;
    m_renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
    m_renderStates[D3DRS_SHADEMODE] = 2; // Gouraud
    m_renderStates[D3DRS_ZWRITEENABLE] = TRUE;
    m_renderStates[D3DRS_LASTPIXEL] = TRUE;
    m_renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    m_renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    m_renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
    m_renderStates[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    m_renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    m_renderStates[D3DRS_LIGHTING] = TRUE;
    m_renderStates[D3DRS_COLORVERTEX] = TRUE;
    for (int stage = 0; stage < D3D8_TEXTURE_STAGES; ++stage)
    {
        DWORD* s = m_stageStates[stage];
        std::fill(s, s + D3D8_TEXTURESTAGE_STATE_COUNT, 0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    }
    m_world = m_view = m_projection = Identity();
    m_viewport = D3DVIEWPORT8{0, 0, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight, 0.0f, 1.0f};
    m_vertexShader = 0;
}

void D3D8DeviceImpl::Register(IUnknownD3D8* resource, D3DPOOL pool, size_t bytes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (pool == D3DPOOL_DEFAULT)
        m_defaultPool.insert(resource);
    if (pool != D3DPOOL_SYSTEMMEM)
        m_textureBytes += bytes;
}

void D3D8DeviceImpl::Unregister(IUnknownD3D8* resource, D3DPOOL pool, size_t bytes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (pool == D3DPOOL_DEFAULT)
        m_defaultPool.erase(resource);
    if (pool != D3DPOOL_SYSTEMMEM)
        m_textureBytes -= std::min(bytes, m_textureBytes);
}

HRESULT D3D8DeviceImpl::TestCooperativeLevel()
{
    return m_lost ? D3DERR_DEVICENOTRESET : D3D_OK;
}

UINT D3D8DeviceImpl::GetAvailableTextureMem()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return static_cast<UINT>(kTextureMemory - std::min(m_textureBytes, kTextureMemory));
}

HRESULT D3D8DeviceImpl::GetDirect3D(IDirect3D8** direct3d)
{
    if (direct3d == nullptr)
        return D3DERR_INVALIDCALL;
    m_direct3d->AddRef();
    *direct3d = m_direct3d;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetDisplayMode(D3DDISPLAYMODE* mode)
{
    return m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
}

HRESULT D3D8DeviceImpl::Reset(D3DPRESENT_PARAMETERS* parameters)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (parameters == nullptr || m_inScene)
        return D3DERR_INVALIDCALL;
    // Like Direct3D 8: every resource of the default pool must be released first.
    if (!m_defaultPool.empty())
        return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS previous = m_parameters;
    ReleaseSwapChain();
    if (!CreateSwapChain(*parameters))
    {
        CreateSwapChain(previous);
        return D3DERR_INVALIDCALL;
    }
    *parameters = m_parameters;
    ReleaseBindings();
    SetDefaultStates();
    m_lost = false;
    return D3D_OK;
}

void D3D8DeviceImpl::SimulateDeviceLost()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_lost = true;
}

HRESULT D3D8DeviceImpl::Present(const RECT* /*source*/, const RECT* /*destination*/, HWND window,
                                const void* /*dirty*/)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_lost)
        return D3DERR_DEVICELOST;
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    HWND target = window != nullptr ? window : m_window;
    const int width = static_cast<int>(m_backBuffer->Width());
    const int height = static_cast<int>(m_backBuffer->Height());
    // After a flip or a discard the back buffer's contents are not the frame just shown, so
    // the window may take its memory; a copy swap keeps them, and so does a locked buffer.
    if (m_parameters.SwapEffect == D3DSWAPEFFECT_COPY || m_backBuffer->IsLocked())
        target->PresentFrame(reinterpret_cast<const uint32_t*>(m_backBuffer->Bits()), width, height,
                             m_backBuffer->Pitch());
    else
        target->PresentBuffer(m_backBuffer->Storage(), width, height, m_backBuffer->Pitch());
    m_backBuffer->Touch();
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE /*type*/, IDirect3DSurface8** surface)
{
    if (surface == nullptr || index != 0)
        return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *surface = m_backBuffer;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Device: resources

HRESULT D3D8DeviceImpl::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DTexture8** texture)
{
    if (texture == nullptr)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > 8192 || height > 8192 || !IsTextureFormat(format) ||
        pool > D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    // Render targets are drawn into, which this device does in 32 bits, and live in the
    // default pool, as Direct3D requires.
    if ((usage & D3DUSAGE_RENDERTARGET) != 0 && (pool != D3DPOOL_DEFAULT || !IsTargetFormat(format)))
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    size_t bytes = static_cast<size_t>(width) * height * D3D8BytesPerPixel(format);
    if (pool != D3DPOOL_SYSTEMMEM && bytes > GetAvailableTextureMem())
        return D3DERR_OUTOFVIDEOMEMORY;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *texture = new D3D8TextureImpl(this, width, height, levels, usage, format, pool);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                           IDirect3DVertexBuffer8** buffer)
{
    if (buffer == nullptr || length == 0 || pool > D3DPOOL_SYSTEMMEM || length > (64u << 20))
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *buffer = new D3D8VertexBufferImpl(this, length, usage, D3DFMT_VERTEXDATA, pool, fvf);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                          IDirect3DIndexBuffer8** buffer)
{
    if (buffer == nullptr || length == 0 || pool > D3DPOOL_SYSTEMMEM || length > (64u << 20) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *buffer = new D3D8IndexBufferImpl(this, length, usage, format, pool, 0);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                           D3DMULTISAMPLE_TYPE /*ms*/, BOOL /*lockable*/,
                                           IDirect3DSurface8** surface)
{
    if (surface == nullptr || width == 0 || height == 0 || width > 8192 || height > 8192 ||
        !IsTargetFormat(format))
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *surface =
        new D3D8SurfaceImpl(this, width, height, format, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, nullptr);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                  D3DMULTISAMPLE_TYPE /*ms*/, IDirect3DSurface8** surface)
{
    if (surface == nullptr || width == 0 || height == 0 || width > 8192 || height > 8192 ||
        format != D3DFMT_D16)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *surface =
        new D3D8SurfaceImpl(this, width, height, format, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, nullptr);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                           IDirect3DSurface8** surface)
{
    if (surface == nullptr || width == 0 || height == 0 || width > 8192 || height > 8192 ||
        !IsTextureFormat(format))
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *surface = new D3D8SurfaceImpl(this, width, height, format, D3DPOOL_SYSTEMMEM, 0, nullptr);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto* newTarget = static_cast<D3D8SurfaceImpl*>(target);
    auto* newDepth = static_cast<D3D8SurfaceImpl*>(depth);
    if (newTarget == nullptr)
        newTarget = m_renderTarget; // null keeps the current target, as in Direct3D 8
    if ((newTarget->Usage() & D3DUSAGE_RENDERTARGET) == 0 || !newTarget->CanBeTarget())
        return D3DERR_INVALIDCALL;
    if (newDepth != nullptr && (newDepth->Format() != D3DFMT_D16 || newDepth->Width() < newTarget->Width() ||
                                newDepth->Height() < newTarget->Height()))
        return D3DERR_INVALIDCALL;
    Replace(m_renderTarget, newTarget);
    Replace(m_depth, newDepth);
    // Setting a target sets the viewport to all of it.
    m_viewport = D3DVIEWPORT8{0, 0, newTarget->Width(), newTarget->Height(), 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetRenderTarget(IDirect3DSurface8** target)
{
    if (target == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_renderTarget->AddRef();
    *target = m_renderTarget;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetDepthStencilSurface(IDirect3DSurface8** depth)
{
    if (depth == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *depth = m_depth;
    if (m_depth == nullptr)
        return D3DERR_NOTFOUND;
    m_depth->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Device: states

HRESULT D3D8DeviceImpl::BeginScene()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::EndScene()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z,
                              DWORD /*stencil*/)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if ((count > 0 && rects == nullptr) ||
        (flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) != 0 && m_depth == nullptr)
        return D3DERR_INVALIDCALL;
    if (m_lost)
        return D3D_OK;
    // Clearing is limited to the viewport, and to the rectangles when there are any.
    RECT viewport{static_cast<LONG>(m_viewport.X), static_cast<LONG>(m_viewport.Y),
                  static_cast<LONG>(m_viewport.X + m_viewport.Width),
                  static_cast<LONG>(m_viewport.Y + m_viewport.Height)};
    std::vector<RECT> areas;
    if (count == 0)
        areas.push_back(viewport);
    for (DWORD i = 0; i < count; ++i)
        areas.push_back(RECT{std::max(rects[i].left, viewport.left), std::max(rects[i].top, viewport.top),
                             std::min(rects[i].right, viewport.right),
                             std::min(rects[i].bottom, viewport.bottom)});
    auto fill = [](D3D8SurfaceImpl* surface, const RECT& area, auto write)
    {
        LONG right = std::min<LONG>(area.right, static_cast<LONG>(surface->Width()));
        LONG bottom = std::min<LONG>(area.bottom, static_cast<LONG>(surface->Height()));
        for (LONG y = std::max(0L, static_cast<long>(area.top)); y < bottom; ++y)
            for (LONG x = std::max(0L, static_cast<long>(area.left)); x < right; ++x)
                write(surface->Bits() + static_cast<size_t>(y) * surface->Pitch() +
                      static_cast<size_t>(x) * D3D8BytesPerPixel(surface->Format()));
    };
    for (const RECT& area : areas)
    {
        if ((flags & D3DCLEAR_TARGET) != 0)
        {
            // Targets are 32-bit: whole rows are filled with the pixel value.
            uint32_t pixel = m_renderTarget->Format() == D3DFMT_X8R8G8B8 ? (color | 0xFF000000u) : color;
            if (Covers(area, m_renderTarget))
                m_renderTarget->FillLater(pixel);
            else
                FillRows(m_renderTarget, area, pixel);
            m_renderTarget->Touch();
        }
        if ((flags & D3DCLEAR_ZBUFFER) != 0)
        {
            uint16_t depth = static_cast<uint16_t>(std::clamp(z, 0.0f, 1.0f) * 65535.0f + 0.5f);
            if (D3D8BytesPerPixel(m_depth->Format()) == 2 && Covers(area, m_depth))
            {
                // The screen clears the usual 16-bit depth buffer every frame, and drawing never
                // reads it: the values are written only if somebody looks at them.
                m_depth->FillLater(depth);
            }
            else if (D3D8BytesPerPixel(m_depth->Format()) == 2)
                FillRows(m_depth, area, depth);
            else
            {
                fill(m_depth, area, [&](uint8_t* p) { memcpy(p, &depth, 2); });
            }
        }
    }
    return D3D_OK;
}

// The device's matrix for a transform state; null for the states this device does not keep.
D3DMATRIX* D3D8DeviceImpl::TransformSlot(D3DTRANSFORMSTATETYPE state)
{
    switch (state)
    {
    case D3DTS_WORLD:
        return &m_world;
    case D3DTS_VIEW:
        return &m_view;
    case D3DTS_PROJECTION:
        return &m_projection;
    default:
        return nullptr;
    }
}

HRESULT D3D8DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (matrix == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    D3DMATRIX* slot = TransformSlot(state);
    if (slot == nullptr)
        return D3DERR_INVALIDCALL;
    *slot = *matrix;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (matrix == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const D3DMATRIX* slot = TransformSlot(state);
    if (slot == nullptr)
        return D3DERR_INVALIDCALL;
    *matrix = *slot;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetViewport(const D3DVIEWPORT8* viewport)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0 ||
        viewport->X + viewport->Width > m_renderTarget->Width() ||
        viewport->Y + viewport->Height > m_renderTarget->Height() || viewport->MinZ < 0.0f ||
        viewport->MaxZ > 1.0f || viewport->MinZ > viewport->MaxZ)
        return D3DERR_INVALIDCALL;
    m_viewport = *viewport;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetViewport(D3DVIEWPORT8* viewport)
{
    if (viewport == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (static_cast<unsigned>(state) >= D3D8_RENDERSTATE_COUNT)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_renderStates[state] = value;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (static_cast<unsigned>(state) >= D3D8_RENDERSTATE_COUNT || value == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *value = m_renderStates[state];
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture)
{
    if (stage >= D3D8_TEXTURE_STAGES || texture == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *texture = m_textures[stage];
    if (*texture != nullptr)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture)
{
    if (stage >= D3D8_TEXTURE_STAGES)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Replace(m_textures[stage], texture);
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (stage >= D3D8_TEXTURE_STAGES || static_cast<unsigned>(type) >= D3D8_TEXTURESTAGE_STATE_COUNT ||
        value == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *value = m_stageStates[stage][type];
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= D3D8_TEXTURE_STAGES || static_cast<unsigned>(type) >= D3D8_TEXTURESTAGE_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetVertexShader(DWORD handle)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_vertexShader = handle;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::GetVertexShader(DWORD* handle)
{
    if (handle == nullptr)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *handle = m_vertexShader;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride)
{
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Replace(m_stream, static_cast<D3D8VertexBufferImpl*>(buffer));
    m_streamStride = stride;
    return D3D_OK;
}

HRESULT D3D8DeviceImpl::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Replace(m_indices, static_cast<D3D8IndexBufferImpl*>(buffer));
    m_baseVertexIndex = baseVertexIndex;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Device: drawing

D3D8RasterState D3D8DeviceImpl::RasterState()
{
    D3D8RasterState state;
    const DWORD* s = m_stageStates[0];
    auto* texture = static_cast<D3D8TextureImpl*>(static_cast<IDirect3DTexture8*>(m_textures[0]));
    if (texture != nullptr && texture->Level(0) != nullptr)
        state.texture = &texture->Level(0)->SampleView();
    state.colorOp = s[D3DTSS_COLOROP];
    state.colorArg1 = s[D3DTSS_COLORARG1];
    state.colorArg2 = s[D3DTSS_COLORARG2];
    state.alphaOp = s[D3DTSS_ALPHAOP];
    state.alphaArg1 = s[D3DTSS_ALPHAARG1];
    state.alphaArg2 = s[D3DTSS_ALPHAARG2];
    state.magFilter = s[D3DTSS_MAGFILTER];
    state.minFilter = s[D3DTSS_MINFILTER];
    state.addressU = s[D3DTSS_ADDRESSU];
    state.addressV = s[D3DTSS_ADDRESSV];
    state.blend = m_renderStates[D3DRS_ALPHABLENDENABLE] != 0;
    state.srcBlend = m_renderStates[D3DRS_SRCBLEND];
    state.destBlend = m_renderStates[D3DRS_DESTBLEND];
    state.cullMode = m_renderStates[D3DRS_CULLMODE];
    state.lastPixel = m_renderStates[D3DRS_LASTPIXEL] != 0;
    state.clip = RECT{static_cast<LONG>(m_viewport.X), static_cast<LONG>(m_viewport.Y),
                      static_cast<LONG>(m_viewport.X + m_viewport.Width),
                      static_cast<LONG>(m_viewport.Y + m_viewport.Height)};
    return state;
}

void D3D8DeviceImpl::TransformVertices(const uint8_t* vertex, UINT stride, DWORD fvf, UINT count,
                                       D3D8RasterVertex* out) const
{
    // World, view, projection, divide, viewport. Each coordinate is (((x m0 + y m1) + z m2) + m3)
    // with the matrix's column; the four columns are worked out side by side, each in that
    // order, so the results are those of one coordinate at a time.
    const D3DMATRIX m = Multiply(Multiply(m_world, m_view), m_projection);
    const __m128 row0 = _mm_loadu_ps(m.m[0]);
    const __m128 row1 = _mm_loadu_ps(m.m[1]);
    const __m128 row2 = _mm_loadu_ps(m.m[2]);
    const __m128 row3 = _mm_loadu_ps(m.m[3]);
    const float halfWidth = m_viewport.Width * 0.5f;
    const float halfHeight = m_viewport.Height * 0.5f;
    const float depthRange = m_viewport.MaxZ - m_viewport.MinZ;
    const float left = static_cast<float>(m_viewport.X);
    const float top = static_cast<float>(m_viewport.Y);
    const float nearZ = m_viewport.MinZ;
    const bool diffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    const bool textured = (fvf & D3DFVF_TEX1) != 0;
    for (UINT i = 0; i < count; ++i, vertex += stride)
    {
        float p[3];
        memcpy(p, vertex, 12);
        const __m128 v = _mm_add_ps(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(p[0]), row0), _mm_mul_ps(_mm_set1_ps(p[1]), row1)),
                       _mm_mul_ps(_mm_set1_ps(p[2]), row2)),
            row3);
        float xyzw[4];
        _mm_storeu_ps(xyzw, v);
        float x = xyzw[0];
        float y = xyzw[1];
        float z = xyzw[2];
        const float w = xyzw[3];
        if (w != 1.0f && w != 0.0f)
        {
            x /= w;
            y /= w;
            z /= w;
        }
        D3D8RasterVertex& o = out[i];
        o.x = left + (x + 1.0f) * halfWidth;
        o.y = top + (1.0f - y) * halfHeight;
        o.z = nearZ + z * depthRange;
        const uint8_t* rest = vertex + 12;
        o.diffuse = 0xFFFFFFFFu;
        if (diffuse)
        {
            memcpy(&o.diffuse, rest, 4);
            rest += 4;
        }
        o.u = o.v = 0.0f;
        if (textured)
        {
            memcpy(&o.u, rest, 4);
            memcpy(&o.v, rest + 4, 4);
        }
    }
}

bool D3D8DeviceImpl::DrawReplacesTarget(const D3D8RasterState& state, int triangles)
{
    switch (D3D8RasterFirstQuadCover(m_renderTarget->TargetShape(), state, m_transformed.data(),
                                     m_indexScratch.data(), triangles))
    {
    case D3D8RasterCover::Whole:
        return true;
    case D3D8RasterCover::WholeIfTextureOpaque:
    {
        auto* texture = static_cast<D3D8TextureImpl*>(static_cast<IDirect3DTexture8*>(m_textures[0]));
        return texture != nullptr && texture->Level(0) != nullptr && texture->Level(0)->AllOpaque();
    }
    default:
        return false;
    }
}

HRESULT D3D8DeviceImpl::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                             UINT startIndex, UINT primitiveCount)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_inScene || m_stream == nullptr || m_indices == nullptr || primitiveCount == 0)
        return D3DERR_INVALIDCALL;
    if (type != D3DPT_TRIANGLELIST && type != D3DPT_LINELIST)
        return D3DERR_INVALIDCALL;
    // Vertex layouts this device draws: position, optional diffuse, optional one texture
    // coordinate pair.
    DWORD fvf = m_vertexShader;
    if ((fvf & ~(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1)) != 0 || (fvf & D3DFVF_XYZ) == 0)
        return D3DERR_INVALIDCALL;
    UINT size = 12 + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D3DFVF_TEX1) ? 8 : 0);
    if (m_streamStride < size)
        return D3DERR_INVALIDCALL;
    UINT perPrimitive = type == D3DPT_TRIANGLELIST ? 3 : 2;
    UINT indexBytes = m_indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
    uint64_t indexEnd =
        (static_cast<uint64_t>(startIndex) + static_cast<uint64_t>(primitiveCount) * perPrimitive);
    if (indexEnd * indexBytes > m_indices->Length() || vertexCount == 0 || vertexCount > 65536)
        return D3DERR_INVALIDCALL;
    uint64_t firstVertex = static_cast<uint64_t>(m_baseVertexIndex) + minIndex;
    if ((firstVertex + vertexCount) * m_streamStride > m_stream->Length() + (m_streamStride - size))
        return D3DERR_INVALIDCALL;
    if (m_lost)
        return D3D_OK;

    // Indices, checked against the declared vertex range and made relative to it.
    UINT indexCount = primitiveCount * perPrimitive;
    m_indexScratch.resize(indexCount);
    const uint8_t* indexData = m_indices->Data() + static_cast<size_t>(startIndex) * indexBytes;
    const bool inRange =
        indexBytes == 2
            ? RelativeIndices<uint16_t>(indexData, indexCount, minIndex, vertexCount, m_indexScratch.data())
            : RelativeIndices<uint32_t>(indexData, indexCount, minIndex, vertexCount, m_indexScratch.data());
    if (!inRange)
        return D3DERR_INVALIDCALL;

    m_transformed.resize(vertexCount);
    TransformVertices(m_stream->Data() + firstVertex * m_streamStride, m_streamStride, fvf, vertexCount,
                      m_transformed.data());

    D3D8RasterState state = RasterState();
    // A cleared target that this draw covers entirely need not be cleared: the screen clears
    // every frame and then draws its background over the whole of it.
    if (m_renderTarget->FillPending() && type == D3DPT_TRIANGLELIST &&
        DrawReplacesTarget(state, static_cast<int>(primitiveCount)))
        m_renderTarget->DropPendingFill();
    D3D8RasterTarget target = m_renderTarget->TargetView();
    if (type == D3DPT_TRIANGLELIST)
        D3D8RasterTriangles(target, state, m_transformed.data(), m_indexScratch.data(),
                            static_cast<int>(primitiveCount));
    else
        D3D8RasterLines(target, state, m_transformed.data(), m_indexScratch.data(),
                        static_cast<int>(primitiveCount));
    return D3D_OK;
}
