#pragma once
// The table's chat panel: the shared chat controls, a record box that folds away to leave only
// the input row over the table, and a list of common phrases (read from "\ChatText.ini" in the
// game's work folder) that sends the clicked phrase as a line. A new line opens a folded record
// by itself.

#include <string>
#include <vector>

#include "DlgChatBaseCL.h"

class KelWnd2DCheckCL;
class KelWnd2DListCL;

class DlgChatWindowCL : public DlgChatBaseCL
{
public:
    static constexpr const char* kName = "DlgGameChatWindowCL";
    static constexpr int kExpandedY = 490;
    static constexpr int kExpandedHeight = 110;
    static constexpr int kCollapsedY = 570;
    static constexpr int kPhraseListWidth = 168;
    static constexpr int kPhraseListHeight = 270;

    explicit DlgChatWindowCL(KelWndBaseCL* parent);
    ~DlgChatWindowCL() override;

    bool DrawM(KelCanvasCL* canvas) override;

    // Folds or unfolds the record box.
    virtual void ChatRec();
    // The record toggle was clicked.
    void OnChatRec(KelWndMsg message);
    void OnClickPhraseButton(KelWndMsg message);
    void OnClickPhrase(KelWndMsg message);

    bool IsRecordExpanded() const { return m_expanded; }
    bool IsRecordAutoOpened() const { return m_autoOpened; }
    KelWnd2DListCL* GetPhraseList() const { return m_phrases; }
    KelWnd2DCheckCL* GetRecordToggle() const { return m_recordToggle; }
    KelWnd2DButtonCL* GetPhraseButton() const { return m_phraseBtn; }

    // The phrases of a phrase file: section "Num" key "num" gives the count, section "Text" keys
    // "NO1" ... hold them. A file without a count has none.
    static std::vector<std::string> ReadPhrases(const std::string& path);

protected:
    void OpenFaces(VarnokPlayer& own) override;
    void OnNewLine() override;

private:
    void SetExpanded(bool expanded);
    void ShowPhraseList(bool show);

    KelWnd2DButtonCL* m_phraseBtn = nullptr;
    KelWnd2DCheckCL* m_recordToggle = nullptr;
    KelWnd2DListCL* m_phrases = nullptr;
    // The record's translucent background, so the table shows through it.
    KelTexturePtr m_recordBack;
    bool m_expanded = true;
    bool m_autoOpened = false;
};
