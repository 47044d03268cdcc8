#pragma once
// The D3DX 8 helpers the engine calls: image information and textures from files and memory
// (PNG, TGA, BMP and JPEG, decoded by stb_image), saving a surface as an image file (so that a
// person can look at a frame), render-to-surface, and the matrix helpers.

#include "D3D8.h"

#define D3DX_DEFAULT static_cast<UINT>(-1)

#define D3DX_FILTER_NONE 1u
#define D3DX_FILTER_POINT 2u
#define D3DX_FILTER_LINEAR 3u
#define D3DX_FILTER_TRIANGLE 4u
#define D3DX_FILTER_BOX 5u

enum D3DXIMAGE_FILEFORMAT
{
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
};

struct D3DXIMAGE_INFO
{
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format; // A8R8G8B8 for images with alpha, X8R8G8B8 without, R8G8B8 for JPEG
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// File names are Windows-form paths (Win32/Files.h resolves them). D3DXERR_INVALIDDATA when
// the data is not an image (an empty file included), or claims a size above 16384 pixels a side
// or 64 million pixels in all, which only a damaged header does; D3DERR_INVALIDCALL for bad
// arguments (a null pointer, a size of 0) or a file that cannot be opened. The file format is
// told by the signature (PNG, JPEG, BMP); data without one is a TGA if it has a TGA header.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info);
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

// A texture of the image. Width, height: D3DX_DEFAULT (or 0) for the image's own; other sizes
// scale the image with the filter (point or linear; none keeps the image at the top left and
// leaves the rest transparent black). Triangle and box filters, and D3DX_DEFAULT, filter
// linearly. Sizes are kept as asked, never rounded to powers of two, since the device takes any
// size. Format D3DFMT_UNKNOWN takes the image's. colorKey: an opaque A8R8G8B8 colour whose
// pixels become transparent black whatever their alpha (0 = none); it is applied before the
// image is scaled. MipLevels other than 1 are treated as 1. srcInfo gets the image's information
// when not null. *texture is null after any failure, and nothing is left behind.
// The plain variants take the image's size and format, the managed pool and the linear filter.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, LPCSTR file, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, void* palette, IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, LPCSTR file, IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, void* palette,
                                            IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* data, UINT size,
                                          IDirect3DTexture8** texture);

// Writes the surface (or the part in rect, which must lie inside it) as PNG or BMP. Formats
// with alpha are written with alpha, the others without, so that the file reads back as
// opaque. D3DERR_INVALIDCALL for other file formats, bad arguments or a file that cannot be
// created; nothing is written then.
HRESULT D3DXSaveSurfaceToFileA(LPCSTR file, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface8* surface,
                               const void* palette, const RECT* rect);

// Drawing into a surface: BeginScene makes the surface the device's render target (with a depth
// buffer when asked for) and the viewport the given one (or the whole surface), and begins a
// scene; EndScene ends it and puts the device's own target, depth buffer and viewport back.
// The object holds a reference to the device (and its own depth buffer); releasing it in the
// middle of a scene ends the scene first, so the device is never left drawing into the surface.
struct D3DXRTS_DESC
{
    UINT Width;
    UINT Height;
    D3DFORMAT Format;
    BOOL DepthStencil;
    D3DFORMAT DepthStencilFormat;
};

class ID3DXRenderToSurface : public IUnknownD3D8
{
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetDesc(D3DXRTS_DESC* desc) = 0;
    // D3DERR_INVALIDCALL when the surface is not a render target of this size and format, or a
    // scene is already begun.
    virtual HRESULT BeginScene(IDirect3DSurface8* surface, const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT EndScene() = 0;
};

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice8* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** object);

// Matrices and vectors. Matrices are row-major with row vectors (v' = v * M), as in Direct3D.
struct D3DXVECTOR2
{
    float x, y;
};
struct D3DXVECTOR3
{
    float x, y, z;
};
struct D3DXVECTOR4
{
    float x, y, z, w;
};
struct D3DXMATRIX : public D3DMATRIX
{
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// out = a * b (a applied first).
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* out, float width, float height, float zNear, float zFar);
D3DXMATRIX* D3DXMatrixPerspectiveRH(D3DXMATRIX* out, float width, float height, float zNear, float zFar);
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
// Scaling about scalingCenter (after rotating the scaling axes by scalingRotation), then
// rotation about rotationCenter, then translation; null arguments are identities.
D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scalingCenter,
                                       float scalingRotation, const D3DXVECTOR2* scaling,
                                       const D3DXVECTOR2* rotationCenter, float rotation,
                                       const D3DXVECTOR2* translation);
D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m);
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
