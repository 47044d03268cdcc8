#include "KelSpriteCL.h"

#include <algorithm>
#include <cstring>

#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"

// One vertex and index buffer collecting the quads of one texture until they are drawn with a
// single call. The vertices are written straight into a CPU array and copied into the
// write-only buffer when flushed. Every quad uses the same six indices relative to its first
// vertex, so the index buffer is filled once when it is created and never changes; being in
// the managed pool it keeps them through device loss.
class TextureBufferCL
{
public:
    TextureBufferCL(IDirect3DDevice8* device, int capacity);
    TextureBufferCL(const TextureBufferCL&) = delete;
    TextureBufferCL& operator=(const TextureBufferCL&) = delete;
    ~TextureBufferCL();

    KelImageCL* GetImage() const { return m_image; }
    void Bind(KelImageCL* image) { m_image = image; }
    int GetVertexCount() const { return m_vertexCount; }
    // Counts the quad and hands out its four vertices; a full buffer is drawn first and stays
    // bound to its image.
    KelSpriteVertex* AppendQuad();
    bool IsFull() const { return m_indexCount >= m_indexCapacity; }
    // Draws what is queued and empties the buffer; it is unbound from its image unless asked to
    // keep the binding.
    void Flush(bool keepBinding);

private:
    IDirect3DDevice8* m_device;
    KelImageCL* m_image = nullptr;
    IDirect3DVertexBuffer8* m_vertexBuffer = nullptr;
    IDirect3DIndexBuffer8* m_indexBuffer = nullptr;
    std::unique_ptr<KelSpriteVertex[]> m_vertices;
    int m_capacity;
    int m_indexCapacity;
    int m_vertexCount = 0;
    int m_indexCount = 0;
};

TextureBufferCL::TextureBufferCL(IDirect3DDevice8* device, int capacity)
    : m_device(device), m_vertices(new KelSpriteVertex[static_cast<size_t>(capacity)]), m_capacity(capacity),
      m_indexCapacity(capacity * 6 / 4)
{
    if (m_device == nullptr)
        return;
    if (FAILED(m_device->CreateVertexBuffer(static_cast<UINT>(m_capacity) * sizeof(KelSpriteVertex),
                                            D3DUSAGE_WRITEONLY, kKelSpriteFvf, D3DPOOL_MANAGED,
                                            &m_vertexBuffer)))
    {
        m_vertexBuffer = nullptr;
        KelLogPrintf("创建顶点缓冲区失败 error ");
        return;
    }
    if (FAILED(m_device->CreateIndexBuffer(static_cast<UINT>(m_indexCapacity) * sizeof(uint16_t),
                                           D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                           &m_indexBuffer)))
    {
        m_indexBuffer = nullptr;
        KelLogPrintf("创建顶点索引缓冲区失败 error ");
        return;
    }
    BYTE* data = nullptr;
    if (FAILED(m_indexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD)))
    {
        m_indexBuffer->Release();
        m_indexBuffer = nullptr;
        KelLogPrintf("创建顶点索引缓冲区失败 error ");
        return;
    }
    uint16_t* indices = reinterpret_cast<uint16_t*>(data);
    for (int quad = 0; quad < m_capacity / 4; ++quad)
    {
        uint16_t base = static_cast<uint16_t>(quad * 4);
        uint16_t* out = indices + quad * 6;
        out[0] = base;
        out[1] = static_cast<uint16_t>(base + 1);
        out[2] = static_cast<uint16_t>(base + 2);
        out[3] = base;
        out[4] = static_cast<uint16_t>(base + 2);
        out[5] = static_cast<uint16_t>(base + 3);
    }
    m_indexBuffer->Unlock();
}

TextureBufferCL::~TextureBufferCL()
{
    if (m_vertexBuffer != nullptr)
        m_vertexBuffer->Release();
    if (m_indexBuffer != nullptr)
        m_indexBuffer->Release();
}

KelSpriteVertex* TextureBufferCL::AppendQuad()
{
    KelCountQuad();
    if (m_indexCount >= m_indexCapacity)
        Flush(true);
    KelSpriteVertex* quad = m_vertices.get() + m_vertexCount;
    m_vertexCount += 4;
    m_indexCount += 6;
    return quad;
}

