#include "GDI/Gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include "Win32/Text.h"

namespace
{
// One face of an installed font file.
struct FaceFile
{
    const char* path;
    long index;
};

constexpr const char* kZenHeiPath = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
constexpr const char* kMicroHeiPath = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
// Face 2 of the Zen Hei collection is "Sharp": the same outlines with hand-tuned bitmaps at 12 to
// 16 pixels, which is what makes small Chinese text crisp.
constexpr FaceFile kZenHeiSharp{kZenHeiPath, 2};
constexpr FaceFile kZenHei{kZenHeiPath, 0};
constexpr FaceFile kZenHeiMono{kZenHeiPath, 1};
constexpr FaceFile kMicroHei{kMicroHeiPath, 0};
constexpr FaceFile kMicroHeiMono{kMicroHeiPath, 1};

// Every face this layer knows, in the order characters missing from a font's own faces are
// looked for.
constexpr FaceFile kAllFaces[] = {kZenHeiSharp, kMicroHei, kZenHei, kZenHeiMono, kMicroHeiMono};
constexpr FaceFile kSongChain[] = {kZenHeiSharp, kMicroHei, kZenHei};
constexpr FaceFile kSansChain[] = {kMicroHei, kZenHei, kZenHeiSharp};

// Names of the Song faces and of the Chinese sans faces. The source is compiled with the GBK
// execution character set, so the Chinese names are GBK bytes, as the callers pass them.
constexpr const char* kSongNames[] = {"宋体", "新宋体", "SimSun", "NSimSun"};
constexpr const char* kSansNames[] = {"黑体", "微软雅黑", "SimHei", "Microsoft YaHei"};

// The system font of a new device context, 16 pixels high as the Chinese system font is.
constexpr int kSystemFontHeight = 16;
// Sizes beyond this are refused: a glyph bitmap would be megabytes.
constexpr int kMaxPixelSize = 2048;
constexpr int kSemiBold = 600;

// Handles are numbers from here on; 0 is the failure value.
uintptr_t g_nextHandle = 0x100;

// FreeType's faces are not safe to use from two threads at once, so every function holds this.
std::mutex& GdiMutex()
{
    // Never destroyed: a static object of another file may still release a context at exit.
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0)
            created = nullptr;
        return created;
    }();
    return library;
}

// The face of a file, opened once and kept for the process; null when it is not installed.
FT_Face OpenFace(const FaceFile& file)
{
    static std::map<std::pair<std::string, long>, FT_Face>* faces =
        new std::map<std::pair<std::string, long>, FT_Face>;
    auto key = std::make_pair(std::string(file.path), file.index);
    auto found = faces->find(key);
    if (found != faces->end())
        return found->second;
    FT_Face face = nullptr;
    FT_Library library = Library();
    if (library == nullptr || FT_New_Face(library, file.path, file.index, &face) != 0)
        face = nullptr;
    (*faces)[key] = face;
    return face;
}

