#pragma once
// What the table's two chat panels share: the chat record (a rich text box "outPut" with its
// scroll bar "scrollBarOutput"), the input line "edit", the face, enter and small-speaker
// buttons, sending a typed line as the two table-chat messages (the seat's bubble command and the
// line everybody's record shows), and writing received lines and the hand's result into the
// record. The panel with the collapsible record (DlgChatWindowCL) and the older panel on its own
// background (DlgChatCL) derive from it.
//
// Every control is a child of the panel: the window tree owns it, the panel keeps plain
// pointers.

#include <string>
#include <vector>

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"
#include "TableWindows.h"

class KelWnd2DButtonCL;
class KelWnd2DEditCL;
class KelWnd2DRichEditIICL;
class KelWnd2DScrollBarCL;
class VarnokPlayer;

class DlgChatBaseCL : public KelWnd2DBaseCL, public TableChatWindow
{
public:
    static constexpr int kWidth = 370;
    // The input row along the panel's bottom; its controls are 22 high, 4 below its top.
    static constexpr int kRowHeight = 30;
    // What the input line takes: with the longest nickname and the bubble's prefix both
    // messages stay within what a table-chat message carries.
    static constexpr int kEditLimit = 200;
    // The longest text one table-chat message carries.
    static constexpr size_t kMaxChatBytes = 255;
    // The host's small-speaker window; while it is open it has the keyboard.
    static constexpr const char* kSpeakerWindow = "DlgPRxiaoLaBa_Window";

    ~DlgChatBaseCL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    void UpDatedataM() override;

    // TableChatWindow. Colour as A, R, G, B.
    void OnChat(const std::string& text, int a, int r, int g, int b, bool newLine) override;
    void OnRecChatFace(const std::string& text) override;
    void GameScoreCL(const std::vector<int>& ids, const std::vector<int>& scores,
                     const std::vector<int>& coins, const std::string& header) override;

    // Sends the typed line (the enter button or Enter in the input line).
    virtual void OnEnter();
    virtual void OnFace();
    virtual void OnLaba();

    void ClickEnter(KelWndMsg message);
    void ClickFace(KelWndMsg message);
    void ClickLaba(KelWndMsg message);
    void OnScrollOutput(KelWndMsg message);

    KelWnd2DRichEditIICL* GetOutput() const { return m_output; }
    KelWnd2DScrollBarCL* GetOutputBar() const { return m_outputBar; }
    KelWnd2DEditCL* GetEdit() const { return m_edit; }
    bool IsSpeakerPending() const { return m_speakerPending; }

    // The seat bubble's command for a line: "@ID:<id>#聊天气泡<text>", every "/" a space when
    // asked (a face code would show as a stray code in the bubble).
    static std::string BubbleCommand(int selfId, const std::string& text, bool replaceSlash);
    // The line everybody's record shows.
    static std::string VisibleLine(const std::string& nickname, const std::string& text);
    // A player's line of the hand's result; a nickname of 25 bytes or more leaves one space less.
    static std::string ScoreLine(const std::string& nickname, int score, int coins);

protected:
    // At (0, 0) of the parent, kWidth wide; the derived panel places and sizes itself.
    DlgChatBaseCL(const char* name, KelWndBaseCL* parent);

    // Builds the controls; the record box is `recordHeight` high above the input row.
    void BuildControls(int recordHeight);
    // The record box and its bar over the top `height` pixels; the input row below them.
    void LayoutPanel(int recordHeight);
    // Sends a line as its two table-chat messages; nothing when either would be too long.
    bool SendLine(const std::string& text, bool replaceSlash);
    void ScrollRecordToEnd();
    // The user's own player object of the host; null while there is none.
    VarnokPlayer* OwnPlayer();
    // Opens the face picker of the derived panel.
    virtual void OpenFaces(VarnokPlayer& own) = 0;
    // A line flagged as new arrived (the record may have to open for it).
    virtual void OnNewLine() {}

    KelWnd2DRichEditIICL* m_output = nullptr;
    KelWnd2DScrollBarCL* m_outputBar = nullptr;
    KelWnd2DEditCL* m_edit = nullptr;
    KelWnd2DButtonCL* m_faceBtn = nullptr;
    KelWnd2DButtonCL* m_enterBtn = nullptr;
    KelWnd2DButtonCL* m_labaBtn = nullptr;
    // The input line's background, drawn behind the edit (which draws none of its own).
    KelTexturePtr m_editBack;
    // The small speaker was asked for before its window was there.
    bool m_speakerPending = false;

private:
    void SyncOutputBar();
    int RecordBottom() const;
    void GiveEditTheFocus();
};
