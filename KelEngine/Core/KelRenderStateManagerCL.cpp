#include "KelRenderStateManagerCL.h"

#include <cassert>

#include "D3D8/D3D8.h"
#include "KelGuard.h"
#include "KelLogCL.h"

KelRenderStateManagerCL::KelRenderStateManagerCL() = default;

KelRenderStateManagerCL::~KelRenderStateManagerCL() = default;

void KelRenderStateManagerCL::PushRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value)
{
    KEL_TRY
    if (device == nullptr)
        return;
    std::vector<DWORD>& stack = m_renderStates[state];
    if (stack.empty() || stack.back() != value)
        device->SetRenderState(state, value);
    stack.push_back(value);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state)
{
    KEL_TRY
    if (device == nullptr)
        return;
    auto found = m_renderStates.find(state);
    if (found == m_renderStates.end() || found->second.empty())
        return;
    std::vector<DWORD>& stack = found->second;
    if (stack.size() >= 2)
    {
        DWORD below = stack[stack.size() - 2];
        if (below != stack.back())
            device->SetRenderState(state, below);
    }
    stack.pop_back();
    KEL_CATCH
}

void KelRenderStateManagerCL::PushViewPort(IDirect3DDevice8* device, const D3DVIEWPORT8* viewport)
{
    KEL_TRY
    if (device == nullptr || viewport == nullptr)
        return;
    device->SetViewport(viewport);
    m_viewports.push_back(*viewport);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopViewPort(IDirect3DDevice8* device)
{
    KEL_TRY
    if (device == nullptr)
        return;
    if (m_viewports.empty())
    {
        KelLogPrintf("PushViewPort & PopViewPort 没有成对出现 error ~! ");
        return;
    }
    m_viewports.pop_back();
    if (!m_viewports.empty())
        device->SetViewport(&m_viewports.back());
    KEL_CATCH
}

void KelRenderStateManagerCL::PushMagFilter(IDirect3DDevice8* device, DWORD filter)
{
    KEL_TRY
    if (device == nullptr)
        return;
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    device->SetTextureStageState(1, D3DTSS_MAGFILTER, filter);
    m_magFilters.push_back(filter);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopMagFilter(IDirect3DDevice8* device)
{
    KEL_TRY
    if (device == nullptr || m_magFilters.empty())
        return;
    m_magFilters.pop_back();
    if (!m_magFilters.empty())
    {
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, m_magFilters.back());
        device->SetTextureStageState(1, D3DTSS_MAGFILTER, m_magFilters.back());
    }
    KEL_CATCH
}

void KelRenderStateManagerCL::PushTransform(IDirect3DDevice8* device, D3DTRANSFORMSTATETYPE type,
                                            std::vector<D3DMATRIX>& stack, const D3DMATRIX* matrix)
{
    if (device == nullptr || matrix == nullptr)
        return;
    D3DMATRIX saved{};
    device->GetTransform(type, &saved);
    stack.push_back(saved);
    device->SetTransform(type, matrix);
}

void KelRenderStateManagerCL::PopTransform(IDirect3DDevice8* device, D3DTRANSFORMSTATETYPE type,
                                           std::vector<D3DMATRIX>& stack, const char* pairingError)
{
    if (device == nullptr)
        return;
    if (stack.empty())
    {
        KelLogPrintf("%s", pairingError);
        return;
    }
    device->SetTransform(type, &stack.back());
    stack.pop_back();
}

void KelRenderStateManagerCL::PushWorldMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KEL_TRY
    PushTransform(device, D3DTS_WORLD, m_worldMatrices, matrix);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopWorldMatrix(IDirect3DDevice8* device)
{
    KEL_TRY
    PopTransform(device, D3DTS_WORLD, m_worldMatrices, "PushWorldMatrix & PopWorldMatrix 没有成对出现 error");
    KEL_CATCH
}

void KelRenderStateManagerCL::PushViewMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KEL_TRY
    PushTransform(device, D3DTS_VIEW, m_viewMatrices, matrix);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopViewMatrix(IDirect3DDevice8* device)
{
    KEL_TRY
    PopTransform(device, D3DTS_VIEW, m_viewMatrices, "PushViewMatrix & PopViewMatrix 没有成对出现 error");
    KEL_CATCH
}

void KelRenderStateManagerCL::PushProjectionMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KEL_TRY
    PushTransform(device, D3DTS_PROJECTION, m_projectionMatrices, matrix);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopProjectionMatrix(IDirect3DDevice8* device)
{
    KEL_TRY
    PopTransform(device, D3DTS_PROJECTION, m_projectionMatrices,
                 "PushProjectionMatrix & PopProjectionMatrix 没有成对出现 error");
    KEL_CATCH
}

void KelRenderStateManagerCL::PushTextureStageState(IDirect3DDevice8* device, DWORD stage,
                                                    D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    KEL_TRY
    if (device == nullptr || stage >= kTextureStages)
        return;
    std::vector<DWORD>& stack = m_stageStates[stage][type];
    if (stack.empty())
    {
        DWORD current = 0;
        device->GetTextureStageState(stage, type, &current);
        stack.push_back(current);
    }
    device->SetTextureStageState(stage, type, value);
    stack.push_back(value);
    KEL_CATCH
}

void KelRenderStateManagerCL::PopTextureStageState(IDirect3DDevice8* device, DWORD stage,
                                                   D3DTEXTURESTAGESTATETYPE type)
{
    KEL_TRY
    if (device == nullptr || stage >= kTextureStages)
        return;
    auto found = m_stageStates[stage].find(type);
    if (found == m_stageStates[stage].end() || found->second.size() <= 1)
        return;
    std::vector<DWORD>& stack = found->second;
    stack.pop_back();
    device->SetTextureStageState(stage, type, stack.back());
    KEL_CATCH
}

void KelPushRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value)
{
    KelRenderStateManagerCL::GetInstance()->PushRenderState(device, state, value);
}

void KelPopRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state)
{
    KelRenderStateManagerCL::GetInstance()->PopRenderState(device, state);
}

void KelPushViewPort(IDirect3DDevice8* device, const D3DVIEWPORT8* viewport)
{
    KelRenderStateManagerCL::GetInstance()->PushViewPort(device, viewport);
}

void KelPopViewPort(IDirect3DDevice8* device)
{
    KelRenderStateManagerCL::GetInstance()->PopViewPort(device);
}

void KelPushMagFilter(IDirect3DDevice8* device, DWORD filter)
{
    KelRenderStateManagerCL::GetInstance()->PushMagFilter(device, filter);
}

void KelPopMagFilter(IDirect3DDevice8* device)
{
    KelRenderStateManagerCL::GetInstance()->PopMagFilter(device);
}

void KelPushWorldMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KelRenderStateManagerCL::GetInstance()->PushWorldMatrix(device, matrix);
}

void KelPopWorldMatrix(IDirect3DDevice8* device)
{
    KelRenderStateManagerCL::GetInstance()->PopWorldMatrix(device);
}

void KelPushViewMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KelRenderStateManagerCL::GetInstance()->PushViewMatrix(device, matrix);
}

void KelPopViewMatrix(IDirect3DDevice8* device)
{
    KelRenderStateManagerCL::GetInstance()->PopViewMatrix(device);
}

void KelPushProjectionMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix)
{
    KelRenderStateManagerCL::GetInstance()->PushProjectionMatrix(device, matrix);
}

void KelPopProjectionMatrix(IDirect3DDevice8* device)
{
    KelRenderStateManagerCL::GetInstance()->PopProjectionMatrix(device);
}

void KelPushTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                              DWORD value)
{
    KelRenderStateManagerCL::GetInstance()->PushTextureStageState(device, stage, type, value);
}

void KelPopTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type)
{
    KelRenderStateManagerCL::GetInstance()->PopTextureStageState(device, stage, type);
}

void KelRenderStateScopeCL::Push(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value)
{
    assert(m_count < kMaxStates && (m_device == nullptr || m_device == device));
    if (m_count >= kMaxStates)
        return;
    KelPushRenderState(device, state, value);
    m_device = device;
    m_states[m_count++] = state;
}

KelRenderStateScopeCL::~KelRenderStateScopeCL()
{
    while (m_count > 0)
        KelPopRenderState(m_device, m_states[--m_count]);
}
