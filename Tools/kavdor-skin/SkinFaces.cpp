// The seats' social pictures: the 18 face animations a player shows at his seat, their still
// pictures for the face picker, the 4 prop animations thrown at other players, and the player
// portraits. Animations are zip archives of numbered TGA frames with a config.txt of frame
// times, the engine's zip-animation format.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Archive.h"
#include "FaceCode.h"
#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
constexpr float kPi = 3.14159265f;
constexpr int kFaceSize = 64;
constexpr int kFaceFrames = 6;
constexpr int kFaceFrameMs = 120;
constexpr int kChatFaceSize = 24;
constexpr int kPropSize = 96;
constexpr int kPropFrames = 8;
constexpr int kPropFrameMs = 100;

constexpr Color kFaceTop = Argb(255, 255, 232, 110);
constexpr Color kFaceBottom = Argb(255, 244, 176, 40);
constexpr Color kAngryTop = Argb(255, 255, 150, 110);
constexpr Color kAngryBottom = Argb(255, 220, 60, 40);
constexpr Color kFaceLine = Argb(255, 140, 80, 10);
constexpr Color kDark = Argb(255, 60, 36, 20);
constexpr Color kTear = Argb(220, 90, 170, 250);
constexpr Color kHeart = Argb(255, 232, 40, 70);
constexpr Color kBlush = Argb(110, 255, 90, 90);

bool InHeart(float x, float y, float cx, float cy, float size)
{
    const float u = (x - cx) / size;
    const float v = (cy - y) / size + 0.25f;
    const float a = u * u + v * v - 1;
    return a * a * a - u * u * v * v * v <= 0;
}

void Heart(Picture& p, float cx, float cy, float size, Color color)
{
    p.FillShape(static_cast<int>(cx - size * 1.4f), static_cast<int>(cy - size * 1.4f),
                static_cast<int>(cx + size * 1.4f) + 1, static_cast<int>(cy + size * 1.4f) + 1, color,
                [&](float x, float y) { return InHeart(x, y, cx, cy, size); });
}

// An arc of the circle around (cx, cy) from angle a0 to a1 (radians, y down), as short lines.
void Arc(Picture& p, float cx, float cy, float rx, float ry, float a0, float a1, float width, Color color)
{
    constexpr int kSteps = 12;
    for (int i = 0; i < kSteps; ++i)
    {
        const float t0 = a0 + (a1 - a0) * static_cast<float>(i) / kSteps;
        const float t1 = a0 + (a1 - a0) * static_cast<float>(i + 1) / kSteps;
        p.StrokeLine(cx + rx * std::cos(t0), cy + ry * std::sin(t0), cx + rx * std::cos(t1),
                     cy + ry * std::sin(t1), width, color);
    }
}

// A four-pointed sparkle.
void Sparkle(Picture& p, float cx, float cy, float r, Color color)
{
    p.FillShape(static_cast<int>(cx - r), static_cast<int>(cy - r), static_cast<int>(cx + r) + 1,
                static_cast<int>(cy + r) + 1, color,
                [&](float x, float y)
                {
                    const float dx = std::fabs(x - cx) / r;
                    const float dy = std::fabs(y - cy) / r;
                    return std::sqrt(dx) + std::sqrt(dy) <= 1.0f;
                });
}

// The round face itself, moved by (dx, dy).
void FaceBase(Picture& p, float dx, float dy, bool angry)
{
    Picture fill(kFaceSize, kFaceSize);
    fill.VerticalGradient(0, static_cast<int>(6 + dy), kFaceSize, static_cast<int>(60 + dy),
                          angry ? kAngryTop : kFaceTop, angry ? kAngryBottom : kFaceBottom);
    p.FillEllipse(5 + dx, 5 + dy, 59 + dx, 59 + dy, kFaceLine);
    Picture inner(kFaceSize, kFaceSize);
    inner.FillEllipse(6.5f + dx, 6.5f + dy, 57.5f + dx, 57.5f + dy, kWhite);
    for (int y = 0; y < kFaceSize; ++y)
        for (int x = 0; x < kFaceSize; ++x)
            p.Blend(x, y, fill.At(x, y) | 0xFF000000u, static_cast<int>(inner.At(x, y) >> 24));
    // A soft highlight at the top left.
    p.FillEllipse(16 + dx, 11 + dy, 30 + dx, 19 + dy, Argb(90, 255, 255, 255));
}

