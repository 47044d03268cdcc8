#pragma once
// A screen: one window with its Direct3D device, its camera and drawing canvas, and the frame
// cycle: clear, begin, let the owner draw through the render callback, flush images then text,
// end, present, and recover from a lost device within the same frame.

#include <functional>
#include <memory>
#include <string>

#include "D3D8/D3D8.h"

class KelCameraCL;
class KelCanvasCL;

class KelScreenCL
{
public:
    using RenderCallback = std::function<void(KelCanvasCL*)>;

    explicit KelScreenCL(const std::string& name);
    KelScreenCL(const KelScreenCL&) = delete;
    KelScreenCL& operator=(const KelScreenCL&) = delete;

    // Releases the device and deletes the camera.
    virtual ~KelScreenCL();
    // Creates the device for the window (mode 1: full screen, 0: windowed), the "system" font
    // and the camera with its canvas. True at once when a device exists; false without a
    // Direct3D object or when the device cannot be created.
    virtual bool CreateDevice(HWND window, BYTE mode);
    virtual void ReleaseDevice();
    // Draws and presents one frame; sleeps 10 ms instead while the screen is paused.
    virtual void RenderFrame();
    virtual IDirect3DDevice8* GetDevice();
    // Resets the device to a new back-buffer size; false without a device.
    virtual bool Resize(int width, int height);
    virtual void OnLostDevice();
    virtual void OnResetDevice();
    virtual D3DPRESENT_PARAMETERS* GetPresentParameters();
    virtual HWND GetWindow();
    // The camera's canvas, or null while the screen is paused.
    virtual KelCanvasCL* GetCanvas();
    // Installs a camera (the screen owns it) and hands the previous one back to the caller.
    virtual KelCameraCL* SetCamera(KelCameraCL* camera);
    virtual KelCameraCL* GetCamera();
    // True while the window is minimised, or while the application is inactive in full screen.
    virtual bool IsPaused();

    // What the frame draws; by default nothing.
    void SetRenderCallback(RenderCallback callback);
    const std::string& GetName() const { return m_name; }
    BYTE GetMode() const { return m_mode; }

private:
    RenderCallback m_render;
    std::string m_name;
    HWND m_window = nullptr;
    BYTE m_mode = 0;
    IDirect3DDevice8* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_presentParameters{};
    std::unique_ptr<KelCameraCL> m_camera;
};
