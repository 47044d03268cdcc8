#include "KelRenderStateManagerCL.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "KelLogCL.h"
#include "TestDevice.h"
#include "TestFolder.h"
#include "Win32/Window.h"

namespace
{
// A value no push in these tests uses: a device state that still holds it was not touched.
constexpr DWORD kUntouched = 0xDEADu;

D3DMATRIX Matrix(float diagonal, float offset)
{
    D3DMATRIX matrix{};
    for (int i = 0; i < 4; ++i)
        matrix.m[i][i] = diagonal;
    matrix.m[3][0] = offset;
    return matrix;
}

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b)
{
    return std::memcmp(&a, &b, sizeof(D3DMATRIX)) == 0;
}

// A software device on a memory window, and a manager of its own that is the current one.
class RenderStateTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(CreateTestDevice(m_window, &m_d3d, &m_device)); }
    void TearDown() override
    {
        if (m_device != nullptr)
            m_device->Release();
        if (m_d3d != nullptr)
            m_d3d->Release();
    }

    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD value = 0;
        EXPECT_EQ(m_device->GetRenderState(state, &value), D3D_OK);
        return value;
    }
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
    {
        DWORD value = 0;
        EXPECT_EQ(m_device->GetTextureStageState(stage, type, &value), D3D_OK);
        return value;
    }
    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE type)
    {
        D3DMATRIX matrix{};
        EXPECT_EQ(m_device->GetTransform(type, &matrix), D3D_OK);
        return matrix;
    }

    MemoryWindow m_window{64, 48};
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
    KelRenderStateManagerCL m_manager;
};

// The same, with a log of its own in a fresh current directory.
class RenderStateLogTest : public RenderStateTest
{
protected:
    std::string ReadLog()
    {
        KelLogFlush();
        return m_folder.Read("KelLogFile.txt");
    }

    TestFolder m_folder{true};
    KelLogCL m_log;
};
} // namespace

TEST_F(RenderStateTest, RenderStateStackTouchesTheDeviceOnlyWhenTheValueChanges)
{
    // Before each step the device is given kUntouched behind the manager's back; the step's
    // expected device value is kUntouched when the manager must leave the device alone.
    struct Step
    {
        bool push;
        DWORD value;
        DWORD expected;
    };
    const Step steps[] = {
        {true, 1, 1},           // an empty stack always sets
        {true, 1, kUntouched},  // same as the top
        {true, 2, 2},           // differs from the top
        {false, 0, 1},          // back to the different value below
        {false, 0, kUntouched}, // the value below equals the top
        {false, 0, kUntouched}, // the last entry goes without touching the device
        {false, 0, kUntouched}, // an empty stack is left alone
        {true, 1, 1},           // and starts over
    };
    for (size_t i = 0; i < std::size(steps); ++i)
    {
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, kUntouched);
        if (steps[i].push)
            m_manager.PushRenderState(m_device, D3DRS_ALPHABLENDENABLE, steps[i].value);
        else
            m_manager.PopRenderState(m_device, D3DRS_ALPHABLENDENABLE);
        EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), steps[i].expected) << "step " << i;
    }

    // Each state has a stack of its own: the same value on another state is a first push there.
    m_device->SetRenderState(D3DRS_ZENABLE, kUntouched);
    m_manager.PushRenderState(m_device, D3DRS_ZENABLE, 1);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 1u);
}

