#pragma once
// The quad batcher. Quads are collected per texture in up to four texture buffers of 768
// vertices each (192 quads, one draw call per flush). A quad for a texture that has no buffer
// takes a free one (never made, or emptied by a flush); when all four hold quads of other
// textures, the buffer holding the most vertices is flushed and rebound. A buffer that is full
// is flushed before the next quad.
//
// Vertices carry position (x, y, z = -1), diffuse colour and texture coordinates; texture
// coordinates divide by the image size minus one. The vertex and index buffers are write-only
// and in the managed pool, so they survive device loss.
//
// A bound image whose texture is not there yet (a background load still running) drops its
// quads at the flush: the picture appears in a later frame.

#include <memory>
#include <vector>

#include "D3D8/D3D8.h"
#include "D3D8/D3DX8.h"
#include "KelRect.h"

class KelImageCL;

// One corner of a quad given whole.
struct KelQuadVertex
{
    float x;
    float y;
    float u;
    float v;
    D3DCOLOR color;
};

// The vertex layout of the batches: D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1.
struct KelSpriteVertex
{
    float x;
    float y;
    float z;
    D3DCOLOR color;
    float u;
    float v;
};
static_assert(sizeof(KelSpriteVertex) == 24, "24 bytes per vertex");

constexpr DWORD kKelSpriteFvf = 322;

class TextureBufferCL;

class KelSpriteCL
{
public:
    // A null device is logged; the sprite then draws nothing.
    KelSpriteCL(IDirect3DDevice8* device, int maxBuffers = 4, int bufferVertices = 768);
    KelSpriteCL(const KelSpriteCL&) = delete;
    KelSpriteCL& operator=(const KelSpriteCL&) = delete;

    virtual ~KelSpriteCL();
    // Draws the source rectangle of the image (the whole image when null) at the position,
    // scaled, and rotated by `angle` radians around the middle of the source rectangle. Without
    // an image an untextured quad of the rectangle's size is drawn. False with neither.
    virtual bool Draw(KelImageCL* image, const KelRect* source, const D3DXVECTOR2* position,
                      const D3DXVECTOR2* scale, float angle, D3DCOLOR color);
    // Draws the source rectangle at the position, the corners and the position both through the
    // sprite's matrix (the text batch lays text out in unscaled units and scales it there).
    virtual bool DrawTransformed(KelImageCL* image, const KelRect* source, const D3DXVECTOR2* position,
                                 D3DCOLOR color);
    // Draws the source rectangle stretched over the destination rectangle.
    virtual bool DrawStretched(KelImageCL* image, const KelRect* source, const KelRect* destination,
                               D3DCOLOR color);
    // Draws a quad of four given corners, transformed by the sprite's matrix.
    virtual bool DrawQuad(KelImageCL* image, const KelQuadVertex* vertices);
    virtual bool Begin();
    virtual bool End();
    // Flushes every texture buffer.
    virtual void Flush();
    virtual const D3DXMATRIX& GetMatrix();
    virtual void SetMatrix(const D3DXMATRIX& matrix);
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();

    // For the statistics and tests: the buffers in use and their queued vertex counts.
    // A batch whose queued quads lie beneath this one's (the canvas's pictures beneath its text):
    // it is flushed before this batch draws anything, also when this batch draws on its own
    // because a buffer is full or must be rebound.
    void SetDrawnBeneath(KelSpriteCL* beneath) { m_beneath = beneath; }

    int GetBufferCount() const;
    int GetQueuedVertices(int buffer) const;
    KelImageCL* GetBoundImage(int buffer) const;

private:
    // The buffer collecting quads of the image (see the buffer choice above).
    TextureBufferCL* SelectBuffer(KelImageCL* image);
    // Before a buffer is drawn on its own: see the definition.
    void DrawQueued();
    // Room for one quad of the image: four vertices to fill in, or null without a device.
    KelSpriteVertex* AppendQuad(KelImageCL* image);

    IDirect3DDevice8* m_device;
    int m_maxBuffers;
    int m_bufferVertices;
    D3DXMATRIX m_matrix;
    // Spares the matrix product for every quad while the matrix is the identity.
    bool m_identity = true;
    std::vector<std::unique_ptr<TextureBufferCL>> m_buffers;
    KelSpriteCL* m_beneath = nullptr;
};
