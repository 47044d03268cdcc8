#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "RasterPaths.h"
#include "TestDevice.h"
#include "Win32/Window.h"

namespace
{
// A device on a memory window, with a projection that maps vertex (x, y) to pixel (x, y).
class D3D8DeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTestDevice(m_window, &m_d3d, &m_device));
        D3DMATRIX projection{};
        projection.m[0][0] = 2.0f / kWidth;
        projection.m[1][1] = -2.0f / kHeight;
        projection.m[2][2] = 1.0f;
        projection.m[3][0] = -1.0f;
        projection.m[3][1] = 1.0f;
        projection.m[3][3] = 1.0f;
        m_device->SetTransform(D3DTS_PROJECTION, &projection);
    }
    void TearDown() override
    {
        if (m_device != nullptr)
        {
            EXPECT_EQ(m_device->Release(), 0u); // every resource was released
        }
        if (m_d3d != nullptr)
        {
            EXPECT_EQ(m_d3d->Release(), 0u);
        }
    }

    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    D3DPRESENT_PARAMETERS Parameters() { return TestPresentParameters(m_window); }

    // One textured quad (x0, y0)-(x1, y1) with texture coordinates (0,0)-(u1,v1).
    HRESULT DrawQuad(float x0, float y0, float x1, float y1, float u1, float v1, D3DCOLOR diffuse)
    {
        struct Vertex
        {
            float x, y, z;
            D3DCOLOR diffuse;
            float u, v;
        };
        Vertex vertices[4] = {{x0, y0, 0, diffuse, 0, 0},
                              {x1, y0, 0, diffuse, u1, 0},
                              {x1, y1, 0, diffuse, u1, v1},
                              {x0, y1, 0, diffuse, 0, v1}};
        uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        return Draw(D3DPT_TRIANGLELIST, 322, vertices, sizeof(Vertex), 4, indices, 6);
    }

    // Puts the vertices and indices into managed buffers and draws them, as the engine does.
    HRESULT Draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, UINT stride, UINT vertexCount,
                 const uint16_t* indices, UINT indexCount)
    {
        IDirect3DVertexBuffer8* vb = nullptr;
        IDirect3DIndexBuffer8* ib = nullptr;
        EXPECT_EQ(
            m_device->CreateVertexBuffer(stride * vertexCount, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED, &vb),
            D3D_OK);
        EXPECT_EQ(m_device->CreateIndexBuffer(indexCount * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                              D3DPOOL_MANAGED, &ib),
                  D3D_OK);
        BYTE* data = nullptr;
        vb->Lock(0, 0, &data, D3DLOCK_DISCARD);
        memcpy(data, vertices, stride * vertexCount);
        vb->Unlock();
        ib->Lock(0, 0, &data, D3DLOCK_DISCARD);
        memcpy(data, indices, indexCount * 2);
        ib->Unlock();
        m_device->SetVertexShader(fvf);
        m_device->SetStreamSource(0, vb, stride);
        m_device->SetIndices(ib, 0);
        UINT perPrimitive = type == D3DPT_TRIANGLELIST ? 3 : 2;
        HRESULT result = m_device->DrawIndexedPrimitive(type, 0, vertexCount, 0, indexCount / perPrimitive);
        m_device->SetStreamSource(0, nullptr, 0);
        m_device->SetIndices(nullptr, 0);
        vb->Release();
        ib->Release();
        return result;
    }

    std::vector<uint32_t> Frame()
    {
        EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        return m_window.Frame();
    }

    MemoryWindow m_window{kWidth, kHeight};
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
};

// Device tests whose pixels go through the rasteriser's SIMD blending, run on each path.
class D3D8DeviceOnPathTest : public OnEachRasterPath<D3D8DeviceTest>
{
};
INSTANTIATE_ON_EACH_RASTER_PATH(D3D8DeviceOnPathTest);
} // namespace

