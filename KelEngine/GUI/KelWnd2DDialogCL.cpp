#include "KelWnd2DDialogCL.h"

#include <algorithm>
#include <cstdlib>

#include <boost/bind/bind.hpp>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelGuiConfig.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DButtonCL.h"

namespace
{
constexpr DWORD kDialogStyle = KWS_BKBUFFER | KWS_RAISEONACTIVE;
constexpr int kMinimumSize = 60;
constexpr int kMissingEdge = 5;
const char kOkName[] = "dialog_self_button_ok";
const char kCancelName[] = "dialog_self_button_cancel";
const char* const kSysButtons[3] = {"sysBtnFunc", "sysBtnMin", "sysBtnClose"};
const char* const kBarPieces[3] = {"barLeft", "barMiddle", "barRight"};
// In the order of the dialog's frame fields.
const char* const kFramePieces[9] = {"upLeftCorner",    "upRightCorner", "downLeftCorner",
                                     "downRightCorner", "backImage",     "upFrame",
                                     "leftFrame",       "downFrame",     "rightFrame"};

int SourceWidth(KelTextureCL* texture)
{
    return texture != nullptr ? texture->GetRect().Width() : 0;
}

int SourceHeight(KelTextureCL* texture)
{
    return texture != nullptr ? texture->GetRect().Height() : 0;
}

// The length of the longest start of a GBK string that takes at most `bytes` bytes without
// cutting a double-byte character.
size_t WholeCharacters(const std::string& text, size_t bytes)
{
    size_t end = 0;
    while (end < text.size())
    {
        const size_t step = static_cast<unsigned char>(text[end]) >= 0x81 && end + 1 < text.size() ? 2 : 1;
        if (end + step > bytes)
            break;
        end += step;
    }
    return end;
}
} // namespace

KelWnd2DDialogCL::KelWnd2DDialogCL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h,
                                   DWORD style)
    : KelWnd2DBaseCL(name, parent, style | kDialogStyle)
{
    KEL_TRY
    initialDataM();
    SetPosM(x, y);
    if ((m_style & KWS_NOTITLE) == 0)
        initialSysButtonM();
    SetSizeM(w, h);
    KEL_CATCH
}

