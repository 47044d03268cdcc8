#include "KelCanvasCL.h"

#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelLineCL.h"

namespace
{

// Lines and points lie on the same plane as the quads.
constexpr float kDepth = -1.0f;

D3DXMATRIX ScalingMatrix(float x, float y)
{
    D3DXMATRIX matrix;
    D3DXMatrixScaling(&matrix, x, y, 1.0f);
    return matrix;
}

} // namespace

KelCanvasCL::KelCanvasCL(IDirect3DDevice8* device)
    : m_imageSprite(std::make_unique<KelSpriteCL>(device, 4, 768)),
      m_textSprite(std::make_unique<KelSpriteCL>(device, 4, 768)),
      m_line(std::make_unique<KelLineCL>(device, 768))
{
    // Pictures queued before text lie beneath it: whenever the text batch draws (flushed, full,
    // or rebinding a glyph page), the pictures waiting are drawn first.
    m_textSprite->SetDrawnBeneath(m_imageSprite.get());
}

KelCanvasCL::~KelCanvasCL() = default;

bool KelCanvasCL::Begin()
{
    m_imageSprite->Begin();
    m_textSprite->Begin();
    m_line->Begin();
    return true;
}

bool KelCanvasCL::End()
{
    m_imageSprite->End();
    m_textSprite->End();
    m_line->End();
    return true;
}

void KelCanvasCL::FlushImages()
{
    m_imageSprite->Flush();
}

void KelCanvasCL::SetColor(D3DCOLOR color)
{
    m_color = color;
    m_line->SetColor(color);
}

void KelCanvasCL::DrawPoint(int x, int y)
{
    DrawPoint(static_cast<float>(x), static_cast<float>(y));
}

void KelCanvasCL::DrawPoint(float x, float y)
{
    m_line->AddPoint(x + m_originX, y + m_originY, kDepth);
}

void KelCanvasCL::DrawLine(int x1, int y1, int x2, int y2)
{
    DrawLine(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2));
}

void KelCanvasCL::DrawLine(float x1, float y1, float x2, float y2)
{
    m_line->AddLine(x1 + m_originX, y1 + m_originY, kDepth, x2 + m_originX, y2 + m_originY, kDepth);
}

float KelCanvasCL::SetLineWidth(float width)
{
    float previous = m_lineWidth;
    m_lineWidth = width;
    m_line->SetWidth(width);
    return previous;
}

void KelCanvasCL::FillRect(const KelRect& rect, D3DCOLOR color)
{
    KEL_TRY
    D3DXVECTOR2 position{static_cast<float>(rect.left) + m_originX, static_cast<float>(rect.top) + m_originY};
    m_imageSprite->Draw(nullptr, &rect, &position, nullptr, 0.0f, color);
    // Drawn at once, so that images drawn after it lie above it.
    m_imageSprite->Flush();
    KEL_CATCH
}

void KelCanvasCL::FillRect(int left, int top, int right, int bottom, D3DCOLOR color)
{
    FillRect(KelRect(left, top, right, bottom), color);
}

void KelCanvasCL::DrawRect(const KelRect& rect, D3DCOLOR color)
{
    DrawRect(rect.left, rect.top, rect.right, rect.bottom, color);
}

void KelCanvasCL::DrawRect(int left, int top, int right, int bottom, D3DCOLOR color)
{
    KEL_TRY
    m_line->Flush();
    SetColor(color);
    float l = static_cast<float>(left);
    float t = static_cast<float>(top);
    float r = static_cast<float>(right);
    float b = static_cast<float>(bottom);
    DrawLine(l, t, r, t);
    DrawLine(r, t, r, b);
    DrawLine(r, b, l, b);
    DrawLine(l, t, l, b);
    m_line->Flush();
    KEL_CATCH
}

void KelCanvasCL::FlushLines()
{
    m_line->Flush();
}

bool KelCanvasCL::OnLostDevice()
{
    m_imageSprite->OnLostDevice();
    m_textSprite->OnLostDevice();
    m_line->OnLostDevice();
    return true;
}

bool KelCanvasCL::OnResetDevice()
{
    m_imageSprite->OnResetDevice();
    m_textSprite->OnResetDevice();
    m_line->OnResetDevice();
    return true;
}

KelSpriteCL* KelCanvasCL::GetImageSprite()
{
    return m_imageSprite.get();
}

KelSpriteCL* KelCanvasCL::GetTextSprite()
{
    return m_textSprite.get();
}

KelLineCL* KelCanvasCL::GetLine()
{
    return m_line.get();
}

void KelCanvasCL::Translate(float dx, float dy)
{
    m_originX += dx;
    m_originY += dy;
}

