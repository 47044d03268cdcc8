#include "KelTextureCL.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenManagerCL.h"
#include "KelSpriteCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "Win32/Files.h"

namespace
{
// The value of pi texture-info angles have always been converted with; kept so that angles
// written back by GetTextureData match the files.
constexpr float kPi = 3.1415925f;

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    const std::string lower = KelTextureInfoLower(text);
    const std::string wanted(suffix);
    return lower.size() >= wanted.size() &&
           lower.compare(lower.size() - wanted.size(), wanted.size(), wanted) == 0;
}

bool ContainsNoCase(const std::string& text, const char* part)
{
    return KelTextureInfoLower(text).find(part) != std::string::npos;
}

// The background loader decodes plain pictures only: animations in zip archives and GIFs must
// be read by their own image kinds, which the cache reaches only for immediate loads.
bool NeedsImmediateLoad(const std::string& path)
{
    return EndsWithNoCase(path, ".gif") || ContainsNoCase(path, ".zip");
}

// Drops the fraction towards zero, the way a point is taken back to the image's pixels; false
// for values no pixel can have.
bool ToWhole(float value, int* whole)
{
    const float cut = std::trunc(value);
    if (!std::isfinite(cut) || cut < -2147483648.0f || cut >= 2147483648.0f)
        return false;
    *whole = static_cast<int>(cut);
    return true;
}

D3DCOLOR MakeArgb(unsigned alpha, unsigned red, unsigned green, unsigned blue)
{
    return ((alpha & 0xFF) << 24) | ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
}

// The entry's drawing parameters, in the order texture-info textures have always had them
// applied.
void ApplyEntry(KelTextureCL* texture, const KelTextureEntry& entry)
{
    texture->SetAngle(entry.angle * kPi / 180.0f);
    texture->SetColor(MakeArgb(entry.alpha, entry.red, entry.green, entry.blue));
    texture->SetRect(KelRect(entry.left, entry.top, entry.right, entry.bottom));
    texture->SetScale(entry.scaleX, entry.scaleY);
    texture->SetTranslate(static_cast<float>(entry.offsetX), static_cast<float>(entry.offsetY));
    texture->SetSrcBland(entry.srcBland);
    texture->SetDestBland(entry.destBland);
}

KelTextureCL* CreateTextureFromEntry(const std::string& path, const KelTextureEntry& entry, bool loadNow)
{
    KelTextureCL* texture = new KelTextureCL(path.c_str(), loadNow);
    ApplyEntry(texture, entry);
    return texture;
}

int DrawAnimationPhase()
{
    // Counted in 64 bits: after 49.7 days the clock reads 0xFFFFFFFF, and elapsed + 1 must not
    // wrap to a divisor of 0.
    const unsigned long long span = static_cast<unsigned long long>(KelGetElapsedMs()) + 1u;
    return static_cast<int>(static_cast<unsigned long long>(KelRandom()) % span);
}
} // namespace

KelTextureCL::KelTextureCL()
{
    KEL_TRY
    m_animationPhase = DrawAnimationPhase();
    KEL_CATCH
}

KelTextureCL::KelTextureCL(const char* path, bool loadNow)
{
    KEL_TRY
    m_animationPhase = DrawAnimationPhase();
    if (path == nullptr || path[0] == '\0')
        return;
    m_fileName = path;
    m_sourceName = path;
    m_loadAttempted = loadNow ? 1 : 0;
    if (ContainsNoCase(m_sourceName, ".zip"))
        m_loadAttempted = 1;
    if (m_loadAttempted != 0)
        LoadFromeFileM(m_sourceName.c_str(), true, 0);
    KEL_CATCH
}

KelTextureCL::KelTextureCL(const char* name, const void* data, UINT size, bool loadNow)
{
    KEL_TRY
    m_animationPhase = DrawAnimationPhase();
    if (data == nullptr || size < 1 || name == nullptr)
        return;
    m_fileName = name;
    m_sourceName = name;
    if (loadNow)
    {
        m_loadAttempted = 1;
        LoadFromMemoryM(name, data, size, true);
    }
    KEL_CATCH
}

KelTextureCL::~KelTextureCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    if (m_image != nullptr)
        m_image->ReleaseReference();
    m_image = nullptr;
    KEL_CATCH_RETURN()
}

bool KelTextureCL::OnLostDevice()
{
    return true;
}

bool KelTextureCL::OnResetDevice()
{
    return true;
}

IDirect3DTexture8* KelTextureCL::GetRenderHandle()
{
    KEL_TRY
    return m_image != nullptr ? m_image->GetTextureM() : nullptr;
    KEL_CATCH
}

