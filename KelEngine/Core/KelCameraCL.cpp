#include "KelCameraCL.h"

#include <cmath>

#include "KelCanvasCL.h"
#include "KelGuard.h"
#include "KelImageCL.h"
#include "KelLogCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelScreenManagerCL.h"

namespace
{

// The perspective of the 3D mode: the view's width at the near plane, for a square target.
constexpr float kPerspectiveWidth = 0.7072136f;

D3DXVECTOR3 Add(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3{a.x + b.x, a.y + b.y, a.z + b.z};
}

D3DXVECTOR3 Scale(const D3DXVECTOR3& v, float s)
{
    return D3DXVECTOR3{v.x * s, v.y * s, v.z * s};
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

D3DXVECTOR3 Normalize(const D3DXVECTOR3& v)
{
    float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? Scale(v, 1.0f / length) : v;
}

// Turns v by `angle` radians around the unit axis (Rodrigues' formula).
D3DXVECTOR3 RotateAround(const D3DXVECTOR3& v, const D3DXVECTOR3& axis, float angle)
{
    float c = std::cos(angle);
    float s = std::sin(angle);
    return Add(Add(Scale(v, c), Scale(Cross(axis, v), s)), Scale(axis, Dot(axis, v) * (1.0f - c)));
}

void LogBeginSceneFailure(HRESULT result)
{
    switch (result)
    {
    case D3DERR_INVALIDCALL:
        KelLogPrintf("创建RenderToSurface::BeginScene失败 D3DERR_INVALIDCALL");
        break;
    case E_OUTOFMEMORY:
        KelLogPrintf("创建RenderToSurface::BeginScene失败 E_OUTOFMEMORY");
        break;
    case D3DERR_OUTOFVIDEOMEMORY:
        KelLogPrintf("创建RenderToSurface::BeginScene失败 D3DERR_OUTOFVIDEOMEMORY");
        break;
    case D3DXERR_INVALIDDATA:
        KelLogPrintf("创建RenderToSurface::BeginScene失败 D3DXERR_INVALIDDATA");
        break;
    default:
        KelLogPrintf("创建RenderToSurface::BeginScene失败");
        break;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Drawing into an image

KelRenderToImageCL::KelRenderToImageCL(IDirect3DDevice8* device) : m_device(device) {}

KelRenderToImageCL::~KelRenderToImageCL()
{
    if (m_renderToSurface != nullptr)
        m_renderToSurface->Release();
}

bool KelRenderToImageCL::Begin(KelImageCL* image, const KelRect* rect, bool depth)
{
    KEL_TRY
    IDirect3DSurface8* surface = image != nullptr ? image->GetSurfaceM() : nullptr;
    D3DSURFACE_DESC desc{};
    if (surface == nullptr || FAILED(surface->GetDesc(&desc)))
    {
        KelLogPrintf("KelRenderToImageCL::Begin: the image has no surface to draw into");
        return false;
    }
    // An object left from a drawing whose end failed may be of another size; it would refuse
    // this surface.
    if (m_renderToSurface != nullptr)
    {
        D3DXRTS_DESC current{};
        m_renderToSurface->GetDesc(&current);
        if (current.Width != desc.Width || current.Height != desc.Height || current.Format != desc.Format ||
            (current.DepthStencil != FALSE) != depth)
        {
            m_renderToSurface->Release();
            m_renderToSurface = nullptr;
        }
    }
    if (m_renderToSurface == nullptr &&
        FAILED(D3DXCreateRenderToSurface(m_device, desc.Width, desc.Height, desc.Format, depth ? TRUE : FALSE,
                                         D3DFMT_D16, &m_renderToSurface)))
    {
        m_renderToSurface = nullptr;
        KelLogPrintf("创建RenderToSurface失败 width:%d height:%d ", static_cast<int>(desc.Width),
                     static_cast<int>(desc.Height));
        return false;
    }
    m_depth = depth;

    D3DVIEWPORT8 viewport{};
    if (rect != nullptr)
        viewport = D3DVIEWPORT8{static_cast<DWORD>(rect->left),
                                static_cast<DWORD>(rect->top),
                                static_cast<DWORD>(rect->Width()),
                                static_cast<DWORD>(rect->Height()),
                                0.0f,
                                1.0f};
    HRESULT result = m_renderToSurface->BeginScene(surface, rect != nullptr ? &viewport : nullptr);
    if (FAILED(result))
    {
        m_renderToSurface->Release();
        m_renderToSurface = nullptr;
        LogBeginSceneFailure(result);
        return false;
    }
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | (depth ? D3DCLEAR_ZBUFFER : 0u), 0, 1.0f, 0);
    return true;
    KEL_CATCH
}

bool KelRenderToImageCL::End()
{
    KEL_TRY
    if (m_renderToSurface == nullptr)
        return false;
    if (FAILED(m_renderToSurface->EndScene()))
        return false;
    // Made again by the next drawing: the object holds a depth buffer in the default pool, which
    // would stop the device from being reset.
    m_renderToSurface->Release();
    m_renderToSurface = nullptr;
    return true;
    KEL_CATCH
}

bool KelRenderToImageCL::OnLostDevice()
{
    if (m_renderToSurface != nullptr)
    {
        m_renderToSurface->Release();
        m_renderToSurface = nullptr;
    }
    return true;
}

bool KelRenderToImageCL::OnResetDevice()
{
    return true;
}

// ---------------------------------------------------------------------------------------------
// Camera

KelCameraCL::KelCameraCL(IDirect3DDevice8* device)
    : m_device(device), m_renderToImage(std::make_unique<KelRenderToImageCL>(device))
{
    m_viewport = D3DVIEWPORT8{0, 0, 0, 0, 0.0f, 1.0f};
    Reset();
}

KelCameraCL::~KelCameraCL() = default;

bool KelCameraCL::Begin()
{
    KEL_TRY
    if (m_canvas != nullptr)
        m_canvas->Begin();
    KelPushViewPort(m_device, &m_viewport);
    KelPushWorldMatrix(m_device, &m_world);
    KelPushViewMatrix(m_device, &m_view);
    KelPushProjectionMatrix(m_device, &m_projection);
    KelPushRenderState(m_device, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    KelPushRenderState(m_device, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    KelPushRenderState(m_device, D3DRS_CULLMODE, D3DCULL_CCW);
    KelPushRenderState(m_device, D3DRS_FILLMODE, D3DFILL_SOLID);
    KelPushRenderState(m_device, D3DRS_ALPHABLENDENABLE, TRUE);
    KelPushRenderState(m_device, D3DRS_ZENABLE, FALSE);
    KelPushRenderState(m_device, D3DRS_ZWRITEENABLE, FALSE);
    KelPushRenderState(m_device, D3DRS_ZFUNC, D3DCMP_ALWAYS);
    KelPushRenderState(m_device, D3DRS_ALPHAREF, 10);
    KelPushRenderState(m_device, D3DRS_LIGHTING, FALSE);
    KelPushRenderState(m_device, D3DRS_COLORVERTEX, TRUE);
    KelPushRenderState(m_device, D3DRS_LASTPIXEL, FALSE);
    KelPushMagFilter(m_device, D3DTEXF_POINT);
    KelPushTextureStageState(m_device, 0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    KelPushTextureStageState(m_device, 0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    KelPushTextureStageState(m_device, 0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    KelPushTextureStageState(m_device, 0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    KelPushTextureStageState(m_device, 0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    KelPushTextureStageState(m_device, 0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    return true;
    KEL_CATCH
}

bool KelCameraCL::End()
{
    KEL_TRY
    KelPopTextureStageState(m_device, 0, D3DTSS_ADDRESSV);
    KelPopTextureStageState(m_device, 0, D3DTSS_ADDRESSU);
    KelPopTextureStageState(m_device, 0, D3DTSS_ALPHAOP);
    KelPopTextureStageState(m_device, 0, D3DTSS_COLORARG2);
    KelPopTextureStageState(m_device, 0, D3DTSS_COLORARG1);
    KelPopTextureStageState(m_device, 0, D3DTSS_COLOROP);
    KelPopMagFilter(m_device);
    KelPopRenderState(m_device, D3DRS_LASTPIXEL);
    KelPopRenderState(m_device, D3DRS_COLORVERTEX);
    KelPopRenderState(m_device, D3DRS_LIGHTING);
    KelPopRenderState(m_device, D3DRS_ALPHAREF);
    KelPopRenderState(m_device, D3DRS_ZFUNC);
    KelPopRenderState(m_device, D3DRS_ZWRITEENABLE);
    KelPopRenderState(m_device, D3DRS_ZENABLE);
    KelPopRenderState(m_device, D3DRS_ALPHABLENDENABLE);
    KelPopRenderState(m_device, D3DRS_FILLMODE);
    KelPopRenderState(m_device, D3DRS_CULLMODE);
    KelPopRenderState(m_device, D3DRS_DESTBLEND);
    KelPopRenderState(m_device, D3DRS_SRCBLEND);
    KelPopProjectionMatrix(m_device);
    KelPopViewMatrix(m_device);
    KelPopWorldMatrix(m_device);
    KelPopViewPort(m_device);
    if (m_canvas != nullptr)
        m_canvas->End();
    return true;
    KEL_CATCH
}

KelCanvasCL* KelCameraCL::GetCanvas()
{
    return m_canvas.get();
}

KelCanvasCL* KelCameraCL::SetCanvas(KelCanvasCL* canvas)
{
    KelCanvasCL* previous = m_canvas.release();
    m_canvas.reset(canvas);
    if (m_canvas != nullptr && m_viewport.Width != 0 && m_viewport.Height != 0)
        m_canvas->SetTargetSize(static_cast<int>(m_viewport.Width), static_cast<int>(m_viewport.Height));
    return previous;
}

bool KelCameraCL::OnLostDevice()
{
    if (m_canvas != nullptr)
        m_canvas->OnLostDevice();
    m_renderToImage->OnLostDevice();
    return true;
}

bool KelCameraCL::OnResetDevice()
{
    if (m_canvas != nullptr)
        m_canvas->OnResetDevice();
    m_renderToImage->OnResetDevice();
    return true;
}

void KelCameraCL::SetFieldOfView(float fov)
{
    m_fov = fov;
}

void KelCameraCL::SetSize(int width, int height)
{
    m_viewport = D3DVIEWPORT8{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    if (m_canvas != nullptr)
        m_canvas->SetTargetSize(width, height);
    RebuildProjection();
    // Halves in floating point: an odd size must not move the picture by half a pixel.
    m_eye.x = static_cast<float>(width) / 2.0f;
    m_eye.y = static_cast<float>(height) / 2.0f;
    RebuildView();
}

void KelCameraCL::RebuildProjection()
{
    float width = static_cast<float>(m_viewport.Width);
    float height = static_cast<float>(m_viewport.Height);
    if (width <= 0.0f || height <= 0.0f)
        return;
    if (m_3dMode)
        D3DXMatrixPerspectiveRH(&m_projection, kPerspectiveWidth, kPerspectiveWidth * height / width, m_near,
                                m_far);
    else
        D3DXMatrixOrthoRH(&m_projection, width, height, 0.0f, 1.0f);
}

void KelCameraCL::SetNear(float value)
{
    m_near = value;
    if (m_3dMode)
        RebuildProjection();
}

void KelCameraCL::SetFar(float value)
{
    m_far = value;
    if (m_3dMode)
        RebuildProjection();
}

float KelCameraCL::GetNear()
{
    return m_near;
}

float KelCameraCL::GetFar()
{
    return m_far;
}

void KelCameraCL::SetEye(const D3DXVECTOR3& eye)
{
    m_eye = eye;
    RebuildView();
}

void KelCameraCL::SetDirection(const D3DXVECTOR3& direction)
{
    m_direction = direction;
    RebuildView();
}

void KelCameraCL::SetUp(const D3DXVECTOR3& up)
{
    m_up = up;
    RebuildView();
}

void KelCameraCL::SetWorldMatrix(const D3DXMATRIX& world)
{
    m_world = world;
}

void KelCameraCL::Reset()
{
    m_eye = D3DXVECTOR3{0.0f, 0.0f, -1.0f};
    m_direction = D3DXVECTOR3{0.0f, 0.0f, 1.0f};
    // Screen y grows downward.
    m_up = D3DXVECTOR3{0.0f, -1.0f, 0.0f};
    D3DXMatrixIdentity(&m_world);
    D3DXMatrixIdentity(&m_view);
    D3DXMatrixIdentity(&m_projection);
    RebuildView();
}

void KelCameraCL::RebuildView()
{
    D3DXVECTOR3 at = Add(m_eye, m_direction);
    D3DXMatrixLookAtRH(&m_view, &m_eye, &at, &m_up);
}

void KelCameraCL::Rotate(float yaw, float pitch, float roll)
{
    D3DXVECTOR3 up = Normalize(m_up);
    m_direction = RotateAround(m_direction, up, yaw);
    D3DXVECTOR3 right = Normalize(Cross(m_direction, m_up));
    m_direction = RotateAround(m_direction, right, pitch);
    m_up = RotateAround(m_up, right, pitch);
    m_up = RotateAround(m_up, Normalize(m_direction), roll);
    RebuildView();
}

void KelCameraCL::Move(float forward, float right, float up)
{
    D3DXVECTOR3 side = Normalize(Cross(m_direction, m_up));
    m_eye = Add(m_eye, Scale(Normalize(m_direction), forward));
    m_eye = Add(m_eye, Scale(side, right));
    m_eye = Add(m_eye, Scale(Normalize(m_up), up));
    RebuildView();
}

void KelCameraCL::PickRay(int x, int y, int width, int height, D3DXVECTOR3* origin, D3DXVECTOR3* direction)
{
    if (width <= 0 || height <= 0 || m_projection.m[0][0] == 0.0f || m_projection.m[1][1] == 0.0f)
        return;
    // The point in view space: the screen position through the inverse projection.
    float vx = (2.0f * static_cast<float>(x) / static_cast<float>(width) - 1.0f) / m_projection.m[0][0];
    float vy = -(2.0f * static_cast<float>(y) / static_cast<float>(height) - 1.0f) / m_projection.m[1][1];
    // View space looks down its -z axis. A perspective ray starts at the eye; an orthographic
    // one starts at the point and runs straight ahead.
    D3DXVECTOR3 start{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 toward{0.0f, 0.0f, -1.0f};
    if (m_3dMode)
        toward = D3DXVECTOR3{vx, vy, -1.0f};
    else
        start = D3DXVECTOR3{vx, vy, 0.0f};
    // The view matrix holds the camera's axes in its columns; back to world space.
    const D3DXMATRIX& v = m_view;
    D3DXVECTOR3 axisX{v.m[0][0], v.m[1][0], v.m[2][0]};
    D3DXVECTOR3 axisY{v.m[0][1], v.m[1][1], v.m[2][1]};
    D3DXVECTOR3 axisZ{v.m[0][2], v.m[1][2], v.m[2][2]};
    auto toWorld = [&](const D3DXVECTOR3& p)
    { return Add(Add(Scale(axisX, p.x), Scale(axisY, p.y)), Scale(axisZ, p.z)); };
    if (origin != nullptr)
        *origin = Add(toWorld(start), m_eye);
    if (direction != nullptr)
        *direction = Normalize(toWorld(toward));
}

D3DXVECTOR3 KelCameraCL::GetEye()
{
    return m_eye;
}

D3DXVECTOR3 KelCameraCL::GetDirection()
{
    return m_direction;
}

D3DXVECTOR3 KelCameraCL::GetUp()
{
    return m_up;
}

D3DXMATRIX KelCameraCL::GetWorldMatrix()
{
    return m_world;
}

D3DXMATRIX KelCameraCL::GetViewMatrix()
{
    return m_view;
}

D3DXMATRIX KelCameraCL::GetProjectionMatrix()
{
    return m_projection;
}

void KelCameraCL::Set3DMode(bool on)
{
    m_3dMode = on;
    RebuildProjection();
}

bool KelCameraCL::Is3DMode()
{
    return m_3dMode;
}

KelRenderToImageCL* KelCameraCL::GetRenderToImage()
{
    return m_renderToImage.get();
}

bool KelCameraCL::BeginRenderToImage(KelImageCL* image, const KelRect* rect, bool depth)
{
    KEL_TRY
    // A minimised window has nothing to show the picture in, and its device may be lost.
    if (KelIsScreenPaused())
        return false;
    if (!m_renderToImage->Begin(image, rect, depth))
        return false;
    Begin();
    m_renderingToImage = true;
    return true;
    KEL_CATCH
}

bool KelCameraCL::EndRenderToImage(DWORD)
{
    KEL_TRY
    if (!m_renderingToImage)
        return false;
    m_renderingToImage = false;
    End();
    return m_renderToImage->End();
    KEL_CATCH
}
