#pragma once
// A font: glyphs drawn from 256 x 256 A4R4G4B4 page images, one textured quad per character on
// the canvas's text batch.
//
// A system font (Create) rasterises each character the first time it is needed into the next
// free cell of its pages, left to right and top to bottom; an image font (LoadImageFont) takes
// its glyphs from rectangles of ordinary images listed in an XML file.
//
// Text is in the double-byte code page: a byte with the high bit set starts a two-byte
// character whose code is lead * 256 + trail; a string ending in a lone lead byte takes the
// terminating zero as its trail byte, draws that code and stops.
//
// The reference count works as the images' (KelImageCL.h): unused fonts (count below 0) are
// deleted by the font manager's sweep.

#include <cstdint>
#include <memory>
#include <string>

#include "D3D8/D3D8.h"
#include "KelRect.h"

class KelCanvasCL;
class KelImageCL;

struct KelGlyph
{
    uint8_t page;
    uint8_t x;
    uint8_t y;
    // The advance and the cell width; 0 while the glyph is not rasterised.
    uint8_t width;
    uint8_t height;
};

class KelFontCL
{
public:
    KelFontCL();
    KelFontCL(const KelFontCL&) = delete;
    KelFontCL& operator=(const KelFontCL&) = delete;

    // Releases every page.
    virtual ~KelFontCL();
    virtual int GetType();
    // Creates the system font; true at once when it exists already. The font stays usable (and
    // registered) when the face cannot be created.
    virtual bool Create(const char* name, const char* face, int width, int height, int weight, HWND owner);
    virtual bool HasName(const char* name);
    // Rasterises the glyph of a character code when it is not yet.
    virtual bool EnsureGlyph(unsigned code);
    // Rasterises every character of the text.
    virtual bool Preload(const char* text);
    // See KelCanvasCL::DrawText; (x, y) is already relative to the target.
    virtual void DrawText(KelCanvasCL* canvas, const char* text, int x, int y, D3DCOLOR color,
                          const KelRect* clip, bool centre, int maxChars);
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();
    // Character height times the vertical scale.
    virtual int GetHeight();
    virtual int GetWeight();
    // Sum of the advances times the horizontal scale.
    virtual int GetTextWidth(const char* text);
    virtual void SetScale(float x, float y);
    virtual float GetScaleX();
    virtual float GetScaleY();
    // A page image, or null (also for indices outside 0 to 255).
    virtual KelImageCL* GetPage(int index);
    virtual std::string GetFaceName();
    // Loads an image font from an XML file (paths of its images are below the image directory).
    virtual bool LoadImageFont(const char* path);

    // Draws one glyph at (x, y), cut to `clipWidth` pixels when that is not negative; returns the
    // glyph width.
    int DrawGlyph(KelCanvasCL* canvas, unsigned code, int x, int y, D3DCOLOR color, int clipWidth);
    const KelGlyph& GetGlyph(unsigned code) const;
    const std::string& GetName() const { return m_name; }
    // The number of consecutive non-empty pages from page 0.
    int GetPageCount() const;

    void AddReference() { ++m_refCount; }
    void ReleaseReference() { --m_refCount; }
    int GetReferenceCount() const { return m_refCount; }

private:
    bool CreatePage(int index);
    // Finds the cell for a glyph of the given advance; false when no page is left for it.
    bool AllocateCell(int advance);

    int m_refCount = 0;
    std::string m_name;
    KelImageCL* m_pages[256] = {};
    std::unique_ptr<KelGlyph[]> m_glyphs;
    int m_currentPage = 0;
    int m_cursorX = 0;
    int m_cursorY = 0;
    int m_width = 0;
    int m_height = 0;
    int m_weight = 0;
    std::string m_face;
    void* m_gdiFont = nullptr;
    HWND m_owner = nullptr;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    // Loaded from an XML file: its glyphs are only those listed there.
    bool m_imageFont = false;
};
