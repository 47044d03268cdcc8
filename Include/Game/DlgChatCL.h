#pragma once
// The framework's older chat panel: the shared chat controls on one background picture, the
// record always open. Its face button brings up the face window "Dlg_FaceWindow" when the desktop
// holds one, and the host's face picker otherwise.

#include "DlgChatBaseCL.h"

class DlgChatCL : public DlgChatBaseCL
{
public:
    static constexpr const char* kName = "DlgChatCL";
    static constexpr const char* kFaceWindow = "Dlg_FaceWindow";
    static constexpr int kX = 0;
    static constexpr int kY = 490;
    static constexpr int kHeight = 110;
    // Where the host's face picker opens, above the face button.
    static constexpr int kFacePickerX = 215;
    static constexpr int kFacePickerY = 440;

    explicit DlgChatCL(KelWndBaseCL* parent);
    ~DlgChatCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

protected:
    void OpenFaces(VarnokPlayer& own) override;

private:
    KelTexturePtr m_back;
};
