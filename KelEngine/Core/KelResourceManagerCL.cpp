#include "KelResourceManagerCL.h"

#include <cassert>
#include <cstring>
#include <memory>

#include "KelGuard.h"
#include "KelImageAnimCL.h"
#include "KelImageCL.h"
#include "KelImageGifCL.h"
#include "KelImageSysMemCL.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "KelTextureCL.h"

namespace
{
// Released images are kept this long (ms of engine time) before a sweep may delete them.
constexpr DWORD kSweepIntervalMs = 5000;

bool IsEmpty(const char* text)
{
    return text == nullptr || text[0] == '\0';
}
} // namespace

KelResourceManagerCL::KelResourceManagerCL()
{
    KEL_TRY
    // Texture-info textures are built from cached images: the registry gets its factory as soon
    // as there is a cache to build them from.
    KelInstallTextureFactory();
    KEL_CATCH
}

KelResourceManagerCL::~KelResourceManagerCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    DestroyImageM();
    KEL_CATCH_RETURN()
}

KelImageCL* KelResourceManagerCL::TakeCached(const char* key)
{
    KelImageCL* cached = Find(key);
    if (cached != nullptr)
        cached->AddReference();
    return cached;
}

KelImageCL* KelResourceManagerCL::Store(const std::string& key, std::unique_ptr<KelImageCL> image)
{
    // Every load looks the key up first, so a second image under one key would be a fault here.
    assert(m_images.count(key) == 0);
    KelImageCL* stored = image.get();
    m_images[key] = std::move(image);
    return stored;
}

