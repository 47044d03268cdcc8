#pragma once
// The plain texture image: one Direct3D texture. Pictures loaded from files, font pages,
// animation frames and drawing targets are all texture images.
//
// A file can be loaded at once or handed to the background loader (LoadFromFileM). While a
// background load runs the image answers as empty (size 0, no texture), so it draws nothing and
// reads no pixel; the first call after the loader has published the texture takes it over. An
// image deleted before its load has finished leaves its result slot behind, so that the loader
// never writes into freed memory; the texture that arrives there later is released.
//
// Video memory. Creating or loading a texture subtracts its estimate (width × height × 2 / 1024
// KB, with the factors the creator applies) from the system object's available video memory;
// ReleaseTextureM, and the destructor, give back exactly what was subtracted.

#include <cstdint>
#include <memory>
#include <string>

#include "KelImageCL.h"

class KelImageTextureCL : public KelImageCL
{
public:
    KelImageTextureCL();
    ~KelImageTextureCL() override;

    // Queues the file with the background loader; false only for an empty path. The colour key
    // is not used: the loader creates textures without one.
    bool LoadFromFileM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromMemoryM(const char* name, const void* data, UINT size) override;
    bool CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool) override;
    std::pair<int, int> GetSizeM() override;
    IDirect3DTexture8* GetTextureM() override;
    IDirect3DSurface8* GetSurfaceM() override;
    std::string GetIDM() override;
    void SetReadFilterM(int filter) override;
    bool ClearRectM(const RECT* rect) override;
    // Render targets and dynamic textures of the default pool do not survive a device loss:
    // they are released here and created again, empty, by OnResetDevice.
    bool OnLostDevice() override;
    bool OnResetDevice() override;
    bool LockRect(int x, int y, int width, int height, void** bits, int* pitch, DWORD flags) override;
    bool UnLockRect() override;
    bool Render(KelCanvasCL* canvas, float x, float y) override;
    bool RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height, D3DCOLOR color) override;
    bool BeRecreated() override;
    void SetBeRecreated(bool recreated) override;
    bool GetPointColor(int x, int y, D3DCOLOR* color) override;
    int GetImageWidth() override;
    int GetImageHeight() override;
    bool Change32To16() override;
    bool Change32To1555() override;
    const D3DSURFACE_DESC* GetSurfaceDesc() override;

    // Releases the texture and its surface and gives their estimate back to the available
    // video memory. The name is kept; the size becomes 0.
    virtual void ReleaseTextureM();

    int GetReadFilter() const { return m_readFilter; }
    // KB this texture took from the available video memory.
    int GetChargedVideoMemoryKb() const { return m_chargedKb; }

    // Where a background load publishes its result (see KelLoadSystemCL.h).
    struct LoadSlot
    {
        IDirect3DTexture8* texture = nullptr;
        UINT width = 0;
        UINT height = 0;
    };

protected:
    // Loads a file, or a file's bytes, into `pool` before returning and replaces the texture by
    // the result; loaded textures take no video memory. A failure is logged and leaves the
    // image as it was.
    bool LoadFileIntoPool(const char* path, D3DCOLOR colorKey, D3DPOOL pool);
    bool LoadMemoryIntoPool(const char* name, const void* data, UINT size, D3DPOOL pool);

private:
    // Takes over the result of a finished background load; false while it still runs.
    bool TakePendingLoad();
    // Drops the texture and surface without touching the video-memory figures.
    void DropTexture();
    // Stores a texture made elsewhere, reading its level-0 description.
    void Adopt(IDirect3DTexture8* texture, const std::string& name, int chargedKb);
    // Replaces the texture by a loaded one (null: the load failed, logged as `failure : name`).
    bool ReplaceByLoaded(IDirect3DTexture8* texture, const char* name, const char* failure);
    // Draws the source rectangle through the canvas's image batch at canvas origin + (x, y).
    bool Draw(KelCanvasCL* canvas, const KelRect& source, float x, float y, D3DCOLOR color);
    // Replaces the texture by a copy of another format; `convert` maps one 32-bit pixel.
    bool ConvertTo16(D3DFORMAT format, D3DPOOL pool, DWORD usage, uint16_t (*convert)(uint32_t, bool));

    std::string m_name;
    IDirect3DTexture8* m_texture = nullptr;
    IDirect3DSurface8* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_recreated = false;
    int m_readFilter = 0;
    D3DSURFACE_DESC m_desc{};
    int m_chargedKb = 0;
    // Set between OnLostDevice releasing the texture and OnResetDevice creating it again.
    bool m_lost = false;
    std::unique_ptr<LoadSlot> m_pending;
};

// The pixel conversions of 32-bit images to 16 bits. `opaque` is set for X8R8G8B8, whose top
// byte carries no alpha: the result is then fully opaque.
uint16_t KelConvert8888To4444(uint32_t pixel, bool opaque);
uint16_t KelConvert8888To1555(uint32_t pixel, bool opaque);
// Reads one pixel of the format at `bits` as A8R8G8B8; 0 for formats that cannot be read.
D3DCOLOR KelReadPixelColor(D3DFORMAT format, const void* bits);
// The video memory estimate of a texture in KB: width × height × 2 / 1024.
int KelEstimateTextureKb(UINT width, UINT height);
// What the background loader takes from the available video memory for a texture it made:
// twice the estimate, which counts double for 32-bit formats. Images give back the same.
int KelEstimateLoadedTextureKb(UINT width, UINT height, D3DFORMAT format);
