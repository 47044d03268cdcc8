#pragma once
// Reading the GUI configuration file: which texture-info set ("file") and image ID ("data")
// each piece of a control's skin uses. The file is module directory + "\" + the UI manager's
// configuration path; its root element (any name) holds one element per control kind, and a
// kind element holds one element per piece.

#include <map>
#include <string>
#include <string_view>

struct KelGuiPiece
{
    std::string file;
    std::string data;
};

// The attributes of one kind element and of its piece elements. Where a name occurs twice the
// first element counts, as it would for a look-up in the document itself.
struct KelGuiKind
{
    KelGuiPiece self;
    std::map<std::string, KelGuiPiece> pieces;
};
using KelGuiKindMap = std::map<std::string, KelGuiKind>;

// Reads a configuration text (no encoding conversion: names stay in the double-byte code page).
// False, with the reason in `error` and `kinds` as it was, when the text is not well-formed XML
// or has no root element.
bool KelParseGuiConfig(std::string_view data, KelGuiKindMap& kinds, std::string& error);

// The piece of a control kind ("dialog", "barLeft"); with an empty piece name the attributes of
// the kind element itself ("button"). False, with `piece` emptied, when the file cannot be read
// or the kind or the piece is missing; a missing attribute reads as empty.
bool KelGetGuiPiece(const std::string& kind, const std::string& pieceName, KelGuiPiece* piece);
