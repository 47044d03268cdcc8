#include "KelImageCL.h"

#include "KelSystemCL.h"

// Every operation answers "nothing" unless the kind of image overrides it.

KelImageCL::~KelImageCL() = default;

DWORD KelImageCL::GetTickCountM()
{
    return KelGetElapsedMs();
}

bool KelImageCL::LoadFromFileM(const char*, D3DCOLOR)
{
    return false;
}

bool KelImageCL::LoadFromFileImmediateM(const char*, D3DCOLOR)
{
    return false;
}

bool KelImageCL::LoadFromMemoryM(const char*, const void*, UINT)
{
    return false;
}

bool KelImageCL::CreateImageM(const char*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL)
{
    return false;
}

bool KelImageCL::CreateCubeImageM(const char*, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL)
{
    return false;
}

std::pair<int, int> KelImageCL::GetSizeM()
{
    return {GetImageWidth(), GetImageHeight()};
}

IDirect3DTexture8* KelImageCL::GetTextureM()
{
    return nullptr;
}

IDirect3DBaseTexture8* KelImageCL::GetCubeTextureM()
{
    return nullptr;
}

IDirect3DSurface8* KelImageCL::GetSurfaceM()
{
    return nullptr;
}

IDirect3DSurface8* KelImageCL::GetCubSurfaceM(int)
{
    return nullptr;
}

std::string KelImageCL::GetIDM()
{
    return std::string();
}

void KelImageCL::SetReadFilterM(int) {}

bool KelImageCL::ClearRectM(const RECT*)
{
    return false;
}

bool KelImageCL::OnLostDevice()
{
    return false;
}

bool KelImageCL::OnResetDevice()
{
    return false;
}

bool KelImageCL::LockRect(int, int, int, int, void** bits, int* pitch, DWORD)
{
    if (bits != nullptr)
        *bits = nullptr;
    if (pitch != nullptr)
        *pitch = 0;
    return false;
}

bool KelImageCL::UnLockRect()
{
    return false;
}

bool KelImageCL::Render(KelCanvasCL*, float, float)
{
    return false;
}

bool KelImageCL::RenderRect(KelCanvasCL*, int, int, int, int, D3DCOLOR)
{
    return false;
}

bool KelImageCL::BeRecreated()
{
    return false;
}

void KelImageCL::SetBeRecreated(bool) {}

bool KelImageCL::GetPointColor(int, int, D3DCOLOR* color)
{
    if (color != nullptr)
        *color = 0;
    return false;
}

int KelImageCL::GetRenderOffsetX()
{
    return 0;
}

int KelImageCL::GetRenderOffsetY()
{
    return 0;
}

int KelImageCL::GetImageWidth()
{
    return 0;
}

int KelImageCL::GetImageHeight()
{
    return 0;
}

KelImageCL* KelImageCL::GetImage()
{
    return nullptr;
}

bool KelImageCL::Change32To16()
{
    return false;
}

bool KelImageCL::Change32To1555()
{
    return false;
}

void KelImageCL::SetAnimationTime(int) {}

const D3DSURFACE_DESC* KelImageCL::GetSurfaceDesc()
{
    return nullptr;
}

bool KelImageCL::SaveAsAnimationFile(const char*)
{
    return false;
}
