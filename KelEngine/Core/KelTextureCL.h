#pragma once
// A picture as the game and the GUI draw it: a view onto a cached image (KelResourceManagerCL)
// with its own source rectangle, position, translation, scale, rotation, colour and blend
// factors. Any number of textures of one file share one image; each texture holds one reference
// to it.
//
// Loading. A texture made with the load-now flag loads its image before the constructor
// returns; otherwise the first Render (or ReStoreImage) asks the cache for a deferred load,
// which queues the file with the background loader, and the picture appears once the worker
// has made it. GIF files and zip archives cannot be read by the background loader, so paths
// ending in ".gif" or containing ".zip" are always loaded at once.
//
// ReleaseImage drops the image to save memory while a window is hidden; the next Render loads
// it again (from the cache when the sweep has not deleted it yet).
//
// Drawing. The picture's top-left corner lands on canvas origin + position + translation; it is
// scaled by the scale, rotated by the angle (radians) around the middle of the source rectangle
// and modulated with the colour. Non-zero blend factors replace the device's source and
// destination blend while this texture draws.
//
// The order of the virtual operations is shared with the host and must not change.

#include <string>

#include "D3D8/D3D8.h"
#include "D3D8/D3DX8.h"
#include "KelRect.h"
#include "KelTextureEntry.h"

class KelCanvasCL;
class KelImageCL;
class KelSpriteCL;

class KelTextureCL
{
public:
    // An empty texture: no image, nothing to load.
    KelTextureCL();
    // A texture of an image file; with `loadNow` (or for a zip archive) the image is loaded at
    // once, otherwise at the first Render.
    KelTextureCL(const char* path, bool loadNow);
    // A texture of an image file held in memory, cached under `name`. Without data or with a size
    // below 1 the texture stays empty. Without `loadNow` the data is not read: the first Render
    // asks the cache for `name` like a file path (an image already cached under it, or the file).
    KelTextureCL(const char* name, const void* data, UINT size, bool loadNow);
    KelTextureCL(const KelTextureCL&) = delete;
    KelTextureCL& operator=(const KelTextureCL&) = delete;

    // Releases the image reference.
    virtual ~KelTextureCL();
    // Images survive device loss by themselves; a texture has nothing to do.
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();
    // The image's Direct3D texture, or null (no image, or its background load is not done).
    virtual IDirect3DTexture8* GetRenderHandle();
    // Draws only the part `clip` of the source rectangle (clip coordinates relative to the
    // source rectangle's top-left corner) at the texture's position.
    virtual void Render(KelCanvasCL* canvas, const KelRect& clip);
    virtual void Render(KelCanvasCL* canvas);
    // The source rectangle in image pixels.
    virtual void SetRect(const KelRect& rect);
    virtual KelRect GetRect();
    // The drawn size: source size times scale, truncated.
    virtual int GetWidth();
    virtual int GetHeight();
    // A point kept for callers; drawing does not use it.
    virtual void SetCenter(float x, float y, float z);
    virtual D3DXVECTOR3 GetCenter();
    virtual void SetPosition(float x, float y);
    // (x, y, 0).
    virtual D3DXVECTOR3 GetPosition();
    // ARGB.
    virtual void SetColor(D3DCOLOR color);
    virtual D3DCOLOR GetColor();
    virtual void SetTranslate(float x, float y);
    virtual D3DXVECTOR2 GetTranslate();
    virtual void SetScale(float x, float y);
    virtual D3DXVECTOR2 GetScale();
    // Radians.
    virtual void SetAngle(float angle);
    virtual float GetAngle();
    // Places the picture at the rectangle's top-left corner and scales it to the rectangle's size.
    virtual void SetDrawRect(const KelRect& rect);
    // The texture's parameters in the form of a texture-info entry (angle in degrees, paths
    // relative to the image directory).
    virtual void GetTextureData(KelTextureEntry& entry);
    virtual KelImageCL* GetImage();
    // Whether the picture shows anything at (x, y), a point relative to the texture's position:
    // a pixel counts unless all of its colour channels are at most 1 and its alpha at most 5.
    virtual bool PtInTexture(int x, int y);
    // The image pixel under (x, y) (relative to the texture's position) as ARGB; false, with 0,
    // outside the source rectangle or without a readable image. The point is taken back through
    // the translation and the scale with the fractions dropped at each step; the rectangle's
    // right and bottom edges belong to the picture and read its last column and row.
    virtual bool GetPointColor(int x, int y, D3DCOLOR* color);
    // Drops the image until the next Render or ReStoreImage.
    virtual void ReleaseImage();
    // Starts a deferred load when the image was dropped or never loaded.
    virtual void ReStoreImage();
    // Direct3D blend factors; 0 keeps the device's current factor.
    virtual void SetSrcBland(int blend);
    virtual void SetDestBland(int blend);
    virtual int GetSrcBland();
    virtual int GetDestBland();
    // Deletes the texture.
    virtual void Release();

