#pragma once
// The face picker a seat's player object opens: the 18 faces in a grid; the face clicked, as its
// code ("/01" ... "/18"), goes to whoever asked for it (the module's chat panel, on the host's
// next frame) or, when nobody did, is typed into the window that had the keyboard focus; then the
// picker closes.

#include <functional>
#include <string>

#include "FaceCode.h"
#include "KelWnd2DBaseCL.h"

class KelTextureCL;

class HostFacePickerCL : public KelWnd2DBaseCL
{
public:
    static constexpr int kFaces = kKavdorFaceCount;
    static constexpr int kColumns = 6;
    static constexpr int kCell = 30;

    using Picked = std::function<void(const std::string& code)>;

    // On the desktop (which owns it) at (x, y), kept inside the desktop.
    HostFacePickerCL(int x, int y, Picked picked = {});
    ~HostFacePickerCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool LClickM(WPARAM keys, POINT point) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;

    // The face under a point of the picker, or 0.
    static int FaceAt(POINT point);

private:
    KelTextureCL* m_faces[kFaces] = {};
    // The window that had the focus when the picker opened; only used while it still exists.
    KelWndBaseCL* m_typeInto = nullptr;
    int m_hot = 0;
    Picked m_picked;
};
