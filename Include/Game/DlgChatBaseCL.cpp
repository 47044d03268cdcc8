#include "DlgChatBaseCL.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>

#include <boost/bind/bind.hpp>

#include "HostInterfaces.h"
#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "KelWnd2DScrollBarCL.h"
#include "RoomSink.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
using boost::placeholders::_1;

const char kButtonSet[] = "gameWndEX";
// The record draws neither background nor frame: the panel's own background shows through.
constexpr DWORD kRecordStyle = 0x100000;
constexpr int kMargin = 4;
constexpr int kControlHeight = 22;
constexpr int kEditWidth = 196;
// The bar moves the record this many pixels an arrow click.
constexpr int kBarStep = 15;

D3DCOLOR Argb(int a, int r, int g, int b)
{
    return (static_cast<D3DCOLOR>(a & 0xFF) << 24) | (static_cast<D3DCOLOR>(r & 0xFF) << 16) |
           (static_cast<D3DCOLOR>(g & 0xFF) << 8) | static_cast<D3DCOLOR>(b & 0xFF);
}

std::string Nickname(const VarnokPlayerInfo& info)
{
    return std::string(info.nickname, strnlen(info.nickname, sizeof info.nickname));
}
} // namespace

DlgChatBaseCL::DlgChatBaseCL(const char* name, KelWndBaseCL* parent) : KelWnd2DBaseCL(name, parent, 0) {}

DlgChatBaseCL::~DlgChatBaseCL() = default;

void DlgChatBaseCL::BuildControls(int recordHeight)
{
    // The buttons' pictures are the framework's, in the host's image directory.
    TableApp()->UseFrameImagePath();
    m_output = new KelWnd2DRichEditIICL("outPut", this, 0, 0, 0, 0, kRecordStyle);
    m_outputBar = new KelWnd2DScrollBarCL("scrollBarOutput", this, 0, 0, 0, 0);
    m_outputBar->SetBarStepM(kBarStep);
    m_outputBar->SetMsgFunM(KWM_SCROLL, boost::bind(&DlgChatBaseCL::OnScrollOutput, this, _1));
    m_edit = new KelWnd2DEditCL("edit", this, 0, 0, kEditWidth, kControlHeight, KWS_NOFRAME);
    m_edit->SetLimitM(kEditLimit);
    m_edit->SetMsgFunM(KWM_RETURN, boost::bind(&DlgChatBaseCL::ClickEnter, this, _1));
    m_editBack = KelCreateGuiTexture(kButtonSet, "liaotianshurukuang");
    if (m_editBack == nullptr)
        KelLogPrintf("chat: no picture liaotianshurukuang in %s", kButtonSet);
    m_faceBtn = new KelWnd2DButtonCL("btnChat_face", this, kButtonSet, "face", 0, 0);
    m_faceBtn->SetTipM("表情");
    m_faceBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgChatBaseCL::ClickFace, this, _1));
    m_labaBtn = new KelWnd2DButtonCL("btnChat_Laba", this, kButtonSet, "xiaolaba", 0, 0);
    m_labaBtn->SetTipM("小喇叭");
    m_labaBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgChatBaseCL::ClickLaba, this, _1));
    m_enterBtn = new KelWnd2DButtonCL("btnChat_Enter", this, kButtonSet, "Enter", 0, 0);
    m_enterBtn->SetTipM("回车");
    m_enterBtn->SetMsgFunM(KWM_LCLICK, boost::bind(&DlgChatBaseCL::ClickEnter, this, _1));
    LayoutPanel(recordHeight);
}

void DlgChatBaseCL::LayoutPanel(int recordHeight)
{
    assert(m_output != nullptr && m_outputBar != nullptr && m_edit != nullptr);
    const bool shown = recordHeight > 0;
    const int barWidth = m_outputBar->GetSizeM().first;
    const int boxHeight = std::max(0, recordHeight - 2 * kMargin);
    m_output->SetPosM(kMargin, kMargin);
    m_output->SetSizeM(kWidth - 3 * kMargin - barWidth, boxHeight);
    m_output->SetTextRectM(kMargin, kMargin, boxHeight - kMargin, kWidth - 5 * kMargin - barWidth);
    m_output->ShowM(shown);
    m_outputBar->SetPosM(kWidth - kMargin - barWidth, kMargin);
    m_outputBar->SetBarHeightM(boxHeight);
    m_outputBar->ShowM(shown);
    const int y = recordHeight + kMargin;
    m_edit->SetPosM(kMargin, y);
    m_faceBtn->SetPosM(kMargin + kEditWidth + 4, y);
    m_labaBtn->SetPosM(kMargin + kEditWidth + 28, y);
    m_enterBtn->SetPosM(kMargin + kEditWidth + 52, y);
}

