#pragma once
// The settings dialog: how much of the table's effects to show (high, middle, low: the effect
// level of the application object) and whether the game's sounds play (the user's player object,
// remembered in "\config.ini" of the module directory, section "System", key "OpenAudio").

#include <string>

#include "KelWnd2DDialogCL.h"

class KelWnd2DRadioGroupCL;

class DlgGameSetingtCL : public KelWnd2DDialogCL
{
public:
    DlgGameSetingtCL();
    ~DlgGameSetingtCL() override;

    void OnClickOK(KelWndMsg message);
    void OnEffectChanged(KelWndMsg message);
    void OnAudioChanged(KelWndMsg message);

    // The settings file the sound switch is kept in.
    static std::string ConfigPath();

private:
    // Owned by the window tree (children of this dialog).
    KelWnd2DRadioGroupCL* m_effect = nullptr;
    KelWnd2DRadioGroupCL* m_audio = nullptr;
};
