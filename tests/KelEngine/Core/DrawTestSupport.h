#pragma once
// What the drawing tests share: a picture made from known pixels on the test device, and a
// frame on a 64 x 48 memory window seen through a 2D camera, read back after Present.

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelCameraCL.h"
#include "KelCanvasCL.h"
#include "KelImageCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelSystemCL.h"
#include "TestDevice.h"
#include "Win32/Window.h"

// Opaque colours the drawing tests paint with, as the back buffer holds them.
inline constexpr uint32_t kRed = 0xFFFF0000u;
inline constexpr uint32_t kGreen = 0xFF00FF00u;
inline constexpr uint32_t kBlue = 0xFF0000FFu;
inline constexpr uint32_t kYellow = 0xFFFFFF00u;
inline constexpr uint32_t kMagenta = 0xFFFF00FFu;
inline constexpr uint32_t kWhite = 0xFFFFFFFFu;
inline constexpr float kPi = 3.14159265f;

// An image over a texture of the test's own, so that drawing can be tested without the image
// loaders. It can hold its texture back (a load still running), stand for another image (an
// animation's current frame) and start its picture at an offset.
class TestImageCL : public KelImageCL
{
public:
    // A managed A8R8G8B8 texture with the pixels, row by row.
    TestImageCL(IDirect3DDevice8* device, int width, int height, const std::vector<uint32_t>& pixels)
        : m_width(width), m_height(height)
    {
        if (device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1, 0, D3DFMT_A8R8G8B8,
                                  D3DPOOL_MANAGED, &m_texture) != D3D_OK)
        {
            m_texture = nullptr;
            ADD_FAILURE() << "texture not created";
            return;
        }
        D3DLOCKED_RECT locked{};
        m_texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    pixels[static_cast<size_t>(y * width + x)];
        m_texture->UnlockRect(0);
    }

    // A render target in the default pool, as images that windows draw into are.
    TestImageCL(IDirect3DDevice8* device, int width, int height) : m_width(width), m_height(height)
    {
        if (device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1,
                                  D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                  &m_texture) != D3D_OK)
        {
            m_texture = nullptr;
            ADD_FAILURE() << "render target not created";
        }
    }

    ~TestImageCL() override { ReleaseTexture(); }

    IDirect3DTexture8* GetTextureM() override { return m_withheld ? nullptr : m_texture; }
    std::pair<int, int> GetSizeM() override { return {m_width, m_height}; }
    int GetImageWidth() override { return m_width; }
    int GetImageHeight() override { return m_height; }
    int GetRenderOffsetX() override { return m_offsetX; }
    int GetRenderOffsetY() override { return m_offsetY; }
    KelImageCL* GetImage() override { return m_current; }
    IDirect3DSurface8* GetSurfaceM() override
    {
        if (m_surface == nullptr && m_texture != nullptr &&
            m_texture->GetSurfaceLevel(0, &m_surface) != D3D_OK)
            m_surface = nullptr;
        return m_surface;
    }
    const D3DSURFACE_DESC* GetSurfaceDesc() override
    {
        if (GetSurfaceM() == nullptr)
            return nullptr;
        m_surface->GetDesc(&m_desc);
        return &m_desc;
    }

    void Withhold(bool withheld) { m_withheld = withheld; }
    void SetOffset(int x, int y)
    {
        m_offsetX = x;
        m_offsetY = y;
    }
    void SetCurrent(KelImageCL* image) { m_current = image; }
    void ReleaseTexture()
    {
        if (m_surface != nullptr)
            m_surface->Release();
        if (m_texture != nullptr)
            m_texture->Release();
        m_surface = nullptr;
        m_texture = nullptr;
    }

private:
    int m_width;
    int m_height;
    IDirect3DTexture8* m_texture = nullptr;
    IDirect3DSurface8* m_surface = nullptr;
    D3DSURFACE_DESC m_desc{};
    bool m_withheld = false;
    int m_offsetX = 0;
    int m_offsetY = 0;
    KelImageCL* m_current = nullptr;
};

// A device on a memory window with a camera and canvas of the window's size, the log in a fresh
// folder, and render-state stacks and a quad counter of the test's own.
class DrawTest : public LogFolderTest
{
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    static constexpr uint32_t kBlack = 0xFF000000u;

