#pragma once
// Stacks of device states, so that drawing code can change a state and put the previous one back
// without knowing what it was.
//
// Render states: a push sets the value on the device only when the state's stack is empty or
// the value differs from the top, so repeating a value costs no device call. A pop goes back to
// the value below the top (set only when it differs); popping the last entry leaves the device
// as it is, because nothing records what was there before the first push.
//
// Viewport and magnification filter: a push sets the new value and stacks it; a pop sets the
// value below it, if any. The filter is set on texture stages 0 and 1.
//
// World, view and projection matrices: a push saves the device's current matrix and then sets
// the new one; a pop puts the saved matrix back.
//
// Texture-stage states: the first push of a stage's state saves the device's current value
// beneath the new one, so that popping every push restores it; the saved value is never popped.
//
// Pops of the viewport and matrices without a matching push are written to the log; other
// unmatched pops are ignored. Every operation ignores a null device, a null viewport or matrix,
// and a texture stage outside 0..7.

#include <map>
#include <vector>

#include "D3D8/D3D8Types.h"
#include "KelSingletonCL.h"

class IDirect3DDevice8;

class KelRenderStateManagerCL : public KelSingletonCL<KelRenderStateManagerCL>
{
public:
    static constexpr DWORD kTextureStages = 8;

    KelRenderStateManagerCL();

    virtual void PushRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value);
    virtual void PopRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state);
    virtual void PushViewPort(IDirect3DDevice8* device, const D3DVIEWPORT8* viewport);
    virtual void PopViewPort(IDirect3DDevice8* device);
    virtual void PushMagFilter(IDirect3DDevice8* device, DWORD filter);
    virtual void PopMagFilter(IDirect3DDevice8* device);
    virtual void PushWorldMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
    virtual void PopWorldMatrix(IDirect3DDevice8* device);
    virtual void PushViewMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
    virtual void PopViewMatrix(IDirect3DDevice8* device);
    virtual void PushProjectionMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
    virtual void PopProjectionMatrix(IDirect3DDevice8* device);
    virtual void PushTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                       DWORD value);
    virtual void PopTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type);

    virtual ~KelRenderStateManagerCL();

private:
    void PushTransform(IDirect3DDevice8* device, D3DTRANSFORMSTATETYPE type, std::vector<D3DMATRIX>& stack,
                       const D3DMATRIX* matrix);
    void PopTransform(IDirect3DDevice8* device, D3DTRANSFORMSTATETYPE type, std::vector<D3DMATRIX>& stack,
                      const char* pairingError);

    std::map<DWORD, std::vector<DWORD>> m_renderStates;
    std::vector<D3DVIEWPORT8> m_viewports;
    std::vector<DWORD> m_magFilters;
    std::vector<D3DMATRIX> m_worldMatrices;
    std::vector<D3DMATRIX> m_viewMatrices;
    std::vector<D3DMATRIX> m_projectionMatrices;
    std::map<DWORD, std::vector<DWORD>> m_stageStates[kTextureStages];
};

// Render states pushed on the current manager for as long as the scope lives: they are popped in
// reverse order when it ends, also when an exception leaves it, so that a failed draw cannot
// leave the device in its blend.
class KelRenderStateScopeCL
{
public:
    KelRenderStateScopeCL() = default;
    ~KelRenderStateScopeCL();
    KelRenderStateScopeCL(const KelRenderStateScopeCL&) = delete;
    KelRenderStateScopeCL& operator=(const KelRenderStateScopeCL&) = delete;

    void Push(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value);

private:
    static constexpr int kMaxStates = 4;
    IDirect3DDevice8* m_device = nullptr;
    D3DRENDERSTATETYPE m_states[kMaxStates] = {};
    int m_count = 0;
};

// The operations on the current render-state manager.
void KelPushRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state, DWORD value);
void KelPopRenderState(IDirect3DDevice8* device, D3DRENDERSTATETYPE state);
void KelPushViewPort(IDirect3DDevice8* device, const D3DVIEWPORT8* viewport);
void KelPopViewPort(IDirect3DDevice8* device);
void KelPushMagFilter(IDirect3DDevice8* device, DWORD filter);
void KelPopMagFilter(IDirect3DDevice8* device);
void KelPushWorldMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
void KelPopWorldMatrix(IDirect3DDevice8* device);
void KelPushViewMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
void KelPopViewMatrix(IDirect3DDevice8* device);
void KelPushProjectionMatrix(IDirect3DDevice8* device, const D3DMATRIX* matrix);
void KelPopProjectionMatrix(IDirect3DDevice8* device);
void KelPushTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                              DWORD value);
void KelPopTextureStageState(IDirect3DDevice8* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type);