void KelCanvasCL::SetOrigin(float x, float y)
{
    m_originX = x;
    m_originY = y;
}

void KelCanvasCL::GetOrigin(float* x, float* y)
{
    if (x != nullptr)
        *x = m_originX;
    if (y != nullptr)
        *y = m_originY;
}

void KelCanvasCL::Reset()
{
    m_originX = 0.0f;
    m_originY = 0.0f;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    m_imageSprite->SetMatrix(identity);
    m_textSprite->SetMatrix(identity);
}

void KelCanvasCL::SetTargetSize(int width, int height)
{
    m_targetWidth = width;
    m_targetHeight = height;
}

int KelCanvasCL::GetTargetWidth()
{
    return m_targetWidth;
}

int KelCanvasCL::GetTargetHeight()
{
    return m_targetHeight;
}

bool KelCanvasCL::DrawQuad(KelImageCL* image, const KelQuadVertex* vertices)
{
    KEL_TRY
    if (vertices == nullptr)
        return false;
    KelQuadVertex moved[4];
    for (int i = 0; i < 4; ++i)
    {
        moved[i] = vertices[i];
        moved[i].x += m_originX;
        moved[i].y += m_originY;
    }
    return m_imageSprite->DrawQuad(image, moved);
    KEL_CATCH
}

void KelCanvasCL::SetFont(const char* name)
{
    KEL_TRY
    m_fontName = name != nullptr ? name : "";
    LookUpFont();
    KEL_CATCH
}

std::string KelCanvasCL::GetFontName()
{
    return m_fontName;
}

void KelCanvasCL::SetTextColor(D3DCOLOR color)
{
    m_textColor = color;
}

KelFontCL* KelCanvasCL::LookUpFont()
{
    KelFontManagerCL* manager = KelFontManagerCL::GetInstance();
    m_font = manager->GetFont(m_fontName.c_str());
    m_fontManager = manager;
    m_fontGeneration = manager->GetGeneration();
    // The text batch takes the font's scale whenever the font is found, also when it is found
    // later than it was selected (created after SetFont named it).
    if (m_font != nullptr)
    {
        m_textScaleX = m_font->GetScaleX();
        m_textScaleY = m_font->GetScaleY();
        m_textSprite->SetMatrix(ScalingMatrix(m_textScaleX, m_textScaleY));
    }
    return m_font;
}

KelFontCL* KelCanvasCL::GetFont()
{
    const KelFontManagerCL* manager = KelFontManagerCL::GetInstance();
    if (m_font == nullptr || manager != m_fontManager || manager->GetGeneration() != m_fontGeneration)
        return LookUpFont();
    return m_font;
}

void KelCanvasCL::DrawText(const char* text, int x, int y, const KelRect* clip, bool centre, int maxChars)
{
    KEL_TRY
    KelFontCL* font = GetFont();
    if (font == nullptr || text == nullptr)
        return;
    font->DrawText(this, text, static_cast<int>(static_cast<float>(x) + m_originX),
                   static_cast<int>(static_cast<float>(y) + m_originY), m_textColor, clip, centre, maxChars);
    KEL_CATCH
}

void KelCanvasCL::FlushText()
{
    // The text batch draws the pictures queued beneath it first (see the constructor): a window
    // that draws only text (a label) must not leave the pictures of the window drawn before it
    // to be flushed over its text.
    m_textSprite->Flush();
}

int KelCanvasCL::GetFontHeight()
{
    KelFontCL* font = GetFont();
    return font != nullptr ? font->GetHeight() : 0;
}

int KelCanvasCL::GetFontWeight()
{
    KelFontCL* font = GetFont();
    return font != nullptr ? font->GetWeight() : 0;
}

int KelCanvasCL::GetTextWidth(const char* text)
{
    KelFontCL* font = GetFont();
    return font != nullptr && text != nullptr ? font->GetTextWidth(text) : 0;
}

void KelCanvasCL::SetTextScale(float x, float y)
{
    KEL_TRY
    // A scale of 0 or less would collapse the text and divide the font's layout by zero; the
    // font refuses it, so the batch must not take it either.
    if (!(x > 0.0f && y > 0.0f))
        return;
    KelFontCL* font = GetFont();
    if (font != nullptr)
        font->SetScale(x, y);
    m_textScaleX = x;
    m_textScaleY = y;
    m_textSprite->SetMatrix(ScalingMatrix(x, y));
    KEL_CATCH
}

void KelCanvasCL::GetTextScale(float* x, float* y)
{
    if (x != nullptr)
        *x = m_textScaleX;
    if (y != nullptr)
        *y = m_textScaleY;
}