TEST_F(RenderStateTest, ScopePopsItsStatesInReverseAlsoWhenAnExceptionLeavesIt)
{
    // The frame's own blend, pushed first as the screen does.
    KelPushRenderState(m_device, D3DRS_SRCBLEND, D3DBLEND_ONE);
    KelPushRenderState(m_device, D3DRS_DESTBLEND, D3DBLEND_ZERO);
    try
    {
        KelRenderStateScopeCL scope;
        scope.Push(m_device, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        scope.Push(m_device, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
        EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
        throw std::runtime_error("draw failed");
    }
    catch (const std::runtime_error&)
    {
    }
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    // Only the frame's entries are left: a further push and pop comes back to them.
    KelPushRenderState(m_device, D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
    KelPopRenderState(m_device, D3DRS_SRCBLEND);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
}

TEST_F(RenderStateTest, FreeFunctionsWorkOnTheCurrentManager)
{
    KelPushRenderState(m_device, D3DRS_CULLMODE, 1);
    KelPushRenderState(m_device, D3DRS_CULLMODE, 3);
    // The fixture's manager holds both entries, so its pop goes back to the first.
    m_manager.PopRenderState(m_device, D3DRS_CULLMODE);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), 1u);

    D3DMATRIX world = Matrix(2.0f, 5.0f);
    D3DMATRIX before = Transform(D3DTS_WORLD);
    KelPushWorldMatrix(m_device, &world);
    EXPECT_TRUE(SameMatrix(Transform(D3DTS_WORLD), world));
    KelPopWorldMatrix(m_device);
    EXPECT_TRUE(SameMatrix(Transform(D3DTS_WORLD), before));
}

TEST_F(RenderStateTest, MatrixPushSavesTheDeviceMatrixAndPopRestoresIt)
{
    struct Case
    {
        D3DTRANSFORMSTATETYPE type;
        void (KelRenderStateManagerCL::*push)(IDirect3DDevice8*, const D3DMATRIX*);
        void (KelRenderStateManagerCL::*pop)(IDirect3DDevice8*);
    };
    const Case cases[] = {
        {D3DTS_WORLD, &KelRenderStateManagerCL::PushWorldMatrix, &KelRenderStateManagerCL::PopWorldMatrix},
        {D3DTS_VIEW, &KelRenderStateManagerCL::PushViewMatrix, &KelRenderStateManagerCL::PopViewMatrix},
        {D3DTS_PROJECTION, &KelRenderStateManagerCL::PushProjectionMatrix,
         &KelRenderStateManagerCL::PopProjectionMatrix},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.type));
        // Set directly, never pushed: the first push must read it from the device.
        const D3DMATRIX original = Matrix(3.0f, 1.0f);
        const D3DMATRIX first = Matrix(4.0f, 2.0f);
        const D3DMATRIX second = Matrix(5.0f, 3.0f);
        m_device->SetTransform(c.type, &original);
        (m_manager.*c.push)(m_device, &first);
        EXPECT_TRUE(SameMatrix(Transform(c.type), first));
        (m_manager.*c.push)(m_device, &second);
        EXPECT_TRUE(SameMatrix(Transform(c.type), second));
        (m_manager.*c.pop)(m_device);
        EXPECT_TRUE(SameMatrix(Transform(c.type), first));
        (m_manager.*c.pop)(m_device);
        EXPECT_TRUE(SameMatrix(Transform(c.type), original));
    }
    // The three stacks are separate: each pop above found its own entries.
}

TEST_F(RenderStateTest, ViewportPopGoesBackToThePreviousViewportAndKeepsTheLast)
{
    const D3DVIEWPORT8 whole{0, 0, 64, 48, 0.0f, 1.0f};
    const D3DVIEWPORT8 corner{4, 6, 10, 12, 0.0f, 1.0f};
    D3DVIEWPORT8 seen{};
    m_manager.PushViewPort(m_device, &whole);
    m_manager.PushViewPort(m_device, &corner);
    ASSERT_EQ(m_device->GetViewport(&seen), D3D_OK);
    EXPECT_EQ(seen.X, 4u);
    EXPECT_EQ(seen.Height, 12u);
    m_manager.PopViewPort(m_device);
    ASSERT_EQ(m_device->GetViewport(&seen), D3D_OK);
    EXPECT_EQ(seen.X, 0u);
    EXPECT_EQ(seen.Width, 64u);
    // Popping the last entry sets nothing: the corner set behind the manager's back stays.
    m_device->SetViewport(&corner);
    m_manager.PopViewPort(m_device);
    ASSERT_EQ(m_device->GetViewport(&seen), D3D_OK);
    EXPECT_EQ(seen.X, 4u);
}

