#include "CGameKavdorGroupCl.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "CardCode.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"

namespace
{
// How many cards the compact modes show before the count says the rest.
constexpr int kCompactRowShown = 5;
constexpr int kCompactColumnShown = 15;
// The room each card takes when the group is placed against its anchor.
constexpr int kRowExtent = 13;
constexpr int kColumnExtent = 10;
const char kCountFont[] = "TextNumberYellow";
const char kDefaultFont[] = "system";
constexpr D3DCOLOR kCountColor = 0xFFFFFFFF;
} // namespace

CGameKavdorGroupCl::CGameKavdorGroupCl()
{
    m_stepX = 11;
    m_stepY = 8;
}

GameCardItemCL* CGameKavdorGroupCl::GetCard(int index)
{
    KEL_TRY
    if (index < 0 || index >= GetCardNum())
        return nullptr;
    return m_cards[static_cast<size_t>(index)].get();
    KEL_CATCH
}

int CGameKavdorGroupCl::GetSnapOffsetX() const
{
    KEL_TRY
    const int width = GameCardItemCL::kWidth + (m_mode == kRow ? kRowExtent * GetCardNum() : 0);
    if (m_align == kAlignRight)
        return -width;
    if (m_align == kAlignCentre)
        return -(width / 2);
    return 0;
    KEL_CATCH
}

int CGameKavdorGroupCl::GetSnapOffsetY() const
{
    KEL_TRY
    const int height = GameCardItemCL::kHeight + (m_mode == kColumn ? kColumnExtent * GetCardNum() : 0);
    if (m_align == kAlignBottom)
        return -height;
    if (m_align == kAlignCentre)
        return -(height / 2);
    return 0;
    KEL_CATCH
}

int CGameKavdorGroupCl::GetDrawnCount() const
{
    const int count = GetCardNum();
    if (m_mode == kCompactRow)
        return std::min(count, kCompactRowShown);
    if (m_mode == kCompactColumn)
        return std::min(count, kCompactColumnShown);
    return count;
}

CGameKavdorGroupCl::Placement CGameKavdorGroupCl::CardOffset(int index) const
{
    switch (m_mode)
    {
    case kRow:
        return {m_stepX * index, 0};
    case kColumn:
        return {0, m_stepY * index};
    case kCompactRow:
        return {4 * index, 0};
    default:
        assert(m_mode == kCompactColumn);
        return {0, 2 * index};
    }
}

CGameKavdorGroupCl::Placement CGameKavdorGroupCl::PickedShift() const
{
    if (m_mode == kRow || m_mode == kCompactRow)
        return {0, -2 * m_stepY};
    return {2 * m_stepX, 0};
}

GameCardItemCL* CGameKavdorGroupCl::GetCard(int px, int py)
{
    KEL_TRY
    const int qx = px - GetSnapOffsetX() - m_x;
    const int qy = py - GetSnapOffsetY() - m_y;
    for (int i = GetCardNum() - 1; i >= 0; --i)
    {
        GameCardItemCL* card = m_cards[static_cast<size_t>(i)].get();
        if (card == nullptr)
            continue;
        // Compact groups are only looked at, never clicked: every card is tested at the corner.
        Placement at{0, 0};
        if (m_mode == kRow || m_mode == kColumn)
        {
            at = CardOffset(i);
            if (card->GetSelectFlag() != 0)
            {
                const Placement shift = PickedShift();
                at.x += shift.x;
                at.y += shift.y;
            }
        }
        if (qx >= at.x && qx <= at.x + GameCardItemCL::kWidth && qy >= at.y &&
            qy <= at.y + GameCardItemCL::kHeight)
            return card;
    }
    return nullptr;
    KEL_CATCH
}

void CGameKavdorGroupCl::DrawM(KelCanvasCL* canvas)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    const float cornerX = static_cast<float>(m_x + GetSnapOffsetX());
    const float cornerY = static_cast<float>(m_y + GetSnapOffsetY());
    canvas->Translate(cornerX, cornerY);
    const int drawn = GetDrawnCount();
    const Placement picked = PickedShift();
    for (int i = 0; i < drawn; ++i)
    {
        GameCardItemCL* card = m_cards[static_cast<size_t>(i)].get();
        // The new-round marker stands for "nothing played yet" and has no picture.
        if (card == nullptr || card->GetCardCode() == kCardNewRound)
            continue;
        const Placement at = CardOffset(i);
        const bool raised = card->GetSelectFlag() != 0;
        canvas->Translate(static_cast<float>(at.x), static_cast<float>(at.y));
        card->DrawM(canvas, raised ? picked.x : 0, raised ? picked.y : 0);
        canvas->Translate(static_cast<float>(-at.x), static_cast<float>(-at.y));
    }
    if ((m_mode == kCompactRow || m_mode == kCompactColumn) && drawn > 0)
        DrawCount(canvas, drawn);
    canvas->Translate(-cornerX, -cornerY);
    KEL_CATCH
}

void CGameKavdorGroupCl::DrawCount(KelCanvasCL* canvas, int drawn) const
{
    char count[16];
    std::snprintf(count, sizeof count, "%02d", GetCardNum());
    const bool row = m_mode == kCompactRow;
    canvas->SetFont(kCountFont);
    canvas->SetTextColor(kCountColor);
    canvas->DrawText(count, row ? 4 * drawn + 15 : 15, row ? 50 : 2 * drawn + 46, nullptr, false, 0);
    canvas->SetFont(kDefaultFont);
}
