#include "KelLoadSystemCL.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "D3D8/D3DX8.h"
#include "EngineTestSupport.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "LockProbe.h"
#include "TestDevice.h"
#include "TestFolder.h"
#include "Win32/Window.h"

namespace
{
// An uncompressed 24-bit BMP of the given size; rows are padded to 4 bytes as the format asks.
std::string Bmp(int width, int height)
{
    const int row = (width * 3 + 3) / 4 * 4;
    const uint32_t dataSize = static_cast<uint32_t>(row * height);
    std::string file(54 + dataSize, '\0');
    auto put32 = [&file](size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    put32(34, dataSize);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            file[54 + y * row + x] = static_cast<char>(x * 7 + y * 13);
    return file;
}

// The caller's side of a request: starts empty, as the loader leaves failed requests.
struct Outputs
{
    IDirect3DTexture8* texture = nullptr;
    UINT width = 0;
    UINT height = 0;
};

// How a caller learns that its texture is ready: the pointer appears last, in one store.
IDirect3DTexture8* ReadyTexture(IDirect3DTexture8** texture)
{
    return std::atomic_ref<IDirect3DTexture8*>(*texture).load(std::memory_order_acquire);
}

// Generous: a loaded machine, or a sanitizer build, may be slow to load a file.
const DWORD kIdleWithinMs = 60000;
// Longer than any bounded wait after which a loader might give up on its worker.
constexpr std::chrono::milliseconds kLongerThanAnyGiveUp{2000};

// Holds the worker inside a load until the test opens it, then loads the file as the loader
// itself would.
class LoadGateCL
{
public:
    KelLoadFileFun Function()
    {
        return [this](IDirect3DDevice8* device, const char* path, D3DXIMAGE_INFO* info,
                      IDirect3DTexture8** texture)
        {
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_entered = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_open; });
            }
            const bool loaded =
                D3DXGetImageInfoFromFileA(path, info) == D3D_OK &&
                D3DXCreateTextureFromFileExA(device, path, info->Width, info->Height, info->MipLevels, 0,
                                             info->Format, D3DPOOL_MANAGED, D3DX_FILTER_NONE, 0, 0, nullptr,
                                             nullptr, texture) == D3D_OK;
            m_left = true;
            return loaded;
        };
    }

    bool WaitUntilEntered()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::milliseconds(kIdleWithinMs),
                                  [this] { return m_entered; });
    }

    void Open()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

    // The load function has returned.
    bool HasLeft() const { return m_left; }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
    std::atomic<bool> m_left{false};
};

// Each test has its own folder (the current directory), log, device and loader.
class KelLoadSystemTest : public LogFolderTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTestDevice(m_window, &m_d3d, &m_device));
        m_loader.SetDevice(m_device);
    }

    void TearDown() override
    {
        m_loader.Close();
        m_loader.SetDevice(nullptr);
        for (IDirect3DTexture8* texture : m_textures)
            texture->Release();
        // Every texture the loader made was either handed out (and released above) or released
        // by the loader itself: the device's own reference is the last one.
        if (m_device != nullptr)
        {
            EXPECT_EQ(m_device->Release(), 0u);
        }
        if (m_d3d != nullptr)
            m_d3d->Release();
    }

    // Keeps a texture the loader handed out, to be released when the test ends.
    void Keep(IDirect3DTexture8* texture)
    {
        if (texture != nullptr)
            m_textures.push_back(texture);
    }

    // Waits until the worker has handled every request, then closes the loader.
    void DrainAndClose()
    {
        EXPECT_TRUE(m_loader.WaitForIdle(kIdleWithinMs));
        m_loader.Close();
    }

    // The texture of a request once the worker has handled everything queued; null when the
    // load failed.
    IDirect3DTexture8* WaitForTexture(IDirect3DTexture8** texture)
    {
        EXPECT_TRUE(m_loader.WaitForIdle(kIdleWithinMs));
        return ReadyTexture(texture);
    }

    MemoryWindow m_window{64, 64};
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
    KelLoadSystemCL m_loader;
    std::vector<IDirect3DTexture8*> m_textures;
};