TEST(D3D8, CreationNeedsTheSdkVersionAndAWindow)
{
    EXPECT_TRUE(FAILED(D3DERR_INVALIDCALL));
    EXPECT_TRUE(SUCCEEDED(D3D_OK));
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.BackBufferFormat = mode.Format;
    IDirect3DDevice8* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0x144, &pp, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    // A windowed device without a size takes the window's client size.
    MemoryWindow window(30, 20);
    pp.hDeviceWindow = &window;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0x124, &pp, &device), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 30u);
    EXPECT_EQ(desc.Height, 20u);
    back->Release();
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST_F(D3D8DeviceTest, ClearFillsTheViewportAndPresentShowsIt)
{
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF646464, 1.0f, 0), D3D_OK);
    D3DVIEWPORT8 viewport{10, 5, 4, 3, 0.0f, 1.0f};
    ASSERT_EQ(m_device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    std::vector<uint32_t> frame = Frame();
    ASSERT_EQ(frame.size(), static_cast<size_t>(kWidth * kHeight));
    EXPECT_EQ(frame[0], 0xFF646464u);
    EXPECT_EQ(frame[5 * kWidth + 10], 0xFF0000FFu);
    EXPECT_EQ(frame[7 * kWidth + 13], 0xFF0000FFu);
    EXPECT_EQ(frame[8 * kWidth + 13], 0xFF646464u);
    EXPECT_EQ(frame[7 * kWidth + 14], 0xFF646464u);
    D3DVIEWPORT8 outside{60, 40, 10, 10, 0.0f, 1.0f};
    EXPECT_EQ(m_device->SetViewport(&outside), D3DERR_INVALIDCALL);
}

TEST_F(D3D8DeviceTest, LockAndDrawEveryTextureFormat)
{
    struct Case
    {
        D3DFORMAT format;
        uint32_t written;
        uint32_t read; // what the texture holds after the conversion
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x80102030, 0x80102030}, {D3DFMT_X8R8G8B8, 0x80102030, 0xFF102030},
        {D3DFMT_R8G8B8, 0x80102030, 0xFF102030},   {D3DFMT_R5G6B5, 0xFFFF8000, 0xFFFF8200},
        {D3DFMT_X1R5G5B5, 0x00FF0000, 0xFFFF0000}, {D3DFMT_A1R5G5B5, 0x7F00FF00, 0x0000FF00},
        {D3DFMT_A4R4G4B4, 0x80FF0000, 0x88FF0000}, {D3DFMT_X4R4G4B4, 0x00123456, 0xFF113355},
    };
    m_device->BeginScene();
    int x = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.format);
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(2, 2, 1, 0, c.format, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Width, 2u);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // already locked
        UINT bytes = D3D8BytesPerPixel(c.format);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col)
                D3D8EncodePixel(c.format, c.written,
                                static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch + col * bytes);
        EXPECT_EQ(D3D8DecodePixel(c.format, static_cast<uint8_t*>(locked.pBits)), c.read);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
        // Drawn without blending onto the X8R8G8B8 back buffer: colour as read, alpha 255.
        m_device->SetTexture(0, texture);
        ASSERT_EQ(DrawQuad(static_cast<float>(x), 0, static_cast<float>(x + 2), 2, 1, 1, 0xFFFFFFFF), D3D_OK);
        m_device->SetTexture(0, nullptr);
        texture->Release();
        x += 2;
    }
    m_device->EndScene();
    std::vector<uint32_t> frame = Frame();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(frame[kWidth + 2 * i + 1], cases[i].read | 0xFF000000u) << cases[i].format;
}