void TextureBufferCL::Flush(bool keepBinding)
{
    KelImageCL* image = m_image;
    if (!keepBinding)
        m_image = nullptr;
    int vertexCount = m_vertexCount;
    int indexCount = m_indexCount;
    m_vertexCount = 0;
    m_indexCount = 0;
    if (vertexCount == 0 || m_vertexBuffer == nullptr || m_indexBuffer == nullptr)
        return;

    IDirect3DTexture8* texture = nullptr;
    if (image != nullptr)
    {
        // The background loader has not delivered the texture yet: the picture shows up in a
        // later frame.
        texture = image->GetTextureM();
        if (texture == nullptr)
            return;
    }
    m_device->SetTexture(0, texture);

    BYTE* data = nullptr;
    UINT bytes = static_cast<UINT>(vertexCount) * sizeof(KelSpriteVertex);
    if (FAILED(m_vertexBuffer->Lock(0, bytes, &data, D3DLOCK_DISCARD)))
        return;
    std::memcpy(data, m_vertices.get(), bytes);
    m_vertexBuffer->Unlock();

    m_device->SetVertexShader(kKelSpriteFvf);
    m_device->SetStreamSource(0, m_vertexBuffer, sizeof(KelSpriteVertex));
    m_device->SetIndices(m_indexBuffer, 0);
    if (FAILED(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertexCount), 0,
                                              static_cast<UINT>(indexCount / 3))))
        KelLogPrintf("绘制2D面片出错 KelSpriteCL::TextureBufferCL::Flush::DrawIndexedPrimitive  error");
}

namespace
{

bool IsIdentity(const D3DXMATRIX& matrix)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (matrix.m[row][column] != (row == column ? 1.0f : 0.0f))
                return false;
    return true;
}

// The point (x, y, 0) through the affine part of the matrix.
void TransformPoint(const D3DXMATRIX& m, float& x, float& y)
{
    float tx = x * m.m[0][0] + y * m.m[1][0] + m.m[3][0];
    float ty = x * m.m[0][1] + y * m.m[1][1] + m.m[3][1];
    x = tx;
    y = ty;
}

// The part of the image a quad shows and its texture coordinates. The coordinates divide by
// the size minus one, so that the last texel column and row are reached at the far edge; a one
// pixel wide image divides by one instead of zero.
struct SourceArea
{
    int width = 0;
    int height = 0;
    float u0 = 0.0f;
    float v0 = 0.0f;
    float u1 = 0.0f;
    float v1 = 0.0f;
};

SourceArea MeasureSource(KelImageCL* image, const KelRect* source)
{
    SourceArea area;
    if (image == nullptr)
    {
        area.width = source->Width();
        area.height = source->Height();
        return area;
    }
    std::pair<int, int> size = image->GetSizeM();
    int imageWidth = size.first;
    int imageHeight = size.second;
    int left = 0;
    int top = 0;
    area.width = imageWidth;
    area.height = imageHeight;
    if (source != nullptr)
    {
        left = std::min(source->left, imageWidth);
        top = std::min(source->top, imageHeight);
        area.width = std::min(source->Width(), imageWidth);
        area.height = std::min(source->Height(), imageHeight);
    }
    float du = imageWidth > 1 ? static_cast<float>(imageWidth - 1) : 1.0f;
    float dv = imageHeight > 1 ? static_cast<float>(imageHeight - 1) : 1.0f;
    area.u0 = static_cast<float>(left) / du;
    area.v0 = static_cast<float>(top) / dv;
    area.u1 = static_cast<float>(left + area.width) / du;
    area.v1 = static_cast<float>(top + area.height) / dv;
    return area;
}

// Fills a quad just appended to a batch; false when none could be appended (no device).
bool WriteQuad(KelSpriteVertex* quad, const float (&x)[4], const float (&y)[4], const SourceArea& area,
               D3DCOLOR color)
{
    if (quad == nullptr)
        return false;
    const float u[4] = {area.u0, area.u1, area.u1, area.u0};
    const float v[4] = {area.v0, area.v0, area.v1, area.v1};
    for (int i = 0; i < 4; ++i)
        quad[i] = KelSpriteVertex{x[i], y[i], -1.0f, color, u[i], v[i]};
    return true;
}

KelImageCL* DrawnImage(KelImageCL* image)
{
    if (image == nullptr)
        return nullptr;
    KelImageCL* current = image->GetImage();
    return current != nullptr ? current : image;
}

} // namespace