bool SameFace(const FaceFile& a, const FaceFile& b)
{
    return a.index == b.index && std::strcmp(a.path, b.path) == 0;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Face names compare without regard to the case of ASCII letters; the trail byte of a
// double-byte character is compared exactly even when it looks like a letter.
bool SameFaceName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (IsGbkLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size())
        {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        }
        else if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// A font: its faces in the order they are asked for a character, each with its own size object
// so that fonts of different sizes can share a face.
struct GdiFont
{
    int xPixels = 0;
    int yPixels = 0;
    bool bold = false;
    std::vector<FT_Face> faces;
    std::vector<FT_Size> sizes;

    ~GdiFont()
    {
        for (FT_Size size : sizes)
            FT_Done_Size(size);
    }
};

struct GdiDc
{
    uintptr_t font = 0;
};

// The open handles. Fonts are shared with the contexts they are selected into, so that deleting
// a selected font does not pull it from under the context.
std::map<uintptr_t, std::shared_ptr<GdiFont>>& Fonts()
{
    static auto* fonts = new std::map<uintptr_t, std::shared_ptr<GdiFont>>;
    return *fonts;
}

std::map<uintptr_t, GdiDc>& Dcs()
{
    static auto* dcs = new std::map<uintptr_t, GdiDc>;
    return *dcs;
}

// Fonts that a context keeps alive after DeleteObject, by handle.
std::map<uintptr_t, std::shared_ptr<GdiFont>>& DeletedFonts()
{
    static auto* fonts = new std::map<uintptr_t, std::shared_ptr<GdiFont>>;
    return *fonts;
}

std::shared_ptr<GdiFont> FindFont(uintptr_t handle)
{
    auto found = Fonts().find(handle);
    if (found != Fonts().end())
        return found->second;
    auto deleted = DeletedFonts().find(handle);
    return deleted != DeletedFonts().end() ? deleted->second : nullptr;
}

bool FontInUse(uintptr_t handle)
{
    for (const auto& dc : Dcs())
        if (dc.second.font == handle)
            return true;
    return false;
}

// Forgets a deleted font once no context has it selected any more.
void DropIfUnused(uintptr_t handle)
{
    if (handle != 0 && !FontInUse(handle))
        DeletedFonts().erase(handle);
}

// The faces for a requested face name, best first, followed by every other installed face for
// the characters the first ones lack.
std::vector<FaceFile> FaceChain(const char* faceName)
{
    std::vector<FaceFile> chain;
    std::string_view name = faceName != nullptr ? faceName : "";
    auto nameIn = [&](const auto& names) {
        return std::any_of(std::begin(names), std::end(names),
                           [&](const char* known) { return SameFaceName(name, known); });
    };
    if (nameIn(kSongNames))
        chain.assign(std::begin(kSongChain), std::end(kSongChain));
    else if (nameIn(kSansNames))
        chain.assign(std::begin(kSansChain), std::end(kSansChain));
    else
    {
        // A face named by its own family name.
        std::string utf8 = GbkToUtf8(name);
        for (const FaceFile& file : kAllFaces)
        {
            FT_Face face = OpenFace(file);
            if (face != nullptr && face->family_name != nullptr && !utf8.empty() &&
                SameFaceName(utf8, face->family_name))
            {
                chain.push_back(file);
                break;
            }
        }
        chain.insert(chain.end(), std::begin(kSansChain), std::end(kSansChain));
    }
    for (const FaceFile& file : kAllFaces)
        chain.push_back(file);
    std::vector<FaceFile> unique;
    for (const FaceFile& file : chain)
        if (std::none_of(unique.begin(), unique.end(), [&](const FaceFile& f) { return SameFace(f, file); }))
            unique.push_back(file);
    return unique;
}

// Builds a font of the installed faces of the chain; null when none is installed.
std::shared_ptr<GdiFont> BuildFont(const char* faceName, int xPixels, int yPixels, bool bold)
{
    auto font = std::make_shared<GdiFont>();
    font->xPixels = xPixels;
    font->yPixels = yPixels;
    font->bold = bold;
    for (const FaceFile& file : FaceChain(faceName))
    {
        FT_Face face = OpenFace(file);
        if (face == nullptr)
            continue;
        FT_Size size = nullptr;
        if (FT_New_Size(face, &size) != 0)
            continue;
        // A face with an exactly matching bitmap strike uses its bitmaps from here on.
        if (FT_Activate_Size(size) != 0 || FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xPixels),
                                                              static_cast<FT_UInt>(yPixels)) != 0)
        {
            FT_Done_Size(size);
            continue;
        }
        font->faces.push_back(face);
        font->sizes.push_back(size);
    }
    if (font->faces.empty())
        return nullptr;
    return font;
}

// The system font every new context starts with.
uintptr_t SystemFont()
{
    static uintptr_t handle = 0;
    if (handle == 0)
    {
        std::shared_ptr<GdiFont> font = BuildFont("宋体", kSystemFontHeight, kSystemFontHeight, false);
        if (font == nullptr)
            return 0;
        handle = g_nextHandle++;
        Fonts()[handle] = font;
    }
    return handle;
}