TEST_P(D3D8DeviceOnPathTest, QuadsMapTexelsOneToOneAndBlend)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    uint32_t texels[2][4] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF},
                             {0x00000000, 0xFF000000, 0xFF808080, 0xFFFFFFFF}};
    for (int y = 0; y < 2; ++y)
        memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, texels[y], 16);
    texture->UnlockRect(0);

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->BeginScene();
    m_device->SetTexture(0, texture);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    m_device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    m_device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    // The engine's mapping: coordinates over size - 1.
    ASSERT_EQ(DrawQuad(8, 8, 12, 10, 4.0f / 3.0f, 2.0f / 1.0f, 0xFFFFFFFF), D3D_OK);
    m_device->EndScene();
    m_device->SetTexture(0, nullptr);
    texture->Release();
    std::vector<uint32_t> frame = Frame();
    EXPECT_EQ(frame[8 * kWidth + 8], 0xFFFF0000u);
    EXPECT_EQ(frame[8 * kWidth + 9], 0xFF00FF00u);
    EXPECT_EQ(frame[8 * kWidth + 10], 0xFF0000FFu);
    EXPECT_EQ(frame[8 * kWidth + 11], 0xFF808080u); // half white over black
    EXPECT_EQ(frame[9 * kWidth + 8], 0xFF000000u);  // transparent
    EXPECT_EQ(frame[9 * kWidth + 11], 0xFFFFFFFFu);
    EXPECT_EQ(frame[10 * kWidth + 8], 0xFF000000u); // bottom edge not drawn
    EXPECT_EQ(frame[8 * kWidth + 12], 0xFF000000u); // right edge not drawn
}

TEST_F(D3D8DeviceTest, DeviceLossAndReset)
{
    IDirect3DTexture8* managed = nullptr;
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed), D3D_OK);
    ASSERT_EQ(
        m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
        D3D_OK);
    D3DLOCKED_RECT locked{};
    managed->LockRect(0, &locked, nullptr, 0);
    static_cast<uint32_t*>(locked.pBits)[0] = 0x12345678;
    managed->UnlockRect(0);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);

    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    m_device->SimulateDeviceLost();
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS pp = Parameters();
    // A default-pool resource still alive blocks the reset.
    EXPECT_EQ(m_device->Reset(&pp), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    target->Release();
    pp.BackBufferWidth = 32;
    ASSERT_EQ(m_device->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    int width = 0;
    m_window.Frame(&width);
    EXPECT_EQ(width, 32);
    // Managed resources keep their contents; states are back to their defaults.
    managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0x12345678u);
    managed->UnlockRect(0);
    managed->Release();
    DWORD blend = 7;
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, 0u);
}

TEST_F(D3D8DeviceTest, DrawingIntoATextureAndSamplingIt)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(
        m_device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
        D3D_OK);
    IDirect3DSurface8* surface = nullptr;
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(m_device->GetRenderTarget(&back), D3D_OK);
    ASSERT_EQ(m_device->SetRenderTarget(surface, nullptr), D3D_OK);
    D3DVIEWPORT8 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 4u);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x8000FF00, 1.0f, 0);
    ASSERT_EQ(m_device->SetRenderTarget(back, nullptr), D3D_OK);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->BeginScene();
    m_device->SetTexture(0, texture);
    DrawQuad(0, 0, 4, 4, 4.0f / 3, 4.0f / 3, 0xFFFFFFFF);
    m_device->SetTexture(0, nullptr);
    m_device->EndScene();
    surface->Release();
    back->Release();
    texture->Release();
    EXPECT_EQ(Frame()[kWidth + 1], 0xFF00FF00u);
}

TEST_F(D3D8DeviceTest, BadCallsAreRefusedWithoutDrawing)
{
    EXPECT_EQ(DrawQuad(0, 0, 4, 4, 1, 1, 0xFFFFFFFF), D3DERR_INVALIDCALL); // outside a scene
    m_device->BeginScene();
    EXPECT_EQ(m_device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2),
              D3DERR_INVALIDCALL); // no buffers
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    m_device->CreateVertexBuffer(24 * 4, 0, 322, D3DPOOL_MANAGED, &vb);
    m_device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib);
    BYTE* data = nullptr;
    ib->Lock(0, 0, &data, 0);
    uint16_t indices[6] = {0, 1, 2, 0, 2, 9}; // 9 lies beyond the four vertices
    memcpy(data, indices, 12);
    ib->Unlock();
    m_device->SetStreamSource(0, vb, 24);
    m_device->SetIndices(ib, 0);
    m_device->SetVertexShader(322);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 3), D3DERR_INVALIDCALL); // too many
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 5, 0, 1), D3DERR_INVALIDCALL); // vertices
    m_device->SetVertexShader(0x1000);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL); // layout
    EXPECT_EQ(vb->Lock(90, 10, &data, 0), D3DERR_INVALIDCALL);
    m_device->SetStreamSource(0, nullptr, 0);
    m_device->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
    m_device->EndScene();
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(m_device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        m_device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
}

