#include "HostFacePickerCL.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "KelCanvasCL.h"
#include "KelGuiPieces.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Messages.h"

namespace
{
bool OnDesktop(KelWndBaseCL* window)
{
    std::vector<KelWndBaseCL*> pending{KelUIManagerCL::GetInstance()->GetDeskTopM()};
    while (!pending.empty())
    {
        KelWndBaseCL* w = pending.back();
        pending.pop_back();
        if (w == window)
            return true;
        if (w != nullptr)
            for (KelWndBaseCL* child : w->GetChildren())
                pending.push_back(child);
    }
    return false;
}

constexpr int kRows =
    (HostFacePickerCL::kFaces + HostFacePickerCL::kColumns - 1) / HostFacePickerCL::kColumns;
constexpr int kMargin = 4;
} // namespace

HostFacePickerCL::HostFacePickerCL(int x, int y, Picked picked)
    : KelWnd2DBaseCL("HostFacePicker", KelUIManagerCL::GetInstance()->GetDeskTopM(), 0),
      m_picked(std::move(picked))
{
    const int w = kColumns * kCell + 2 * kMargin;
    const int h = kRows * kCell + 2 * kMargin;
    int left = x;
    int top = y;
    if (KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM())
    {
        const auto [dw, dh] = desktop->GetSizeM();
        left = std::max(0, std::min(left, dw - w));
        top = std::max(0, std::min(top, dh - h));
    }
    SetPosM(left, top);
    SetSizeM(w, h);
    for (int face = 1; face <= kFaces; ++face)
        m_faces[face - 1] =
            KelTextureInfoManagerCL::GetInstance()->CreateTexture("face", KavdorFaceCode(face), true);
    m_typeInto = KelUIManagerCL::GetInstance()->GetFocusWndM();
    BringToTopM();
}

HostFacePickerCL::~HostFacePickerCL()
{
    for (KelTextureCL* face : m_faces)
        if (face != nullptr)
            face->Release();
}

int HostFacePickerCL::FaceAt(POINT point)
{
    const int column = (point.x - kMargin) / kCell;
    const int row = (point.y - kMargin) / kCell;
    if (point.x < kMargin || point.y < kMargin || column >= kColumns || row >= kRows)
        return 0;
    const int face = row * kColumns + column + 1;
    return face <= kFaces ? face : 0;
}

bool HostFacePickerCL::DrawM(KelCanvasCL* canvas)
{
    const auto [w, h] = GetSizeM();
    canvas->FillRect(0, 0, w, h, 0xF0F4F1EAu);
    canvas->DrawRect(0, 0, w, h, 0xFF7896BEu);
    for (int i = 0; i < kFaces; ++i)
    {
        const int x = kMargin + (i % kColumns) * kCell;
        const int y = kMargin + (i / kColumns) * kCell;
        if (i + 1 == m_hot)
            canvas->FillRect(x, y, x + kCell, y + kCell, 0xFFBFD8F2u);
        if (m_faces[i] != nullptr)
            KelDrawTextureAt(canvas, m_faces[i], x + (kCell - m_faces[i]->GetWidth()) / 2,
                             y + (kCell - m_faces[i]->GetHeight()) / 2);
    }
    return true;
}

bool HostFacePickerCL::MouseMoveM(WPARAM, POINT point)
{
    m_hot = FaceAt(point);
    return true;
}

bool HostFacePickerCL::LClickM(WPARAM, POINT point)
{
    const int face = FaceAt(point);
    CloseM();
    if (face == 0)
        return true;
    if (m_picked)
    {
        m_picked(KavdorFaceCode(face));
        return true;
    }
    // Typed where the focus was before the picker took it.
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    if (m_typeInto != nullptr && OnDesktop(m_typeInto))
        manager->SetFocusWndM(m_typeInto);
    for (unsigned char c : KavdorFaceCode(face))
        manager->PostMessageM(nullptr, WM_CHAR, c, 1);
    return true;
}
