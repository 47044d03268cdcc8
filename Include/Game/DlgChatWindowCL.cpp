#include "DlgChatWindowCL.h"

#include <algorithm>
#include <cstdio>

#include <boost/bind/bind.hpp>

#include "HostInterfaces.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DCheckCL.h"
#include "KelWnd2DListCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"
#include "Win32/Profile.h"

namespace
{
using boost::placeholders::_1;

const char kButtonSet[] = "gameWndEX";
constexpr int kRecordHeight = DlgChatWindowCL::kExpandedHeight - DlgChatBaseCL::kRowHeight;
constexpr int kPhraseButtonX = 296;
constexpr int kPhraseButtonWidth = 44;
constexpr int kToggleX = 346;
// A phrase file cannot make the panel read without end.
constexpr int kMostPhrases = 1000;
// Where the host's face picker opens, above the face button.
constexpr int kFacePickerX = 215;
constexpr int kFacePickerY = 440;

KelTextureCL* Picture(const char* id)
{
    KelTexturePtr picture = KelCreateGuiTexture(kButtonSet, id);
    if (picture == nullptr)
        KelLogPrintf("chat: no picture %s in %s", id, kButtonSet);
    return picture.release();
}
} // namespace

DlgChatWindowCL::DlgChatWindowCL(KelWndBaseCL* parent) : DlgChatBaseCL(kName, parent)
{
    KEL_TRY
    BuildControls(kRecordHeight);
    m_phraseBtn = new KelWnd2DButtonCL("chatTextBtn", this, kButtonSet, "liaotianjilu", 0, 0);
    m_phraseBtn->SetTipM("常用词语");
    m_phraseBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgChatWindowCL::OnClickPhraseButton, this, _1));
    m_recordToggle = new KelWnd2DCheckCL("chatRecBtncheck", this, "", 0, 0, 0);
    for (int i = 0; i < 6; ++i)
        m_recordToggle->SetImageM(Picture(("chatRecBtncheck_" + std::to_string(i)).c_str()), i);
    m_recordToggle->LayoutM("");
    m_recordToggle->SetMsgFunM(KWM_CHECKCHANGED, boost::bind(&DlgChatWindowCL::OnChatRec, this, _1));
    // The list opens upwards over the table, its right edge on the phrase button's.
    m_phrases =
        new KelWnd2DListCL("chatTextList", this, kPhraseButtonX + kPhraseButtonWidth - kPhraseListWidth,
                           -kPhraseListHeight, kPhraseListWidth, kPhraseListHeight, 0);
    m_phrases->SetMsgFunM(KWM_SELECT, boost::bind(&DlgChatWindowCL::OnClickPhrase, this, _1));
    char workDir[512] = {};
    TableApp()->GetWorkDir(workDir);
    for (const std::string& phrase : ReadPhrases(std::string(workDir) + "\\ChatText.ini"))
        m_phrases->AddItemM(phrase);
    ShowPhraseList(false);
    m_recordBack = KelCreateGuiTexture(kButtonSet, "chatRecord_back");
    SetExpanded(true);
    KEL_CATCH
}

DlgChatWindowCL::~DlgChatWindowCL() = default;

std::vector<std::string> DlgChatWindowCL::ReadPhrases(const std::string& path)
{
    std::vector<std::string> phrases;
    const int count = static_cast<int>(GetPrivateProfileIntA("Num", "num", -1, path.c_str()));
    if (count > kMostPhrases)
        KelLogPrintf("chat: %s names %d phrases, reading %d", path.c_str(), count, kMostPhrases);
    for (int n = 1; n <= std::min(count, kMostPhrases); ++n)
    {
        char key[16];
        std::snprintf(key, sizeof key, "NO%d", n);
        char phrase[255] = {};
        GetPrivateProfileStringA("Text", key, "", phrase, sizeof phrase, path.c_str());
        if (phrase[0] != '\0')
            phrases.emplace_back(phrase);
        else
            KelLogPrintf("chat: phrase %s missing in %s", key, path.c_str());
    }
    return phrases;
}

void DlgChatWindowCL::SetExpanded(bool expanded)
{
    m_expanded = expanded;
    SetPosM(0, expanded ? kExpandedY : kCollapsedY);
    SetSizeM(kWidth, expanded ? kExpandedHeight : kRowHeight);
    const int recordHeight = expanded ? kRecordHeight : 0;
    LayoutPanel(recordHeight);
    m_phraseBtn->SetPosM(kPhraseButtonX, recordHeight + 4);
    m_recordToggle->SetPosM(kToggleX, recordHeight + 5);
    m_recordToggle->SetCheckM(expanded);
    m_recordToggle->SetTipM(expanded ? "关闭聊天纪录框" : "展开聊天纪录框");
    if (expanded)
        ScrollRecordToEnd();
}

void DlgChatWindowCL::ChatRec()
{
    KEL_TRY
    SetExpanded(!m_expanded);
    m_autoOpened = false;
    KEL_CATCH
}

void DlgChatWindowCL::OnChatRec(KelWndMsg)
{
    KEL_TRY
    ChatRec();
    KEL_CATCH
}

void DlgChatWindowCL::OnNewLine()
{
    if (m_expanded)
        return;
    SetExpanded(true);
    m_autoOpened = true;
}

void DlgChatWindowCL::ShowPhraseList(bool show)
{
    m_phrases->ShowM(show);
    // The button's resting looks say whether the list is open.
    m_phraseBtn->SetStateImageM(KelWnd2DButtonCL::kNormal,
                                Picture(show ? "chatTextBtn_down_0" : "chatTextBtn_0"));
    m_phraseBtn->SetStateImageM(KelWnd2DButtonCL::kHover,
                                Picture(show ? "chatTextBtn_down_1" : "chatTextBtn_1"));
}

void DlgChatWindowCL::OnClickPhraseButton(KelWndMsg)
{
    KEL_TRY
    ShowPhraseList(!m_phrases->IsShowM());
    KEL_CATCH
}

void DlgChatWindowCL::OnClickPhrase(KelWndMsg message)
{
    KEL_TRY
    const int index = message.param1;
    if (index < 0 || index >= m_phrases->GetItemCountM())
        return;
    const std::string phrase = m_phrases->GetItemTextM(index);
    // The same phrase may be chosen again next time.
    m_phrases->SetSelectIndexM(-1);
    ShowPhraseList(false);
    if (OwnPlayer() == nullptr)
        return;
    SendLine(phrase, false);
    ScrollRecordToEnd();
    KEL_CATCH
}

void DlgChatWindowCL::OpenFaces(VarnokPlayer& own)
{
    own.OpenFacePicker(kFacePickerX, kFacePickerY);
}

bool DlgChatWindowCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (m_expanded && m_recordBack != nullptr)
        KelDrawTextureAt(canvas, m_recordBack.get(), 0, 0);
    return DlgChatBaseCL::DrawM(canvas);
    KEL_CATCH
}
