#include "KelImageGifCL.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "Gif/GifPicture.h"
#include "KelGuard.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "Win32/Files.h"

namespace
{

int PowerOfTwoAtLeast(int value)
{
    int result = 1;
    while (result < value)
        result <<= 1;
    return result;
}

// Reads the file whole, logging what went wrong.
bool ReadGifFile(const char* path, std::vector<uint8_t>& data)
{
    FILE* file = Win32OpenFile(path, "rb");
    if (file == nullptr)
    {
        KelLogPrintf("打开文件失败 fileName:%s", path);
        return false;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    bool ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok)
    {
        try
        {
            data.resize(static_cast<size_t>(size));
        }
        catch (const std::bad_alloc&)
        {
            std::fclose(file);
            KelLogPrintf("Load (file): Error allocating memory\n");
            return false;
        }
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    if (!ok)
        KelLogPrintf("Load (file): Error reading the file %s\n", path);
    return ok;
}

} // namespace

KelImageGifCL::KelImageGifCL() = default;

KelImageGifCL::~KelImageGifCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    Destroy();
    KEL_CATCH_RETURN()
}

void KelImageGifCL::Destroy()
{
    m_frames.clear();
    m_width = 0;
    m_height = 0;
    m_background = 0;
    m_current = 0;
    m_loaded = false;
}

bool KelImageGifCL::LoadFromFileM(const char* path, D3DCOLOR)
{
    KEL_TRY
    if (path == nullptr)
        return false;
    std::vector<uint8_t> data;
    if (!ReadGifFile(path, data))
        return false;
    return Load(path, data.data(), data.size());
    KEL_CATCH
}

bool KelImageGifCL::LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey)
{
    return LoadFromFileM(path, colorKey);
}

bool KelImageGifCL::LoadFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    if (data == nullptr || size == 0)
        return false;
    return Load(name != nullptr ? name : "", data, size);
    KEL_CATCH
}

bool KelImageGifCL::Load(const char* name, const void* data, size_t size)
{
    Destroy();
    GifPicture picture;
    GifDecodeError error = GifDecodeError::None;
    if (!DecodeGifPicture(data, size, picture, &error))
    {
        if (error == GifDecodeError::NotGif)
            KelLogPrintf("不是一个Gif格式文件 可能是GIF87a 或者 GIF89a");
        else
            KelLogPrintf("GIF文件已损坏 : %s", name);
        return false;
    }
    if (picture.frames.size() <= 1)
    {
        KelLogPrintf("是一个空的GIF文件或者针数为 1");
        return false;
    }
    KelLogPrintf("读取了%d针图片", static_cast<int>(picture.frames.size()));

    m_name = name;
    for (const GifFrame& decoded : picture.frames)
    {
        char textureName[600];
        std::snprintf(textureName, sizeof(textureName), "%s_%d", name, m_textureCounter++);
        auto image = std::make_unique<KelImageTextureCL>();
        void* bits = nullptr;
        int pitch = 0;
        if (!image->CreateImageM(textureName, PowerOfTwoAtLeast(decoded.width),
                                 PowerOfTwoAtLeast(decoded.height), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED) ||
            !image->ClearRectM(nullptr) ||
            !image->LockRect(0, 0, decoded.width, decoded.height, &bits, &pitch, 0))
        {
            // Never half a GIF: the frames made so far go too.
            Destroy();
            KelLogPrintf("GIF文件已损坏 : %s", name);
            return false;
        }
        // The decoder has given magenta alpha 0 and every other colour alpha 255.
        for (int y = 0; y < decoded.height; ++y)
            std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch,
                        decoded.pixels.data() + static_cast<size_t>(y) * decoded.width,
                        static_cast<size_t>(decoded.width) * 4);
        image->UnLockRect();
        Frame frame;
        frame.image = std::move(image);
        frame.delay = decoded.delay;
        frame.left = decoded.left;
        frame.top = decoded.top;
        frame.width = decoded.width;
        frame.height = decoded.height;
        frame.transparent = decoded.transparent;
        m_frames.push_back(std::move(frame));
    }
    m_width = picture.width;
    m_height = picture.height;
    m_background = picture.background;
    m_current = 0;
    m_frameStart = GetTickCountM();
    m_loaded = true;
    return true;
}

void KelImageGifCL::Advance()
{
    if (m_frames.empty())
        return;
    const DWORD now = GetTickCountM();
    const long long shown = static_cast<long long>(static_cast<DWORD>(now - m_frameStart));
    if (shown > m_frames[static_cast<size_t>(m_current)].delay)
    {
        m_current = (m_current + 1) % static_cast<int>(m_frames.size());
        m_frameStart = now;
    }
}

std::string KelImageGifCL::GetIDM()
{
    return m_name;
}

bool KelImageGifCL::OnLostDevice()
{
    return true;
}

bool KelImageGifCL::OnResetDevice()
{
    return true;
}

bool KelImageGifCL::Render(KelCanvasCL* canvas, float x, float y)
{
    KEL_TRY
    if (m_frames.empty())
        return false;
    Advance();
    KelSetRedraw(true);
    const Frame& frame = m_frames[static_cast<size_t>(m_current)];
    return frame.image->Render(canvas, x + static_cast<float>(frame.left), y + static_cast<float>(frame.top));
    KEL_CATCH
}

int KelImageGifCL::GetImageWidth()
{
    return m_width;
}

int KelImageGifCL::GetImageHeight()
{
    return m_height;
}

KelImageCL* KelImageGifCL::GetImage()
{
    if (m_frames.empty())
        return nullptr;
    Advance();
    KelSetRedraw(true);
    return m_frames[static_cast<size_t>(m_current)].image.get();
}
