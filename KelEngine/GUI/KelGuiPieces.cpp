#include "KelGuiPieces.h"

#include <algorithm>

#include "KelCanvasCL.h"
#include "KelGuiConfig.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"

void KelTextureRelease::operator()(KelTextureCL* texture) const
{
    if (texture != nullptr)
        texture->Release();
}

KelTexturePtr KelCreateGuiTexture(const std::string& infoName, const std::string& imageId)
{
    if (infoName.empty() || imageId.empty())
        return nullptr;
    return KelTexturePtr(KelTextureInfoManagerCL::GetInstance()->CreateTexture(infoName, imageId, true));
}

KelTexturePtr KelCreatePieceTexture(const std::string& kind, const std::string& piece)
{
    KelGuiPiece found;
    if (!KelGetGuiPiece(kind, piece, &found))
        return nullptr;
    return KelCreateGuiTexture(found.file, found.data);
}

void KelDrawTextureAt(KelCanvasCL* canvas, KelTextureCL* texture, int x, int y)
{
    if (canvas == nullptr || texture == nullptr)
        return;
    canvas->Translate(static_cast<float>(x), static_cast<float>(y));
    texture->Render(canvas);
    canvas->Translate(static_cast<float>(-x), static_cast<float>(-y));
}

void KelDrawTextureCell(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& cell, int x, int y)
{
    if (canvas == nullptr || texture == nullptr)
        return;
    const KelRect source = texture->GetRect();
    texture->SetRect(KelRect(source.left + cell.left, source.top + cell.top, source.left + cell.right,
                             source.top + cell.bottom));
    KelDrawTextureAt(canvas, texture, x, y);
    texture->SetRect(source);
}

void KelTileTextureCell(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& cell, const KelRect& area)
{
    const int cellWidth = cell.Width();
    const int cellHeight = cell.Height();
    if (texture == nullptr || cellWidth <= 0 || cellHeight <= 0)
        return;
    for (int y = area.top; y < area.bottom; y += cellHeight)
    {
        const int height = std::min(cellHeight, area.bottom - y);
        for (int x = area.left; x < area.right; x += cellWidth)
        {
            const int width = std::min(cellWidth, area.right - x);
            KelDrawTextureCell(canvas, texture,
                               KelRect(cell.left, cell.top, cell.left + width, cell.top + height), x, y);
        }
    }
}

void KelTileTexture(KelCanvasCL* canvas, KelTextureCL* texture, const KelRect& area)
{
    if (texture == nullptr)
        return;
    const KelRect source = texture->GetRect();
    KelTileTextureCell(canvas, texture, KelRect(0, 0, source.Width(), source.Height()), area);
}
