#pragma once
// The engine's rectangle. The fields are stored top, left, bottom, right (the layout other
// engine records copy), while the constructor takes them in the reading order left, top,
// right, bottom.

#include <cstdint>

struct KelRect
{
    int32_t top = 0;
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t right = 0;

    KelRect() = default;
    KelRect(int32_t leftValue, int32_t topValue, int32_t rightValue, int32_t bottomValue)
        : top(topValue), left(leftValue), bottom(bottomValue), right(rightValue)
    {
    }

    // The differences wrap like the 32-bit arithmetic of the engine instead of overflowing.
    int32_t Width() const
    {
        return static_cast<int32_t>(static_cast<uint32_t>(right) - static_cast<uint32_t>(left));
    }
    int32_t Height() const
    {
        return static_cast<int32_t>(static_cast<uint32_t>(bottom) - static_cast<uint32_t>(top));
    }

    bool operator==(const KelRect&) const = default;
};
