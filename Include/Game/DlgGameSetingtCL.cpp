#include "DlgGameSetingtCL.h"

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "KelWnd2DCheckCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"
#include "Win32/Profile.h"

namespace
{
constexpr int kX = 200;
constexpr int kY = 200;
constexpr int kWidth = 400;
constexpr int kHeight = 200;
const char kSection[] = "System";
const char kAudioKey[] = "OpenAudio";
// The effect choices are 0 (high) to 3; the audio choices 0 (off) and 1 (on).
constexpr int kEffectChoices = 4;
constexpr int kAudioChoices = 2;

int ChoiceOrZero(int index, int choices)
{
    return index >= 0 && index < choices ? index : 0;
}
} // namespace

DlgGameSetingtCL::DlgGameSetingtCL()
    : KelWnd2DDialogCL("DlgGameSetingtCL", TableDesktop(), kX, kY, kWidth, kHeight,
                       KWS_SYSFUNC | KWS_SYSMIN | KWS_SYSCLOSE)
{
    KEL_TRY
    using boost::placeholders::_1;
    SetTitleM("系统设置");
    const int t = TitleHeight(this);
    AddDialogPanel(this, "DlgGameSetingCL_back", 11, t, m_w - 32, m_h - t - 20);

    AddDialogLabel(this, "s_back1", "设置打开效果级别:", kDialogWhite, 20, t + 10);
    m_effect = new KelWnd2DRadioGroupCL("SetLogicPos", this, 20, t, 0);
    m_effect->AddRadioM("effectHight", "高", 30, t + 10);
    m_effect->AddRadioM("effcetMid", "中", 30, t + 30);
    m_effect->AddRadioM("effectLow", "低", 30, t + 50);
    m_effect->SelectM(TableApp()->GetEffectLevel());
    m_effect->SetMsgFunM(KWM_RADIOCHANGED, boost::bind(&DlgGameSetingtCL::OnEffectChanged, this, _1));

    AddDialogLabel(this, "s_back2", "设置音效开关:", kDialogWhite, 20, t + 88);
    m_audio = new KelWnd2DRadioGroupCL("SetAudio", this, 20, t + 50, 0);
    // Index 0 is off, index 1 on; "开" is placed above "关".
    m_audio->AddRadioM("audioOpen", "关", 30, t + 63);
    m_audio->AddRadioM("audioClose", "开", 30, t + 42);
    m_audio->SelectM(static_cast<int>(GetPrivateProfileIntA(kSection, kAudioKey, 0, ConfigPath().c_str())));
    m_audio->SetMsgFunM(KWM_RADIOCHANGED, boost::bind(&DlgGameSetingtCL::OnAudioChanged, this, _1));

    AddTextButton(this, "m_ok", "确定", 150, t + 120, 60, 20,
                  boost::bind(&DlgGameSetingtCL::OnClickOK, this, _1));
    AddDialogLabel(this, "s_back3", "注:按（F8）可窗口全屏切换", kDialogWhite, 220, t + 142);
    OpenTableDialog(this);
    KEL_CATCH
}

DlgGameSetingtCL::~DlgGameSetingtCL() = default;

std::string DlgGameSetingtCL::ConfigPath()
{
    return KelGetModuleDirectory() + "\\config.ini";
}

void DlgGameSetingtCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}

void DlgGameSetingtCL::OnEffectChanged(KelWndMsg)
{
    KEL_TRY
    TableApp()->SetEffectLevel(ChoiceOrZero(m_effect->GetSelectM(), kEffectChoices));
    KEL_CATCH
}

void DlgGameSetingtCL::OnAudioChanged(KelWndMsg)
{
    KEL_TRY
    const bool on = ChoiceOrZero(m_audio->GetSelectM(), kAudioChoices) != 0;
    if (VarnokPlayer* user = TableUserPlayer())
        user->SetSoundOn(on);
    if (!WritePrivateProfileStringA(kSection, kAudioKey, on ? "1" : "0", ConfigPath().c_str()))
        KelLogPrintf("写入 %s 失败", ConfigPath().c_str());
    KEL_CATCH
}