KelWnd2DDialogCL::~KelWnd2DDialogCL()
{
    try
    {
        // A dialog deleted without being closed must not stay in the manager's modal list.
        if (m_modal == 1)
            KelUIManagerCL::GetInstance()->RemoveModalM(this);
    }
    catch (...)
    {
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
}

void KelWnd2DDialogCL::initialDataM()
{
    KEL_TRY
    for (int i = 0; i < 3; ++i)
    {
        m_bar[static_cast<size_t>(i)] = KelCreatePieceTexture("dialog", kBarPieces[i]);
        if ((m_style & KWS_NOTITLE) != 0 && m_bar[static_cast<size_t>(i)] != nullptr)
            m_bar[static_cast<size_t>(i)]->SetRect(KelRect(0, 0, 0, 0));
    }
    for (int i = 0; i < kFrameCount; ++i)
        m_frame[static_cast<size_t>(i)] = KelCreatePieceTexture("dialog", kFramePieces[i]);
    KEL_CATCH
}

void KelWnd2DDialogCL::initialSysButtonM()
{
    KEL_TRY
    const DWORD bits[3] = {KWS_SYSFUNC, KWS_SYSMIN, KWS_SYSCLOSE};
    for (int i = 0; i < 3; ++i)
    {
        KelGuiPiece piece;
        // Without its piece a system button would have neither image nor size; it is not made.
        if ((m_style & bits[i]) == 0 || !KelGetGuiPiece("dialog", kSysButtons[i], &piece))
            continue;
        auto* button =
            new KelWnd2DButtonCL(kSysButtons[i], this, piece.file.c_str(), piece.data.c_str(), 3, 3);
        if (bits[i] == KWS_SYSMIN)
            button->SetMsgFunM(KWM_LCLICK,
                               boost::bind(&KelWnd2DDialogCL::OnMinM, this, boost::placeholders::_1));
        else if (bits[i] == KWS_SYSCLOSE)
            button->SetMsgFunM(KWM_LCLICK,
                               boost::bind(&KelWnd2DDialogCL::OnCloseM, this, boost::placeholders::_1));
    }
    KEL_CATCH
}

void KelWnd2DDialogCL::SetSizeM(int width, int height)
{
    KEL_TRY
    KelWnd2DBaseCL::SetSizeM(width, height);
    KelTextureCL* left = m_bar[0].get();
    KelTextureCL* middle = m_bar[1].get();
    KelTextureCL* right = m_bar[2].get();
    if (left != nullptr && middle != nullptr && right != nullptr)
    {
        const int barHeight = SourceHeight(left);
        left->SetPosition(0, 0);
        right->SetPosition(static_cast<float>(m_w - right->GetWidth()), 0);
        middle->SetDrawRect(KelRect(left->GetWidth(), 0, m_w - right->GetWidth(), barHeight));
        m_titleRect = KelRect(0, 0, m_w, barHeight);
    }
    PlaceSysButtons();
    KEL_CATCH
}

void KelWnd2DDialogCL::PlaceSysButtons()
{
    int placed = 0;
    for (int i = 2; i >= 0; --i)
    {
        auto* button = dynamic_cast<KelWnd2DBaseCL*>(FindChildM(kSysButtons[i]));
        if (button == nullptr)
            continue;
        ++placed;
        const auto [bw, bh] = button->GetSizeM();
        button->SetPosM(m_w - bw / 2 - placed * bw, (m_titleRect.bottom - bh - m_titleRect.top) / 2);
    }
}

std::pair<int, int> KelWnd2DDialogCL::GetSizeM()
{
    if (m_minimised)
        return {m_titleRect.Width(), m_titleRect.Height()};
    return KelWnd2DBaseCL::GetSizeM();
}

bool KelWnd2DDialogCL::PtInWindowM(int x, int y)
{
    if (!m_minimised)
        return KelWnd2DBaseCL::PtInWindowM(x, y);
    return x >= m_titleRect.left && x <= m_titleRect.right && y >= m_titleRect.top && y <= m_titleRect.bottom;
}

bool KelWnd2DDialogCL::IsCanSendMsgToChildM(const char* name)
{
    if (!m_minimised || name == nullptr)
        return !m_minimised;
    return std::any_of(std::begin(kSysButtons), std::end(kSysButtons),
                       [name](const char* button) { return std::string(button) == name; });
}

bool KelWnd2DDialogCL::CanDragM(POINT point)
{
    return point.x > m_titleRect.left && point.x < m_titleRect.right && point.y > m_titleRect.top &&
           point.y < m_titleRect.bottom;
}

void KelWnd2DDialogCL::UpDatedataM()
{
    KelWnd2DBaseCL::UpDatedataM();
}

void KelWnd2DDialogCL::ActiveUpDateM() {}

void KelWnd2DDialogCL::HookM(int) {}

bool KelWnd2DDialogCL::HasFrame() const
{
    return std::all_of(m_frame.begin(), m_frame.end(),
                       [](const KelTexturePtr& piece) { return piece != nullptr; });
}

int KelWnd2DDialogCL::PieceWidth(Frame piece) const
{
    KelTextureCL* texture = m_frame[piece].get();
    return texture != nullptr ? SourceWidth(texture) : kMissingEdge;
}

int KelWnd2DDialogCL::PieceHeight(Frame piece) const
{
    KelTextureCL* texture = m_frame[piece].get();
    return texture != nullptr ? SourceHeight(texture) : kMissingEdge;
}

bool KelWnd2DDialogCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    DrawWindowMBack(canvas);
    if (canvas != nullptr)
    {
        canvas->FlushImages();
        canvas->FlushText();
    }
    if (m_minimised)
        return false;
    DrawWindowM(canvas);
    return true;
    KEL_CATCH
}

void KelWnd2DDialogCL::DrawPostM(KelCanvasCL* canvas)
{
    KEL_TRY
    DrawBarM(canvas);
    drawSysButtonM(canvas);
    KEL_CATCH
}

void KelWnd2DDialogCL::DrawWindowMBack(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr || m_minimised || !HasFrame())
        return;
    m_inner = KelRect(PieceWidth(kLeft), BarHeight() + PieceHeight(kUp), m_w - PieceWidth(kRight),
                      m_h - PieceHeight(kDown));
    KelTileTexture(canvas, m_frame[kBack].get(), m_inner);
    KEL_CATCH
}