TEST_F(KelLoadSystemTest, DeferredLoadsFinishOnTheWorkerWithSizes)
{
    struct Case
    {
        const char* name;
        int width;
        int height;
    };
    const Case cases[] = {{"wide.bmp", 64, 32}, {"odd.bmp", 5, 7}, {"sub\\tall.bmp", 3, 40}};
    for (const Case& c : cases)
    {
        std::string relative = c.name;
        for (char& ch : relative)
            ch = ch == '\\' ? '/' : ch;
        m_folder.Write(relative, Bmp(c.width, c.height));
    }
    KelSystemCL::GetInstance()->SetAvailableVideoMemoryKb(1000);

    Outputs outputs[std::size(cases)];
    m_loader.Start();
    for (size_t i = 0; i < std::size(cases); ++i)
        m_loader.Enqueue(cases[i].name, &outputs[i].texture, &outputs[i].width, &outputs[i].height);

    for (size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(cases[i].name);
        IDirect3DTexture8* texture = WaitForTexture(&outputs[i].texture);
        ASSERT_NE(texture, nullptr);
        Keep(texture);
        EXPECT_EQ(outputs[i].width, static_cast<UINT>(cases[i].width));
        EXPECT_EQ(outputs[i].height, static_cast<UINT>(cases[i].height));
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, static_cast<UINT>(cases[i].width));
        EXPECT_EQ(desc.Height, static_cast<UINT>(cases[i].height));
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    }
    // 64 x 32 x 2 / 1024 = 4 KB, doubled for a 32-bit texture, and taken twice; the small images
    // round down to nothing.
    EXPECT_EQ(KelSystemCL::GetInstance()->GetAvailableVideoMemoryKb(), 1000 - 16);
    EXPECT_EQ(m_loader.GetQueuedCount(), 0u);
    EXPECT_EQ(ReadLog().find("加载图片错误"), std::string::npos) << "no load error is logged";
}

TEST_F(KelLoadSystemTest, SizeOutputsAreOptional)
{
    m_folder.Write("a.bmp", Bmp(8, 4));
    IDirect3DTexture8* texture = nullptr;
    m_loader.Start();
    m_loader.Enqueue("a.bmp", &texture, nullptr, nullptr);
    Keep(WaitForTexture(&texture));
    EXPECT_NE(texture, nullptr);
}

TEST_F(KelLoadSystemTest, FailedLoadsLogTheFileAndLeaveOutputsEmpty)
{
    m_folder.Write("garbage.bmp", "this is not an image at all");
    m_folder.Write("empty.png", "");
    // An animated cursor: a RIFF "ACON" file, which the loader cannot decode as an image.
    m_folder.Write("walk.ani", std::string("RIFF\x04\x00\x00\x00", 8) + "ACON");
    const char* names[] = {"missing.bmp", "garbage.bmp", "empty.png", "walk.ani", "no_such_dir\\x.png"};

    Outputs outputs[std::size(names)];
    m_loader.Start();
    for (size_t i = 0; i < std::size(names); ++i)
        m_loader.Enqueue(names[i], &outputs[i].texture, &outputs[i].width, &outputs[i].height);
    DrainAndClose();

    const std::string log = ReadLog();
    for (size_t i = 0; i < std::size(names); ++i)
    {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(outputs[i].texture, nullptr);
        EXPECT_EQ(outputs[i].width, 0u);
        EXPECT_EQ(outputs[i].height, 0u);
        const std::string line = std::string("加载图片错误 : ") + names[i] + " \n";
        EXPECT_NE(log.find(line), std::string::npos) << log;
    }
}

TEST_F(KelLoadSystemTest, WithoutDeviceEvenGoodFilesFail)
{
    m_folder.Write("good.bmp", Bmp(4, 4));
    m_loader.SetDevice(nullptr);
    Outputs outputs;
    m_loader.Start();
    m_loader.Enqueue("good.bmp", &outputs.texture, &outputs.width, &outputs.height);
    DrainAndClose();
    EXPECT_EQ(outputs.texture, nullptr);
    EXPECT_EQ(outputs.width, 0u);
    EXPECT_NE(ReadLog().find("加载图片错误 : good.bmp \n"), std::string::npos);
}

TEST_F(KelLoadSystemTest, CloseWithRequestsQueuedReturnsAndDropsThem)
{
    m_folder.Write("big.bmp", Bmp(256, 256));
    std::vector<Outputs> outputs(300);
    m_loader.Start();
    for (Outputs& o : outputs)
        m_loader.Enqueue("big.bmp", &o.texture, &o.width, &o.height);

    const auto before = std::chrono::steady_clock::now();
    m_loader.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10)) << "Close blocked";
    EXPECT_FALSE(m_loader.IsStarted());
    EXPECT_EQ(m_loader.GetQueuedCount(), 0u);

    // Whatever finished before Close is complete; the rest was never written.
    for (Outputs& o : outputs)
    {
        Keep(o.texture);
        EXPECT_EQ(o.width, o.texture != nullptr ? 256u : 0u);
    }
    // The device's final release in TearDown shows that no texture was left behind.
}

