#pragma once
// A picture source of the engine: one texture, an animation of timed frames, a GIF, or a copy
// kept in system memory. Textures, fonts and sprites draw images; the image cache creates them
// by path and shares one image among every texture of the same file.
//
// Reference count. The first holder gets the image with a count of 0, each further holder adds
// one, and each holder's release subtracts one; an image whose count is below 0 is unused and
// the cache's next sweep deletes it.
//
// The base class answers every operation with "nothing": false, 0 or null. Each kind overrides
// what it does; the order of the virtual operations is shared with the host and must not change.

#include <string>
#include <utility>

#include "D3D8/D3D8.h"
#include "KelRect.h"

class KelCanvasCL;

class KelImageCL
{
public:
    KelImageCL() = default;
    KelImageCL(const KelImageCL&) = delete;
    KelImageCL& operator=(const KelImageCL&) = delete;

    virtual ~KelImageCL();
    // Milliseconds the engine has run (the system object's clock).
    virtual DWORD GetTickCountM();
    // Loads a file; a texture image only queues it with the background loader.
    virtual bool LoadFromFileM(const char* path, D3DCOLOR colorKey);
    // Loads a file before returning.
    virtual bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey);
    // Loads an image file held in memory, known afterwards under `name`.
    virtual bool LoadFromMemoryM(const char* name, const void* data, UINT size);
    // Creates an empty texture on the current screen's device.
    virtual bool CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool);
    // Cube textures serve the 3D object layer only, which this engine leaves empty.
    virtual bool CreateCubeImageM(const char* name, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool);
    // (width, height) of the image.
    virtual std::pair<int, int> GetSizeM();
    virtual IDirect3DTexture8* GetTextureM();
    virtual IDirect3DBaseTexture8* GetCubeTextureM();
    // The level-0 surface, kept by the image after the first call.
    virtual IDirect3DSurface8* GetSurfaceM();
    virtual IDirect3DSurface8* GetCubSurfaceM(int face);
    // The name the image was loaded or created under.
    virtual std::string GetIDM();
    virtual void SetReadFilterM(int filter);
    // Clears the rectangle of level 0 (the whole level when null) to transparent black.
    virtual bool ClearRectM(const RECT* rect);
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();
    // Locks the rectangle (x, y)-(x + width, y + height) of level 0.
    virtual bool LockRect(int x, int y, int width, int height, void** bits, int* pitch, DWORD flags);
    virtual bool UnLockRect();
    // Draws the whole image through the canvas's image batch at canvas origin + (x, y).
    virtual bool Render(KelCanvasCL* canvas, float x, float y);
    // Draws the source rectangle (left, top, width, height) at the canvas origin.
    virtual bool RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height, D3DCOLOR color);
    // Whether the image was re-created after a device loss (its contents must be drawn again);
    // reading the flag clears it.
    virtual bool BeRecreated();
    virtual void SetBeRecreated(bool recreated);
    // The pixel at (x, y) as A8R8G8B8; 0 outside the image or for formats that cannot be read.
    virtual bool GetPointColor(int x, int y, D3DCOLOR* color);
    // Where the image's picture starts inside its quad.
    virtual int GetRenderOffsetX();
    virtual int GetRenderOffsetY();
    virtual int GetImageWidth();
    virtual int GetImageHeight();
    // The image to draw in this one's place (the current frame of an animation), or null.
    virtual KelImageCL* GetImage();
    // Replaces a 32-bit texture by a 16-bit A4R4G4B4 / A1R5G5B5 copy.
    virtual bool Change32To16();
    virtual bool Change32To1555();
    // Selects the frame of an animation for a time in ms.
    virtual void SetAnimationTime(int ms);
    // The level-0 surface description, or null.
    virtual const D3DSURFACE_DESC* GetSurfaceDesc();
    // Writes the image as an ".ani" file named `name` + ".ani".
    virtual bool SaveAsAnimationFile(const char* name);

    // The reference count (see above).
    void AddReference() { ++m_refCount; }
    void ReleaseReference() { --m_refCount; }
    int GetReferenceCount() const { return m_refCount; }

private:
    int m_refCount = 0;
};