TEST_F(D3D8DeviceTest, ReferencesKeepBoundObjectsAlive)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u); // 4x4, 2x2, 1x1
    UINT before = m_device->GetAvailableTextureMem();
    m_device->SetTexture(0, texture);
    IDirect3DSurface8* level = nullptr;
    texture->GetSurfaceLevel(1, &level);
    EXPECT_EQ(texture->Release(), 2u); // the device and the level's reference remain
    D3DSURFACE_DESC desc{};
    level->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(level->Release(), 1u);
    m_device->SetTexture(0, nullptr); // the last reference: the texture is gone
    EXPECT_GT(m_device->GetAvailableTextureMem(), before);
}

TEST_F(D3D8DeviceTest, LineListsWithoutTexture)
{
    struct LineVertex
    {
        float x, y, z;
        D3DCOLOR diffuse;
    };
    LineVertex vertices[4] = {
        {2, 3, 0, 0xFFFF0000}, {10, 3, 0, 0xFFFF0000}, {5, 6, 0, 0xFF00FF00}, {5, 12, 0, 0xFF00FF00}};
    uint16_t indices[4] = {0, 1, 2, 3};
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(D3DRS_LASTPIXEL, FALSE);
    m_device->BeginScene();
    ASSERT_EQ(Draw(D3DPT_LINELIST, 66, vertices, sizeof(LineVertex), 4, indices, 4), D3D_OK);
    m_device->EndScene();
    std::vector<uint32_t> frame = Frame();
    for (int x = 2; x < 10; ++x)
        EXPECT_EQ(frame[3 * kWidth + x], 0xFFFF0000u) << x;
    EXPECT_EQ(frame[3 * kWidth + 10], 0xFF000000u); // the last pixel is left out
    for (int y = 6; y < 12; ++y)
        EXPECT_EQ(frame[y * kWidth + 5], 0xFF00FF00u) << y;
    EXPECT_EQ(frame[12 * kWidth + 5], 0xFF000000u);
}

namespace
{
// A full-screen A8R8G8B8 texture of one colour, with `holes` texels transparent.
IDirect3DTexture8* MakeScreenTexture(IDirect3DDevice8* device, int width, int height, uint32_t colour,
                                     const std::vector<int>& holes)
{
    IDirect3DTexture8* texture = nullptr;
    if (device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture) != D3D_OK)
        return nullptr;
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            static_cast<uint32_t*>(locked.pBits)[y * locked.Pitch / 4 + x] = colour;
    for (int texel : holes)
        static_cast<uint32_t*>(locked.pBits)[texel] = 0;
    texture->UnlockRect(0);
    return texture;
}
} // namespace