void DotEyes(Picture& p, float dx, float dy, float h = 8)
{
    p.FillEllipse(21 + dx, 24 + dy - h / 2, 27 + dx, 24 + dy + h / 2, kDark);
    p.FillEllipse(37 + dx, 24 + dy - h / 2, 43 + dx, 24 + dy + h / 2, kDark);
}

void HappyEyes(Picture& p, float dx, float dy)
{
    Arc(p, 24 + dx, 27 + dy, 5, 5, kPi, 2 * kPi, 2.5f, kDark);
    Arc(p, 40 + dx, 27 + dy, 5, 5, kPi, 2 * kPi, 2.5f, kDark);
}

void AngryBrows(Picture& p, float dx, float dy)
{
    p.StrokeLine(17 + dx, 16 + dy, 28 + dx, 21 + dy, 3, kDark);
    p.StrokeLine(47 + dx, 16 + dy, 36 + dx, 21 + dy, 3, kDark);
}

void SadBrows(Picture& p, float dx, float dy)
{
    p.StrokeLine(18 + dx, 20 + dy, 28 + dx, 16 + dy, 2.5f, kDark);
    p.StrokeLine(46 + dx, 20 + dy, 36 + dx, 16 + dy, 2.5f, kDark);
}

void Smile(Picture& p, float dx, float dy, float width = 12)
{
    Arc(p, 32 + dx, 36 + dy, width, 8, 0.15f * kPi, 0.85f * kPi, 2.5f, kDark);
}

void Frown(Picture& p, float dx, float dy)
{
    Arc(p, 32 + dx, 50 + dy, 9, 6, 1.15f * kPi, 1.85f * kPi, 2.5f, kDark);
}

// A wide open laughing mouth with a tongue.
void OpenMouth(Picture& p, float dx, float dy, float open)
{
    p.FillShape(0, 0, kFaceSize, kFaceSize, kDark,
                [&](float x, float y)
                {
                    const float u = (x - 32 - dx) / 13;
                    const float v = (y - 38 - dy) / open;
                    return v >= 0 && u * u + v * v <= 1;
                });
    p.FillEllipse(26 + dx, 38 + dy + open * 0.45f, 38 + dx, 38 + dy + open + 2, Argb(255, 230, 90, 100));
    p.FillRect(static_cast<int>(22 + dx), static_cast<int>(38 + dy), static_cast<int>(42 + dx),
               static_cast<int>(41 + dy), kWhite);
}

void Teeth(Picture& p, float dx, float dy)
{
    p.FillRoundRect(20 + dx, 38 + dy, 44 + dx, 48 + dy, 3, kWhite);
    p.StrokeRoundRect(20 + dx, 38 + dy, 44 + dx, 48 + dy, 3, 1.5f, kDark);
    p.StrokeLine(20 + dx, 43 + dy, 44 + dx, 43 + dy, 1.2f, kDark);
    for (int i = 1; i < 4; ++i)
        p.StrokeLine(20 + dx + 6.0f * i, 38 + dy, 20 + dx + 6.0f * i, 48 + dy, 1.2f, kDark);
}

void Blush(Picture& p, float dx, float dy)
{
    p.FillEllipse(12 + dx, 32 + dy, 22 + dx, 38 + dy, kBlush);
    p.FillEllipse(42 + dx, 32 + dy, 52 + dx, 38 + dy, kBlush);
}

void Drop(Picture& p, float cx, float cy, float r, Color color)
{
    p.FillShape(static_cast<int>(cx - r - 1), static_cast<int>(cy - 3 * r), static_cast<int>(cx + r + 2),
                static_cast<int>(cy + r + 2), color,
                [&](float x, float y)
                {
                    const float dx = x - cx;
                    const float dy = y - cy;
                    if (dy >= 0)
                        return dx * dx + dy * dy <= r * r;
                    return std::fabs(dx) <= r * (1 + dy / (2.5f * r)) && dy >= -2.5f * r;
                });
}

void Spiral(Picture& p, float cx, float cy, float turn)
{
    float px = cx;
    float py = cy;
    for (int i = 1; i <= 24; ++i)
    {
        const float a = static_cast<float>(i) * 0.55f + turn;
        const float r = static_cast<float>(i) * 0.28f;
        const float x = cx + r * std::cos(a);
        const float y = cy + r * std::sin(a);
        p.StrokeLine(px, py, x, y, 1.6f, kDark);
        px = x;
        py = y;
    }
}

