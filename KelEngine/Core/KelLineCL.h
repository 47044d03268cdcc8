#pragma once
// The line batcher: coloured line segments collected in one vertex and index buffer of 768
// entries and drawn as a line list when flushed (by the canvas's rectangle drawing and its
// explicit flushes).

#include <vector>

#include "D3D8/D3D8.h"

struct KelLineVertex
{
    float x;
    float y;
    float z;
    D3DCOLOR color;
};
static_assert(sizeof(KelLineVertex) == 16, "16 bytes per vertex");

constexpr DWORD kKelLineFvf = 66;

class KelLineCL
{
public:
    KelLineCL(IDirect3DDevice8* device, int capacity = 768);
    KelLineCL(const KelLineCL&) = delete;
    KelLineCL& operator=(const KelLineCL&) = delete;

    virtual ~KelLineCL();
    virtual bool Begin();
    virtual bool End();
    virtual void SetColor(D3DCOLOR color);
    virtual void AddLine(float x1, float y1, float z1, float x2, float y2, float z2);
    // Adds a segment from the previous vertex to the point (the first point: a zero-length one).
    virtual void AddPoint(float x, float y, float z);
    virtual void SetWidth(float width);
    // Draws what is queued; false when nothing was.
    virtual bool Flush();
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();

    D3DCOLOR GetColor() const { return m_color; }
    float GetWidth() const { return m_width; }
    int GetVertexCount() const { return static_cast<int>(m_vertices.size()); }

private:
    IDirect3DDevice8* m_device;
    int m_capacity;
    IDirect3DVertexBuffer8* m_vertexBuffer = nullptr;
    IDirect3DIndexBuffer8* m_indexBuffer = nullptr;
    std::vector<KelLineVertex> m_vertices;
    std::vector<uint16_t> m_indices;
    D3DCOLOR m_color = 0xFFFFFFFF;
    float m_width = 1.0f;
};