// The Unicode character of a code of the system code page; 0 when the code is none.
char32_t CodeToUnicode(UINT character)
{
    character &= 0xFFFF;
    std::string bytes;
    if (character <= 0xFF)
    {
        if (character < 0x80)
            return character;
        bytes.push_back(static_cast<char>(character));
    }
    else
    {
        bytes.push_back(static_cast<char>(character >> 8));
        bytes.push_back(static_cast<char>(character & 0xFF));
    }
    // The conversion drops what it cannot read; a code is a character only when all of it was
    // read as one character outside ASCII.
    std::u32string unicode = GbkToUnicode(bytes);
    if (unicode.size() != 1 || unicode[0] < 0x80)
        return 0;
    return unicode[0];
}

bool IsIdentity(const MAT2& m)
{
    return m.eM11.value == 1 && m.eM11.fract == 0 && m.eM22.value == 1 && m.eM22.fract == 0 &&
           m.eM12.value == 0 && m.eM12.fract == 0 && m.eM21.value == 0 && m.eM21.fract == 0;
}

// A rendered glyph as this layer hands it out.
struct GlyphBitmap
{
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    // One byte per pixel, 0 or 1, rows packed.
    std::vector<uint8_t> pixels;
};

bool RenderGlyph(const GdiFont& font, char32_t character, GlyphBitmap& glyph)
{
    size_t chosen = 0;
    FT_UInt index = 0;
    if (character != 0)
    {
        for (size_t i = 0; i < font.faces.size(); ++i)
        {
            index = FT_Get_Char_Index(font.faces[i], character);
            if (index != 0)
            {
                chosen = i;
                break;
            }
        }
    }
    FT_Face face = font.faces[chosen];
    if (FT_Activate_Size(font.sizes[chosen]) != 0)
        return false;
    // Monochrome hinting and rendering: bitmap strikes come out as drawn, outlines are rendered
    // with one bit per pixel as GDI renders GGO_BITMAP.
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return false;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.pixels.assign(static_cast<size_t>(glyph.width) * glyph.rows, 0);
    for (int y = 0; y < glyph.rows; ++y)
    {
        const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        for (int x = 0; x < glyph.width; ++x)
        {
            bool set = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x / 8] >> (7 - x % 8)) & 1) != 0
                                                               : row[x] >= 128;
            glyph.pixels[static_cast<size_t>(y) * glyph.width + x] = set ? 1 : 0;
        }
    }
    if (font.bold && glyph.width > 0)
    {
        // Simulated bold: each pixel also sets its right neighbour.
        std::vector<uint8_t> wider(static_cast<size_t>(glyph.width + 1) * glyph.rows, 0);
        for (int y = 0; y < glyph.rows; ++y)
            for (int x = 0; x < glyph.width; ++x)
                if (glyph.pixels[static_cast<size_t>(y) * glyph.width + x] != 0)
                {
                    wider[static_cast<size_t>(y) * (glyph.width + 1) + x] = 1;
                    wider[static_cast<size_t>(y) * (glyph.width + 1) + x + 1] = 1;
                }
        glyph.pixels.swap(wider);
        ++glyph.width;
        ++glyph.advance;
    }
    return true;
}

uintptr_t HandleValue(const void* handle)
{
    return reinterpret_cast<uintptr_t>(handle);
}
} // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName)
{
    // Precision, quality and family only steer the choice of a face, which the face name
    // decides here.
    (void)outPrecision;
    (void)clipPrecision;
    (void)quality;
    (void)pitchAndFamily;
    if (escapement != 0 || orientation != 0 || italic != 0 || underline != 0 || strikeOut != 0 ||
        (charSet != DEFAULT_CHARSET && charSet != GB2312_CHARSET) || height < -kMaxPixelSize ||
        height > kMaxPixelSize || width < -kMaxPixelSize || width > kMaxPixelSize / 2 || weight < 0 ||
        weight > 1000)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int yPixels = height == 0 ? kSystemFontHeight : std::abs(height);
    int xPixels = width == 0 ? yPixels : 2 * std::abs(width);
    std::lock_guard<std::mutex> lock(GdiMutex());
    std::shared_ptr<GdiFont> font = BuildFont(faceName, xPixels, yPixels, weight >= kSemiBold);
    if (font == nullptr)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    uintptr_t handle = g_nextHandle++;
    Fonts()[handle] = font;
    return reinterpret_cast<HFONT>(handle);
}

