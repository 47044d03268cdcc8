#include "KelWnd2DButtonCL.h"

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelGuiConfig.h"
#include "KelSystemCL.h"
#include "KelTextureCL.h"
#include "Win32/PlaySound.h"

namespace
{
constexpr int kUnset = 4095;
const char kClickSound[] = "\\sound\\gameLoby\\button.wav";

bool Inside(POINT point, int w, int h)
{
    return point.x >= 0 && point.y >= 0 && point.x <= w && point.y <= h;
}

D3DCOLOR Inverted(D3DCOLOR color)
{
    return 0xFF000000u | (~color & 0x00FFFFFFu);
}
} // namespace

KelWnd2DButtonCL::KelWnd2DButtonCL(const char* name, KelWndBaseCL* parent, const char* infoName,
                                   const char* imageId, int x, int y, int w, int h, DWORD style)
    : KelWnd2DBaseCL(name, parent, style), m_sound(KelGetModuleDirectory() + kClickSound)
{
    KEL_TRY
    SetPosM(x, y);
    initialDataM(infoName != nullptr ? infoName : "", imageId != nullptr ? imageId : "");
    if (KelTextureCL* normal = m_images[kNormal].get())
    {
        if (w == kUnset)
            w = normal->GetWidth();
        if (h == kUnset)
            h = normal->GetHeight();
    }
    SetSizeM(w, h);
    KEL_CATCH
}

KelWnd2DButtonCL::~KelWnd2DButtonCL() = default;

KelTextureCL* KelWnd2DButtonCL::GetStateImage(int state) const
{
    return state >= 0 && state < 4 ? m_images[static_cast<size_t>(state)].get() : nullptr;
}

void KelWnd2DButtonCL::SetStateImageM(int state, KelTextureCL* texture)
{
    KelTexturePtr owned(texture);
    if (state < 0 || state > 3)
        return;
    m_images[static_cast<size_t>(state)] = std::move(owned);
}

void KelWnd2DButtonCL::SetSoundM(const std::string& path)
{
    m_sound = path;
}

void KelWnd2DButtonCL::SetSoundOnM(bool on)
{
    m_soundOn = on;
}

void KelWnd2DButtonCL::initialDataM(const std::string& infoName, const std::string& imageId)
{
    KEL_TRY
    if (infoName.empty() || imageId.empty())
        return;
    for (int state = 0; state < 4; ++state)
        m_images[static_cast<size_t>(state)] =
            KelCreateGuiTexture(infoName, imageId + "_" + std::to_string(state));
    KEL_CATCH
}

void KelWnd2DButtonCL::ChangeState(int state)
{
    m_state = state;
    Invalidate();
}

bool KelWnd2DButtonCL::LButtonDownM(WPARAM, POINT)
{
    KEL_TRY
    if (m_state == kDisabled)
        return false;
    ChangeState(kPressed);
    if (m_soundOn)
        PlaySoundA(m_sound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
    return false;
    KEL_CATCH
}

bool KelWnd2DButtonCL::LButtonUpM(WPARAM, POINT)
{
    KEL_TRY
    if (m_state != kDisabled)
        ChangeState(IsMouseInM() ? kHover : kNormal);
    return false;
    KEL_CATCH
}

bool KelWnd2DButtonCL::MouseInM(WPARAM, POINT)
{
    KEL_TRY
    if (m_state != kDisabled)
        ChangeState(m_leftPress.x != kUnset || m_leftPress.y != kUnset ? kPressed : kHover);
    return false;
    KEL_CATCH
}

bool KelWnd2DButtonCL::MouseOutM(WPARAM, POINT)
{
    KEL_TRY
    if (m_state != kDisabled)
        ChangeState(kNormal);
    return false;
    KEL_CATCH
}

bool KelWnd2DButtonCL::MouseMoveM(WPARAM, POINT point)
{
    KEL_TRY
    if (m_state == kDisabled)
        return false;
    const bool pressed = m_leftPress.x != kUnset || m_leftPress.y != kUnset;
    const int state = Inside(point, m_w, m_h) && pressed ? kPressed : kHover;
    if (state != m_state)
        ChangeState(state);
    return false;
    KEL_CATCH
}

bool KelWnd2DButtonCL::OnEnableM(bool enable)
{
    KEL_TRY
    ChangeState(enable ? kNormal : kDisabled);
    return KelWnd2DBaseCL::OnEnableM(enable);
    KEL_CATCH
}

void KelWnd2DButtonCL::DrawNinePart(KelCanvasCL* canvas, KelTextureCL* image)
{
    const KelRect source = image->GetRect();
    const int n = source.Width() / 3;
    const int k = source.Height() / 3;
    if (n <= 0 || k <= 0)
        return;
    // Cell (column, row) of the 3 x 3 grid, and the area of the button it covers.
    const auto cell = [n, k](int column, int row)
    { return KelRect(column * n, row * k, (column + 1) * n, (row + 1) * k); };
    const int columns[4] = {0, n, m_w - n, m_w};
    const int rows[4] = {0, k, m_h - k, m_h};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            KelTileTextureCell(canvas, image, cell(column, row),
                               KelRect(columns[column], rows[row], columns[column + 1], rows[row + 1]));
}

bool KelWnd2DButtonCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return KelWnd2DBaseCL::DrawM(canvas);
    KelTextureCL* image = GetStateImage(m_state);
    if (image == nullptr)
        image = m_images[kNormal].get();
    if (image != nullptr && image->GetWidth() < m_w && image->GetHeight() < m_h)
        DrawNinePart(canvas, image);
    else if (image != nullptr)
        KelDrawTextureAt(canvas, image, 0, 0);
    else
    {
        canvas->FillRect(0, 0, m_w, m_h, m_fillColor);
        if (m_state == kHover)
            canvas->DrawRect(0, 0, m_w, m_h, Inverted(m_fillColor));
    }
    canvas->FlushImages();
    canvas->SetTextColor(m_textColor);
    const KelRect bounds(0, 0, m_w, m_h);
    canvas->DrawText(m_text.c_str(), 0, 0, &bounds, true, 0);
    canvas->FlushText();
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}

KelWnd2DButtonCL* CreateConfigButton(const char* name, KelWndBaseCL* parent, const char* element, int x,
                                     int y, int w, int h)
{
    KEL_TRY
    KelGuiPiece piece;
    if (element == nullptr || !KelGetGuiPiece(element, "", &piece))
        return nullptr;
    return new KelWnd2DButtonCL(name, parent, piece.file.c_str(), piece.data.c_str(), x, y, w, h, 0);
    KEL_CATCH
}
