#pragma once
// The Direct3D 8 interfaces the engine uses, implemented by a software device: textures and
// surfaces live in memory, drawing is done by the CPU rasteriser, and Present hands the back
// buffer to the device window (Win32/Window.h).
//
// Objects are reference counted as COM objects are: creation returns one reference, AddRef and
// Release count, the last Release deletes. A device keeps its own references to what is bound
// to it (textures, buffers, render targets).

#include "D3D8Types.h"

class IDirect3DDevice8;

class IUnknownD3D8
{
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknownD3D8() = default;
};

class IDirect3DSurface8 : public IUnknownD3D8
{
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // The whole surface when rect is null. Locking a locked surface fails.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DBaseTexture8 : public IUnknownD3D8
{
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual DWORD GetLevelCount() = 0;
};

class IDirect3DTexture8 : public IDirect3DBaseTexture8
{
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The surface of a level, with a reference the caller releases.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer8 : public IUnknownD3D8
{
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer8 : public IUnknownD3D8
{
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

class IDirect3D8;

class IDirect3DDevice8 : public IUnknownD3D8
{
public:
    // D3D_OK, D3DERR_DEVICELOST while lost, D3DERR_DEVICENOTRESET once it may be reset.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT GetDirect3D(IDirect3D8** direct3d) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    // Fails with D3DERR_INVALIDCALL while resources of the default pool exist.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    virtual HRESULT Present(const RECT* source, const RECT* destination, HWND window, const void* dirty) = 0;
    virtual HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture8** texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer8** buffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer8** buffer) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multisample, BOOL lockable,
                                       IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multisample,
                                              IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                       IDirect3DSurface8** surface) = 0;
    virtual HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) = 0;
    virtual HRESULT GetRenderTarget(IDirect3DSurface8** target) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface8** depth) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                         UINT startIndex, UINT primitiveCount) = 0;
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) = 0;

    // Not Direct3D: makes the device lost, as when another program takes the screen, so that
    // device loss can be tested and shown.
    virtual void SimulateDeviceLost() = 0;
};

class IDirect3D8 : public IUnknownD3D8
{
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device) = 0;
};

// Null unless sdkVersion is D3D_SDK_VERSION.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

#define D3D_OK S_OK
