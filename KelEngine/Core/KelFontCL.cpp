#include "KelFontCL.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tinyxml.h>
#include <vector>

#include "GDI/Gdi.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelResourceManagerCL.h"
#include "KelSpriteCL.h"
#include "KelTextureEntry.h"
#include "KelTextureInfoManagerCL.h"
#include "KelXmlFile.h"

namespace
{
constexpr int kPageCount = 256;
constexpr int kPageSize = 256;
constexpr unsigned kCodeCount = 65536;
// The glyph bitmap buffer the rasteriser has always used; larger glyphs are refused.
constexpr DWORD kGlyphBufferSize = 4096;
constexpr unsigned kSpace = 32;
// Opaque white in A4R4G4B4: the glyph's shape, tinted by the text colour when drawn.
constexpr uint16_t kGlyphPixel = 0xFFFF;

// Reads one character of double-byte text and moves past it. A byte with the high bit set
// starts a two-byte character; when the string ends right after such a lead byte, the
// terminating zero is its trail byte and `last` is set, so the reader stops there instead of
// running past the end. Returns false at the end of the text.
bool NextCode(const unsigned char*& p, unsigned& code, bool& last)
{
    last = false;
    if (*p == 0)
        return false;
    if (*p < 0x80)
    {
        code = *p++;
        return true;
    }
    code = static_cast<unsigned>(p[0]) * 256 + p[1];
    if (p[1] == 0)
    {
        last = true;
        ++p;
    }
    else
        p += 2;
    return true;
}

// The first character of a text by the same rules; 0 for an empty text.
unsigned FirstCode(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.c_str());
    unsigned code = 0;
    bool last = false;
    return NextCode(p, code, last) ? code : 0;
}

// One glyph entry of an image-font file.
struct ImageGlyph
{
    unsigned code;
    KelTextureEntry entry;
};

struct ImageFontJob
{
    bool parsed = false;
    bool hasName = false;
    std::string name;
    std::vector<ImageGlyph> glyphs;
};

void ReadImageFont(TiXmlDocument& document, ImageFontJob& job)
{
    if (document.Error())
        return;
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr)
        return;
    job.parsed = true;
    if (const char* name = root->Attribute("name"))
    {
        job.hasName = true;
        job.name = name;
    }
    for (const TiXmlElement* child = root->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement())
    {
        ImageGlyph glyph{};
        // Anything but a "texture" element gives the default entry, whose empty ID means the
        // character 0.
        if (strcasecmp(child->Value(), "texture") == 0)
            KelReadTextureEntry(child, glyph.entry);
        glyph.code = FirstCode(glyph.entry.id);
        job.glyphs.push_back(glyph);
    }
}

const KelGlyph kNoGlyph{};
} // namespace

KelFontCL::KelFontCL() : m_glyphs(new KelGlyph[kCodeCount]())
{
}

KelFontCL::~KelFontCL()
{
    for (KelImageCL*& page : m_pages)
    {
        if (page != nullptr)
            page->ReleaseReference();
        page = nullptr;
    }
    if (m_gdiFont != nullptr)
        DeleteObject(m_gdiFont);
}

int KelFontCL::GetType()
{
    return 0;
}

bool KelFontCL::Create(const char* name, const char* face, int width, int height, int weight, HWND owner)
{
    KEL_TRY
    if (m_gdiFont != nullptr)
        return true;
    m_name = name != nullptr ? name : "";
    m_width = width;
    m_height = height;
    m_weight = weight;
    m_face = face != nullptr ? face : "";
    HFONT font = CreateFontA(height, width, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, m_face.c_str());
    KelLogPrintf("创建字体 ID:%s , Type:%s , Width:%d , Height:%d , Weight:%d  -> result:%d", m_name.c_str(),
                 m_face.c_str(), width, height, weight,
                 static_cast<int>(reinterpret_cast<intptr_t>(font)));
    if (font == nullptr)
        return false;
    m_gdiFont = font;
    m_owner = owner;
    return true;
    KEL_CATCH
}

bool KelFontCL::HasName(const char* name)
{
    KEL_TRY
    return m_name == (name != nullptr ? name : "");
    KEL_CATCH
}