    void SetUp() override
    {
        ASSERT_TRUE(CreateTestDevice(m_window, &m_d3d, &m_device));
        m_camera = std::make_unique<KelCameraCL>(m_device);
        m_camera->SetCanvas(new KelCanvasCL(m_device));
        m_camera->SetSize(kWidth, kHeight);
    }

    void TearDown() override
    {
        m_camera.reset();
        m_images.clear();
        if (m_device != nullptr)
        {
            // The device holds what it drew with last; the batches must have let their buffers go.
            m_device->SetTexture(0, nullptr);
            EXPECT_EQ(m_device->Release(), 0u);
        }
        if (m_d3d != nullptr)
            m_d3d->Release();
    }

    KelCanvasCL* Canvas() { return m_camera->GetCanvas(); }

    TestImageCL* MakeImage(int width, int height, const std::vector<uint32_t>& pixels)
    {
        m_images.push_back(std::make_unique<TestImageCL>(m_device, width, height, pixels));
        return m_images.back().get();
    }
    TestImageCL* MakeSolidImage(int width, int height, uint32_t color)
    {
        return MakeImage(width, height, std::vector<uint32_t>(static_cast<size_t>(width * height), color));
    }
    TestImageCL* MakeRenderTarget(int width, int height)
    {
        m_images.push_back(std::make_unique<TestImageCL>(m_device, width, height));
        return m_images.back().get();
    }

    void BeginFrame(D3DCOLOR clear = kBlack)
    {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        m_device->BeginScene();
        m_camera->Begin();
    }
    std::vector<uint32_t> EndFrame()
    {
        m_camera->End();
        m_device->EndScene();
        return Present();
    }
    // The back buffer in the middle of a frame, read through a lock (presenting would flip it).
    std::vector<uint32_t> Peek()
    {
        std::vector<uint32_t> frame;
        IDirect3DSurface8* back = nullptr;
        if (m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK)
            return frame;
        D3DLOCKED_RECT locked{};
        if (back->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK)
        {
            frame.resize(static_cast<size_t>(kWidth) * kHeight);
            for (int y = 0; y < kHeight; ++y)
                std::memcpy(frame.data() + static_cast<size_t>(y) * kWidth,
                            static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                            static_cast<size_t>(kWidth) * 4);
            back->UnlockRect();
        }
        back->Release();
        return frame;
    }
    std::vector<uint32_t> Present()
    {
        EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        return m_window.Frame();
    }

    static uint32_t Pixel(const std::vector<uint32_t>& frame, int x, int y)
    {
        return frame[static_cast<size_t>(y * kWidth + x)];
    }
    // The smallest rectangle holding every pixel of the colour (right and bottom exclusive);
    // empty when there is none.
    static KelRect Bounds(const std::vector<uint32_t>& frame, uint32_t color)
    {
        KelRect bounds(kWidth, kHeight, -1, -1);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (Pixel(frame, x, y) == color)
                {
                    bounds.left = std::min(bounds.left, x);
                    bounds.top = std::min(bounds.top, y);
                    bounds.right = std::max(bounds.right, x + 1);
                    bounds.bottom = std::max(bounds.bottom, y + 1);
                }
        return bounds.right < 0 ? KelRect() : bounds;
    }
    static int Count(const std::vector<uint32_t>& frame, uint32_t color)
    {
        int count = 0;
        for (uint32_t pixel : frame)
            count += pixel == color ? 1 : 0;
        return count;
    }

    KelRenderStateManagerCL m_states;
    KelSystemCL m_system;
    MemoryWindow m_window{kWidth, kHeight};
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
    std::unique_ptr<KelCameraCL> m_camera;
    std::vector<std::unique_ptr<TestImageCL>> m_images;
};

// The whole engine with a screen on a 64 x 48 memory window, for drawing that needs the current
// screen: fonts (their pages are made on its device) and its paused state.
class EngineDrawTest : public EngineTest
{
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    EngineDrawTest() : EngineTest(kWidth, kHeight) {}

    void SetUp() override { ASSERT_NE(CreateScreenWithDevice(), nullptr); }

    std::vector<uint32_t> Frame() { return m_window.Frame(); }
    static uint32_t Pixel(const std::vector<uint32_t>& frame, int x, int y)
    {
        return frame[static_cast<size_t>(y * kWidth + x)];
    }
};

inline std::ostream& operator<<(std::ostream& out, const KelRect& rect)
{
    return out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
}
