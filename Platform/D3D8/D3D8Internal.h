#pragma once
// The objects of the software Direct3D 8 device. Internal to the platform layer.

#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "D3D8.h"
#include "D3D8Rasterizer.h"
#include "Win32/PixelBuffer.h"

class D3D8DeviceImpl;

// The reference count of a Direct3D object: created with one reference, deleted by the last
// Release.
template <class Interface>
class D3D8RefCounted : public Interface
{
public:
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_references{1};
};

// Memory of a pixel surface in its own format, plus an A8R8G8B8 copy for sampling when the
// format is not A8R8G8B8 (refreshed lazily after every change).
class D3D8SurfaceImpl final : public IDirect3DSurface8
{
public:
    // `container`: the texture owning this level (references go to it), or null. A surface
    // made by the device for itself (its back buffer) does not hold the device (`ownedByDevice`).
    D3D8SurfaceImpl(D3D8DeviceImpl* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                    DWORD usage, IUnknownD3D8* container, bool ownedByDevice = false);
    ~D3D8SurfaceImpl() override;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    D3DFORMAT Format() const { return m_format; }
    D3DPOOL Pool() const { return m_pool; }
    DWORD Usage() const { return m_usage; }
    bool IsLocked() const { return m_locked; }
    uint8_t* Bits()
    {
        ApplyPendingFill();
        return reinterpret_cast<uint8_t*>(m_bits.data());
    }
    // The memory of the surface, for handing a finished frame over without a copy (see
    // Win32Window::PresentBuffer); whatever comes back must have the same size.
    PixelBuffer& Storage()
    {
        ApplyPendingFill();
        return m_bits;
    }
    // Fills the whole surface with one value (16 or 32 bits, as its pixels) when its bits are
    // next used rather than now: the screen clears its target and depth buffer every frame, the
    // 2D frame never reads the depth buffer, and its first picture usually covers the target.
    void FillLater(uint32_t value)
    {
        m_pendingFill = value;
        m_fillPending = true;
    }
    bool FillPending() const { return m_fillPending; }
    // The next drawing writes every pixel without reading any: the fill would be wasted.
    void DropPendingFill() { m_fillPending = false; }
    int Pitch() const { return m_pitch; }
    // Drawing into the surface (32-bit formats only).
    bool CanBeTarget() const { return m_format == D3DFMT_A8R8G8B8 || m_format == D3DFMT_X8R8G8B8; }
    D3D8RasterTarget TargetView();
    // The surface changed behind a lock (drawing, clearing): the sampling copy is stale.
    void Touch()
    {
        m_sampleStale = true;
        m_opacity = Opacity::Unknown;
    }
    // The surface as a texture; its `opaque` says what AllOpaque last found.
    const D3D8RasterTexture& SampleView();
    // Whether every pixel's alpha (as sampled) is 255. Measured once after every change, and
    // only when asked: the screen asks about the picture that covers a freshly cleared target.
    bool AllOpaque();
    // The surface as a drawing target, leaving a pending fill for the caller to settle.
    D3D8RasterTarget TargetShape();
    size_t ByteSize() const { return m_bits.size() * sizeof(uint32_t); }

private:
    void ApplyPendingFill();

    D3D8DeviceImpl* m_device;
    IUnknownD3D8* m_container;
    bool m_ownedByDevice;
    std::atomic<ULONG> m_references{1};
    UINT m_width, m_height;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    DWORD m_usage;
    int m_pitch;
    PixelBuffer m_bits; // rows of m_pitch bytes, a multiple of 4
    bool m_fillPending = false;
    uint32_t m_pendingFill = 0;
    bool m_locked = false;
    std::vector<uint32_t> m_sample;
    bool m_sampleStale = true;
    enum class Opacity
    {
        Unknown,
        Opaque,
        NotOpaque,
    };
    Opacity m_opacity = Opacity::Unknown;
    D3D8RasterTexture m_sampleView{};
};

class D3D8TextureImpl final : public D3D8RefCounted<IDirect3DTexture8>
{
public:
    D3D8TextureImpl(D3D8DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage,
                    D3DFORMAT format, D3DPOOL pool);
    ~D3D8TextureImpl() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    D3D8SurfaceImpl* Level(UINT level) { return level < m_levels.size() ? m_levels[level] : nullptr; }
    D3DPOOL Pool() const { return m_pool; }
    size_t ByteSize() const;

private:
    D3D8DeviceImpl* m_device;
    D3DPOOL m_pool;
    std::vector<D3D8SurfaceImpl*> m_levels;
};

