#include "DlgCountDownCL.h"

#include <cstdio>

#include "CGameCardKavdorTwoCL.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelSystemCL.h"

namespace
{
const char kFont[] = "TextNumberYellow";
const char kClockSound[] = "qipai\\dwonclock.ogg";
constexpr int kBackX = 5;
constexpr int kDigitsX = 17;
constexpr int kDigitsY = 11;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
} // namespace

DlgCountDownCL::DlgCountDownCL(const char* name, KelWndBaseCL* parent, int seconds, int x, int y, int warning)
    : KelWnd2DBaseCL(name, parent, 0), m_seconds(seconds), m_start(KelGetElapsedMs()), m_warning(warning),
      m_lastShown(seconds)
{
    KEL_TRY
    SetPosM(x, y);
    SetFontNameM(kFont);
    // The clock picture belongs to the host's pictures, not to the game's own folder.
    GetApp()->UseFrameImagePath();
    m_back = KelCreateGuiTexture("gameWndEX", "countDown_back");
    KEL_CATCH
}

DlgCountDownCL::~DlgCountDownCL() = default;

bool DlgCountDownCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    // A closed clock (its time over, or the turn moved on) waits for its parent to delete it: it
    // draws nothing and never reports the end a second time.
    if (!IsAliveM() || canvas == nullptr)
        return false;
    KelWnd2DBaseCL::DrawM(canvas);
    KelDrawTextureAt(canvas, m_back.get(), kBackX, 0);
    const int remaining = RemainingSeconds();
    if (remaining <= 0)
    {
        NotifyM(kTimeUpCode);
        CloseM();
        return false;
    }
    if (remaining != m_lastShown)
    {
        m_lastShown = remaining;
        if (remaining <= m_warning)
            PlayClockSound();
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02d", remaining);
    canvas->SetTextColor(kWhite);
    canvas->DrawText(text, kDigitsX, kDigitsY, nullptr, false, 0);
    return true;
    KEL_CATCH
}

int DlgCountDownCL::RemainingSeconds() const
{
    // Whole milliseconds keep the second boundaries exact; the division truncates toward zero
    // like the seconds shown, so a second that has begun no longer counts.
    const DWORD elapsed = KelGetElapsedMs() - m_start;
    const int64_t leftMs = static_cast<int64_t>(m_seconds) * 1000 - static_cast<int64_t>(elapsed);
    return static_cast<int>(leftMs / 1000);
}

void DlgCountDownCL::PlayClockSound()
{
    CGameCardKavdorTwoCL* app = GetApp();
    if (VarnokPlayer* self = app->GetVarnokPlayer(app->GetSelfID()))
        self->PlaySound(kClockSound);
}
