#include "DlgGameWndScoreRecordCL.h"

#include "KelGuard.h"
#include "KelWnd2DTextListCL.h"

namespace
{
constexpr int kWidth = 300;
constexpr int kLineHeight = 18;
// The nickname column holds the longest nickname (31 bytes) on one line.
constexpr int kNameWidth = 190;
} // namespace

DlgGameWndScoreRecordCL::DlgGameWndScoreRecordCL(const std::vector<std::pair<std::string, int>>& rows)
    : DlgGameWndPanelCL(kName, "查看积分", kWidth, 100 + kLineHeight * static_cast<int>(rows.size() + 1)),
      m_rows(rows)
{
    KEL_TRY
    const int top = ContentTop() + 10;
    const int height = kLineHeight * static_cast<int>(rows.size() + 1);
    // Two columns of the same line height, so that each score stands beside its nickname.
    KelWnd2DTextListCL* names = AddTextBlock("record_names", 20, top, kNameWidth, height);
    KelWnd2DTextListCL* scores =
        AddTextBlock("record_scores", 20 + kNameWidth, top, kWidth - 40 - kNameWidth, height);
    names->AddLineTextM("昵称", 1);
    scores->AddLineTextM("积分", 1);
    for (const auto& [name, score] : rows)
    {
        names->AddLineTextM(name, 1);
        scores->AddLineTextM(std::to_string(score), 1);
    }
    AddCentredOk();
    KEL_CATCH
}

DlgGameWndScoreRecordCL::~DlgGameWndScoreRecordCL() = default;