void Flame(Picture& p, float cx, float cy, float h)
{
    p.FillShape(static_cast<int>(cx - 6), static_cast<int>(cy - h), static_cast<int>(cx + 7),
                static_cast<int>(cy + 5), Argb(255, 255, 90, 20),
                [&](float x, float y)
                {
                    const float t = (cy + 4 - y) / (h + 4);
                    return t >= 0 && t <= 1 && std::fabs(x - cx) <= 5.5f * (1 - t) * std::sqrt(t + 0.2f);
                });
    p.FillShape(static_cast<int>(cx - 4), static_cast<int>(cy - h), static_cast<int>(cx + 5),
                static_cast<int>(cy + 5), Argb(255, 255, 220, 60),
                [&](float x, float y)
                {
                    const float t = (cy + 4 - y) / (h * 0.6f + 4);
                    return t >= 0 && t <= 1 && std::fabs(x - cx) <= 3.0f * (1 - t) * std::sqrt(t + 0.2f);
                });
}

// Face n (1 ... 18) at frame f (0 ... 5).
Picture FaceFrame(int n, int f)
{
    Picture p(kFaceSize, kFaceSize);
    const float phase = 2 * kPi * static_cast<float>(f) / kFaceFrames;
    const float bob = std::sin(phase) * 2;
    const float shake = (f % 2 == 0 ? -1.5f : 1.5f);
    switch (n)
    {
    case 1: // good morning: bouncing with a big smile and a wave
        FaceBase(p, 0, bob, false);
        DotEyes(p, 0, bob);
        Smile(p, 0, bob, 13);
        Arc(p, 54, 14 + bob, 6, 6, kPi * (1.1f + 0.1f * std::sin(phase * 2)), kPi * 1.9f, 2, kFaceLine);
        break;
    case 2: // laughing out loud
        FaceBase(p, shake, 0, false);
        HappyEyes(p, shake, 0);
        OpenMouth(p, shake, 0, 11 + std::fabs(std::sin(phase)) * 3);
        break;
    case 3: // chuckle
        FaceBase(p, 0, bob * 0.5f, false);
        HappyEyes(p, 0, bob * 0.5f);
        Smile(p, 0, bob * 0.5f, 9);
        Blush(p, 0, bob * 0.5f);
        break;
    case 4: // swearing: angry face and symbols
        FaceBase(p, shake, 0, true);
        AngryBrows(p, shake, 0);
        DotEyes(p, shake, 0, 6);
        OpenMouth(p, shake, 0, 8 + (f % 2) * 3);
        p.Text(f % 3 == 0 ? "#" : (f % 3 == 1 ? "@" : "%"), 46, 0, 16, Argb(255, 40, 40, 40), true);
        break;
    case 5: // gritting teeth, steam rising
        FaceBase(p, 0, 0, true);
        AngryBrows(p, 0, 0);
        DotEyes(p, 0, 1, 6);
        Teeth(p, 0, 0);
        p.FillEllipse(4, 10 - f * 1.5f, 14 + f * 0.8f, 18 - f * 1.5f, Argb(160 - f * 20, 240, 240, 240));
        p.FillEllipse(50 - f * 0.8f, 10 - f * 1.5f, 60, 18 - f * 1.5f, Argb(160 - f * 20, 240, 240, 240));
        break;
    case 6: // charging head first, with impact stars
    {
        const float lean = static_cast<float>(f) * 1.2f;
        FaceBase(p, -lean * 0.5f, 0, true);
        AngryBrows(p, -lean * 0.5f, 0);
        DotEyes(p, -lean * 0.5f, 1, 7);
        Frown(p, -lean * 0.5f, -4);
        if (f >= 3)
            Sparkle(p, 56, 12, 6 + static_cast<float>(f - 3) * 1.5f, kGold);
        break;
    }
    case 7: // heart eyes
        FaceBase(p, 0, 0, false);
        Heart(p, 24, 25, 5.5f + std::sin(phase) * 1.2f, kHeart);
        Heart(p, 40, 25, 5.5f + std::sin(phase) * 1.2f, kHeart);
        Smile(p, 0, 2, 11);
        break;
    case 8: // embarrassed
        FaceBase(p, 0, 0, false);
        HappyEyes(p, 0, 1);
        Blush(p, 0, 0);
        Arc(p, 32, 46, 5, 3, 1.1f * kPi, 1.9f * kPi, 2, kDark);
        p.StrokeLine(14, 12 - bob, 18, 18 - bob, 1.5f, kFaceLine);
        p.StrokeLine(50, 12 + bob, 46, 18 + bob, 1.5f, kFaceLine);
        break;
    case 9: // blowing a kiss: a heart flies off
        FaceBase(p, 0, 0, false);
        DotEyes(p, 0, 0, 7);
        p.FillEllipse(28, 38, 36, 46, Argb(255, 220, 50, 80));
        p.FillEllipse(30, 40, 34, 44, Argb(255, 120, 20, 40));
        Heart(p, 42 + static_cast<float>(f) * 3, 36 - static_cast<float>(f) * 4.5f,
              4 + static_cast<float>(f) * 0.5f, kHeart);
        break;
    case 10: // smug, with sunglasses
        FaceBase(p, 0, bob * 0.5f, false);
        p.FillRoundRect(14, 20 + bob * 0.5f, 30, 30 + bob * 0.5f, 3, Argb(255, 20, 20, 30));
        p.FillRoundRect(34, 20 + bob * 0.5f, 50, 30 + bob * 0.5f, 3, Argb(255, 20, 20, 30));
        p.StrokeLine(28, 23 + bob * 0.5f, 36, 23 + bob * 0.5f, 2, Argb(255, 20, 20, 30));
        p.StrokeLine(17, 22 + bob * 0.5f, 21, 22 + bob * 0.5f, 1.5f, Argb(200, 255, 255, 255));
        Arc(p, 36, 38 + bob * 0.5f, 9, 6, 0.1f * kPi, 0.7f * kPi, 2.5f, kDark);
        break;
    case 11: // sly grin
        FaceBase(p, 0, 0, false);
        p.StrokeLine(19, 25, 28, 25, 2.5f, kDark);
        p.StrokeLine(36, 25, 45, 25, 2.5f, kDark);
        Teeth(p, 0, 0);
        p.FillEllipse(52 - static_cast<float>(f), 4, 58 - static_cast<float>(f), 10,
                      Argb(200, 255, 255, 255));
        break;
    case 12: // moved to tears
        FaceBase(p, 0, 0, false);
        HappyEyes(p, 0, 0);
        Arc(p, 32, 44, 6, 3, 1.1f * kPi, 1.9f * kPi, 2, kDark);
        Drop(p, 19, 32 + static_cast<float>(f * 4 % 24), 3, kTear);
        Drop(p, 45, 32 + static_cast<float>((f * 4 + 12) % 24), 3, kTear);
        break;
    case 13: // hurt feelings: sad face, a tear falls
        FaceBase(p, 0, 0, false);
        SadBrows(p, 0, 0);
        DotEyes(p, 0, 2, 6);
        Frown(p, 0, 0);
        Drop(p, 23, 32 + static_cast<float>(f) * 3.5f, 2.5f, kTear);
        break;
    case 14: // tormented: wavy mouth, shaking, sweat
        FaceBase(p, shake, 0, false);
        SadBrows(p, shake, 0);
        p.StrokeLine(20 + shake, 22, 27 + shake, 27, 2, kDark);
        p.StrokeLine(20 + shake, 27, 27 + shake, 22, 2, kDark);
        p.StrokeLine(37 + shake, 22, 44 + shake, 27, 2, kDark);
        p.StrokeLine(37 + shake, 27, 44 + shake, 22, 2, kDark);
        for (int i = 0; i < 4; ++i)
            p.StrokeLine(22 + shake + 5.0f * i, 44 + (i % 2 == 0 ? 0.0f : 3.0f), 27 + shake + 5.0f * i,
                         44 + (i % 2 == 0 ? 3.0f : 0.0f), 2, kDark);
        Drop(p, 52, 20 + static_cast<float>(f), 3, kTear);
        break;
    case 15: // going mad
        FaceBase(p, shake * 2, 0, true);
        AngryBrows(p, shake * 2, -2);
        p.FillEllipse(19 + shake * 2, 21, 29 + shake * 2, 31, kWhite);
        p.FillEllipse(35 + shake * 2, 21, 45 + shake * 2, 31, kWhite);
        p.FillEllipse(22 + shake * 2, 24, 26 + shake * 2, 28, kDark);
        p.FillEllipse(38 + shake * 2, 24, 42 + shake * 2, 28, kDark);
        Teeth(p, shake * 2, 1);
        break;
    case 16: // dizzy: spiral eyes, stars circling
        FaceBase(p, 0, 0, false);
        Spiral(p, 24, 26, phase);
        Spiral(p, 40, 26, phase);
        Arc(p, 32, 44, 5, 3, 1.1f * kPi, 1.9f * kPi, 2, kDark);
        for (int i = 0; i < 3; ++i)
        {
            const float a = phase + 2 * kPi * static_cast<float>(i) / 3;
            Sparkle(p, 32 + 20 * std::cos(a), 8 + 4 * std::sin(a), 4, kGold);
        }
        break;
    case 17: // embarrassed silence: a big sweat drop slides down
        FaceBase(p, 0, 0, false);
        DotEyes(p, 0, 2, 5);
        p.StrokeLine(26, 44, 38, 44, 2.5f, kDark);
        Drop(p, 50, 16 + static_cast<float>(f) * 2, 5, kTear);
        break;
    default: // 18, burning eyes that see through everything
        FaceBase(p, 0, 0, false);
        Flame(p, 24, 27, 10 + static_cast<float>(f % 3) * 2);
        Flame(p, 40, 27, 10 + static_cast<float>((f + 1) % 3) * 2);
        Arc(p, 36, 38, 9, 6, 0.1f * kPi, 0.7f * kPi, 2.5f, kDark);
        break;
    }
    return p;
}

