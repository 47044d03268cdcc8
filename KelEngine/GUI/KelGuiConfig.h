#pragma once
// Reading the GUI configuration file: which texture-info set ("file") and image ID ("data")
// each piece of a control's skin uses. The file is module directory + "\" + the UI manager's
// configuration path; its root element (any name) holds one element per control kind, and a
// kind element holds one element per piece.

#include <string>

struct KelGuiPiece
{
    std::string file;
    std::string data;
};

// The piece of a control kind ("dialog", "barLeft"); with an empty piece name the attributes of
// the kind element itself ("button"). False, with `piece` emptied, when the file cannot be read
// or the kind or the piece is missing; a missing attribute reads as empty.
bool KelGetGuiPiece(const std::string& kind, const std::string& pieceName, KelGuiPiece* piece);
