#include "KelCameraCL.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "DrawTestSupport.h"

namespace
{
constexpr uint32_t kGrey = 0xFF646464u;

// The device states a camera sets, read back.
struct DeviceStates
{
    static constexpr D3DRENDERSTATETYPE kRenderStates[12] = {
        D3DRS_SRCBLEND,         D3DRS_DESTBLEND, D3DRS_CULLMODE,     D3DRS_FILLMODE,
        D3DRS_ALPHABLENDENABLE, D3DRS_ZENABLE,   D3DRS_ZWRITEENABLE, D3DRS_ZFUNC,
        D3DRS_ALPHAREF,         D3DRS_LIGHTING,  D3DRS_COLORVERTEX,  D3DRS_LASTPIXEL};
    static constexpr D3DTEXTURESTAGESTATETYPE kStageStates[7] = {
        D3DTSS_COLOROP,  D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAOP,
        D3DTSS_ADDRESSU, D3DTSS_ADDRESSV,  D3DTSS_MAGFILTER};

    DWORD render[12];
    DWORD stage[7];
    D3DMATRIX world;
    D3DMATRIX view;
    D3DMATRIX projection;
    D3DVIEWPORT8 viewport;

    static DeviceStates Read(IDirect3DDevice8* device)
    {
        DeviceStates states{};
        for (int i = 0; i < 12; ++i)
            device->GetRenderState(kRenderStates[i], &states.render[i]);
        for (int i = 0; i < 7; ++i)
            device->GetTextureStageState(0, kStageStates[i], &states.stage[i]);
        device->GetTransform(D3DTS_WORLD, &states.world);
        device->GetTransform(D3DTS_VIEW, &states.view);
        device->GetTransform(D3DTS_PROJECTION, &states.projection);
        device->GetViewport(&states.viewport);
        return states;
    }
    bool SameMatricesAndStages(const DeviceStates& other) const
    {
        return std::memcmp(stage, other.stage, sizeof stage) == 0 &&
               std::memcmp(&world, &other.world, sizeof world) == 0 &&
               std::memcmp(&view, &other.view, sizeof view) == 0 &&
               std::memcmp(&projection, &other.projection, sizeof projection) == 0;
    }
    bool operator==(const DeviceStates& other) const
    {
        return std::memcmp(render, other.render, sizeof render) == 0 && SameMatricesAndStages(other) &&
               std::memcmp(&viewport, &other.viewport, sizeof viewport) == 0;
    }
};

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (std::fabs(a.m[row][column] - b.m[row][column]) > 1e-5f)
                return false;
    return true;
}

void ExpectVector(const D3DXVECTOR3& actual, float x, float y, float z)
{
    EXPECT_NEAR(actual.x, x, 1e-4f);
    EXPECT_NEAR(actual.y, y, 1e-4f);
    EXPECT_NEAR(actual.z, z, 1e-4f);
}

using CameraTest = DrawTest;
using CameraScreenTest = EngineDrawTest;
} // namespace

TEST_F(CameraTest, BeginSetsThe2DStatesAndEndPutsBackWhatTheStacksKnow)
{
    DeviceStates before = DeviceStates::Read(m_device);
    KelCameraCL camera(m_device);
    camera.SetSize(16, 8);
    ASSERT_TRUE(camera.Begin());
    DeviceStates inside = DeviceStates::Read(m_device);
    const DWORD render[12] = {D3DBLEND_SRCALPHA,
                              D3DBLEND_INVSRCALPHA,
                              D3DCULL_CCW,
                              D3DFILL_SOLID,
                              1,
                              0,
                              0,
                              D3DCMP_ALWAYS,
                              10,
                              0,
                              1,
                              0};
    const DWORD stage[7] = {D3DTOP_MODULATE,   D3DTA_TEXTURE,     D3DTA_DIFFUSE, D3DTOP_MODULATE,
                            D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP, D3DTEXF_POINT};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(inside.render[i], render[i]) << DeviceStates::kRenderStates[i];
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(inside.stage[i], stage[i]) << DeviceStates::kStageStates[i];
    EXPECT_EQ(inside.viewport.Width, 16u);
    EXPECT_EQ(inside.viewport.Height, 8u);
    EXPECT_TRUE(SameMatrix(inside.projection, camera.GetProjectionMatrix()));
    EXPECT_TRUE(SameMatrix(inside.view, camera.GetViewMatrix()));
    ASSERT_TRUE(camera.End());
    // Matrices and stage states come back; render states and the viewport pushed on empty stacks
    // stay, as nothing recorded what they were.
    EXPECT_TRUE(DeviceStates::Read(m_device).SameMatricesAndStages(before));

    // Inside a frame, a second camera (a window drawing its picture) puts everything back,
    // including states the frame changed on top of its own.
    m_camera->Begin();
    KelPushRenderState(m_device, D3DRS_SRCBLEND, D3DBLEND_ONE);
    KelPushRenderState(m_device, D3DRS_ALPHABLENDENABLE, 0);
    KelPushTextureStageState(m_device, 0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DeviceStates frame = DeviceStates::Read(m_device);
    camera.Begin();
    EXPECT_FALSE(DeviceStates::Read(m_device) == frame);
    camera.End();
    EXPECT_TRUE(DeviceStates::Read(m_device) == frame);
    KelPopTextureStageState(m_device, 0, D3DTSS_COLOROP);
    KelPopRenderState(m_device, D3DRS_ALPHABLENDENABLE);
    KelPopRenderState(m_device, D3DRS_SRCBLEND);
    m_camera->End();
}

TEST_F(CameraTest, OneUnitIsOnePixelAlsoForOddSizes)
{
    KelCameraCL camera(m_device);
    KelCanvasCL* canvas = new KelCanvasCL(m_device);
    EXPECT_EQ(camera.SetCanvas(canvas), nullptr);
    camera.SetSize(63, 47);
    EXPECT_EQ(canvas->GetTargetWidth(), 63);
    EXPECT_EQ(canvas->GetTargetHeight(), 47);
    EXPECT_EQ(camera.GetViewport().Width, 63u);
    ExpectVector(camera.GetEye(), 31.5f, 23.5f, -1.0f);
    D3DXMATRIX ortho;
    EXPECT_TRUE(SameMatrix(camera.GetProjectionMatrix(), *D3DXMatrixOrthoRH(&ortho, 63, 47, 0, 1)));

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0);
    m_device->BeginScene();
    camera.Begin();
    canvas->FillRect(0, 0, 1, 1, kRed);
    canvas->FillRect(62, 46, 63, 47, kRed);
    camera.End();
    m_device->EndScene();
    std::vector<uint32_t> frame = Present();
    EXPECT_EQ(Count(frame, kRed), 2);
    EXPECT_EQ(Pixel(frame, 0, 0), kRed);
    EXPECT_EQ(Pixel(frame, 62, 46), kRed);
}