// Vertex and index buffers: bytes in memory.
template <class Interface, class Desc>
class D3D8BufferImpl final : public D3D8RefCounted<Interface>
{
public:
    D3D8BufferImpl(D3D8DeviceImpl* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                   DWORD fvf);
    ~D3D8BufferImpl() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(Desc* desc) override;

    const uint8_t* Data() const { return m_data.data(); }
    UINT Length() const { return static_cast<UINT>(m_data.size()); }
    D3DFORMAT Format() const { return m_format; }
    D3DPOOL Pool() const { return m_pool; }

private:
    D3D8DeviceImpl* m_device;
    std::vector<uint8_t> m_data;
    DWORD m_usage;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    DWORD m_fvf;
    bool m_locked = false;
};

typedef D3D8BufferImpl<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC> D3D8VertexBufferImpl;
typedef D3D8BufferImpl<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC> D3D8IndexBufferImpl;

class D3D8Impl;

class D3D8DeviceImpl final : public D3D8RefCounted<IDirect3DDevice8>
{
public:
    D3D8DeviceImpl(D3D8Impl* direct3d, HWND window, const D3DPRESENT_PARAMETERS& parameters);
    ~D3D8DeviceImpl() override;
    bool Valid() const { return m_backBuffer != nullptr; }
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D8** direct3d) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* source, const RECT* destination, HWND window, const void* dirty) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multisample,
                               BOOL lockable, IDirect3DSurface8** surface) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multisample, IDirect3DSurface8** surface) override;
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               IDirect3DSurface8** surface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** target) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** depth) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT startIndex,
                                 UINT primitiveCount) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override;
    void SimulateDeviceLost() override;

    // Resources tell the device when they come and go, for Reset and the memory estimate.
    void Register(IUnknownD3D8* resource, D3DPOOL pool, size_t bytes);
    void Unregister(IUnknownD3D8* resource, D3DPOOL pool, size_t bytes);
    std::recursive_mutex& Lock() { return m_mutex; }

private:
    bool CreateSwapChain(const D3DPRESENT_PARAMETERS& parameters);
    void ReleaseSwapChain();
    void ReleaseBindings();
    void SetDefaultStates();
    D3DMATRIX* TransformSlot(D3DTRANSFORMSTATETYPE state);
    D3D8RasterState RasterState();
    // The vertices of the stream in screen space, for the rasteriser.
    void TransformVertices(const uint8_t* vertex, UINT stride, DWORD fvf, UINT count,
                           D3D8RasterVertex* out) const;
    // Whether the triangles about to be drawn replace every pixel of the target.
    bool DrawReplacesTarget(const D3D8RasterState& state, int triangles);

    std::recursive_mutex m_mutex;
    D3D8Impl* m_direct3d;
    HWND m_window;
    D3DPRESENT_PARAMETERS m_parameters{};
    D3D8SurfaceImpl* m_backBuffer = nullptr;
    D3D8SurfaceImpl* m_autoDepth = nullptr;
    D3D8SurfaceImpl* m_renderTarget = nullptr; // with a reference
    D3D8SurfaceImpl* m_depth = nullptr;        // with a reference
    bool m_inScene = false;
    bool m_lost = false;
    DWORD m_renderStates[D3D8_RENDERSTATE_COUNT] = {};
    DWORD m_stageStates[D3D8_TEXTURE_STAGES][D3D8_TEXTURESTAGE_STATE_COUNT] = {};
    IDirect3DBaseTexture8* m_textures[D3D8_TEXTURE_STAGES] = {};
    D3DMATRIX m_world{}, m_view{}, m_projection{};
    D3DVIEWPORT8 m_viewport{};
    DWORD m_vertexShader = 0;
    D3D8VertexBufferImpl* m_stream = nullptr;
    UINT m_streamStride = 0;
    D3D8IndexBufferImpl* m_indices = nullptr;
    UINT m_baseVertexIndex = 0;
    std::set<IUnknownD3D8*> m_defaultPool;
    size_t m_textureBytes = 0;
    std::vector<D3D8RasterVertex> m_transformed;
    std::vector<uint16_t> m_indexScratch;
};

class D3D8Impl final : public D3D8RefCounted<IDirect3D8>
{
public:
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device) override;
};
