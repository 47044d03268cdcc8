#include "KelLineCL.h"

#include <algorithm>
#include <cstring>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelRenderStateManagerCL.h"

KelLineCL::KelLineCL(IDirect3DDevice8* device, int capacity)
    : m_device(device), m_capacity(std::clamp(capacity, 4, 65536))
{
    // Reserved once: adding lines never allocates.
    m_vertices.reserve(static_cast<size_t>(m_capacity));
    m_indices.reserve(static_cast<size_t>(m_capacity));
    if (m_device == nullptr)
        return;
    if (FAILED(m_device->CreateVertexBuffer(static_cast<UINT>(m_capacity) * sizeof(KelLineVertex), 0,
                                            kKelLineFvf, D3DPOOL_MANAGED, &m_vertexBuffer)))
    {
        m_vertexBuffer = nullptr;
        KelLogPrintf("创建顶点缓冲区失败 error ");
        return;
    }
    if (FAILED(m_device->CreateIndexBuffer(static_cast<UINT>(m_capacity) * sizeof(uint16_t), 0,
                                           D3DFMT_INDEX16, D3DPOOL_MANAGED, &m_indexBuffer)))
    {
        m_indexBuffer = nullptr;
        KelLogPrintf("创建顶点索引缓冲区失败 error ");
    }
}

KelLineCL::~KelLineCL()
{
    // The device keeps a reference to the buffers bound last; let them go with the batch.
    if (m_device != nullptr && m_vertexBuffer != nullptr)
    {
        m_device->SetStreamSource(0, nullptr, 0);
        m_device->SetIndices(nullptr, 0);
    }
    if (m_vertexBuffer != nullptr)
        m_vertexBuffer->Release();
    if (m_indexBuffer != nullptr)
        m_indexBuffer->Release();
}

bool KelLineCL::Begin()
{
    return true;
}

bool KelLineCL::End()
{
    return true;
}

void KelLineCL::SetColor(D3DCOLOR color)
{
    m_color = color;
}

void KelLineCL::AddLine(float x1, float y1, float z1, float x2, float y2, float z2)
{
    KEL_TRY
    if (static_cast<int>(m_indices.size()) >= m_capacity - 2)
        Flush();
    uint16_t base = static_cast<uint16_t>(m_vertices.size());
    m_vertices.push_back(KelLineVertex{x1, y1, z1, m_color});
    m_vertices.push_back(KelLineVertex{x2, y2, z2, m_color});
    m_indices.push_back(base);
    m_indices.push_back(static_cast<uint16_t>(base + 1));
    KEL_CATCH
}

void KelLineCL::AddPoint(float x, float y, float z)
{
    KEL_TRY
    if (static_cast<int>(m_indices.size()) >= m_capacity - 2)
        Flush();
    uint16_t index = static_cast<uint16_t>(m_vertices.size());
    // The segment comes from the previous vertex; the first point of a batch has none, so its
    // segment has no length.
    uint16_t previous = index == 0 ? index : static_cast<uint16_t>(index - 1);
    m_vertices.push_back(KelLineVertex{x, y, z, m_color});
    m_indices.push_back(previous);
    m_indices.push_back(index);
    KEL_CATCH
}

void KelLineCL::SetWidth(float width)
{
    m_width = width;
}

bool KelLineCL::Flush()
{
    KEL_TRY
    if (m_indices.empty())
        return false;
    UINT vertexCount = static_cast<UINT>(m_vertices.size());
    UINT indexCount = static_cast<UINT>(m_indices.size());
    if (m_vertexBuffer != nullptr && m_indexBuffer != nullptr)
    {
        BYTE* data = nullptr;
        bool copied = false;
        if (SUCCEEDED(m_vertexBuffer->Lock(0, vertexCount * sizeof(KelLineVertex), &data, D3DLOCK_DISCARD)))
        {
            std::memcpy(data, m_vertices.data(), vertexCount * sizeof(KelLineVertex));
            m_vertexBuffer->Unlock();
            if (SUCCEEDED(m_indexBuffer->Lock(0, indexCount * sizeof(uint16_t), &data, D3DLOCK_DISCARD)))
            {
                std::memcpy(data, m_indices.data(), indexCount * sizeof(uint16_t));
                m_indexBuffer->Unlock();
                copied = true;
            }
        }
        if (copied)
        {
            m_device->SetVertexShader(kKelLineFvf);
            m_device->SetStreamSource(0, m_vertexBuffer, sizeof(KelLineVertex));
            m_device->SetIndices(m_indexBuffer, 0);
            m_device->SetTexture(0, nullptr);
            m_device->SetTexture(1, nullptr);
            HRESULT result = D3D_OK;
            {
                KelRenderStateScopeCL states;
                states.Push(m_device, D3DRS_LIGHTING, FALSE);
                result = m_device->DrawIndexedPrimitive(D3DPT_LINELIST, 0, vertexCount, 0, indexCount / 2);
            }
            if (FAILED(result))
                KelLogPrintf("绘制线段出错 KelLineCL::Flush::DrawIndexedPrimitive  error");
        }
    }
    m_vertices.clear();
    m_indices.clear();
    return true;
    KEL_CATCH
}

// The buffers are in the managed pool: the device keeps them through a loss and a reset.
bool KelLineCL::OnLostDevice()
{
    return true;
}

bool KelLineCL::OnResetDevice()
{
    return true;
}
