#pragma once
// The drawing context every window draws on during a frame: an origin that every coordinate is
// relative to, the colours and the font, and three batches: images, text and lines.
//
// Order within a frame: images and text collect in their own batches, so the screen flushes
// the image batch and then the text batch at the end of the frame and all text lies above the
// frame's images. A filled rectangle is drawn at once (the image batch is flushed after it), so
// images drawn later lie above it; rectangle outlines flush the line batch around themselves.

#include <memory>
#include <string>

#include "D3D8/D3D8.h"
#include "KelRect.h"
#include "KelSpriteCL.h"

class KelImageCL;
class KelLineCL;
class KelFontCL;
class KelFontManagerCL;

class KelCanvasCL
{
public:
    explicit KelCanvasCL(IDirect3DDevice8* device);
    KelCanvasCL(const KelCanvasCL&) = delete;
    KelCanvasCL& operator=(const KelCanvasCL&) = delete;

    virtual ~KelCanvasCL();
    // Begin and end the batches; neither flushes.
    virtual bool Begin();
    virtual bool End();
    virtual void FlushImages();
    // The colour of lines and rectangles.
    virtual void SetColor(D3DCOLOR color);
    virtual void DrawPoint(int x, int y);
    virtual void DrawPoint(float x, float y);
    virtual void DrawLine(int x1, int y1, int x2, int y2);
    virtual void DrawLine(float x1, float y1, float x2, float y2);
    // Returns the previous width.
    virtual float SetLineWidth(float width);
    virtual void FillRect(const KelRect& rect, D3DCOLOR color);
    virtual void FillRect(int left, int top, int right, int bottom, D3DCOLOR color);
    virtual void DrawRect(const KelRect& rect, D3DCOLOR color);
    virtual void DrawRect(int left, int top, int right, int bottom, D3DCOLOR color);
    virtual void FlushLines();
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();
    virtual KelSpriteCL* GetImageSprite();
    virtual KelSpriteCL* GetTextSprite();
    virtual KelLineCL* GetLine();
    // Moves the origin by (dx, dy).
    virtual void Translate(float dx, float dy);
    virtual void SetOrigin(float x, float y);
    virtual void GetOrigin(float* x, float* y);
    // Origin (0, 0) and identity matrices on both sprites.
    virtual void Reset();
    virtual void SetTargetSize(int width, int height);
    virtual int GetTargetWidth();
    virtual int GetTargetHeight();
    // Draws a quad of four corners relative to the origin through the image batch.
    virtual bool DrawQuad(KelImageCL* image, const KelQuadVertex* vertices);
    // Selects a font of the font manager by name; the text batch takes the font's scale.
    virtual void SetFont(const char* name);
    virtual std::string GetFontName();
    virtual void SetTextColor(D3DCOLOR color);
    // Draws text at (x, y) relative to the origin with the current font and text colour, cut at
    // the clip rectangle when one is given, centred in it when `centre` is set, and at most
    // `maxChars` characters (0 or less: all).
    virtual void DrawText(const char* text, int x, int y, const KelRect* clip, bool centre, int maxChars);
    // Draws the queued text, after the queued pictures (which lie beneath it).
    virtual void FlushText();
    virtual int GetFontHeight();
    virtual int GetFontWeight();
    virtual int GetTextWidth(const char* text);
    virtual void SetTextScale(float x, float y);
    virtual void GetTextScale(float* x, float* y);

    D3DCOLOR GetColor() const { return m_color; }
    D3DCOLOR GetTextColor() const { return m_textColor; }
    // The selected font (looked up by name when first needed); null when there is none.
    KelFontCL* GetFont();

private:
    // Looks the font of the current name up and notes which manager state the answer is from.
    KelFontCL* LookUpFont();

    std::unique_ptr<KelSpriteCL> m_imageSprite;
    std::unique_ptr<KelSpriteCL> m_textSprite;
    std::unique_ptr<KelLineCL> m_line;
    D3DCOLOR m_color = 0xFFFFFFFF;
    float m_lineWidth = 1.0f;
    float m_originX = 0.0f;
    float m_originY = 0.0f;
    std::string m_fontName;
    KelFontCL* m_font = nullptr;
    // The manager and its generation the font was found in: a font deleted since (destroyed by
    // name or swept) must not be drawn with.
    const KelFontManagerCL* m_fontManager = nullptr;
    unsigned m_fontGeneration = 0;
    D3DCOLOR m_textColor = 0xFFFFFFFF;
    float m_textScaleX = 1.0f;
    float m_textScaleY = 1.0f;
    int m_targetWidth = 0;
    int m_targetHeight = 0;
};