// Prop animations: 1 a sparkling heart, 2 a flower, 3 a pile of dung, 4 a brick.
Picture PropFrame(int n, int f)
{
    Picture p(kPropSize, kPropSize);
    const float t = static_cast<float>(f) / (kPropFrames - 1);
    const float c = kPropSize / 2.0f;
    switch (n)
    {
    case 1:
    {
        const float size = 20 + 6 * std::sin(t * 2 * kPi * 1.5f);
        Heart(p, c, c + 4, size + 2, Argb(255, 150, 10, 40));
        Heart(p, c, c + 4, size, kHeart);
        p.FillEllipse(c - size * 0.7f, c - size * 0.5f, c - size * 0.2f, c - size * 0.1f,
                      Argb(140, 255, 255, 255));
        for (int i = 0; i < 6; ++i)
        {
            const float a = 2 * kPi * static_cast<float>(i) / 6 + t * kPi;
            const float r = 30 + static_cast<float>((i * 7 + f * 3) % 10);
            if ((i + f) % 3 != 0)
                Sparkle(p, c + r * std::cos(a), c + r * std::sin(a), 5, Argb(255, 255, 240, 150));
        }
        break;
    }
    case 2:
    {
        const float grow = 0.4f + 0.6f * std::min(1.0f, t * 1.6f);
        const float sway = std::sin(t * 2 * kPi) * 4;
        p.StrokeLine(c, 90, c + sway * 0.5f, 90 - 50 * grow, 4, Argb(255, 40, 140, 50));
        p.FillEllipse(c - 14, 70, c + 2, 78, Argb(255, 60, 170, 70));
        const float fx = c + sway;
        const float fy = 90 - 56 * grow;
        for (int i = 0; i < 5; ++i)
        {
            const float a = 2 * kPi * static_cast<float>(i) / 5 + t;
            const float px = fx + 11 * grow * std::cos(a);
            const float py = fy + 11 * grow * std::sin(a);
            p.FillEllipse(px - 9 * grow, py - 9 * grow, px + 9 * grow, py + 9 * grow,
                          Argb(255, 250, 120, 170));
        }
        p.FillEllipse(fx - 7 * grow, fy - 7 * grow, fx + 7 * grow, fy + 7 * grow, Argb(255, 255, 210, 60));
        break;
    }
    case 3:
    {
        // Falls from the top for half the frames, then squashes and flies circle it.
        const float fall = std::min(1.0f, t * 2);
        const float squash = t > 0.5f ? 1 + 0.15f * std::sin((t - 0.5f) * 4 * kPi) : 1.0f;
        const float base = 30 + 56 * fall;
        const Color brown = Argb(255, 120, 72, 30);
        const Color light = Argb(255, 160, 104, 50);
        p.FillEllipse(c - 28 * squash, base - 16 / squash, c + 28 * squash, base, brown);
        p.FillEllipse(c - 20 * squash, base - 30 / squash, c + 20 * squash, base - 12 / squash, light);
        p.FillEllipse(c - 12 * squash, base - 42 / squash, c + 12 * squash, base - 24 / squash, brown);
        p.FillEllipse(c - 4, base - 50 / squash, c + 6, base - 38 / squash, light);
        if (t > 0.5f)
            for (int i = 0; i < 3; ++i)
            {
                const float a = t * 4 * kPi + 2 * kPi * static_cast<float>(i) / 3;
                p.FillEllipse(c + 34 * std::cos(a) - 2, base - 50 + 8 * std::sin(a) - 2,
                              c + 34 * std::cos(a) + 2, base - 50 + 8 * std::sin(a) + 2,
                              Argb(255, 30, 30, 30));
            }
        break;
    }
    default:
    {
        // Flies in turning, then breaks on impact with a burst.
        const float fly = std::min(1.0f, t * 1.6f);
        const float x = 10 + (c - 10) * fly;
        const float angle = (1 - fly) * kPi;
        const float ca = std::cos(angle);
        const float sa = std::sin(angle);
        const auto inside = [&](float px, float py, float hw, float hh)
        {
            const float u = (px - x) * ca + (py - c) * sa;
            const float v = -(px - x) * sa + (py - c) * ca;
            return std::fabs(u) <= hw && std::fabs(v) <= hh;
        };
        p.FillShape(0, 0, kPropSize, kPropSize, Argb(255, 110, 40, 30),
                    [&](float px, float py) { return inside(px, py, 26, 13); });
        p.FillShape(0, 0, kPropSize, kPropSize, Argb(255, 178, 70, 48),
                    [&](float px, float py) { return inside(px, py, 24.5f, 11.5f); });
        if (fly >= 1.0f)
        {
            const float burst = (t - 0.625f) / 0.375f;
            for (int i = 0; i < 8; ++i)
            {
                const float a = 2 * kPi * static_cast<float>(i) / 8;
                const float r0 = 20 + 14 * burst;
                p.StrokeLine(c + r0 * std::cos(a), c + r0 * std::sin(a), c + (r0 + 10) * std::cos(a),
                             c + (r0 + 10) * std::sin(a), 3, kGold);
            }
            p.StrokeLine(c - 6, c - 11, c + 2, c, 2, Argb(255, 60, 20, 10));
            p.StrokeLine(c + 2, c, c - 3, c + 11, 2, Argb(255, 60, 20, 10));
        }
        break;
    }
    }
    return p;
}

