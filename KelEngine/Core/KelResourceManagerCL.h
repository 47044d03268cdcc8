#pragma once
// The image cache. Images are kept by the key they were loaded under (the path or name exactly
// as given, with case) and shared: a second load of the same key returns the cached image with
// one more reference. Released images (reference count below 0, see KelImageCL.h) stay cached
// until the next sweep, at most every 5 s of engine time, so a window that closes and opens
// again within that time reuses its pictures.
//
// A load tries the image kinds in turn: a plain texture, then an animation (".ani" files and
// zip archives of numbered frames), then a GIF. A deferred plain load only queues the file with
// the background loader and always succeeds, so animations and GIFs are reached by immediate
// loads only.

#include <map>
#include <memory>
#include <string>

#include "D3D8/D3D8.h"
#include "KelSingletonCL.h"

class KelImageCL;

class KelResourceManagerCL : public KelSingletonCL<KelResourceManagerCL>
{
public:
    KelResourceManagerCL();

    // The cached or newly loaded image of a file, or null (an empty path, or no kind can read it).
    virtual KelImageCL* LoadImageM(const char* path, bool immediate, D3DCOLOR colorKey);
    // The same for an image file held in memory, cached under `name`: plain, then GIF, then
    // animation.
    virtual KelImageCL* LoadImageFromMemoryM(const char* name, const void* data, UINT size);
    // Images kept in system memory with a 16-bit copy of their pixels.
    virtual KelImageCL* LoadSysMemImageM(const char* path, bool immediate, D3DCOLOR colorKey);
    // From a packed record: the name, a NUL, then the image file's bytes.
    virtual KelImageCL* LoadSysMemImageFromPackM(const void* pack, UINT size);
    virtual KelImageCL* LoadSysMemImageFromMemoryM(const char* name, const void* data, UINT size);
    // An empty texture image, cached under `name`.
    virtual KelImageCL* CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool);
    // An animation from a zip archive, optionally from a subdirectory of it.
    virtual KelImageCL* LoadZipAnimationM(const char* path, const char* subdirectory);
    // Deletes every image whatever its count.
    virtual void DestroyImageM();
    // Sweeps when at least 5001 ms of engine time have passed since the last sweep; the first
    // call only records the time.
    virtual void Update();
    // Deletes the images whose reference count is below 0.
    virtual void Sweep();
    virtual void OnLostDevice();
    virtual void OnResetDevice();
    // The image cached under the key, without taking a reference; null when there is none.
    virtual KelImageCL* Find(const char* key);

    virtual ~KelResourceManagerCL();

    size_t GetImageCount() const { return m_images.size(); }

private:
    // The image cached under the key with one more reference taken, or null.
    KelImageCL* TakeCached(const char* key);
    KelImageCL* Store(const std::string& key, std::unique_ptr<KelImageCL> image);

    std::map<std::string, std::unique_ptr<KelImageCL>> m_images;
    DWORD m_lastSweep = 0;
    bool m_sweepStarted = false;
};