bool KelFontCL::CreatePage(int index)
{
    if (index < 0 || index >= kPageCount)
        return false;
    if (m_pages[index] != nullptr)
        return true;
    char name[512];
    std::snprintf(name, sizeof name, "%s_%d", m_name.c_str(), index);
    KelImageCL* page = KelResourceManagerCL::GetInstance()->CreateImageM(name, kPageSize, kPageSize, 0, 0,
                                                                          D3DFMT_A4R4G4B4, D3DPOOL_MANAGED);
    if (page == nullptr)
        return false;
    m_pages[index] = page;
    // The cache may hand back the page of an earlier font of the same name, glyphs and all.
    void* bits = nullptr;
    int pitch = 0;
    if (page->LockRect(0, 0, kPageSize, kPageSize, &bits, &pitch, 0))
    {
        for (int y = 0; y < kPageSize; ++y)
            std::memset(static_cast<uint8_t*>(bits) + static_cast<ptrdiff_t>(y) * pitch, 0, kPageSize * 2);
        page->UnLockRect();
    }
    return true;
}

bool KelFontCL::AllocateCell(int advance)
{
    // A failed page creation must leave the cursor where it was: otherwise the next glyph would
    // be placed over the first row of the current page.
    const int savedX = m_cursorX;
    const int savedY = m_cursorY;
    if (m_cursorX + advance > kPageSize)
    {
        m_cursorX = 0;
        m_cursorY += m_height;
        if (m_cursorY + m_height > kPageSize)
        {
            m_cursorY = 0;
            ++m_currentPage;
            if (!CreatePage(m_currentPage))
            {
                --m_currentPage;
                m_cursorX = savedX;
                m_cursorY = savedY;
                return false;
            }
        }
    }
    return true;
}

bool KelFontCL::EnsureGlyph(unsigned code)
{
    KEL_TRY
    if (code >= kCodeCount)
        return false;
    KelGlyph& glyph = m_glyphs[code];
    if (glyph.width != 0)
        return true;
    // An image font has exactly the glyphs of its file; its pages are shared pictures that must
    // never be drawn into.
    if (m_imageFont)
        return false;
    // Cells are whole character heights of a page, and the height entry is one byte.
    if (m_height <= 0 || m_height > 255)
        return false;
    if (m_pages[0] == nullptr && m_currentPage == 0 && !CreatePage(0))
        return false;
    if (m_pages[m_currentPage] == nullptr)
        return false;

    // The space of a font of fixed character width takes one character width, drawn as nothing,
    // and advances one pixel less. Without a width (the face's own), or with a width of 1 whose
    // space would have no advance and so never count as rasterised, the space is measured like
    // any other character.
    if (code == kSpace && m_width > 1 && m_width <= kPageSize)
    {
        if (!AllocateCell(m_width))
            return false;
        glyph = KelGlyph{static_cast<uint8_t>(m_currentPage), static_cast<uint8_t>(m_cursorX),
                         static_cast<uint8_t>(m_cursorY), static_cast<uint8_t>(m_width - 1),
                         static_cast<uint8_t>(m_height - 1)};
        m_cursorX += m_width;
        return true;
    }

    static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics{};
    std::vector<uint8_t> bitmap(kGlyphBufferSize, 0);
    HDC dc = GetDC(m_owner);
    HGDIOBJ previous = nullptr;
    if (m_gdiFont != nullptr)
        previous = SelectObject(dc, m_gdiFont);
    DWORD size = GetGlyphOutlineA(dc, code, GGO_BITMAP, &metrics, kGlyphBufferSize, bitmap.data(), &identity);
    if (previous != nullptr)
        SelectObject(dc, previous);
    ReleaseDC(m_owner, dc);
    if (size == GDI_ERROR)
        return false;

    // The width entry is one byte and 0 means "not rasterised": an advance of 0 or beyond a
    // byte cannot be recorded.
    const int advance = metrics.gmCellIncX;
    if (advance <= 0 || advance > 255)
        return false;
    if (!AllocateCell(advance))
        return false;
    glyph = KelGlyph{static_cast<uint8_t>(m_currentPage), static_cast<uint8_t>(m_cursorX),
                     static_cast<uint8_t>(m_cursorY), static_cast<uint8_t>(advance),
                     static_cast<uint8_t>(m_height)};
    m_cursorX += advance;

    KelImageCL* page = m_pages[glyph.page];
    void* bits = nullptr;
    int pitch = 0;
    if (!page->LockRect(glyph.x, glyph.y, glyph.width, glyph.height, &bits, &pitch, 0))
    {
        KelLogPrintf("锁定字体页失败 %s_%d", m_name.c_str(), glyph.page);
        return true;
    }
    auto row = [&](int y) {
        return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(bits) + static_cast<ptrdiff_t>(y) * pitch);
    };
    for (int y = 0; y < glyph.height; ++y)
        std::memset(row(y), 0, static_cast<size_t>(glyph.width) * 2);
    // The bitmap's rows are padded to whole 32-bit words. Its top row lies origin-y rows above
    // the baseline, which is two rows above the bottom of the cell; whatever falls outside the
    // cell is cut off.
    const int bitmapPitch = (static_cast<int>(metrics.gmBlackBoxX) + 31) / 32 * 4;
    const int rows = size == 0 ? 0
                               : std::min(static_cast<int>(metrics.gmBlackBoxY),
                                          static_cast<int>(size) / bitmapPitch);
    const int top = m_height - metrics.gmptGlyphOrigin.y - 2;
    for (int r = 0; r < rows; ++r)
    {
        const int y = top + r;
        if (y < 0)
            continue;
        if (y >= glyph.height)
            break;
        const uint8_t* source = bitmap.data() + static_cast<size_t>(r) * bitmapPitch;
        for (int c = 0; c < static_cast<int>(metrics.gmBlackBoxX); ++c)
        {
            const int x = metrics.gmptGlyphOrigin.x + c;
            if (x < 0)
                continue;
            if (x >= glyph.width)
                break;
            if ((source[c / 8] >> (7 - c % 8)) & 1)
                row(y)[x] = kGlyphPixel;
        }
    }
    page->UnLockRect();
    return true;
    KEL_CATCH
}

