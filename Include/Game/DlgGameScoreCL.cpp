#include "DlgGameScoreCL.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableDialogParts.h"
#include "VGameCardBaseCL.h"

namespace
{
constexpr int kX = 250;
constexpr int kY = 150;
constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr int kNameX = 20;
constexpr int kScoreX = 110;
constexpr int kCoinsX = 200;
constexpr int kRowHeight = 20;
constexpr int kTickMs = 1000;

std::string Number(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

std::string RowName(const char* format, int row)
{
    char name[32];
    std::snprintf(name, sizeof name, format, row);
    return name;
}
} // namespace

DlgGameScoreCL::DlgGameScoreCL(int count, const std::vector<int>& playerIds, const std::vector<int>& scores,
                               const std::vector<int>& coins)
    : KelWnd2DDialogCL("DlgGameScoreCL", TableDesktop(), kX, kY, kWidth, kHeight,
                       KWS_SYSFUNC | KWS_SYSMIN | KWS_SYSCLOSE)
{
    KEL_TRY
    SetTitleM("本局得分");
    const int t = TitleHeight(this);
    AddDialogPanel(this, "DlgGameScoreCL_back", 11, t, m_w - 32, m_h - t - 20);
    AddDialogLabel(this, "tital_s", "昵称", kDialogWhite, kNameX, t + 5);
    AddDialogLabel(this, "tital_s_1", "得分金币", kDialogWhite, kScoreX, t + 5);
    AddDialogLabel(this, "tital_s_2", "金币", kDialogWhite, kCoinsX, t + 5);

    const size_t records = std::min({playerIds.size(), scores.size(), coins.size()});
    size_t rows = count > 0 ? static_cast<size_t>(count) : 0;
    if (rows > records)
    {
        KelLogPrintf("得分记录只有 %d 条, 不是 %d 条", static_cast<int>(records), count);
        rows = records;
    }
    for (size_t i = 0; i < rows; ++i)
        AddRow(static_cast<int>(i), playerIds[i], scores[i], coins[i]);

    m_ok = AddTextButton(this, "m_ok", "确定 ( 10 )", 100, m_h - 50, 100, 20,
                         boost::bind(&DlgGameScoreCL::OnClickOK, this, boost::placeholders::_1));
    SetTimerM(KelWndTimer{kTimerId, kTickMs, 0,
                          boost::bind(&DlgGameScoreCL::OnTimer, this, boost::placeholders::_1)});
    OpenTableDialog(this);
    KEL_CATCH
}

DlgGameScoreCL::~DlgGameScoreCL() = default;

void DlgGameScoreCL::AddRow(int row, int playerId, int score, int coins)
{
    const int y = TitleHeight(this) + 5 + kRowHeight * (row + 1);
    // A player the host no longer knows keeps his numbers without a name.
    VGameCardBaseCL* app = TableApp();
    if (VarnokPlayer* player = app->GetVarnokPlayer(playerId))
    {
        if (const VarnokPlayerInfo* record = player->GetPlayerInfo())
        {
            const std::string nickname(record->nickname, strnlen(record->nickname, sizeof record->nickname));
            AddDialogLabel(this, RowName("tital_n_%d", row).c_str(), nickname.c_str(), kDialogWhite, kNameX,
                           y);
        }
    }
    AddDialogLabel(this, RowName("tital_c_%d", row).c_str(), Number(score).c_str(), kDialogWhite, kScoreX, y);
    AddDialogLabel(this, RowName("tital_co_%d", row).c_str(), Number(coins).c_str(), kDialogWhite, kCoinsX,
                   y);
}

void DlgGameScoreCL::OnClickOK(KelWndMsg)
{
    KEL_TRY
    CloseM();
    KEL_CATCH
}

void DlgGameScoreCL::OnTimer(int)
{
    KEL_TRY
    if (m_countDown < 0)
    {
        CloseM();
        return;
    }
    if (m_ok != nullptr)
    {
        char caption[32];
        std::snprintf(caption, sizeof caption, "确定 ( %d )", m_countDown);
        m_ok->SetTextM(caption);
        m_ok->Invalidate();
    }
    --m_countDown;
    KEL_CATCH
}