TEST_F(CameraTest, DrawingIntoAnImageThenDrawingTheImage)
{
    TestImageCL* target = MakeRenderTarget(16, 16);
    KelCameraCL background(m_device);
    background.SetSize(16, 16);
    KelCanvasCL* canvas = Canvas();
    const KelRect whole(0, 0, 16, 16);
    IDirect3DSurface8* backBuffer = nullptr;
    m_device->GetRenderTarget(&backBuffer);

    // The second drawing starts from a cleared image: nothing of the first is left.
    ASSERT_TRUE(background.BeginRenderToImage(target, &whole, false));
    canvas->FillRect(0, 0, 16, 16, kBlue);
    EXPECT_TRUE(background.EndRenderToImage(3));
    ASSERT_TRUE(background.BeginRenderToImage(target, &whole, false));
    canvas->FillRect(4, 4, 8, 8, kRed);
    EXPECT_TRUE(background.EndRenderToImage(3));

    IDirect3DSurface8* current = nullptr;
    m_device->GetRenderTarget(&current);
    EXPECT_EQ(current, backBuffer);
    current->Release();
    backBuffer->Release();
    D3DVIEWPORT8 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, static_cast<DWORD>(kWidth));

    BeginFrame(kGrey);
    D3DXVECTOR2 at{20.0f, 20.0f};
    canvas->GetImageSprite()->Draw(target, nullptr, &at, nullptr, 0.0f, kWhite);
    canvas->FlushImages();
    std::vector<uint32_t> frame = EndFrame();
    EXPECT_EQ(Bounds(frame, kRed), KelRect(24, 24, 28, 28));
    EXPECT_EQ(Count(frame, kRed), 16);
    EXPECT_EQ(Count(frame, kBlue), 0);
    EXPECT_EQ(Pixel(frame, 20, 20), kGrey); // transparent black over the frame
}

TEST_F(CameraTest, FailedDrawingIntoAnImageIsLoggedAndLeavesTheDeviceAlone)
{
    TestImageCL* plain = MakeSolidImage(16, 16, kBlue); // not a render target
    KelImageCL noSurface;
    KelCameraCL background(m_device);
    background.SetSize(16, 16);
    DeviceStates before = DeviceStates::Read(m_device);

    EXPECT_FALSE(background.EndRenderToImage(3)); // nothing begun: nothing to pop
    EXPECT_FALSE(background.BeginRenderToImage(&noSurface, nullptr, false));
    EXPECT_FALSE(background.BeginRenderToImage(nullptr, nullptr, false));
    EXPECT_FALSE(background.BeginRenderToImage(plain, nullptr, false));
    EXPECT_FALSE(background.EndRenderToImage(3));
    EXPECT_TRUE(DeviceStates::Read(m_device) == before);

    KelCameraCL withoutDevice(nullptr);
    TestImageCL* target = MakeRenderTarget(16, 8);
    EXPECT_FALSE(withoutDevice.BeginRenderToImage(target, nullptr, false));

    std::string log = ReadLog();
    EXPECT_NE(log.find("创建RenderToSurface::BeginScene失败 D3DERR_INVALIDCALL"), std::string::npos);
    EXPECT_NE(log.find("创建RenderToSurface失败 width:16 height:8 "), std::string::npos);
    EXPECT_NE(log.find("KelRenderToImageCL::Begin"), std::string::npos);
}