BOOL DeleteObject(HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    uintptr_t handle = HandleValue(object);
    auto found = Fonts().find(handle);
    if (found == Fonts().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The system font is a stock object: deleting it succeeds and changes nothing.
    if (handle == SystemFont())
        return TRUE;
    if (FontInUse(handle))
        DeletedFonts()[handle] = found->second;
    Fonts().erase(found);
    return TRUE;
}

HDC GetDC(HWND window)
{
    (void)window;
    std::lock_guard<std::mutex> lock(GdiMutex());
    uintptr_t handle = g_nextHandle++;
    Dcs()[handle].font = SystemFont();
    return reinterpret_cast<HDC>(handle);
}

int ReleaseDC(HWND window, HDC dc)
{
    (void)window;
    std::lock_guard<std::mutex> lock(GdiMutex());
    auto found = Dcs().find(HandleValue(dc));
    if (found == Dcs().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    uintptr_t font = found->second.font;
    Dcs().erase(found);
    DropIfUnused(font);
    return 1;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(GdiMutex());
    auto found = Dcs().find(HandleValue(dc));
    uintptr_t font = HandleValue(object);
    // Only open fonts can be selected; a deleted one that a context still holds cannot come back.
    if (found == Dcs().end() || Fonts().find(font) == Fonts().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uintptr_t previous = found->second.font;
    found->second.font = font;
    DropIfUnused(previous);
    return reinterpret_cast<HGDIOBJ>(previous);
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, LPGLYPHMETRICS metrics, DWORD bufferSize,
                       LPVOID buffer, const MAT2* matrix)
{
    if (metrics == nullptr || matrix == nullptr || format != GGO_BITMAP || !IsIdentity(*matrix))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return GDI_ERROR;
    }
    // Converting before taking the lock: the converter is per thread.
    char32_t unicode = CodeToUnicode(character);
    std::lock_guard<std::mutex> lock(GdiMutex());
    auto found = Dcs().find(HandleValue(dc));
    if (found == Dcs().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return GDI_ERROR;
    }
    std::shared_ptr<GdiFont> font = FindFont(found->second.font);
    GlyphBitmap glyph;
    if (font == nullptr || !RenderGlyph(*font, unicode, glyph))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return GDI_ERROR;
    }

    bool empty = std::find(glyph.pixels.begin(), glyph.pixels.end(), 1) == glyph.pixels.end();
    GLYPHMETRICS result{};
    result.gmCellIncX = static_cast<short>(glyph.advance);
    result.gmCellIncY = 0;
    if (empty)
    {
        result.gmBlackBoxX = 1;
        result.gmBlackBoxY = 1;
        result.gmptGlyphOrigin = {0, 0};
        *metrics = result;
        return 0;
    }
    // The black box is the rectangle around the set pixels; FreeType's bitmaps may carry empty
    // rows or columns at their edges.
    int minX = glyph.width, maxX = -1, minY = glyph.rows, maxY = -1;
    for (int y = 0; y < glyph.rows; ++y)
        for (int x = 0; x < glyph.width; ++x)
            if (glyph.pixels[static_cast<size_t>(y) * glyph.width + x] != 0)
            {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    int boxWidth = maxX - minX + 1;
    int boxHeight = maxY - minY + 1;
    result.gmBlackBoxX = static_cast<UINT>(boxWidth);
    result.gmBlackBoxY = static_cast<UINT>(boxHeight);
    result.gmptGlyphOrigin.x = glyph.left + minX;
    result.gmptGlyphOrigin.y = glyph.top - minY;
    *metrics = result;

    const DWORD pitch = static_cast<DWORD>((boxWidth + 31) / 32 * 4);
    const DWORD size = pitch * static_cast<DWORD>(boxHeight);
    if (buffer == nullptr || bufferSize == 0)
        return size;
    if (bufferSize < size)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return GDI_ERROR;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, size);
    for (int y = 0; y < boxHeight; ++y)
        for (int x = 0; x < boxWidth; ++x)
            if (glyph.pixels[static_cast<size_t>(y + minY) * glyph.width + x + minX] != 0)
                out[static_cast<size_t>(y) * pitch + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    return size;
}