void KelWnd2DDialogCL::DrawWindowM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr || m_minimised || !HasFrame())
        return;
    const int bar = BarHeight();
    KelDrawTextureAt(canvas, m_frame[kUpLeft].get(), 0, bar);
    KelDrawTextureAt(canvas, m_frame[kUpRight].get(), m_w - PieceWidth(kUpRight), bar);
    KelDrawTextureAt(canvas, m_frame[kDownLeft].get(), 0, m_h - PieceHeight(kDownLeft));
    KelDrawTextureAt(canvas, m_frame[kDownRight].get(), m_w - PieceWidth(kDownRight),
                     m_h - PieceHeight(kDownRight));
    KelTileTexture(canvas, m_frame[kUp].get(),
                   KelRect(PieceWidth(kUpLeft), bar, m_w - PieceWidth(kUpRight), bar + PieceHeight(kUp)));
    KelTileTexture(
        canvas, m_frame[kDown].get(),
        KelRect(PieceWidth(kDownLeft), m_h - PieceHeight(kDown), m_w - PieceWidth(kDownRight), m_h));
    KelTileTexture(canvas, m_frame[kLeft].get(),
                   KelRect(0, bar + PieceHeight(kUpLeft), PieceWidth(kLeft), m_h - PieceHeight(kDownLeft)));
    KelTileTexture(
        canvas, m_frame[kRight].get(),
        KelRect(m_w - PieceWidth(kRight), bar + PieceHeight(kUpRight), m_w, m_h - PieceHeight(kDownRight)));
    KEL_CATCH
}

std::string KelWnd2DDialogCL::FitTitle(const std::string& title, int barWidth,
                                       const std::function<int(const std::string&)>& measure)
{
    const int room = barWidth - 30;
    if (measure(title) <= room)
        return title;
    // The longest start that, with "...", still fits; whole characters only.
    size_t bytes = title.size();
    while (bytes > 0)
    {
        bytes = WholeCharacters(title, bytes - 1);
        const std::string cut = title.substr(0, bytes) + "...";
        if (measure(cut) <= room)
            return cut;
    }
    return "...";
}

void KelWnd2DDialogCL::DrawBarM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr || (m_style & KWS_NOTITLE) != 0)
        return;
    for (const KelTexturePtr& bar : m_bar)
        if (bar != nullptr)
            bar->Render(canvas);
    canvas->FlushImages();
    KelTextureCL* left = m_bar[0].get();
    KelTextureCL* middle = m_bar[1].get();
    const int leftWidth = left != nullptr ? left->GetWidth() : 0;
    const int middleWidth = middle != nullptr ? middle->GetWidth() : m_w;
    const std::string shown =
        FitTitle(m_title, middleWidth,
                 [canvas](const std::string& text) { return canvas->GetTextWidth(text.c_str()); });
    const int x = leftWidth + (middleWidth - canvas->GetTextWidth(shown.c_str())) / 2;
    const int y = ((left != nullptr ? left->GetHeight() : 0) - canvas->GetFontHeight()) / 2;
    canvas->SetTextColor(0xFF000000);
    canvas->DrawText(shown.c_str(), x, y, nullptr, false, 0);
    canvas->FlushText();
    KEL_CATCH
}

void KelWnd2DDialogCL::drawSysButtonM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    for (const char* name : kSysButtons)
        if (KelWndBaseCL* button = FindChildM(name))
            button->RenderM(canvas);
    canvas->FlushImages();
    KEL_CATCH
}

void KelWnd2DDialogCL::SetPopUpDlgM()
{
    KEL_TRY
    if (m_modal == 1)
        return;
    m_modal = 1;
    KelUIManagerCL::GetInstance()->AddModalM(this);
    BringToTopM();
    KEL_CATCH
}

void KelWnd2DDialogCL::CloseM()
{
    KEL_TRY
    if (m_modal == 1)
        KelUIManagerCL::GetInstance()->RemoveModalM(this);
    m_modal = 0;
    KelWnd2DBaseCL::CloseM();
    KEL_CATCH
}

