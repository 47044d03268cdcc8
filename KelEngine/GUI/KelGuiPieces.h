#pragma once
// What the skinned controls share: owned textures made from texture-info pieces, and drawing a
// texture (or a cell of it) at a place, in whole tiles with one cut tile at the end of each run.
// Textures are drawn by translating the canvas to the place; a texture's own position (the
// offset of its texture-info entry) still applies on top.

#include <memory>
#include <string>

#include "KelRect.h"

class KelCanvasCL;
class KelTextureCL;

struct KelTextureRelease
{
    void operator()(KelTextureCL* texture) const;
};
using KelTexturePtr = std::unique_ptr<KelTextureCL, KelTextureRelease>;

// The image of a texture-info set (loaded at once, kept); null when either name is empty or the
// set has no such image.
KelTexturePtr KelCreateGuiTexture(const std::string& infoName, const std::string& imageId);
// The image of a piece of the GUI configuration ("dialog", "barLeft"); null when the file, the
// element or an attribute is missing.
KelTexturePtr KelCreatePieceTexture(const std::string& kind, const std::string& piece);

// Draws the texture with (x, y) as the canvas origin.
void KelDrawTextureAt(KelCanvasCL* canvas, KelTextureCL* texture, int x, int y);
// Draws the part `cell` of the texture's source rectangle (relative to its top-left corner) at
// (x, y); the source rectangle is restored afterwards.
void KelDrawTextureCell(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& cell, int x, int y);
// Covers the area with copies of the cell, row by row from its top-left corner: whole cells, and
// at the end of each row and column one cell cut to what is left.
void KelTileTextureCell(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& cell, const KelRect& area);
// The same with the texture's whole source rectangle as the cell.
void KelTileTexture(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& area);