// A smaller copy by averaging the source pixels each target pixel covers (premultiplied, so
// transparent edges do not darken).
Picture Shrink(const Picture& from, int size)
{
    Picture to(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const int x0 = x * from.Width() / size;
            const int x1 = std::max(x0 + 1, (x + 1) * from.Width() / size);
            const int y0 = y * from.Height() / size;
            const int y1 = std::max(y0 + 1, (y + 1) * from.Height() / size);
            uint32_t sum[4] = {};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                {
                    const Color c = from.At(sx, sy);
                    const uint32_t a = c >> 24;
                    sum[0] += a;
                    sum[1] += ((c >> 16) & 0xFF) * a;
                    sum[2] += ((c >> 8) & 0xFF) * a;
                    sum[3] += (c & 0xFF) * a;
                }
            const auto count = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
            if (sum[0] == 0)
                continue;
            to.Blend(x, y,
                     Argb(255, static_cast<int>(sum[1] / sum[0]), static_cast<int>(sum[2] / sum[0]),
                          static_cast<int>(sum[3] / sum[0])),
                     static_cast<int>(sum[0] / count));
        }
    return to;
}

std::vector<uint8_t> Animation(const std::vector<Picture>& frames, int frameMs, int holdMs)
{
    std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
    std::string times;
    for (size_t i = 0; i < frames.size(); ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "%04zu.tga", i);
        members.emplace_back(name, Tga(frames[i]));
        times += std::to_string(frameMs) + "\r\n";
    }
    times += std::to_string(holdMs) + "\r\n";
    members.emplace_back("config.txt", std::vector<uint8_t>(times.begin(), times.end()));
    return Zip(members);
}