KelSpriteCL::KelSpriteCL(IDirect3DDevice8* device, int maxBuffers, int bufferVertices)
    : m_device(device), m_maxBuffers(std::max(1, maxBuffers))
{
    // Whole quads only, and no index beyond what 16 bits address.
    m_bufferVertices = std::clamp(bufferVertices, 4, 65536) / 4 * 4;
    D3DXMatrixIdentity(&m_matrix);
    if (m_device == nullptr)
        KelLogPrintf("创建KelSpriteCL时传入的设备指针为空 error");
    m_buffers.reserve(static_cast<size_t>(m_maxBuffers));
}

KelSpriteCL::~KelSpriteCL()
{
    // The device keeps a reference to the buffers bound last; let them go with the sprite.
    if (m_device != nullptr && !m_buffers.empty())
    {
        m_device->SetStreamSource(0, nullptr, 0);
        m_device->SetIndices(nullptr, 0);
    }
}

TextureBufferCL* KelSpriteCL::SelectBuffer(KelImageCL* image)
{
    for (const std::unique_ptr<TextureBufferCL>& buffer : m_buffers)
        if (buffer->GetImage() == image)
            return buffer.get();
    if (static_cast<int>(m_buffers.size()) < m_maxBuffers)
    {
        m_buffers.push_back(std::make_unique<TextureBufferCL>(m_device, m_bufferVertices));
        m_buffers.back()->Bind(image);
        return m_buffers.back().get();
    }
    // A buffer whose quads were all drawn is free. Flushing a loaded one instead would put its
    // quads on the target ahead of what the canvas still holds in its other batch: text would
    // end up beneath the pictures queued before it.
    for (const std::unique_ptr<TextureBufferCL>& buffer : m_buffers)
        if (buffer->GetVertexCount() == 0)
        {
            buffer->Bind(image);
            return buffer.get();
        }
    TextureBufferCL* fullest = m_buffers.front().get();
    for (const std::unique_ptr<TextureBufferCL>& buffer : m_buffers)
        if (buffer->GetVertexCount() >= fullest->GetVertexCount())
            fullest = buffer.get();
    if (m_beneath != nullptr)
        m_beneath->Flush();
    fullest->Flush(false);
    fullest->Bind(image);
    return fullest;
}

// A full buffer of pictures drawn on its own would put its quads on the target ahead of quads the
// other buffers queued before them (a table's background would cover the first cards of a full
// hand), so a picture batch draws everything it queued, in the order the end of the frame draws
// it, keeping the buffers' textures. A text batch only needs what lies beneath it drawn first:
// text is drawn over the frame's pictures, and drawing more of it early would put it beneath
// pictures queued later.
void KelSpriteCL::DrawQueued()
{
    if (m_beneath != nullptr)
    {
        m_beneath->Flush();
        return;
    }
    for (const std::unique_ptr<TextureBufferCL>& buffer : m_buffers)
        buffer->Flush(true);
}

KelSpriteVertex* KelSpriteCL::AppendQuad(KelImageCL* image)
{
    if (m_device == nullptr)
        return nullptr;
    TextureBufferCL* buffer = SelectBuffer(image);
    if (buffer->IsFull())
        DrawQueued();
    return buffer->AppendQuad();
}

bool KelSpriteCL::Draw(KelImageCL* image, const KelRect* source, const D3DXVECTOR2* position,
                       const D3DXVECTOR2* scale, float angle, D3DCOLOR color)
{
    KEL_TRY
    image = DrawnImage(image);
    if (image == nullptr && source == nullptr)
        return false;
    SourceArea area = MeasureSource(image, source);
    float ox = 0.0f;
    float oy = 0.0f;
    if (image != nullptr)
    {
        ox = static_cast<float>(image->GetRenderOffsetX());
        oy = static_cast<float>(image->GetRenderOffsetY());
    }
    float w = static_cast<float>(area.width);
    float h = static_cast<float>(area.height);
    float x[4] = {ox, ox + w, ox + w, ox};
    float y[4] = {oy, oy, oy + h, oy + h};
    if (angle != 0.0f)
    {
        // Turned around the middle of the (scaled) source rectangle, in whole pixels.
        float sx = scale != nullptr ? scale->x : 1.0f;
        float sy = scale != nullptr ? scale->y : 1.0f;
        D3DXVECTOR2 centre{static_cast<float>(area.width / 2) * sx, static_cast<float>(area.height / 2) * sy};
        D3DXMATRIX matrix;
        D3DXMatrixTransformation2D(&matrix, nullptr, 0.0f, scale, &centre, angle, nullptr);
        for (int i = 0; i < 4; ++i)
            TransformPoint(matrix, x[i], y[i]);
    }
    else if (scale != nullptr && (scale->x != 1.0f || scale->y != 1.0f))
    {
        for (int i = 0; i < 4; ++i)
        {
            x[i] *= scale->x;
            y[i] *= scale->y;
        }
    }
    if (position != nullptr)
        for (int i = 0; i < 4; ++i)
        {
            x[i] += position->x;
            y[i] += position->y;
        }
    return WriteQuad(AppendQuad(image), x, y, area, color);
    KEL_CATCH
}