TEST_F(RenderStateTest, MagFilterIsSetOnTheFirstTwoStages)
{
    m_device->SetTextureStageState(2, D3DTSS_MAGFILTER, kUntouched);
    m_manager.PushMagFilter(m_device, D3DTEXF_LINEAR);
    m_manager.PushMagFilter(m_device, D3DTEXF_POINT);
    EXPECT_EQ(StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(StageState(1, D3DTSS_MAGFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(StageState(2, D3DTSS_MAGFILTER), kUntouched);
    m_manager.PopMagFilter(m_device);
    EXPECT_EQ(StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(StageState(1, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    // The last entry leaves the device as it is; further pops are ignored.
    m_manager.PopMagFilter(m_device);
    m_manager.PopMagFilter(m_device);
    EXPECT_EQ(StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
}

TEST_F(RenderStateTest, TextureStagePushSavesTheDeviceValueFirst)
{
    m_device->SetTextureStageState(3, D3DTSS_COLOROP, 4);
    m_manager.PushTextureStageState(m_device, 3, D3DTSS_COLOROP, 7);
    m_manager.PushTextureStageState(m_device, 3, D3DTSS_COLOROP, 8);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), 8u);
    // Another stage with the same type keeps its own stack and value.
    m_device->SetTextureStageState(4, D3DTSS_COLOROP, 2);
    m_manager.PushTextureStageState(m_device, 4, D3DTSS_COLOROP, 9);
    m_manager.PopTextureStageState(m_device, 4, D3DTSS_COLOROP);
    EXPECT_EQ(StageState(4, D3DTSS_COLOROP), 2u);

    m_manager.PopTextureStageState(m_device, 3, D3DTSS_COLOROP);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), 7u);
    m_manager.PopTextureStageState(m_device, 3, D3DTSS_COLOROP);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), 4u); // the value read before the first push
    // The saved value itself is never popped.
    m_device->SetTextureStageState(3, D3DTSS_COLOROP, kUntouched);
    m_manager.PopTextureStageState(m_device, 3, D3DTSS_COLOROP);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), kUntouched);
}

TEST_F(RenderStateTest, BadArgumentsLeaveStacksAndDeviceAlone)
{
    m_manager.PushRenderState(m_device, D3DRS_SRCBLEND, 5);
    m_manager.PushRenderState(m_device, D3DRS_SRCBLEND, 6);
    m_manager.PushRenderState(nullptr, D3DRS_SRCBLEND, 7);
    m_manager.PopRenderState(nullptr, D3DRS_SRCBLEND);
    m_manager.PushViewPort(m_device, nullptr);
    m_manager.PushWorldMatrix(m_device, nullptr);
    m_manager.PushTextureStageState(m_device, 8, D3DTSS_COLOROP, 1);
    m_manager.PopTextureStageState(m_device, 1000, D3DTSS_COLOROP);
    m_manager.PushMagFilter(nullptr, D3DTEXF_LINEAR);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), 6u);
    // The stack still holds exactly 5 then 6.
    m_manager.PopRenderState(m_device, D3DRS_SRCBLEND);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), 5u);
}

TEST_F(RenderStateLogTest, UnpairedPopsOfViewportAndMatricesAreLogged)
{
    struct Case
    {
        void (KelRenderStateManagerCL::*pop)(IDirect3DDevice8*);
        const char* text;
    };
    const Case cases[] = {
        {&KelRenderStateManagerCL::PopViewPort, "PushViewPort & PopViewPort 没有成对出现 error ~! "},
        {&KelRenderStateManagerCL::PopWorldMatrix, "PushWorldMatrix & PopWorldMatrix 没有成对出现 error"},
        {&KelRenderStateManagerCL::PopViewMatrix, "PushViewMatrix & PopViewMatrix 没有成对出现 error"},
        {&KelRenderStateManagerCL::PopProjectionMatrix,
         "PushProjectionMatrix & PopProjectionMatrix 没有成对出现 error"},
    };
    const D3DMATRIX world = Matrix(6.0f, 7.0f);
    m_device->SetTransform(D3DTS_WORLD, &world);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadLog().find(c.text), std::string::npos);
        (m_manager.*c.pop)(m_device);
        EXPECT_NE(ReadLog().find(c.text), std::string::npos);
    }
    EXPECT_TRUE(SameMatrix(Transform(D3DTS_WORLD), world));

    // Unpaired pops of render states, filters and texture-stage states are silent.
    const std::string before = ReadLog();
    m_manager.PopRenderState(m_device, D3DRS_ZENABLE);
    m_manager.PopMagFilter(m_device);
    m_manager.PopTextureStageState(m_device, 0, D3DTSS_COLOROP);
    EXPECT_EQ(ReadLog(), before);
}