// A portrait: a figure on a coloured card; even numbers from 1 are men, the rest women.
Picture Portrait(int n)
{
    static constexpr Color backs[8] = {Argb(255, 70, 130, 200),  Argb(255, 220, 110, 150),
                                       Argb(255, 60, 160, 120),  Argb(255, 230, 150, 60),
                                       Argb(255, 110, 100, 200), Argb(255, 200, 80, 80),
                                       Argb(255, 60, 150, 170),  Argb(255, 170, 120, 200)};
    static constexpr Color shirts[8] = {
        Argb(255, 40, 60, 110), Argb(255, 250, 240, 250), Argb(255, 200, 60, 50),  Argb(255, 240, 230, 120),
        Argb(255, 50, 50, 60),  Argb(255, 120, 200, 230), Argb(255, 230, 200, 80), Argb(255, 60, 60, 90)};
    static constexpr Color hairs[4] = {Argb(255, 40, 30, 25), Argb(255, 90, 55, 30), Argb(255, 20, 20, 20),
                                       Argb(255, 130, 80, 40)};
    const bool female = n % 2 == 0;
    const Color back = backs[(n - 1) % 8];
    const Color skin = Argb(255, 250, 214, 180);
    const Color hair = hairs[(n - 1) % 4];
    Picture p = Panel(90, 110, back, Argb(255, 30, 34, 40), Argb(255, 240, 240, 240), 8);
    if (female)
        p.FillRoundRect(23, 22, 67, 82, 16, hair);
    p.FillEllipse(12, 76, 78, 130, shirts[(n - 1) % 8]);
    p.FillRect(39, 64, 51, 80, skin);
    p.FillEllipse(26, 24, 64, 70, skin);
    if (female)
    {
        p.FillEllipse(24, 18, 66, 44, hair);
        p.FillEllipse(26, 30, 40, 40, hair);
    }
    else
    {
        p.FillEllipse(25, 18, 65, 40, hair);
        p.FillRect(26, 30, 30, 40, hair);
        p.FillRect(60, 30, 64, 40, hair);
    }
    p.FillEllipse(35, 44, 40, 50, kDark);
    p.FillEllipse(50, 44, 55, 50, kDark);
    Arc(p, 45, 52, 6, 5, 0.2f * kPi, 0.8f * kPi, 2, Argb(255, 170, 70, 60));
    return p;
}