void KelTextureCL::Render(KelCanvasCL* canvas, const KelRect& clip)
{
    KEL_TRY
    const KelRect saved = m_rect;
    const D3DXVECTOR2 savedTranslate = m_translate;
    KelRect part(saved.left + clip.left, saved.top + clip.top, 0, 0);
    part.right = std::min(part.left + clip.Width(), saved.right);
    part.bottom = std::min(part.top + clip.Height(), saved.bottom);
    // A clip that starts before the picture must not reach pixels outside it; the part cut off
    // moves the picture instead, so that what is drawn stays where the clip put it.
    const int32_t firstColumn = std::max(saved.left, 0);
    const int32_t firstRow = std::max(saved.top, 0);
    if (part.left < firstColumn)
    {
        m_translate.x += static_cast<float>(firstColumn - part.left) * m_scale.x;
        part.left = firstColumn;
    }
    if (part.top < firstRow)
    {
        m_translate.y += static_cast<float>(firstRow - part.top) * m_scale.y;
        part.top = firstRow;
    }
    if (part.right > part.left && part.bottom > part.top)
    {
        m_rect = part;
        try
        {
            Render(canvas);
        }
        catch (...)
        {
            m_rect = saved;
            m_translate = savedTranslate;
            throw;
        }
    }
    m_rect = saved;
    m_translate = savedTranslate;
    KEL_CATCH
}

void KelTextureCL::Render(KelCanvasCL* canvas)
{
    KEL_TRY
    ReStoreImage();
    if (canvas == nullptr || m_image == nullptr)
        return;
    KelSpriteCL* sprite = canvas->GetImageSprite();
    if (sprite == nullptr)
        return;
    DrawImage(canvas, sprite);
    KEL_CATCH
}

void KelTextureCL::DrawImage(KelCanvasCL* canvas, KelSpriteCL* sprite)
{
    float originX = 0.0f;
    float originY = 0.0f;
    canvas->GetOrigin(&originX, &originY);
    const D3DXVECTOR2 position{originX + m_position.x + m_translate.x,
                               originY + m_position.y + m_translate.y};

    // Quads already batched were meant for the blend the device has now: they go out first.
    // The blend is undone when this scope ends, also when drawing throws.
    KelRenderStateScopeCL blendStates;
    const bool blend = m_srcBland != 0 || m_destBland != 0;
    if (blend)
    {
        sprite->Flush();
        IDirect3DDevice8* device = KelGetCurrentDevice();
        if (m_srcBland != 0)
            blendStates.Push(device, D3DRS_SRCBLEND, static_cast<DWORD>(m_srcBland));
        if (m_destBland != 0)
            blendStates.Push(device, D3DRS_DESTBLEND, static_cast<DWORD>(m_destBland));
    }

    // Textures of one animation start at different frames so that a row of them does not move
    // in step.
    m_image->SetAnimationTime(static_cast<int>(KelGetElapsedMs() - static_cast<DWORD>(m_animationPhase)));
    // The batch itself draws the image an image stands for (a GIF's current frame).
    sprite->Draw(m_image, &m_rect, &position, &m_scale, m_angle, m_color);

    // The quads drawn with this blend go out before it is undone.
    if (blend)
        sprite->Flush();
}

void KelTextureCL::SetRect(const KelRect& rect)
{
    m_rect = rect;
}

KelRect KelTextureCL::GetRect()
{
    return m_rect;
}

int KelTextureCL::GetWidth()
{
    return static_cast<int>(static_cast<float>(m_rect.Width()) * m_scale.x);
}

int KelTextureCL::GetHeight()
{
    return static_cast<int>(static_cast<float>(m_rect.Height()) * m_scale.y);
}

void KelTextureCL::SetCenter(float x, float y, float z)
{
    m_center = D3DXVECTOR3{x, y, z};
}

D3DXVECTOR3 KelTextureCL::GetCenter()
{
    return m_center;
}

void KelTextureCL::SetPosition(float x, float y)
{
    m_position = D3DXVECTOR3{x, y, 0.0f};
}

D3DXVECTOR3 KelTextureCL::GetPosition()
{
    return m_position;
}

void KelTextureCL::SetColor(D3DCOLOR color)
{
    m_color = color;
}

D3DCOLOR KelTextureCL::GetColor()
{
    return m_color;
}

void KelTextureCL::SetTranslate(float x, float y)
{
    m_translate = D3DXVECTOR2{x, y};
}

D3DXVECTOR2 KelTextureCL::GetTranslate()
{
    return m_translate;
}

void KelTextureCL::SetScale(float x, float y)
{
    m_scale = D3DXVECTOR2{x, y};
}

D3DXVECTOR2 KelTextureCL::GetScale()
{
    return m_scale;
}

