#pragma once
// What kavdor-skin makes, part by part, and the table of names the engine and the module ask for,
// shared with the test that checks each one is there.

#include <string>
#include <vector>

#include "SkinOutput.h"

namespace skin
{
// One piece of the GUI configuration: the control kind, the piece ("" for a kind whose "file" and
// "data" sit on the kind element itself), the texture-info set and the image ID it names, and
// whether the ID is the base of four state images (<id>_0 ... <id>_3).
struct GuiPiece
{
    std::string kind;
    std::string piece;
    std::string set;
    std::string id;
    bool states;
};
const std::vector<GuiPiece>& GuiPieces();

// A picture the code asks for by set and ID, outside the GUI configuration, and the image
// directory that is current when it asks (relative to the runtime folder): the host's "image",
// or the game's own folder while the game loads its pictures.
struct Named
{
    std::string set;
    std::string id;
    std::string directory = "image";
};
// The card pictures ("card": "1_0" ... "13_3", "53", "54"), the message box's buttons and panel.
std::vector<Named> CodeNamedPictures();

void WriteGuiSkin(Output& out);
void WriteCards(Output& out);
void WriteSounds(Output& out);
// The pictures the table's own windows name in "gameWndEX" and "gameWnd": the seat buttons, the
// stake buttons, the turn clock, the chat panel, the tool and package bars and the player list.
// The names are every picture those windows ask for (each state of a button, each image of a
// check box), all in the host's image directory.
void WriteFrame(Output& out);
std::vector<Named> FrameNamedPictures();
// One picture of every generated picture, for people to look at.
Picture ContactSheet(const Output& out);
} // namespace skin