// A clear is left undone when the next draw replaces every pixel; every other draw must still
// find the cleared colour wherever it leaves the target alone or blends with it.
TEST_P(D3D8DeviceOnPathTest, AClearStaysWhereTheFirstDrawDoesNotReplaceEveryPixel)
{
    constexpr uint32_t kClear = 0xFF203040;
    constexpr uint32_t kPicture = 0xFFC08040;
    struct Case
    {
        const char* name;
        float right;            // of the quad; the screen is kWidth wide
        bool blend;             // alpha blending on
        std::vector<int> holes; // transparent texels
    };
    const Case cases[] = {
        {"whole screen, opaque", kWidth, true, {}},
        {"whole screen, copied", kWidth, false, {5}},
        {"one texel transparent", kWidth, true, {kWidth + 3}},
        {"one column short", kWidth - 1, true, {}},
    };
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        IDirect3DTexture8* texture = MakeScreenTexture(m_device, kWidth, kHeight, kPicture, c.holes);
        ASSERT_NE(texture, nullptr);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend ? TRUE : FALSE);
        // Two frames: the second one draws with the texture's opacity already measured.
        for (int frame = 0; frame < 2; ++frame)
        {
            m_device->Clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
            m_device->BeginScene();
            m_device->SetTexture(0, texture);
            ASSERT_EQ(DrawQuad(0, 0, c.right, kHeight, c.right / kWidth, 1, 0xFFFFFFFF), D3D_OK);
            m_device->SetTexture(0, nullptr);
            m_device->EndScene();
            std::vector<uint32_t> pixels = Frame();
            int wrong = 0;
            for (int i = 0; i < kWidth * kHeight; ++i)
            {
                bool hole = std::find(c.holes.begin(), c.holes.end(), i) != c.holes.end();
                bool uncovered = i % kWidth >= c.right;
                uint32_t expected = uncovered || (hole && c.blend) ? kClear : hole ? 0xFF000000u : kPicture;
                if (pixels[static_cast<size_t>(i)] != expected && wrong++ == 0)
                    ADD_FAILURE() << "pixel " << i << " of frame " << frame << ": " << std::hex
                                  << pixels[static_cast<size_t>(i)] << " instead of " << expected;
            }
        }
        texture->Release();
    }
}

// The opacity measured for a texture is forgotten when its pixels change under a lock.
TEST_F(D3D8DeviceTest, ATextureMadeTransparentAfterDrawingShowsTheClearAgain)
{
    IDirect3DTexture8* texture = MakeScreenTexture(m_device, kWidth, kHeight, 0xFFFFFFFF, {});
    ASSERT_NE(texture, nullptr);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    auto frame = [&]
    {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        m_device->BeginScene();
        m_device->SetTexture(0, texture);
        EXPECT_EQ(DrawQuad(0, 0, kWidth, kHeight, 1, 1, 0xFFFFFFFF), D3D_OK);
        m_device->SetTexture(0, nullptr);
        m_device->EndScene();
        return Frame();
    };
    EXPECT_EQ(frame()[7], 0xFFFFFFFFu);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[7] = 0x00FFFFFF;
    texture->UnlockRect(0);
    std::vector<uint32_t> pixels = frame();
    EXPECT_EQ(pixels[7], 0xFF0000FFu);
    EXPECT_EQ(pixels[8], 0xFFFFFFFFu);
    texture->Release();
}

// A flip hands the shown frame to the window and leaves the frame shown before in the back
// buffer; a copy swap leaves the back buffer as it was.
TEST_F(D3D8DeviceTest, PresentFlipsOrCopiesAsTheSwapEffectSays)
{
    auto backPixel = [&]
    {
        IDirect3DSurface8* back = nullptr;
        EXPECT_EQ(m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t pixel = *static_cast<const uint32_t*>(locked.pBits);
        back->UnlockRect();
        back->Release();
        return pixel;
    };
    for (D3DSWAPEFFECT effect : {D3DSWAPEFFECT_FLIP, D3DSWAPEFFECT_COPY})
    {
        SCOPED_TRACE(effect);
        D3DPRESENT_PARAMETERS pp = Parameters();
        pp.SwapEffect = effect;
        ASSERT_EQ(m_device->Reset(&pp), D3D_OK);
        for (uint32_t colour : {0xFF110000u, 0xFF002200u, 0xFF000033u})
        {
            m_device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
            std::vector<uint32_t> shown = Frame();
            EXPECT_EQ(shown[0], colour);
            EXPECT_EQ(shown.back(), colour);
        }
        EXPECT_EQ(backPixel(), effect == D3DSWAPEFFECT_COPY ? 0xFF000033u : 0xFF002200u);
    }
}
