#pragma once
// The camera of a screen (or of a window that caches its picture): the 2D projection and the
// render states a frame is drawn with, pushed by Begin and popped by End, and the redirection of
// drawing into an image used as a render target.
//
// In 2D mode (the default) one unit is one pixel and y grows downward: the projection is
// orthographic over the target size and the eye looks at the middle of the target.
//
// The 3D mode, rotate, move and the pick ray serve a 3D object layer this engine does not have.

#include <memory>

#include "D3D8/D3D8.h"
#include "D3D8/D3DX8.h"
#include "KelRect.h"

class KelCanvasCL;
class KelImageCL;

// Drawing into an image: the render-to-surface object is created when drawing starts and
// released when it ends.
class KelRenderToImageCL
{
public:
    explicit KelRenderToImageCL(IDirect3DDevice8* device);
    ~KelRenderToImageCL();
    // Starts drawing into the image's level-0 surface, over the rectangle when one is given,
    // after clearing it to transparent black. Logs and returns false on failure.
    bool Begin(KelImageCL* image, const KelRect* rect, bool depth);
    bool End();
    bool OnLostDevice();
    bool OnResetDevice();

private:
    IDirect3DDevice8* m_device;
    ID3DXRenderToSurface* m_renderToSurface = nullptr;
    bool m_depth = false;
};

class KelCameraCL
{
public:
    explicit KelCameraCL(IDirect3DDevice8* device);
    KelCameraCL(const KelCameraCL&) = delete;
    KelCameraCL& operator=(const KelCameraCL&) = delete;

    virtual ~KelCameraCL();
    // Begins the canvas and pushes the viewport, matrices and 2D states; End pops them in
    // reverse order and ends the canvas.
    virtual bool Begin();
    virtual bool End();
    virtual KelCanvasCL* GetCanvas();
    // The camera owns the canvas it is given; the previous one is handed back to the caller.
    virtual KelCanvasCL* SetCanvas(KelCanvasCL* canvas);
    virtual bool OnLostDevice();
    virtual bool OnResetDevice();
    virtual void SetFieldOfView(float fov);
    // The target size: viewport, canvas target size, projection and eye.
    virtual void SetSize(int width, int height);
    virtual void SetNear(float value);
    virtual void SetFar(float value);
    virtual float GetNear();
    virtual float GetFar();
    virtual void SetEye(const D3DXVECTOR3& eye);
    virtual void SetDirection(const D3DXVECTOR3& direction);
    virtual void SetUp(const D3DXVECTOR3& up);
    virtual void SetWorldMatrix(const D3DXMATRIX& world);
    // Eye (0, 0, -1), direction (0, 0, 1), up (0, -1, 0), identity matrices, view rebuilt.
    virtual void Reset();
    virtual void Rotate(float yaw, float pitch, float roll);
    virtual void Move(float forward, float right, float up);
    virtual void PickRay(int x, int y, int width, int height, D3DXVECTOR3* origin, D3DXVECTOR3* direction);
    virtual D3DXVECTOR3 GetEye();
    virtual D3DXVECTOR3 GetDirection();
    virtual D3DXVECTOR3 GetUp();
    virtual D3DXMATRIX GetWorldMatrix();
    virtual D3DXMATRIX GetViewMatrix();
    virtual D3DXMATRIX GetProjectionMatrix();
    virtual void Set3DMode(bool on);
    virtual bool Is3DMode();
    virtual KelRenderToImageCL* GetRenderToImage();
    // Redirects drawing into the image (refused while the current screen is paused) and begins
    // the camera; EndRenderToImage ends both. The mip filter argument is not used.
    virtual bool BeginRenderToImage(KelImageCL* image, const KelRect* rect, bool depth);
    virtual bool EndRenderToImage(DWORD mipFilter);

    const D3DVIEWPORT8& GetViewport() const { return m_viewport; }

private:
    void RebuildView();
    // The projection of the mode over the viewport size.
    void RebuildProjection();

    IDirect3DDevice8* m_device;
    std::unique_ptr<KelCanvasCL> m_canvas;
    D3DXVECTOR3 m_eye{};
    D3DXVECTOR3 m_direction{};
    D3DXVECTOR3 m_up{};
    D3DXMATRIX m_world{};
    D3DXMATRIX m_view{};
    D3DXMATRIX m_projection{};
    float m_near = 1.0f;
    float m_far = 10000.0f;
    float m_fov = 0.0f;
    D3DVIEWPORT8 m_viewport{};
    bool m_3dMode = false;
    std::unique_ptr<KelRenderToImageCL> m_renderToImage;
    // Between a successful BeginRenderToImage and its EndRenderToImage: an end without a begin
    // must not pop states someone else pushed.
    bool m_renderingToImage = false;
};