KelImageCL* KelResourceManagerCL::LoadImageM(const char* path, bool immediate, D3DCOLOR colorKey)
{
    KEL_TRY
    if (IsEmpty(path))
        return nullptr;
    const std::string key(path);
    if (KelImageCL* cached = TakeCached(path))
        return cached;

    auto plain = std::make_unique<KelImageTextureCL>();
    const bool plainLoaded =
        immediate ? plain->LoadFromFileImmediateM(path, colorKey) : plain->LoadFromFileM(path, colorKey);
    if (plainLoaded)
        return Store(key, std::move(plain));
    plain.reset();

    auto animation = std::make_unique<KelImageAnimCL>();
    if (animation->LoadFromFileM(path, colorKey))
        return Store(key, std::move(animation));
    animation.reset();

    auto gif = std::make_unique<KelImageGifCL>();
    if (gif->LoadFromFileM(path, colorKey))
        return Store(key, std::move(gif));

    KelLogPrintf("加载图片错误 : %s ", path);
    return nullptr;
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::LoadImageFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    if (IsEmpty(name) || data == nullptr || size < 1)
        return nullptr;
    const std::string key(name);
    if (KelImageCL* cached = TakeCached(name))
        return cached;

    auto plain = std::make_unique<KelImageTextureCL>();
    if (plain->LoadFromMemoryM(name, data, size))
        return Store(key, std::move(plain));
    plain.reset();

    auto gif = std::make_unique<KelImageGifCL>();
    if (gif->LoadFromMemoryM(name, data, size))
        return Store(key, std::move(gif));
    gif.reset();

    auto animation = std::make_unique<KelImageAnimCL>();
    if (animation->LoadFromMemoryM(name, data, size))
        return Store(key, std::move(animation));

    KelLogPrintf("加载图片错误 : %s ", name);
    return nullptr;
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::LoadSysMemImageM(const char* path, bool immediate, D3DCOLOR colorKey)
{
    KEL_TRY
    if (IsEmpty(path))
        return nullptr;
    if (KelImageCL* cached = TakeCached(path))
        return cached;
    auto image = std::make_unique<KelImageSysMemCL>();
    const bool loaded =
        immediate ? image->LoadFromFileImmediateM(path, colorKey) : image->LoadFromFileM(path, colorKey);
    if (loaded)
        return Store(path, std::move(image));
    KelLogPrintf("加载图片错误 : %s ", path);
    return nullptr;
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::LoadSysMemImageFromPackM(const void* pack, UINT size)
{
    KEL_TRY
    if (pack == nullptr || size < 1)
        return nullptr;
    const char* bytes = static_cast<const char*>(pack);
    const void* end = std::memchr(bytes, '\0', size);
    if (end == nullptr)
    {
        KelLogPrintf("加载图片错误 : 图片包没有名字 (%u 字节)", size);
        return nullptr;
    }
    const UINT nameLength = static_cast<UINT>(static_cast<const char*>(end) - bytes);
    const UINT dataSize = size - nameLength - 1;
    if (nameLength == 0 || dataSize == 0)
    {
        KelLogPrintf("加载图片错误 : 图片包不完整 %s", bytes);
        return nullptr;
    }
    return LoadSysMemImageFromMemoryM(bytes, bytes + nameLength + 1, dataSize);
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::LoadSysMemImageFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    if (IsEmpty(name) || data == nullptr || size < 1)
        return nullptr;
    if (KelImageCL* cached = TakeCached(name))
        return cached;
    auto image = std::make_unique<KelImageSysMemCL>();
    if (image->LoadFromMemoryM(name, data, size))
        return Store(name, std::move(image));
    KelLogPrintf("加载图片错误 : %s ", name);
    return nullptr;
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::CreateImageM(const char* name, UINT width, UINT height, UINT levels,
                                               DWORD usage, D3DFORMAT format, D3DPOOL pool)
{
    KEL_TRY
    if (IsEmpty(name))
        return nullptr;
    if (KelImageCL* cached = TakeCached(name))
        return cached;
    auto image = std::make_unique<KelImageTextureCL>();
    if (image->CreateImageM(name, width, height, levels, usage, format, pool))
        return Store(name, std::move(image));
    KelLogPrintf("创建图片失败 %s %ux%u", name, width, height);
    return nullptr;
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::LoadZipAnimationM(const char* path, const char* subdirectory)
{
    KEL_TRY
    if (IsEmpty(path))
        return nullptr;
    // Each subdirectory of an archive is an animation of its own and needs a key of its own.
    std::string key(path);
    if (!IsEmpty(subdirectory))
        key += std::string("\\") + subdirectory;
    if (KelImageCL* cached = TakeCached(key.c_str()))
        return cached;
    auto animation = std::make_unique<KelImageAnimCL>();
    if (animation->LoadFromZipFileM(path, subdirectory))
        return Store(key, std::move(animation));
    KelLogPrintf("加载图片错误 : %s ", key.c_str());
    return nullptr;
    KEL_CATCH
}

void KelResourceManagerCL::DestroyImageM()
{
    KEL_TRY
    // The map is emptied first, so that an image whose destructor fails is not deleted twice.
    std::map<std::string, std::unique_ptr<KelImageCL>> images;
    images.swap(m_images);
    images.clear();
    KEL_CATCH
}

void KelResourceManagerCL::Update()
{
    KEL_TRY
    const DWORD now = KelGetElapsedMs();
    if (!m_sweepStarted)
    {
        m_sweepStarted = true;
        m_lastSweep = now;
        return;
    }
    if (now - m_lastSweep > kSweepIntervalMs)
    {
        m_lastSweep = now;
        Sweep();
    }
    KEL_CATCH
}

void KelResourceManagerCL::Sweep()
{
    KEL_TRY
    for (auto image = m_images.begin(); image != m_images.end();)
    {
        if (image->second->GetReferenceCount() < 0)
        {
            // Taken out of the map before it is deleted, so its destructor finds the cache whole.
            std::unique_ptr<KelImageCL> unused = std::move(image->second);
            image = m_images.erase(image);
            unused.reset();
        }
        else
            ++image;
    }
    KEL_CATCH
}

void KelResourceManagerCL::OnLostDevice()
{
    KEL_TRY
    for (auto& image : m_images)
        image.second->OnLostDevice();
    KEL_CATCH
}

void KelResourceManagerCL::OnResetDevice()
{
    KEL_TRY
    for (auto& image : m_images)
        image.second->OnResetDevice();
    KEL_CATCH
}

KelImageCL* KelResourceManagerCL::Find(const char* key)
{
    KEL_TRY
    if (key == nullptr)
        return nullptr;
    auto image = m_images.find(key);
    return image == m_images.end() ? nullptr : image->second.get();
    KEL_CATCH
}