TEST_F(CameraTest, ADeviceLossWhileDrawingIntoAnImageLetsTheDeviceReset)
{
    TestImageCL* target = MakeRenderTarget(16, 16);
    KelCameraCL background(m_device);
    background.SetSize(16, 16);
    // With a depth buffer: the object holds one in the default pool.
    ASSERT_TRUE(background.BeginRenderToImage(target, nullptr, true));
    m_device->SimulateDeviceLost();
    EXPECT_TRUE(background.OnLostDevice());
    target->ReleaseTexture(); // images drop their render targets on a loss
    D3DPRESENT_PARAMETERS parameters = TestPresentParameters(m_window);
    ASSERT_EQ(m_device->Reset(&parameters), D3D_OK);
    EXPECT_TRUE(background.OnResetDevice());
    EXPECT_FALSE(background.EndRenderToImage(3)); // the drawing was abandoned

    // The frame goes on as usual.
    BeginFrame();
    Canvas()->FillRect(1, 1, 3, 3, kRed);
    EXPECT_EQ(Bounds(EndFrame(), kRed), KelRect(1, 1, 3, 3));
}

TEST_F(CameraTest, PickRaysAndMovesFollowTheView)
{
    // 2D: a ray starts at the pixel on the camera's plane and runs into the screen.
    D3DXVECTOR3 origin{};
    D3DXVECTOR3 direction{};
    m_camera->PickRay(10, 20, kWidth, kHeight, &origin, &direction);
    ExpectVector(origin, 10.0f, 20.0f, -1.0f);
    ExpectVector(direction, 0.0f, 0.0f, 1.0f);

    // Moving right and up shifts what lies under a pixel by as much.
    m_camera->Move(0.0f, 5.0f, 3.0f);
    ExpectVector(m_camera->GetEye(), 37.0f, 21.0f, -1.0f);
    m_camera->PickRay(10, 20, kWidth, kHeight, &origin, &direction);
    ExpectVector(origin, 15.0f, 17.0f, -1.0f);
    BeginFrame();
    Canvas()->FillRect(15, 17, 16, 18, kRed);
    std::vector<uint32_t> frame = EndFrame();
    EXPECT_EQ(Count(frame, kRed), 1);
    EXPECT_EQ(Pixel(frame, 10, 20), kRed);

    // Turning half round looks the other way, the up vector kept.
    m_camera->Rotate(kPi, 0.0f, 0.0f);
    ExpectVector(m_camera->GetDirection(), 0.0f, 0.0f, -1.0f);
    ExpectVector(m_camera->GetUp(), 0.0f, -1.0f, 0.0f);

    // 3D: a perspective whose middle ray is the viewing direction.
    m_camera->Reset();
    ExpectVector(m_camera->GetEye(), 0.0f, 0.0f, -1.0f);
    m_camera->Set3DMode(true);
    EXPECT_TRUE(m_camera->Is3DMode());
    EXPECT_EQ(m_camera->GetProjectionMatrix().m[2][3], -1.0f);
    m_camera->PickRay(kWidth / 2, kHeight / 2, kWidth, kHeight, &origin, &direction);
    ExpectVector(origin, 0.0f, 0.0f, -1.0f);
    ExpectVector(direction, 0.0f, 0.0f, 1.0f);
}

TEST_F(CameraScreenTest, DrawingIntoAnImageIsRefusedWhileTheWindowIsMinimised)
{
    KelImageCL* target =
        m_images.CreateImageM("target", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(target, nullptr);
    KelCameraCL background(m_device);
    background.SetSize(16, 16);
    KelCanvasCL* canvas = m_screen->GetCamera()->GetCanvas();
    auto drawTarget = [&]
    {
        m_screen->SetRenderCallback(
            [&](KelCanvasCL* frameCanvas)
            {
                D3DXVECTOR2 at{8.0f, 8.0f};
                frameCanvas->GetImageSprite()->Draw(target, nullptr, &at, nullptr, 0.0f, kWhite);
            });
        m_screen->RenderFrame();
        return Frame();
    };

    m_window.SetMinimised(true);
    D3DVIEWPORT8 before{};
    m_device->GetViewport(&before);
    EXPECT_FALSE(background.BeginRenderToImage(target, nullptr, false));
    D3DVIEWPORT8 after{};
    m_device->GetViewport(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_FALSE(background.EndRenderToImage(3));
    m_window.SetMinimised(false);
    std::vector<uint32_t> frame = drawTarget();
    EXPECT_EQ(Pixel(frame, 10, 10), kGrey);

    ASSERT_TRUE(background.BeginRenderToImage(target, nullptr, false));
    canvas->FillRect(0, 0, 4, 4, kRed);
    EXPECT_TRUE(background.EndRenderToImage(3));
    frame = drawTarget();
    EXPECT_EQ(Pixel(frame, 10, 10), kRed);
    EXPECT_EQ(Pixel(frame, 13, 13), kGrey);
}