void KelWnd2DDialogCL::MinWindowM(bool minimised)
{
    m_minimised = minimised;
    Invalidate();
}

bool KelWnd2DDialogCL::GetResultM()
{
    return m_result;
}

void KelWnd2DDialogCL::OK()
{
    KEL_TRY
    m_result = true;
    SendMessageM(KWM_DLGEND, KelWndMsg{this, 0, 0, 0});
    SendMessageM(KWM_DLGOK, KelWndMsg{this, 0, 0, 0});
    CloseM();
    KEL_CATCH
}

void KelWnd2DDialogCL::Cancel()
{
    KEL_TRY
    m_result = false;
    SendMessageM(KWM_DLGEND, KelWndMsg{this, 0, 0, 0});
    SendMessageM(KWM_DLGCANCEL, KelWndMsg{this, 0, 0, 0});
    CloseM();
    KEL_CATCH
}

KelRect KelWnd2DDialogCL::GetTitleRectM()
{
    return m_titleRect;
}

void KelWnd2DDialogCL::SetTitleM(const std::string& title)
{
    m_title = title;
    Invalidate();
}

void KelWnd2DDialogCL::CreateOKButton()
{
    KEL_TRY
    KelWnd2DButtonCL* button = CreateConfigButton(kOkName, this, "button", 0, 0, 100, 25);
    if (button == nullptr)
        return;
    button->SetMsgFunM(KWM_LCLICK, boost::bind(&KelWnd2DDialogCL::OnCloseM, this, boost::placeholders::_1));
    button->SetPosM(5, m_h - 30);
    button->SetSizeM((m_w - 15) / 2, 25);
    button->SetTextM("确定");
    KEL_CATCH
}

KelWndBaseCL* KelWnd2DDialogCL::GetOKButton()
{
    return FindWndM(kOkName);
}

void KelWnd2DDialogCL::CreateCancelButton()
{
    KEL_TRY
    KelWnd2DButtonCL* button = CreateConfigButton(kCancelName, this, "button", 0, 0, 100, 25);
    if (button == nullptr)
        return;
    button->SetMsgFunM(KWM_LCLICK, boost::bind(&KelWnd2DDialogCL::OnCloseM, this, boost::placeholders::_1));
    button->SetPosM((m_w - 15) / 2 + 10, m_h - 30);
    button->SetSizeM((m_w - 15) / 2, 25);
    button->SetTextM(" 取消 ");
    KEL_CATCH
}

KelWndBaseCL* KelWnd2DDialogCL::GetCancelButton()
{
    return FindWndM(kCancelName);
}

void KelWnd2DDialogCL::OnMinM(KelWndMsg)
{
    KEL_TRY
    MinWindowM(!m_minimised);
    SendMessageM(KWM_DLGMIN, KelWndMsg{this, 0, 0, 0});
    KEL_CATCH
}

void KelWnd2DDialogCL::OnCloseM(KelWndMsg message)
{
    KEL_TRY
    if (message.sender == nullptr)
        return;
    const std::string& sender = message.sender->GetNameM();
    if (sender == "sysBtnClose" || sender == kCancelName)
        Cancel();
    else if (sender == kOkName)
        OK();
    KEL_CATCH
}

int KelWnd2DDialogCL::pointInFrame(POINT point)
{
    if (std::abs(point.y) < PieceHeight(kUp))
        return 0;
    if (std::abs(point.x) < PieceWidth(kLeft))
        return 1;
    if (std::abs(point.y - m_h) < PieceHeight(kDown))
        return 2;
    if (std::abs(point.x - m_w) < PieceWidth(kRight))
        return 3;
    return -1;
}