bool KelSpriteCL::DrawTransformed(KelImageCL* image, const KelRect* source, const D3DXVECTOR2* position,
                                  D3DCOLOR color)
{
    KEL_TRY
    image = DrawnImage(image);
    if (image == nullptr && source == nullptr)
        return false;
    SourceArea area = MeasureSource(image, source);
    float px = position != nullptr ? position->x : 0.0f;
    float py = position != nullptr ? position->y : 0.0f;
    float w = static_cast<float>(area.width);
    float h = static_cast<float>(area.height);
    float x[4] = {px, px + w, px + w, px};
    float y[4] = {py, py, py + h, py + h};
    // The position goes through the matrix with the corners: text of a scaled font is laid out
    // in unscaled units, so its glyphs must land at scaled positions.
    if (!m_identity)
        for (int i = 0; i < 4; ++i)
            TransformPoint(m_matrix, x[i], y[i]);
    return WriteQuad(AppendQuad(image), x, y, area, color);
    KEL_CATCH
}

bool KelSpriteCL::DrawStretched(KelImageCL* image, const KelRect* source, const KelRect* destination,
                                D3DCOLOR color)
{
    KEL_TRY
    if (destination == nullptr)
        return false;
    image = DrawnImage(image);
    SourceArea area = MeasureSource(image, image != nullptr ? source : destination);
    float left = static_cast<float>(destination->left);
    float top = static_cast<float>(destination->top);
    float right = static_cast<float>(destination->right);
    float bottom = static_cast<float>(destination->bottom);
    const float x[4] = {left, right, right, left};
    const float y[4] = {top, top, bottom, bottom};
    return WriteQuad(AppendQuad(image), x, y, area, color);
    KEL_CATCH
}

bool KelSpriteCL::DrawQuad(KelImageCL* image, const KelQuadVertex* vertices)
{
    KEL_TRY
    if (vertices == nullptr)
        return false;
    image = DrawnImage(image);
    KelSpriteVertex* quad = AppendQuad(image);
    if (quad == nullptr)
        return false;
    for (int i = 0; i < 4; ++i)
    {
        float x = vertices[i].x;
        float y = vertices[i].y;
        if (!m_identity)
            TransformPoint(m_matrix, x, y);
        quad[i] = KelSpriteVertex{x, y, -1.0f, vertices[i].color, vertices[i].u, vertices[i].v};
    }
    return true;
    KEL_CATCH
}

bool KelSpriteCL::Begin()
{
    return true;
}

bool KelSpriteCL::End()
{
    return true;
}

void KelSpriteCL::Flush()
{
    KEL_TRY
    if (m_beneath != nullptr)
        m_beneath->Flush();
    for (const std::unique_ptr<TextureBufferCL>& buffer : m_buffers)
        buffer->Flush(false);
    KEL_CATCH
}

const D3DXMATRIX& KelSpriteCL::GetMatrix()
{
    return m_matrix;
}

void KelSpriteCL::SetMatrix(const D3DXMATRIX& matrix)
{
    m_matrix = matrix;
    m_identity = IsIdentity(matrix);
}

// The buffers are in the managed pool: the device keeps them through a loss and a reset.
bool KelSpriteCL::OnLostDevice()
{
    return true;
}

bool KelSpriteCL::OnResetDevice()
{
    return true;
}

int KelSpriteCL::GetBufferCount() const
{
    return static_cast<int>(m_buffers.size());
}

int KelSpriteCL::GetQueuedVertices(int buffer) const
{
    if (buffer < 0 || buffer >= static_cast<int>(m_buffers.size()))
        return 0;
    return m_buffers[static_cast<size_t>(buffer)]->GetVertexCount();
}

KelImageCL* KelSpriteCL::GetBoundImage(int buffer) const
{
    if (buffer < 0 || buffer >= static_cast<int>(m_buffers.size()))
        return nullptr;
    return m_buffers[static_cast<size_t>(buffer)]->GetImage();
}