void KelTextureCL::SetAngle(float angle)
{
    m_angle = angle;
}

float KelTextureCL::GetAngle()
{
    return m_angle;
}

void KelTextureCL::SetDrawRect(const KelRect& rect)
{
    KEL_TRY
    SetPosition(static_cast<float>(rect.left), static_cast<float>(rect.top));
    // An empty source rectangle has no scale that would give it a size; it keeps its own.
    D3DXVECTOR2 scale = m_scale;
    if (m_rect.Width() != 0)
        scale.x = static_cast<float>(rect.Width()) / static_cast<float>(m_rect.Width());
    if (m_rect.Height() != 0)
        scale.y = static_cast<float>(rect.Height()) / static_cast<float>(m_rect.Height());
    SetScale(scale.x, scale.y);
    KEL_CATCH
}

void KelTextureCL::GetTextureData(KelTextureEntry& entry)
{
    KEL_TRY
    entry.id = m_fileName;
    std::string image = m_image != nullptr ? m_image->GetIDM() : std::string();
    if (image.empty())
        image = m_sourceName;
    const std::string directory = KelTextureInfoManagerCL::GetInstance()->GetImageDirectory();
    if (!directory.empty())
    {
        const std::string prefix = directory + "\\";
        if (image.compare(0, prefix.size(), prefix) == 0)
            image.erase(0, prefix.size());
    }
    entry.image = image;
    entry.left = m_rect.left;
    entry.top = m_rect.top;
    entry.right = m_rect.right;
    entry.bottom = m_rect.bottom;
    entry.offsetX = static_cast<int32_t>(m_translate.x);
    entry.offsetY = static_cast<int32_t>(m_translate.y);
    entry.alpha = static_cast<uint8_t>(m_color >> 24);
    entry.red = static_cast<uint8_t>(m_color >> 16);
    entry.green = static_cast<uint8_t>(m_color >> 8);
    entry.blue = static_cast<uint8_t>(m_color);
    entry.scaleX = m_scale.x;
    entry.scaleY = m_scale.y;
    entry.angle = m_angle * 180.0f / kPi;
    entry.srcBland = m_srcBland;
    entry.destBland = m_destBland;
    KEL_CATCH
}

KelImageCL* KelTextureCL::GetImage()
{
    return m_image;
}

bool KelTextureCL::PtInTexture(int x, int y)
{
    KEL_TRY
    if (m_image == nullptr)
        return false;
    D3DCOLOR color = 0;
    GetPointColor(x, y, &color);
    const unsigned alpha = (color >> 24) & 0xFF;
    const unsigned red = (color >> 16) & 0xFF;
    const unsigned green = (color >> 8) & 0xFF;
    const unsigned blue = color & 0xFF;
    return red > 1 || green > 1 || blue > 1 || alpha > 5;
    KEL_CATCH
}

bool KelTextureCL::GetPointColor(int x, int y, D3DCOLOR* color)
{
    KEL_TRY
    D3DCOLOR result = 0;
    bool read = false;
    int dx = 0;
    int dy = 0;
    int localX = 0;
    int localY = 0;
    if (m_image != nullptr && m_scale.x != 0.0f && m_scale.y != 0.0f &&
        ToWhole(static_cast<float>(x) - m_translate.x, &dx) &&
        ToWhole(static_cast<float>(y) - m_translate.y, &dy) &&
        ToWhole(static_cast<float>(dx) / m_scale.x, &localX) &&
        ToWhole(static_cast<float>(dy) / m_scale.y, &localY))
    {
        const int64_t imageX = static_cast<int64_t>(localX) + m_rect.left;
        const int64_t imageY = static_cast<int64_t>(localY) + m_rect.top;
        // The picture's right and bottom edges are part of it, as the edges of windows and cards
        // are in their hit tests. No pixel lies on those edges, so a point there reads the
        // picture's last column or row. Nothing outside the source rectangle is read:
        // the image around it may hold other pictures.
        const int64_t firstX = std::max<int32_t>(m_rect.left, 0);
        const int64_t firstY = std::max<int32_t>(m_rect.top, 0);
        if (m_rect.right > firstX && m_rect.bottom > firstY && imageX >= firstX && imageX <= m_rect.right &&
            imageY >= firstY && imageY <= m_rect.bottom)
        {
            const int64_t pixelX = std::min<int64_t>(imageX, m_rect.right - 1);
            const int64_t pixelY = std::min<int64_t>(imageY, m_rect.bottom - 1);
            read = m_image->GetPointColor(static_cast<int>(pixelX), static_cast<int>(pixelY), &result);
            if (!read)
                result = 0;
        }
    }
    if (color != nullptr)
        *color = result;
    return read;
    KEL_CATCH
}