    // Loads an image file through the cache, replacing the current image. With `immediate` the
    // source rectangle becomes the whole image and the file name is stored.
    bool LoadFromeFileM(const char* path, bool immediate, D3DCOLOR colorKey);
    // The same for an image file held in memory.
    bool LoadFromMemoryM(const char* name, const void* data, UINT size, bool immediate);
    // Releases the image and forgets its size and file name.
    void DestroyM();

    const std::string& GetFileName() const { return m_fileName; }
    const std::string& GetSourceName() const { return m_sourceName; }
    int GetImageWidth() const { return m_imageWidth; }
    int GetImageHeight() const { return m_imageHeight; }
    bool IsLoadAttempted() const { return m_loadAttempted != 0; }
    int GetAnimationPhase() const { return m_animationPhase; }

private:
    void DrawImage(KelCanvasCL* canvas, KelSpriteCL* sprite);
    // Keeps the image the cache handed out (null: the load failed). An immediate load also
    // makes the whole image the source rectangle and stores `name` as the file name.
    bool TakeImage(KelImageCL* image, bool immediate, const char* name);

    KelImageCL* m_image = nullptr;
    std::string m_fileName;
    std::string m_sourceName;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    KelRect m_rect;
    D3DXVECTOR3 m_center{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_position{0.0f, 0.0f, 0.0f};
    D3DCOLOR m_color = 0xFFFFFFFF;
    BYTE m_loadAttempted = 0;
    D3DXVECTOR2 m_translate{0.0f, 0.0f};
    D3DXVECTOR2 m_scale{1.0f, 1.0f};
    float m_angle = 0.0f;
    int m_srcBland = 0;
    int m_destBland = 0;
    int m_animationPhase = 0;
};

// A texture of an image file; null when the file does not exist.
KelTextureCL* KelLoadTextureFromFile(const char* path, bool loadNow);
// A texture of an image file held in memory, loaded at once; null without data or with a size
// below 1.
KelTextureCL* KelLoadTextureFromMemory(const char* name, const void* data, UINT size);
// A texture of a texture-info entry (the image under the image directory) with the entry's
// parameters; null when it has no size (an immediate load that failed, or an empty rectangle).
KelTextureCL* KelLoadTextureFromData(const KelTextureEntry& entry, bool loadNow);
// The same from the image file's bytes in memory; null when no Direct3D texture was made.
KelTextureCL* KelLoadTextureFromData(const KelTextureEntry& entry, const void* data, UINT size);
// Deletes a texture made by any of the above; null is ignored.
void KelReleaseTexture(KelTextureCL* texture);

// Lets the texture-info registry build textures (KelTextureInfoManagerCL::CreateTexture): the
// current registry gets a factory that constructs the texture from the path with the load-now
// flag and applies the entry's angle, colour, rectangle, scale, offset and blend factors.
void KelInstallTextureFactory();
