#include "GameCardItemCL.h"

#include <cstdio>

#include "CGameCardKavdorTwoCL.h"
#include "CardCode.h"
#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelSpriteCL.h"
#include "KelTextureCL.h"

namespace
{
const char kCardSet[] = "card";
// What a missing picture shows instead: a pale card with black writing.
constexpr D3DCOLOR kPlaceholderFill = 0xC8FFFFFF;
constexpr D3DCOLOR kPlaceholderInk = 0xFF000000;

// The image batch draws its quads picture by picture, not in the order they came, so a card
// queued while quads of another picture wait could end up beneath them. Those go out first;
// cards of one sheet keep collecting in one batch.
void FlushOtherPictures(KelCanvasCL* canvas, KelImageCL* image)
{
    KelSpriteCL* sprite = canvas->GetImageSprite();
    if (sprite == nullptr || image == nullptr)
        return;
    // The batch binds the picture an image stands for (an animation's current frame).
    KelImageCL* drawn = image->GetImage() != nullptr ? image->GetImage() : image;
    for (int buffer = 0; buffer < sprite->GetBufferCount(); ++buffer)
        if (sprite->GetQueuedVertices(buffer) > 0 && sprite->GetBoundImage(buffer) != drawn)
        {
            canvas->FlushImages();
            return;
        }
}

const char* SuitName(uint8_t suit)
{
    static const char* const names[] = {"黑桃", "红桃", "梅花", "方块", "大王", "小王"};
    return suit < sizeof names / sizeof names[0] ? names[suit] : "";
}
} // namespace

GameCardItemCL::GameCardItemCL(uint8_t code) : m_code(code)
{
    KEL_TRY
    // The cards are the frame's pictures, whichever directory the game switched to last.
    GetApp()->UseFrameImagePath();
    const std::string id = ImageId(code);
    m_image = KelCreateGuiTexture(kCardSet, id);
    // A set entry whose picture file did not load would draw nothing at all; such a card shows
    // as the placeholder too.
    if (m_image && m_image->GetImage() == nullptr)
        m_image.reset();
    if (!m_image)
        KelLogPrintf("牌面贴图不存在 %s/%s", kCardSet, id.c_str());
    KEL_CATCH
}

GameCardItemCL::~GameCardItemCL() = default;

std::string GameCardItemCL::ImageId(uint8_t code)
{
    char id[16];
    if (code >= 1 && code <= 52)
        std::snprintf(id, sizeof id, "%d_%d", ::GetFace(code), ::GetSuit(code));
    else if (code == kCardSmallJoker || code == kCardBigJoker)
        std::snprintf(id, sizeof id, "%d", code);
    else if (code == kCardLandlordBack)
        return "cardBack_kavdor";
    else
        return "cardBack_trevan";
    return id;
}

uint8_t GameCardItemCL::GetSuit() const
{
    return ::GetSuit(m_code);
}

uint8_t GameCardItemCL::GetFace() const
{
    return ::GetFace(m_code);
}

void GameCardItemCL::SetCardSelect(uint8_t flag)
{
    m_selected = flag != 0 ? 1 : 0;
}

void GameCardItemCL::DrawM(KelCanvasCL* canvas, int dx, int dy)
{
    KEL_TRY
    if (canvas == nullptr)
        return;
    canvas->Translate(static_cast<float>(dx), static_cast<float>(dy));
    if (m_image)
    {
        FlushOtherPictures(canvas, m_image->GetImage());
        m_image->Render(canvas);
    }
    else
        DrawPlaceholder(canvas);
    canvas->Translate(static_cast<float>(-dx), static_cast<float>(-dy));
    KEL_CATCH
}

void GameCardItemCL::DrawPlaceholder(KelCanvasCL* canvas)
{
    // The fill and the outline are drawn at once and the text is queued until the frame's end;
    // the cards queued before this one go out first, and its text goes out with it, so that the
    // cards drawn later cover it as they cover any card.
    canvas->FlushImages();
    canvas->FillRect(0, 0, kWidth, kHeight, kPlaceholderFill);
    canvas->DrawRect(0, 0, kWidth, kHeight, kPlaceholderInk);
    const D3DCOLOR textColor = canvas->GetTextColor();
    canvas->SetTextColor(kPlaceholderInk);
    char face[8];
    std::snprintf(face, sizeof face, "%d", GetFace());
    canvas->DrawText(face, 1, 1, nullptr, false, 0);
    canvas->DrawText(SuitName(GetSuit()), 1, 13, nullptr, false, 0);
    canvas->FlushText();
    canvas->SetTextColor(textColor);
}
