#pragma once
// An image kept in system memory (D3DPOOL_SYSTEMMEM) together with a 16-bit copy of its pixels,
// for code that blends pictures on the processor or sends them on. 32-bit pixels become
// A4R4G4B4 (the default) or A1R5G5B5 (alpha bit set when the pixel's alpha is 0xC0 or more);
// pixels of other formats are copied as their first two bytes. A zlib copy of the 16-bit pixels
// (level 1) is made when first asked for.
//
// Otherwise it is a plain texture image and draws, locks and reads pixels as one. System memory
// survives device losses, and nothing is queued with the background loader: every load finishes
// before it returns.

#include <cstdint>
#include <vector>

#include "KelImageTextureCL.h"

class KelImageSysMemCL : public KelImageTextureCL
{
public:
    // Both load at once.
    bool LoadFromFileM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromMemoryM(const char* name, const void* data, UINT size) override;
    // An empty image; the pool is always system memory, the usage always 0.
    bool CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool) override;
    // Unlocking also refreshes the 16-bit copy from the pixels.
    bool UnLockRect() override;
    // Also drops the 16-bit copies.
    void ReleaseTextureM() override;

    // These answer "nothing", as a bare image does: a system-memory copy has no read filter and
    // is never re-created, and clearing or converting it in place would change the pixels behind
    // the 16-bit copy's back or move them out of system memory.
    void SetReadFilterM(int filter) override { KelImageCL::SetReadFilterM(filter); }
    bool ClearRectM(const RECT* rect) override { return KelImageCL::ClearRectM(rect); }
    bool BeRecreated() override { return KelImageCL::BeRecreated(); }
    void SetBeRecreated(bool recreated) override { KelImageCL::SetBeRecreated(recreated); }
    bool Change32To16() override { return KelImageCL::Change32To16(); }
    bool Change32To1555() override { return KelImageCL::Change32To1555(); }

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
    bool Build16();

    D3DFORMAT m_format16 = D3DFMT_A4R4G4B4;
    std::vector<uint16_t> m_pixels16;
    std::vector<uint8_t> m_compressed;
    bool m_compressedValid = false;
};