bool KelFontCL::Preload(const char* text)
{
    KEL_TRY
    if (text == nullptr)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    unsigned code = 0;
    bool last = false;
    while (NextCode(p, code, last))
    {
        EnsureGlyph(code);
        if (last)
            break;
    }
    return true;
    KEL_CATCH
}

void KelFontCL::DrawText(KelCanvasCL* canvas, const char* text, int x, int y, D3DCOLOR color, const KelRect* clip,
                         bool centre, int maxChars)
{
    KEL_TRY
    if (canvas == nullptr || text == nullptr)
        return;
    if (clip != nullptr && centre)
    {
        x += (clip->Width() - GetTextWidth(text)) / 2;
        y += (clip->Height() - GetHeight()) / 2;
    }
    // The text batch scales by the font's scale, so the layout is in unscaled units.
    x = static_cast<int>(static_cast<float>(x) / m_scaleX);
    y = static_cast<int>(static_cast<float>(y) / m_scaleY);
    const bool limited = clip != nullptr;
    const int limit = limited ? static_cast<int>(static_cast<float>(clip->Width()) / m_scaleX + static_cast<float>(x))
                              : 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    unsigned code = 0;
    bool last = false;
    int count = 0;
    while (NextCode(p, code, last))
    {
        EnsureGlyph(code);
        const KelGlyph& glyph = GetGlyph(code);
        if (limited && x + glyph.width >= limit)
        {
            // The glyph at the edge is cut there; nothing after it is drawn.
            if (limit - x > 0)
                DrawGlyph(canvas, code, x, y, color, limit - x);
            break;
        }
        DrawGlyph(canvas, code, x, y, color, -1);
        x += glyph.width;
        ++count;
        if (last || (maxChars > 0 && count >= maxChars))
            break;
    }
    KEL_CATCH
}

int KelFontCL::DrawGlyph(KelCanvasCL* canvas, unsigned code, int x, int y, D3DCOLOR color, int clipWidth)
{
    KEL_TRY
    const KelGlyph& glyph = GetGlyph(code);
    KelImageCL* page = m_pages[glyph.page];
    // A glyph whose page could not be made or loaded is not drawn: without its image the batch
    // would draw a plain rectangle.
    if (canvas == nullptr || page == nullptr || glyph.width == 0)
        return glyph.width;
    const int width = clipWidth >= 0 ? std::min(clipWidth, static_cast<int>(glyph.width)) : glyph.width;
    KelRect source(glyph.x, glyph.y, glyph.x + width, glyph.y + glyph.height);
    D3DXVECTOR2 position{static_cast<float>(x), static_cast<float>(y)};
    canvas->GetTextSprite()->DrawTransformed(page, &source, &position, color);
    return glyph.width;
    KEL_CATCH
}

