#pragma once
// The clock the play window puts over a seat for one bid or play turn. It shows the whole
// seconds left in the yellow digit font on the clock picture, ticks on the user's player object
// in the last seconds, and when the time is up tells its owner once (kTimeUpCode, registered
// with SetMsgFunM) and closes itself. Its time is the engine clock of the frames it is drawn in.

#include <cstdint>

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class DlgCountDownCL : public KelWnd2DBaseCL
{
public:
    // What the countdown raises when its time is up: the play window binds its automatic play
    // to it.
    static constexpr int kTimeUpCode = 4001;

    // A countdown of `seconds` at (x, y) of its parent, ticking from `warning` seconds left on.
    DlgCountDownCL(const char* name, KelWndBaseCL* parent, int seconds, int x, int y, int warning);
    ~DlgCountDownCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

private:
    // The whole seconds left: the exact time left, truncated.
    int RemainingSeconds() const;
    void PlayClockSound();

    int m_seconds;
    KelTexturePtr m_back;
    DWORD m_start;
    int m_warning;
    // The seconds drawn last; the clock ticks only when a new value first shows.
    int m_lastShown;
};
