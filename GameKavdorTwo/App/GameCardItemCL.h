#pragma once
// One card on the table: its code, whether the player has picked it for the next play, and its
// picture from the texture-info set "card". A card whose picture is missing still shows, as a
// pale rectangle with its face number and suit name, so that a broken skin leaves the game
// playable.

#include <cstdint>
#include <string>

#include "KelGuiPieces.h"

class KelCanvasCL;

class GameCardItemCL
{
public:
    // The size every card is laid out with, whatever its picture.
    static constexpr int kWidth = 60;
    static constexpr int kHeight = 78;

    // Loads the card's picture at once, from the frame's image directory.
    explicit GameCardItemCL(uint8_t code);
    ~GameCardItemCL();
    GameCardItemCL(const GameCardItemCL&) = delete;
    GameCardItemCL& operator=(const GameCardItemCL&) = delete;

    uint8_t GetCardCode() const { return m_code; }
    uint8_t GetSuit() const;
    uint8_t GetFace() const;
    // 1 while the card is picked for the next play (drawn raised or moved out), else 0.
    uint8_t GetSelectFlag() const { return m_selected; }
    void SetCardSelect(uint8_t flag);
    int GetWidth() const { return kWidth; }
    int GetHeight() const { return kHeight; }
    // Draws the card with its top-left corner at the canvas origin moved by (dx, dy); the origin
    // is the same afterwards.
    void DrawM(KelCanvasCL* canvas, int dx, int dy);

    // The picture's ID in the set "card": "<face>_<suit>" for the suited cards, the code for the
    // jokers, and a back for the face-down codes and anything else.
    static std::string ImageId(uint8_t code);
    // The picture, or null when the skin has none for this card.
    KelTextureCL* GetImage() const { return m_image.get(); }

private:
    void DrawPlaceholder(KelCanvasCL* canvas);

    uint8_t m_code;
    uint8_t m_selected = 0;
    KelTexturePtr m_image;
};
