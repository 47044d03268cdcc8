#include "DlgGameWndUserInfoCL.h"

#include "KelGuard.h"
#include "KelWnd2DTextListCL.h"

namespace
{
constexpr int kWidth = 240;
constexpr int kLineHeight = 18;
} // namespace

DlgGameWndUserInfoCL::DlgGameWndUserInfoCL(const std::vector<std::string>& lines)
    : DlgGameWndPanelCL(kName, "查看玩家信息", kWidth, 90 + kLineHeight * static_cast<int>(lines.size())),
      m_lines(lines)
{
    KEL_TRY
    KelWnd2DTextListCL* block = AddTextBlock("info_lines", 20, ContentTop() + 10, kWidth - 40,
                                             kLineHeight * static_cast<int>(lines.size()));
    for (const std::string& line : lines)
        block->AddLineTextM(line, 1);
    AddCentredOk();
    KEL_CATCH
}

DlgGameWndUserInfoCL::~DlgGameWndUserInfoCL() = default;
