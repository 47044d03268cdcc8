#pragma once
// A player's information, as the seat's information menu shows it: nickname, account, level,
// score and its title, wins, losses and draws, win rate, games and escape rate, one per line.

#include <string>
#include <vector>

#include "DlgGameWndPanelCL.h"

class DlgGameWndUserInfoCL : public DlgGameWndPanelCL
{
public:
    static constexpr char kName[] = "DlgGameWndUserInfoCL";

    explicit DlgGameWndUserInfoCL(const std::vector<std::string>& lines);
    ~DlgGameWndUserInfoCL() override;

    const std::vector<std::string>& GetLines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};