bool KelFontCL::OnLostDevice()
{
    // The pages are in the managed pool and survive a lost device.
    return true;
}

bool KelFontCL::OnResetDevice()
{
    return true;
}

int KelFontCL::GetHeight()
{
    KEL_TRY
    return static_cast<int>(static_cast<float>(m_height) * m_scaleY);
    KEL_CATCH
}

int KelFontCL::GetWeight()
{
    KEL_TRY
    return m_weight;
    KEL_CATCH
}

int KelFontCL::GetTextWidth(const char* text)
{
    KEL_TRY
    if (text == nullptr)
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    unsigned code = 0;
    bool last = false;
    int width = 0;
    while (NextCode(p, code, last))
    {
        EnsureGlyph(code);
        width += GetGlyph(code).width;
        if (last)
            break;
    }
    return static_cast<int>(static_cast<float>(width) * m_scaleX);
    KEL_CATCH
}

void KelFontCL::SetScale(float x, float y)
{
    KEL_TRY
    // A scale of 0 would divide the layout by zero.
    if (x > 0.0f && y > 0.0f)
    {
        m_scaleX = x;
        m_scaleY = y;
    }
    KEL_CATCH
}

float KelFontCL::GetScaleX()
{
    return m_scaleX;
}

float KelFontCL::GetScaleY()
{
    return m_scaleY;
}

KelImageCL* KelFontCL::GetPage(int index)
{
    KEL_TRY
    if (index < 0 || index >= kPageCount)
        return nullptr;
    return m_pages[index];
    KEL_CATCH
}

std::string KelFontCL::GetFaceName()
{
    KEL_TRY
    return m_face;
    KEL_CATCH
}

bool KelFontCL::LoadImageFont(const char* path)
{
    KEL_TRY
    std::string text;
    if (path == nullptr || !KelReadXmlFile(path, text))
    {
        KelLogPrintf("加载图片字体失败 : %s", path != nullptr ? path : "");
        return false;
    }
    ImageFontJob job;
    if (!KelParseXml(text, [&job](TiXmlDocument& document) { ReadImageFont(document, job); }) || !job.parsed)
    {
        KelLogPrintf("加载图片字体失败 : %s", path);
        return false;
    }
    m_imageFont = true;
    if (job.hasName)
        m_name = job.name;
    m_face = m_name;
    const std::string directory = KelTextureInfoManagerCL::GetInstance()->GetImageDirectory();
    for (const ImageGlyph& item : job.glyphs)
    {
        if (item.code >= kCodeCount)
            continue;
        const std::string imagePath = directory + "\\" + item.entry.image;
        int pageIndex = -1;
        int firstEmpty = -1;
        for (int i = 0; i < kPageCount; ++i)
        {
            if (m_pages[i] == nullptr)
            {
                if (firstEmpty < 0)
                    firstEmpty = i;
            }
            else if (m_pages[i]->GetIDM() == imagePath)
            {
                pageIndex = i;
                break;
            }
        }
        if (pageIndex < 0)
        {
            if (firstEmpty < 0)
            {
                KelLogPrintf("图片字体页已满 %s : %s", m_name.c_str(), imagePath.c_str());
                continue;
            }
            pageIndex = firstEmpty;
            // An entry without an image (an element that is not a texture) has nothing to load.
            if (!item.entry.image.empty())
            {
                m_pages[pageIndex] = KelResourceManagerCL::GetInstance()->LoadImageM(imagePath.c_str(), true, 0);
                if (m_pages[pageIndex] == nullptr)
                    KelLogPrintf("图片字体的图片加载失败 %s : %s", m_name.c_str(), imagePath.c_str());
            }
        }
        m_glyphs[item.code] = KelGlyph{static_cast<uint8_t>(pageIndex), static_cast<uint8_t>(item.entry.left),
                                       static_cast<uint8_t>(item.entry.top),
                                       static_cast<uint8_t>(item.entry.right - item.entry.left),
                                       static_cast<uint8_t>(item.entry.bottom - item.entry.top)};
    }
    return true;
    KEL_CATCH
}

const KelGlyph& KelFontCL::GetGlyph(unsigned code) const
{
    return code < kCodeCount ? m_glyphs[code] : kNoGlyph;
}

int KelFontCL::GetPageCount() const
{
    int count = 0;
    while (count < kPageCount && m_pages[count] != nullptr)
        ++count;
    return count;
}