TEST_F(KelLoadSystemTest, StartsAgainAfterClose)
{
    m_folder.Write("a.bmp", Bmp(16, 8));
    m_loader.Close(); // closing a loader that never started returns at once
    m_loader.Start();
    m_loader.Start(); // already started: no second worker
    EXPECT_TRUE(m_loader.IsStarted());
    m_loader.Close();
    EXPECT_FALSE(m_loader.IsStarted());

    // Requests queued while stopped wait for the next start.
    Outputs outputs;
    m_loader.Enqueue("a.bmp", &outputs.texture, &outputs.width, &outputs.height);
    EXPECT_EQ(m_loader.GetQueuedCount(), 1u);
    EXPECT_FALSE(m_loader.WaitForIdle(0)) << "no worker will handle the request";
    m_loader.Start();
    IDirect3DTexture8* texture = WaitForTexture(&outputs.texture);
    ASSERT_NE(texture, nullptr);
    Keep(texture);
    EXPECT_EQ(outputs.width, 16u);
    EXPECT_EQ(outputs.height, 8u);
}

TEST_F(KelLoadSystemTest, DestroyedWhileItsWorkerIsInsideASlowLoadWaitsForTheLoad)
{
    m_folder.Write("slow.bmp", Bmp(8, 4));
    LoadGateCL gate;
    auto loader = std::make_unique<KelLoadSystemCL>();
    loader->SetDevice(m_device);
    loader->SetLoadFunction(gate.Function());
    Outputs outputs;
    loader->Start();
    loader->Enqueue("slow.bmp", &outputs.texture, &outputs.width, &outputs.height);
    ASSERT_TRUE(gate.WaitUntilEntered());

    // A loader that gave up on its worker would be gone while the worker still uses it.
    std::atomic<bool> leftBeforeDestroyed{false};
    LockProbe destroyed(
        [&]
        {
            loader.reset();
            leftBeforeDestroyed = gate.HasLeft();
        });
    EXPECT_FALSE(destroyed.AcquiredWithin(kLongerThanAnyGiveUp)) << "destroyed with its worker inside a load";
    gate.Open();
    ASSERT_TRUE(destroyed.AcquiredWithin(kReleasedWithin));
    EXPECT_TRUE(leftBeforeDestroyed);
    // The file in hand was finished and published before the loader went.
    IDirect3DTexture8* texture = ReadyTexture(&outputs.texture);
    ASSERT_NE(texture, nullptr);
    Keep(texture);
    EXPECT_EQ(outputs.width, 8u);
    EXPECT_EQ(outputs.height, 4u);
}

TEST_F(KelLoadSystemTest, TwoLoadersStopIndependently)
{
    m_folder.Write("a.bmp", Bmp(16, 8));
    KelLoadSystemCL other;
    other.SetDevice(m_device);
    m_loader.Start();
    other.Start();
    other.Close();

    Outputs first;
    m_loader.Enqueue("a.bmp", &first.texture, &first.width, &first.height);
    IDirect3DTexture8* texture = WaitForTexture(&first.texture);
    ASSERT_NE(texture, nullptr) << "closing one loader stopped the other";
    Keep(texture);

    // And the other way round: the closed one starts again and loads while this one closes.
    Outputs second;
    other.Enqueue("a.bmp", &second.texture, &second.width, &second.height);
    other.Start();
    m_loader.Close();
    EXPECT_TRUE(other.WaitForIdle(kIdleWithinMs));
    texture = ReadyTexture(&second.texture);
    ASSERT_NE(texture, nullptr) << "closing one loader stopped the other";
    Keep(texture);
    other.Close();
}

TEST_F(KelLoadSystemTest, NullArgumentsQueueNothing)
{
    UINT width = 0;
    UINT height = 0;
    IDirect3DTexture8* texture = nullptr;
    m_loader.Enqueue(nullptr, &texture, &width, &height);
    m_loader.Enqueue("a.bmp", nullptr, &width, &height);
    EXPECT_EQ(m_loader.GetQueuedCount(), 0u);
}
} // namespace
