#pragma once
// A card is one byte. 1..52 are the four suits of thirteen faces (spades, hearts, clubs,
// diamonds; face 1 is the ace, 11..13 jack, queen, king), 53 the small joker and 54 the big
// joker. Two decks are played, so every code appears twice in a deal. Three further bytes are
// markers, never cards: 100 stands alone in a seat's played group when a new round begins, 200
// is a face-down card of the landlord's hand and 255 a face-down card of any other hand.

#include <cstdint>

constexpr uint8_t kCardSmallJoker = 53;
constexpr uint8_t kCardBigJoker = 54;
constexpr uint8_t kCardNewRound = 100;
constexpr uint8_t kCardLandlordBack = 200;
constexpr uint8_t kCardBack = 255;
// What GetSuit and GetFace answer for a byte that is not a card.
constexpr uint8_t kCardNone = 255;

// Suit index: 0 spades, 1 hearts, 2 clubs, 3 diamonds, 4 the big joker, 5 the small joker.
uint8_t GetSuit(uint8_t code);
// Face 1..13 for the suited cards; the jokers answer their own codes, 53 and 54.
uint8_t GetFace(uint8_t code);
