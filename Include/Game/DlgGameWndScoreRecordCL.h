#pragma once
// The score record of the table ("查看积分"): each player's nickname and his running total over
// the hands played at the table.

#include <string>
#include <utility>
#include <vector>

#include "DlgGameWndPanelCL.h"

class DlgGameWndScoreRecordCL : public DlgGameWndPanelCL
{
public:
    static constexpr char kName[] = "DlgGameWndScoreRecordCL";

    // (nickname, score) per player.
    explicit DlgGameWndScoreRecordCL(const std::vector<std::pair<std::string, int>>& rows);
    ~DlgGameWndScoreRecordCL() override;

    const std::vector<std::pair<std::string, int>>& GetRows() const { return m_rows; }

private:
    std::vector<std::pair<std::string, int>> m_rows;
};
