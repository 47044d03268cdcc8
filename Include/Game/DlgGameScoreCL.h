#pragma once
// The score of a finished hand: one row per player with his nickname, score change and coin
// change. It closes by itself after twelve seconds, counting down on its OK button.

#include <vector>

#include "KelWnd2DDialogCL.h"

class KelWnd2DButtonCL;

class DlgGameScoreCL : public KelWnd2DDialogCL
{
public:
    // One row for each of the first `count` records; a count beyond the lists is cut to them.
    DlgGameScoreCL(int count, const std::vector<int>& playerIds, const std::vector<int>& scores,
                   const std::vector<int>& coins);
    ~DlgGameScoreCL() override;

    void OnClickOK(KelWndMsg message);
    // Once a second: shows the seconds left on the OK button, and closes when they are spent.
    void OnTimer(int id);

    int GetCountDown() const { return m_countDown; }

    static constexpr int kTimerId = 1;

private:
    void AddRow(int row, int playerId, int score, int coins);

    int m_countDown = 10;
    // Owned by the window tree (a child of this dialog); null without the button look.
    KelWnd2DButtonCL* m_ok = nullptr;
};