bool DlgChatBaseCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    // The panel keeps the keyboard for the input line unless the small speaker's window or
    // another window that is typed into has it.
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    KelWnd2DBaseCL* desktop = manager->GetDeskTopM();
    if (desktop != nullptr && desktop->FindChildM(kSpeakerWindow) == nullptr)
        GiveEditTheFocus();
    if (m_editBack != nullptr)
    {
        const auto [x, y] = m_edit->GetPosM();
        KelDrawTextureAt(canvas, m_editBack.get(), x, y);
    }
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}

void DlgChatBaseCL::GiveEditTheFocus()
{
    KelUIManagerCL* manager = KelUIManagerCL::GetInstance();
    KelWndBaseCL* focus = manager->GetFocusWndM();
    if (focus == m_edit || !IsShowM() || !m_edit->IsEnableM())
        return;
    // A dialog's own edit box or text box keeps what the user types into it.
    if (auto* edit = dynamic_cast<KelWnd2DEditCL*>(focus); edit != nullptr && edit->IsEnableM())
        return;
    if (dynamic_cast<KelWnd2DRichEditIICL*>(focus) != nullptr && focus != m_output)
        return;
    manager->SetFocusWndM(m_edit);
}

void DlgChatBaseCL::UpDatedataM()
{
    KEL_TRY
    if (m_speakerPending)
    {
        KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
        if (KelWndBaseCL* speaker = desktop != nullptr ? desktop->FindChildM(kSpeakerWindow) : nullptr)
        {
            speaker->ShowM(true);
            m_speakerPending = false;
        }
    }
    SyncOutputBar();
    KelWnd2DBaseCL::UpDatedataM();
    KEL_CATCH
}

int DlgChatBaseCL::RecordBottom() const
{
    const auto& items = m_output->GetItems();
    return items.empty() ? 0 : items.back()->y + items.back()->height;
}

// Nothing links the record to its bar: the bar's range follows the record's length, and its
// thumb the record's offset (the wheel scrolls the record itself).
void DlgChatBaseCL::SyncOutputBar()
{
    const int boxHeight = m_output->GetSizeM().second;
    const int longest = std::max(0, RecordBottom() + 2 * m_output->GetMarginY() - boxHeight);
    if (m_outputBar->GetBarRangeM() != std::make_pair(0, longest))
        m_outputBar->SetBarRangeM(0, longest);
    if (m_outputBar->GetBarPosM() != m_output->GetScrollPos())
        m_outputBar->SetBarPosM(m_output->GetScrollPos());
}

void DlgChatBaseCL::ScrollRecordToEnd()
{
    m_output->SetScrollPosM(99999);
    SyncOutputBar();
}

void DlgChatBaseCL::OnScrollOutput(KelWndMsg message)
{
    KEL_TRY
    m_output->SetScrollPosM(message.param1);
    KEL_CATCH
}

VarnokPlayer* DlgChatBaseCL::OwnPlayer()
{
    VGameCardBaseCL* app = TableApp();
    return app->GetVarnokPlayer(app->GetSelfID());
}

std::string DlgChatBaseCL::BubbleCommand(int selfId, const std::string& text, bool replaceSlash)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "@ID:%d#聊天气泡", selfId);
    std::string command = prefix + text;
    if (replaceSlash)
        std::replace(command.begin(), command.end(), '/', ' ');
    return command;
}

std::string DlgChatBaseCL::VisibleLine(const std::string& nickname, const std::string& text)
{
    return "[" + nickname + "]; " + text;
}

std::string DlgChatBaseCL::ScoreLine(const std::string& nickname, int score, int coins)
{
    char line[160];
    if (nickname.size() <= 24)
        std::snprintf(line, sizeof line, "%s%s     %d     %d", nickname.c_str(), "", score, coins);
    else
        std::snprintf(line, sizeof line, "%s    %d     %d", nickname.c_str(), score, coins);
    return line;
}