// The portrait of a player without a picture: a grey silhouette.
Picture NoPortrait()
{
    Picture p = Panel(90, 110, Argb(255, 120, 126, 134), Argb(255, 70, 74, 80), Argb(255, 200, 200, 200), 8);
    p.FillEllipse(12, 76, 78, 130, Argb(255, 170, 176, 184));
    p.FillEllipse(26, 22, 64, 68, Argb(255, 170, 176, 184));
    return p;
}
} // namespace

std::string FaceCode(int n)
{
    return KavdorFaceCode(n);
}

int FaceCount()
{
    return kKavdorFaceCount;
}

int PropCount()
{
    return 4;
}

int PortraitCount()
{
    return 8;
}

void WriteFaces(Output& out)
{
    for (int n = 1; n <= FaceCount(); ++n)
    {
        std::vector<Picture> frames;
        for (int f = 0; f < kFaceFrames; ++f)
            frames.push_back(FaceFrame(n, f));
        out.Write("image\\face\\" + std::to_string(n) + ".zip", Animation(frames, kFaceFrameMs, 0));
        // The still the chat shows in a line of text for the face's code.
        out.AddPicture("face", FaceCode(n), Shrink(frames[0], kChatFaceSize), "face" + std::to_string(n));
    }
    for (int n = 1; n <= PropCount(); ++n)
    {
        std::vector<Picture> frames;
        for (int f = 0; f < kPropFrames; ++f)
            frames.push_back(PropFrame(n, f));
        out.Write("image\\prop\\effect_" + std::to_string(n) + ".zip", Animation(frames, kPropFrameMs, 300));
        for (int f = 0; f < kPropFrames; f += 3)
            out.AddSheetPicture("prop/effect_" + std::to_string(n) + " frame " + std::to_string(f),
                                frames[f]);
    }
    for (int n = 1; n <= PortraitCount(); ++n)
        out.AddPicture("Player", "Player_" + std::to_string(n), Portrait(n));
    out.Write("image\\Role\\malemask.tga", Tga(NoPortrait()));
    out.AddSheetPicture("Role/malemask.tga", NoPortrait());
}
} // namespace skin