void KelTextureCL::ReleaseImage()
{
    KEL_TRY
    if (m_image != nullptr)
        m_image->ReleaseReference();
    m_image = nullptr;
    m_loadAttempted = 0;
    KEL_CATCH
}

void KelTextureCL::ReStoreImage()
{
    KEL_TRY
    if (m_image != nullptr || m_loadAttempted != 0)
        return;
    m_loadAttempted = 1;
    LoadFromeFileM(m_sourceName.c_str(), false, 0);
    KEL_CATCH
}

void KelTextureCL::SetSrcBland(int blend)
{
    m_srcBland = blend;
}

void KelTextureCL::SetDestBland(int blend)
{
    m_destBland = blend;
}

int KelTextureCL::GetSrcBland()
{
    return m_srcBland;
}

int KelTextureCL::GetDestBland()
{
    return m_destBland;
}

void KelTextureCL::Release()
{
    delete this;
}

bool KelTextureCL::LoadFromeFileM(const char* path, bool immediate, D3DCOLOR colorKey)
{
    KEL_TRY
    const std::string file = path != nullptr ? path : "";
    if (NeedsImmediateLoad(file))
        immediate = true;
    DestroyM();
    return TakeImage(KelResourceManagerCL::GetInstance()->LoadImageM(file.c_str(), immediate, colorKey),
                     immediate, file.c_str());
    KEL_CATCH
}

bool KelTextureCL::LoadFromMemoryM(const char* name, const void* data, UINT size, bool immediate)
{
    KEL_TRY
    // A copy: the name may be this texture's own file name, which DestroyM empties.
    const std::string key = name != nullptr ? name : "";
    DestroyM();
    return TakeImage(KelResourceManagerCL::GetInstance()->LoadImageFromMemoryM(key.c_str(), data, size),
                     immediate, key.c_str());
    KEL_CATCH
}

bool KelTextureCL::TakeImage(KelImageCL* image, bool immediate, const char* name)
{
    if (image == nullptr)
        return false;
    m_image = image;
    if (immediate)
    {
        const std::pair<int, int> size = image->GetSizeM();
        m_imageWidth = size.first;
        m_imageHeight = size.second;
        m_rect = KelRect(0, 0, m_imageWidth, m_imageHeight);
        m_fileName = name;
    }
    return true;
}

void KelTextureCL::DestroyM()
{
    KEL_TRY
    if (m_image != nullptr)
        m_image->ReleaseReference();
    m_image = nullptr;
    m_imageWidth = 0;
    m_imageHeight = 0;
    m_fileName.clear();
    KEL_CATCH
}

KelTextureCL* KelLoadTextureFromFile(const char* path, bool loadNow)
{
    KEL_TRY
    if (path == nullptr || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    return new KelTextureCL(path, loadNow);
    KEL_CATCH
}

KelTextureCL* KelLoadTextureFromMemory(const char* name, const void* data, UINT size)
{
    KEL_TRY
    if (data == nullptr || size < 1)
        return nullptr;
    return new KelTextureCL(name != nullptr ? name : "", data, size, true);
    KEL_CATCH
}

KelTextureCL* KelLoadTextureFromData(const KelTextureEntry& entry, bool loadNow)
{
    KEL_TRY
    const std::string path = KelTextureInfoManagerCL::GetInstance()->MakePath(entry.image);
    KelTextureCL* texture = CreateTextureFromEntry(path, entry, loadNow);
    if (texture->GetWidth() == 0 || texture->GetHeight() == 0)
    {
        KelReleaseTexture(texture);
        return nullptr;
    }
    return texture;
    KEL_CATCH
}

KelTextureCL* KelLoadTextureFromData(const KelTextureEntry& entry, const void* data, UINT size)
{
    KEL_TRY
    if (data == nullptr || size < 1)
        return nullptr;
    const std::string path = KelTextureInfoManagerCL::GetInstance()->MakePath(entry.image);
    KelTextureCL* texture = new KelTextureCL(path.c_str(), data, size, true);
    ApplyEntry(texture, entry);
    if (texture->GetRenderHandle() == nullptr)
    {
        KelReleaseTexture(texture);
        return nullptr;
    }
    return texture;
    KEL_CATCH
}

void KelReleaseTexture(KelTextureCL* texture)
{
    KEL_TRY
    if (texture != nullptr)
        texture->Release();
    KEL_CATCH
}

void KelInstallTextureFactory()
{
    KEL_TRY
    KelTextureInfoManagerCL::GetInstance()->SetTextureFactory(CreateTextureFromEntry);
    KEL_CATCH
}
