#include "CardCode.h"

uint8_t GetSuit(uint8_t code)
{
    if (code >= 1 && code <= 52)
        return static_cast<uint8_t>((code - 1) / 13);
    if (code == kCardSmallJoker)
        return 5;
    if (code == kCardBigJoker)
        return 4;
    return kCardNone;
}

uint8_t GetFace(uint8_t code)
{
    if (code >= 1 && code <= 52)
        return static_cast<uint8_t>((code - 1) % 13 + 1);
    if (code == kCardSmallJoker || code == kCardBigJoker)
        return code;
    return kCardNone;
}
