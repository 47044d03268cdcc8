#include "GameCardGroupCL.h"

#include <algorithm>

#include "KelGuard.h"
#include "KelLogCL.h"

GameCardGroupCL::GameCardGroupCL() = default;

GameCardGroupCL::~GameCardGroupCL()
{
    KEL_TRY
    DestroyCard();
    KEL_CATCH_RETURN()
}

void GameCardGroupCL::AddCard(uint8_t code)
{
    KEL_TRY
    m_cards.push_back(std::make_unique<GameCardItemCL>(code));
    KEL_CATCH
}

bool GameCardGroupCL::DelCard(int index)
{
    KEL_TRY
    if (index < 0 || index >= GetCardNum())
        return false;
    m_cards.erase(m_cards.begin() + index);
    return true;
    KEL_CATCH
}

bool GameCardGroupCL::DelCardByCard(uint8_t code)
{
    KEL_TRY
    const auto found =
        std::find_if(m_cards.begin(), m_cards.end(),
                     [code](const auto& card) { return card != nullptr && card->GetCardCode() == code; });
    if (found == m_cards.end())
        return false;
    m_cards.erase(found);
    return true;
    KEL_CATCH
}

void GameCardGroupCL::DestroyCard()
{
    KEL_TRY
    m_cards.clear();
    KEL_CATCH
}

void GameCardGroupCL::SetSelectFlag(uint8_t flag)
{
    KEL_TRY
    for (const auto& card : m_cards)
        if (card != nullptr)
            card->SetCardSelect(flag);
    KEL_CATCH
}

void GameCardGroupCL::SetDirection(int mode)
{
    KEL_TRY
    if (mode < kRow || mode > kCompactColumn)
    {
        KelLogPrintf("牌组排列方式无效 %d", mode);
        return;
    }
    m_mode = mode;
    KEL_CATCH
}

void GameCardGroupCL::SetPosition(int x, int y)
{
    m_x = x;
    m_y = y;
}
