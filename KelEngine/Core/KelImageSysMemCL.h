#pragma once
// An image kept in system memory (D3DPOOL_SYSTEMMEM) together with a 16-bit copy of its pixels,
// for code that blends pictures on the processor or sends them on. 32-bit pixels become
// A4R4G4B4 (the default) or A1R5G5B5 (alpha bit set when the pixel's alpha is 0xC0 or more);
// pixels of other formats are copied as their first two bytes. A zlib copy of the 16-bit pixels
// (level 1) is made when first asked for.
//
// System memory survives device losses, and nothing is queued with the background loader: every
// load finishes before it returns.

#include <cstdint>
#include <string>
#include <vector>

#include "KelImageCL.h"

class KelImageSysMemCL : public KelImageCL
{
public:
    KelImageSysMemCL();
    ~KelImageSysMemCL() override;

    // Both load at once.
    bool LoadFromFileM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromMemoryM(const char* name, const void* data, UINT size) override;
    // An empty image; the pool is always system memory.
    bool CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool) override;
    IDirect3DTexture8* GetTextureM() override;
    IDirect3DSurface8* GetSurfaceM() override;
    std::string GetIDM() override;
    bool OnLostDevice() override;
    bool OnResetDevice() override;
    bool LockRect(int x, int y, int width, int height, void** bits, int* pitch, DWORD flags) override;
    // Unlocking also refreshes the 16-bit copy from the pixels.
    bool UnLockRect() override;
    bool Render(KelCanvasCL* canvas, float x, float y) override;
    bool RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height, D3DCOLOR color) override;
    bool GetPointColor(int x, int y, D3DCOLOR* color) override;
    int GetImageWidth() override;
    int GetImageHeight() override;
    const D3DSURFACE_DESC* GetSurfaceDesc() override;

    // D3DFMT_A4R4G4B4 or D3DFMT_A1R5G5B5: the form 32-bit pixels take in the 16-bit copy.
    // Applies to the next load, and to the current pixels at once.
    bool SetPixels16Format(D3DFORMAT format);
    D3DFORMAT GetPixels16Format() const { return m_format16; }
    // Width × height pixels, row by row.
    const std::vector<uint16_t>& GetPixels16() const { return m_pixels16; }
    // The 16-bit pixels as little-endian bytes compressed by zlib at level 1; empty when the
    // image is empty.
    const std::vector<uint8_t>& GetCompressedPixels16();

private:
    bool Adopt(IDirect3DTexture8* texture, const char* name);
    bool Build16();
    void Release();

    std::string m_name;
    IDirect3DTexture8* m_texture = nullptr;
    IDirect3DSurface8* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
    D3DSURFACE_DESC m_desc{};
    D3DFORMAT m_format16 = D3DFMT_A4R4G4B4;
    std::vector<uint16_t> m_pixels16;
    std::vector<uint8_t> m_compressed;
    bool m_compressedValid = false;
};
