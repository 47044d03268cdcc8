#include "DlgGameWndPropBuy2CL.h"

#include <cstdio>

#include <boost/bind/bind.hpp>

#include "KelGuard.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DTextListCL.h"

namespace
{
constexpr int kWidth = 320;
constexpr int kHeight = 210;
constexpr int kRowHeight = 20;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;
} // namespace

DlgGameWndPropBuy2CL::DlgGameWndPropBuy2CL(GamePropOffer offer)
    : DlgGameWndPanelCL(kName, offer.title.c_str(), kWidth, kHeight), m_offer(std::move(offer))
{
    KEL_TRY
    const int top = ContentTop() + 10;
    KelWnd2DTextListCL* block = AddTextBlock("buy_lines", 16, top, kWidth - 32, 90);
    for (const std::string& line : m_offer.lines)
        block->AddLineTextM(line, 1);
    const int row = top + 100;
    if (m_offer.countable)
    {
        new KelWnd2DLabelCL("buy_count_label", this, "数量：", kWhite, 16, row, 48, kRowHeight);
        m_countEdit = new KelWnd2DEditCL("buy_count", this, 64, row - 2, 48, kRowHeight, KWS_VCENTER);
        m_countEdit->SetLimitM(2);
        m_countEdit->SetEditIntM(1);
        m_countEdit->SetMsgFunM(
            KWM_EDITCHANGE, boost::bind(&DlgGameWndPropBuy2CL::OnCountChange, this, boost::placeholders::_1));
    }
    m_total = new KelWnd2DLabelCL("buy_total", this, GetTotalText().c_str(), kWhite,
                                  m_offer.countable ? 128 : 16, row, 170, kRowHeight);
    CreateOKButton();
    CreateCancelButton();
    KEL_CATCH
}

DlgGameWndPropBuy2CL::~DlgGameWndPropBuy2CL() = default;

std::string DlgGameWndPropBuy2CL::GetTotalText() const
{
    char text[64];
    std::snprintf(text, sizeof text, "总价：%lld金币", static_cast<long long>(m_offer.unitPrice) * m_count);
    return text;
}

void DlgGameWndPropBuy2CL::OnCountChange(KelWndMsg)
{
    KEL_TRY
    const std::string typed = m_countEdit != nullptr ? m_countEdit->GetEditText() : std::string();
    int count = 0;
    bool number = !typed.empty();
    for (char c : typed)
    {
        number = number && c >= '0' && c <= '9' && count * 10 + (c - '0') <= kMostPieces;
        if (!number)
            break;
        count = count * 10 + (c - '0');
    }
    m_count = number ? count : 0;
    if (m_total != nullptr)
        m_total->SetTextM(GetTotalText());
    Invalidate();
    KEL_CATCH
}
