#pragma once
// A hint that goes away by itself: a text wrapped to the dialog's width and an OK button that
// counts the seconds down ("确定(%d)"); the dialog closes on OK or when the seconds are spent.
// The room opens it to tell a player what each hand at the table costs him.

#include <functional>
#include <string>
#include <vector>

#include "KelWnd2DDialogCL.h"

class KelWnd2DButtonCL;

class DlgHintPlayerCL : public KelWnd2DDialogCL
{
public:
    DlgHintPlayerCL(const char* name, const char* text, int x, int y, int width, int height, int seconds);
    ~DlgHintPlayerCL() override;

    void DrawPostM(KelCanvasCL* canvas) override;

    void OnClickOK(KelWndMsg message);
    void OnTimer(int id);

    int GetCountDown() const { return m_countDown; }
    const std::string& GetHintText() const { return m_text; }

    // The text cut into lines no wider than `width` by the measure, whole characters of the
    // double-byte code page each; a character wider than `width` stands on a line of its own.
    static std::vector<std::string> SplitLines(const std::string& text, int width,
                                               const std::function<int(const std::string&)>& measure);

    static constexpr int kTimerId = 20;

private:
    std::string m_text;
    int m_countDown;
    int m_textWidth;
    // Owned by the window tree (a child of this dialog); null without the button look.
    KelWnd2DButtonCL* m_ok = nullptr;
};
