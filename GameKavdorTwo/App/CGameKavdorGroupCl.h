#pragma once
// A card group as this game lays it out, finds the card under the mouse and draws it.
//
// Card i of a group lies at an offset from the group's top-left corner, and a picked card is
// moved further so that it stands out:
//
//   mode               offset of card i    picked card moved   cards drawn      count shown
//   row                (11 i, 0)           16 up               all              -
//   column             (0, 8 i)            22 right            all              -
//   compact row        (4 i, 0)            16 up               first 5          right of them
//   compact column     (0, 2 i)            22 right            first 15         below them
//
// Compact groups are the other seats' hands: a few backs and the number of cards, in the image
// font "TextNumberYellow". Later cards are drawn over earlier ones.
//
// The corner's offset from the anchor measures a row 13 pixels and a column 10 pixels a card,
// a little more than the cards take; hit testing uses the same offsets, so a click always
// finds the card drawn under it.

#include "GameCardGroupCL.h"

class CGameKavdorGroupCl : public GameCardGroupCL
{
public:
    CGameKavdorGroupCl();

    // The card at the index, or null.
    GameCardItemCL* GetCard(int index);
    // The topmost card whose whole 60 x 78 rectangle (edges included) contains the point, in the
    // coordinates the group's position is given in; null when none does. Picked cards are
    // found where they are drawn in rows and columns; compact groups are tested without offsets.
    GameCardItemCL* GetCard(int px, int py);
    // The offset of the group's top-left corner from its anchor.
    int GetSnapOffsetX() const;
    int GetSnapOffsetY() const;
    // Draws the group; the canvas origin is the same afterwards.
    void DrawM(KelCanvasCL* canvas);

    // How many cards a drawing shows.
    int GetDrawnCount() const;

private:
    struct Placement
    {
        int x;
        int y;
    };
    // Where card i lies from the corner, and how far a picked card moves, in the current mode.
    Placement CardOffset(int index) const;
    Placement PickedShift() const;
    void DrawCount(KelCanvasCL* canvas, int drawn) const;
};