bool DlgChatBaseCL::SendLine(const std::string& text, bool replaceSlash)
{
    VGameCardBaseCL* app = TableApp();
    const VarnokPlayerInfo* self = app->GetSelfData();
    const std::string bubble = BubbleCommand(app->GetSelfID(), text, replaceSlash);
    const std::string line = VisibleLine(self != nullptr ? Nickname(*self) : std::string(), text);
    // Both or neither: a bubble without its line in the record would say what nobody can read.
    if (bubble.size() > kMaxChatBytes || line.size() > kMaxChatBytes)
    {
        KelLogPrintf("chat line of %zu bytes too long to send", text.size());
        return false;
    }
    RoomSink& sink = TableRoomSink();
    const bool sent = sink.SendChat(bubble) && sink.SendChat(line);
    if (!sent)
        KelLogPrintf("chat line of %zu bytes not sent", text.size());
    return sent;
}

void DlgChatBaseCL::OnEnter()
{
    KEL_TRY
    const std::string text = m_edit->GetEditText();
    if (text.empty())
        return;
    SendLine(text, true);
    m_edit->SetTextM("");
    KelUIManagerCL::GetInstance()->SetFocusWndM(m_edit);
    ScrollRecordToEnd();
    KEL_CATCH
}

void DlgChatBaseCL::OnChat(const std::string& text, int a, int r, int g, int b, bool newLine)
{
    KEL_TRY
    const bool atEnd = m_output->IsScrollAtEndM();
    if (newLine)
        m_output->NewLineM();
    // Each line starts in its own colour, whatever colour markers the one before held.
    m_output->SetDefaultColorM(Argb(a, r, g, b));
    m_output->AddTextM(" " + text);
    if (newLine)
        OnNewLine();
    if (atEnd)
        m_output->SetScrollPosM(99999);
    SyncOutputBar();
    KEL_CATCH
}

void DlgChatBaseCL::OnRecChatFace(const std::string& text)
{
    KEL_TRY
    const std::string line = m_edit->GetEditText() + text;
    if (line.size() <= static_cast<size_t>(kEditLimit))
        m_edit->SetTextM(line);
    else
        KelLogPrintf("chat: face %s left out of a full line", text.c_str());
    KelUIManagerCL::GetInstance()->SetFocusWndM(m_edit);
    KEL_CATCH
}

void DlgChatBaseCL::GameScoreCL(const std::vector<int>& ids, const std::vector<int>& scores,
                                const std::vector<int>& coins, const std::string& header)
{
    KEL_TRY
    OnChat(header, 0xFF, 0xFF, 0xFF, 0xFF, true);
    const size_t count = std::min({ids.size(), scores.size(), coins.size()});
    for (size_t i = 0; i < count; ++i)
    {
        VarnokPlayer* player = TableApp()->GetVarnokPlayer(ids[i]);
        const VarnokPlayerInfo* info = player != nullptr ? player->GetPlayerInfo() : nullptr;
        if (info != nullptr)
            OnChat(ScoreLine(Nickname(*info), scores[i], coins[i]), 0xFF, 0xFF, 0xFF, 0xFF, true);
    }
    KEL_CATCH
}

void DlgChatBaseCL::OnFace()
{
    KEL_TRY
    if (VarnokPlayer* own = OwnPlayer())
        OpenFaces(*own);
    KEL_CATCH
}

void DlgChatBaseCL::OnLaba()
{
    KEL_TRY
    VarnokPlayer* own = OwnPlayer();
    if (own == nullptr)
        return;
    KelWnd2DBaseCL* desktop = KelUIManagerCL::GetInstance()->GetDeskTopM();
    if (KelWndBaseCL* speaker = desktop != nullptr ? desktop->FindChildM(kSpeakerWindow) : nullptr)
    {
        speaker->ShowM(true);
        KelUIManagerCL::GetInstance()->SetFocusWndM(m_edit);
    }
    else
    {
        m_speakerPending = true;
    }
    own->OpenSpeaker();
    KEL_CATCH
}

void DlgChatBaseCL::ClickEnter(KelWndMsg)
{
    KEL_TRY
    OnEnter();
    KEL_CATCH
}

void DlgChatBaseCL::ClickFace(KelWndMsg)
{
    KEL_TRY
    OnFace();
    KEL_CATCH
}

void DlgChatBaseCL::ClickLaba(KelWndMsg)
{
    KEL_TRY
    OnLaba();
    KEL_CATCH
}