bool KelWnd2DDialogCL::ChangeWindowSizeM(POINT point, POINT press)
{
    KEL_TRY
    if ((point.x == press.x && point.y == press.y) || m_minimised || (m_style & KWS_RESIZE) == 0)
        return false;
    const auto inside = [&press](const KelRect& r)
    { return press.x >= r.left && press.x <= r.right && press.y >= r.top && press.y <= r.bottom; };
    if (inside(m_inner) || inside(m_titleRect) || !inside(KelRect(0, 0, m_w, m_h)))
        return false;
    const int oldW = m_w;
    const int oldH = m_h;
    switch (pointInFrame(press))
    {
    case 0:
    {
        const int height = m_h + press.y - point.y;
        if (height > kMinimumSize - 1)
        {
            SetPosM(m_x, m_y + point.y - press.y);
            SetSizeM(m_w, height);
        }
        else
            SetSizeM(m_w, kMinimumSize);
        break;
    }
    case 1:
    {
        const int width = press.x + m_w - point.x;
        if (width > kMinimumSize - 1)
        {
            SetPosM(m_x + point.x - press.x, m_y);
            SetSizeM(width, m_h);
        }
        else
            SetSizeM(kMinimumSize, m_h);
        break;
    }
    case 2:
        SetSizeM(m_w, std::max(kMinimumSize, point.y + m_h - press.y));
        m_leftPress.y = point.y;
        break;
    case 3:
        SetSizeM(std::max(kMinimumSize, point.x + m_w - press.x), m_h);
        m_leftPress.x = point.x;
        break;
    default:
        return false;
    }
    return m_w != oldW || m_h != oldH;
    KEL_CATCH
}

KelWnd2DFrameCL::KelWnd2DFrameCL(const char* name, KelWndBaseCL* parent, const char* infoName,
                                 const char* imageBase, int x, int y, int w, int h)
    : KelWnd2DBaseCL(name, parent, 0)
{
    KEL_TRY
    const char* const suffixes[9] = {"_upLeft", "_upRight", "_downLeft", "_ownRight", "_up",
                                     "_left",   "_down",    "_right",    "_back"};
    const std::string info = infoName != nullptr ? infoName : "";
    const std::string base = imageBase != nullptr ? imageBase : "";
    for (int i = 0; i < 9; ++i)
        m_images[static_cast<size_t>(i)] = KelCreateGuiTexture(info, base.empty() ? "" : base + suffixes[i]);
    SetPosM(x, y);
    SetSizeM(w, h);
    KEL_CATCH
}

KelWnd2DFrameCL::~KelWnd2DFrameCL() = default;

bool KelWnd2DFrameCL::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr || !std::all_of(m_images.begin(), m_images.end(),
                                          [](const KelTexturePtr& image) { return image != nullptr; }))
        return KelWnd2DBaseCL::DrawM(canvas);
    KelTextureCL* upLeft = m_images[0].get();
    KelTextureCL* upRight = m_images[1].get();
    KelTextureCL* downLeft = m_images[2].get();
    KelTextureCL* downRight = m_images[3].get();
    KelTextureCL* up = m_images[4].get();
    KelTextureCL* left = m_images[5].get();
    KelTextureCL* down = m_images[6].get();
    KelTextureCL* right = m_images[7].get();
    KelTextureCL* back = m_images[8].get();
    KelDrawTextureAt(canvas, upLeft, 0, 0);
    KelDrawTextureAt(canvas, upRight, m_w - SourceWidth(upRight), 0);
    KelDrawTextureAt(canvas, downLeft, 0, m_h - SourceHeight(downLeft));
    KelDrawTextureAt(canvas, downRight, m_w - SourceWidth(downRight), m_h - SourceHeight(downRight));
    const auto stretch = [canvas](KelTextureCL* texture, const KelRect& rect)
    {
        texture->SetDrawRect(rect);
        texture->Render(canvas);
    };
    stretch(up, KelRect(SourceWidth(upLeft), 0, m_w - SourceWidth(upRight), SourceHeight(up)));
    stretch(down,
            KelRect(SourceWidth(downLeft), m_h - SourceHeight(down), m_w - SourceWidth(downRight), m_h));
    stretch(left, KelRect(0, SourceHeight(upLeft), SourceWidth(left), m_h - SourceHeight(downLeft)));
    stretch(right,
            KelRect(m_w - SourceWidth(right), SourceHeight(upRight), m_w, m_h - SourceHeight(downRight)));
    stretch(back,
            KelRect(SourceWidth(left), SourceHeight(up), m_w - SourceWidth(right), m_h - SourceHeight(down)));
    return KelWnd2DBaseCL::DrawM(canvas);
    KEL_CATCH
}
