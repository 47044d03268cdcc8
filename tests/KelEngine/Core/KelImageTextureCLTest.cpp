#include "KelImageTextureCL.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelImageSysMemCL.h"
#include "Win32/Window.h"

namespace
{
class KelImageTextureTest : public EngineTest
{
protected:
    KelImageTextureTest() : EngineTest(64, 64) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithLoaderStopped(), nullptr);
        ASSERT_EQ(KelGetCurrentDevice(), m_device);
        // Reads the device's memory once, so that later calls only report what loaders took.
        m_system.GetAvailableVideoMemoryKb();
    }

    int Available() { return m_system.GetAvailableVideoMemoryKb(); }

    // Waits until the loader has handled everything queued, then takes the image's texture.
    IDirect3DTexture8* WaitForTexture(KelImageCL& image)
    {
        EXPECT_TRUE(m_loader.WaitForIdle(kIdleWithinMs));
        return image.GetTextureM();
    }

    // Generous: a loaded machine, or a sanitizer build, may be slow to load a file.
    static constexpr DWORD kIdleWithinMs = 60000;

    // Writes raw bytes into the first row of an image's level 0, `width` pixels wide.
    static void WriteRaw(KelImageCL& image, const void* data, size_t bytes, int width)
    {
        void* bits = nullptr;
        int pitch = 0;
        ASSERT_TRUE(image.LockRect(0, 0, width, 1, &bits, &pitch, 0));
        std::memcpy(bits, data, bytes);
        image.UnLockRect();
    }

    template <class Pixel>
    static void WriteRow(KelImageCL& image, const std::vector<Pixel>& pixels)
    {
        WriteRaw(image, pixels.data(), pixels.size() * sizeof(Pixel), static_cast<int>(pixels.size()));
    }

    template <class Pixel>
    static std::vector<Pixel> ReadRow(KelImageCL& image, int count)
    {
        void* bits = nullptr;
        int pitch = 0;
        std::vector<Pixel> pixels(static_cast<size_t>(count));
        EXPECT_TRUE(image.LockRect(0, 0, count, 1, &bits, &pitch, D3DLOCK_READONLY));
        if (bits != nullptr)
            std::memcpy(pixels.data(), bits, pixels.size() * sizeof(Pixel));
        image.UnLockRect();
        return pixels;
    }
};
} // namespace

TEST_F(KelImageTextureTest, DeferredLoadAnswersEmptyUntilTheWorkerPublishesTheTexture)
{
    // 64 x 32 with alpha: 4 KB estimated, doubled for 32 bits, charged twice by the loader.
    m_folder.Write("wide.tga", Tga(64, 32, {0xFF102030, 0x80405060}));
    const std::string path = Path("wide.tga");
    const int before = Available();

    KelImageTextureCL image;
    EXPECT_FALSE(image.LoadFromFileM("", 0));
    EXPECT_FALSE(image.LoadFromFileM(nullptr, 0));
    // Queued while the loader is stopped: nothing can have arrived yet.
    ASSERT_TRUE(image.LoadFromFileM(path.c_str(), 0));
    EXPECT_EQ(image.GetTextureM(), nullptr);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(0, 0));
    EXPECT_EQ(image.GetSurfaceDesc(), nullptr);
    D3DCOLOR colour = 0x12345678;
    EXPECT_FALSE(image.GetPointColor(0, 0, &colour));
    EXPECT_EQ(colour, 0u);
    EXPECT_EQ(image.GetIDM(), path);

    m_loader.Start();
    ASSERT_NE(WaitForTexture(image), nullptr);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(64, 32));
    ASSERT_NE(image.GetSurfaceDesc(), nullptr);
    EXPECT_EQ(image.GetSurfaceDesc()->Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(image.GetSurfaceDesc()->Pool, D3DPOOL_MANAGED);
    EXPECT_TRUE(image.GetPointColor(1, 0, &colour));
    EXPECT_EQ(colour, 0x80405060u);
    EXPECT_EQ(Available(), before - 16);
    EXPECT_EQ(image.GetChargedVideoMemoryKb(), 16);

    image.ReleaseTextureM();
    EXPECT_EQ(image.GetTextureM(), nullptr);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(0, 0));
    EXPECT_EQ(Available(), before);
}

TEST_F(KelImageTextureTest, ImageDeletedBeforeItsLoadFinishesLeavesNoTextureBehind)
{
    m_folder.Write("late.tga", Tga(64, 32, {0xFF00FF00}));
    const int before = Available();
    auto image = std::make_unique<KelImageTextureCL>();
    ASSERT_TRUE(image->LoadFromFileM(Path("late.tga").c_str(), 0));
    image.reset();

    // The loader still writes its result, into the slot the image left behind.
    m_loader.Start();
    ASSERT_TRUE(m_loader.WaitForIdle(kIdleWithinMs));
    EXPECT_EQ(Available(), before - 16);
    // The next release of any image frees it and gives its memory back.
    KelImageTextureCL other;
    other.ReleaseTextureM();
    EXPECT_EQ(Available(), before);
}

TEST_F(KelImageTextureTest, ImmediateAndMemoryLoads)
{
    const std::string tga = Tga(3, 2, {0xFF0000FF, 0x00FF0000, 0x7F00FF00});
    m_folder.Write("pic.tga", tga);
    const std::string path = Path("pic.tga");
    const int before = Available();

    KelImageTextureCL image;
    ASSERT_TRUE(image.LoadFromFileImmediateM(path.c_str(), 0));
    EXPECT_NE(image.GetTextureM(), nullptr);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(3, 2));
    EXPECT_EQ(image.GetIDM(), path);
    D3DCOLOR colour = 0;
    EXPECT_TRUE(image.GetPointColor(2, 1, &colour));
    EXPECT_EQ(colour, 0x7F00FF00u);
    EXPECT_NE(image.GetSurfaceM(), nullptr);
    EXPECT_EQ(image.GetSurfaceM(), image.GetSurfaceM()) << "the level-0 surface is kept";
    EXPECT_EQ(Available(), before) << "immediate loads are not counted";

    // A file that is missing or not a picture is logged and leaves the loaded picture alone.
    m_folder.Write("junk.tga", "not a picture");
    for (const std::string& bad : {Path("missing.tga"), Path("junk.tga")})
    {
        EXPECT_FALSE(image.LoadFromFileImmediateM(bad.c_str(), 0));
        EXPECT_NE(ReadLog().find("加载图片错误 : " + bad), std::string::npos) << bad;
    }
    EXPECT_EQ(image.GetSizeM(), std::make_pair(3, 2));
    EXPECT_EQ(image.GetIDM(), path);

    KelImageTextureCL fromMemory;
    ASSERT_TRUE(fromMemory.LoadFromMemoryM("inline", tga.data(), static_cast<UINT>(tga.size())));
    EXPECT_EQ(fromMemory.GetSizeM(), std::make_pair(3, 2));
    EXPECT_EQ(fromMemory.GetIDM(), "inline");
    EXPECT_TRUE(fromMemory.GetPointColor(1, 0, &colour));
    EXPECT_EQ(colour, 0x00FF0000u);
    EXPECT_FALSE(fromMemory.LoadFromMemoryM("garbage", "xyz", 3));
    EXPECT_NE(ReadLog().find("内存加载图片错误 : garbage"), std::string::npos);
    EXPECT_FALSE(fromMemory.LoadFromMemoryM(nullptr, tga.data(), static_cast<UINT>(tga.size())));
    EXPECT_FALSE(fromMemory.LoadFromMemoryM("empty", tga.data(), 0));
    EXPECT_EQ(fromMemory.GetIDM(), "inline");
}

TEST_F(KelImageTextureTest, CreateImageChargesItsEstimateByPoolAndLogsFailures)
{
    struct Case
    {
        D3DPOOL pool;
        DWORD usage;
        int charge; // 64 x 64: 8 KB estimated
    };
    const Case cases[] = {{D3DPOOL_DEFAULT, 0, 8},
                          {D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, 8},
                          {D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, 16},
                          {D3DPOOL_MANAGED, 0, 16},
                          {D3DPOOL_SYSTEMMEM, 0, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.pool) * 1000 + static_cast<int>(c.usage));
        const int before = Available();
        KelImageTextureCL image;
        ASSERT_TRUE(image.CreateImageM("target", 64, 64, 1, c.usage, D3DFMT_A8R8G8B8, c.pool));
        EXPECT_EQ(image.GetSizeM(), std::make_pair(64, 64));
        EXPECT_EQ(image.GetIDM(), "target");
        EXPECT_EQ(image.GetSurfaceDesc()->Usage, c.usage);
        EXPECT_EQ(Available(), before - c.charge);
        image.ReleaseTextureM();
        EXPECT_EQ(Available(), before);
    }

    const int before = Available();
    KelImageTextureCL image;
    EXPECT_FALSE(image.CreateImageM("flat", 0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    EXPECT_FALSE(image.CreateImageM("managedTarget", 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_MANAGED));
    const std::string log = ReadLog();
    EXPECT_NE(log.find("CreateTexture错误  D3DERR_INVALIDCALL flat"), std::string::npos);
    EXPECT_NE(log.find("CreateTexture错误  D3DERR_INVALIDCALL managedTarget"), std::string::npos);
    EXPECT_EQ(image.GetTextureM(), nullptr);
    EXPECT_EQ(Available(), before);
}

TEST_F(KelImageTextureTest, DeviceLossDropsOnlyDefaultPoolTargetsAndDynamicTexturesAndRecreatesThem)
{
    KelImageTextureCL target;
    KelImageTextureCL dynamic;
    KelImageTextureCL managed;
    ASSERT_TRUE(
        target.CreateImageM("target", 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT));
    ASSERT_TRUE(dynamic.CreateImageM("dynamic", 8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A4R4G4B4, D3DPOOL_DEFAULT));
    ASSERT_TRUE(managed.CreateImageM("managed", 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    IDirect3DTexture8* kept = managed.GetTextureM();
    ASSERT_NE(target.GetSurfaceM(), nullptr);
    const int before = Available();

    for (KelImageTextureCL* image : {&target, &dynamic, &managed})
        EXPECT_TRUE(image->OnLostDevice());
    EXPECT_EQ(target.GetTextureM(), nullptr);
    EXPECT_EQ(target.GetSurfaceM(), nullptr);
    EXPECT_EQ(dynamic.GetTextureM(), nullptr);
    EXPECT_EQ(managed.GetTextureM(), kept);
    EXPECT_EQ(target.GetSizeM(), std::make_pair(32, 16)) << "the size stays known while lost";

    // The device can only be reset once no default-pool texture is left.
    EXPECT_EQ(m_device->Reset(m_screen->GetPresentParameters()), D3D_OK);

    for (KelImageTextureCL* image : {&target, &dynamic, &managed})
        EXPECT_TRUE(image->OnResetDevice());
    EXPECT_EQ(managed.GetTextureM(), kept);
    EXPECT_FALSE(managed.BeRecreated());
    struct Expected
    {
        KelImageTextureCL* image;
        DWORD usage;
        D3DFORMAT format;
    };
    for (const Expected& e : {Expected{&target, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8},
                              Expected{&dynamic, D3DUSAGE_DYNAMIC, D3DFMT_A4R4G4B4}})
    {
        SCOPED_TRACE(e.image->GetIDM());
        ASSERT_NE(e.image->GetTextureM(), nullptr);
        const D3DSURFACE_DESC* desc = e.image->GetSurfaceDesc();
        EXPECT_EQ(desc->Usage, e.usage);
        EXPECT_EQ(desc->Format, e.format);
        EXPECT_EQ(desc->Pool, D3DPOOL_DEFAULT);
        EXPECT_TRUE(e.image->BeRecreated());
        EXPECT_FALSE(e.image->BeRecreated()) << "reading the flag clears it";
    }
    EXPECT_EQ(target.GetSizeM(), std::make_pair(32, 16));
    EXPECT_EQ(Available(), before) << "the re-created textures cost what the lost ones did";
}

TEST_F(KelImageTextureTest, PointColourByFormat)
{
    struct Case
    {
        D3DFORMAT format;
        uint32_t raw;
        D3DCOLOR expected;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x80112233, 0x80112233},
        {D3DFMT_X8R8G8B8, 0x00112233, 0x00112233},
        // 1-5-5-5: alpha from bit 15, colour fields with their low three bits set.
        {D3DFMT_A1R5G5B5, 0x8000 | 31 << 10 | 1, 0xFFFF070F},
        {D3DFMT_X1R5G5B5, 0x0000, 0x00070707},
        // 5-6-5 and 4-4-4-4: empty fields read 0, full ones 255.
        {D3DFMT_R5G6B5, 0xF800, 0xFFFF0000},
        {D3DFMT_R5G6B5, 0x07E0, 0xFF00FF00},
        {D3DFMT_R5G6B5, 0x0000, 0xFF000000},
        {D3DFMT_R5G6B5, 16 << 11 | 32 << 5 | 1, 0xFF848208},
        {D3DFMT_A4R4G4B4, 0x0F80, 0x00FF8800},
        {D3DFMT_X4R4G4B4, 0xF123, 0xFF112233},
        // No reading of 24-bit pixels.
        {D3DFMT_R8G8B8, 0xFFFFFF, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.format) * 100000 + static_cast<int>(c.raw & 0xFFFF));
        KelImageTextureCL image;
        ASSERT_TRUE(image.CreateImageM("pixel", 2, 1, 1, 0, c.format, D3DPOOL_MANAGED));
        const UINT bytes = D3D8BytesPerPixel(c.format);
        std::vector<uint8_t> row(static_cast<size_t>(bytes) * 2, 0);
        for (UINT i = 0; i < bytes; ++i)
            row[i] = static_cast<uint8_t>(c.raw >> (8 * i));
        WriteRaw(image, row.data(), row.size(), 2);
        D3DCOLOR colour = 0x12345678;
        image.GetPointColor(0, 0, &colour);
        EXPECT_EQ(colour, c.expected);
    }

    KelImageTextureCL image;
    ASSERT_TRUE(image.CreateImageM("edge", 2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    WriteRow<uint32_t>(image, {0xFFFFFFFF, 0xFFFFFFFF});
    for (auto [x, y] : {std::pair{-1, 0}, std::pair{2, 0}, std::pair{0, 1}, std::pair{0, -1}})
    {
        D3DCOLOR colour = 0x12345678;
        EXPECT_FALSE(image.GetPointColor(x, y, &colour));
        EXPECT_EQ(colour, 0u) << x << "," << y;
    }
}

TEST_F(KelImageTextureTest, ThirtyTwoBitTexturesConvertToSixteenBits)
{
    struct Case
    {
        D3DFORMAT from;
        bool to1555;
        std::vector<uint16_t> expected;
        D3DPOOL pool;
    };
    const std::vector<uint32_t> pixels = {0x80FF4010, 0x12345678};
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, false, {0x8F41, 0x1357}, D3DPOOL_MANAGED},
        {D3DFMT_X8R8G8B8, false, {0xFF41, 0xF357}, D3DPOOL_MANAGED},
        {D3DFMT_A8R8G8B8, true, {0xFD02, 0x194F}, D3DPOOL_SYSTEMMEM},
        {D3DFMT_X8R8G8B8, true, {0xFD02, 0x994F}, D3DPOOL_SYSTEMMEM},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.from) * 10 + (c.to1555 ? 1 : 0));
        KelImageTextureCL image;
        ASSERT_TRUE(image.CreateImageM("32", 2, 1, 1, 0, c.from, D3DPOOL_SYSTEMMEM));
        WriteRow(image, pixels);
        ASSERT_TRUE(c.to1555 ? image.Change32To1555() : image.Change32To16());
        const D3DSURFACE_DESC* desc = image.GetSurfaceDesc();
        EXPECT_EQ(desc->Format, c.to1555 ? D3DFMT_A1R5G5B5 : D3DFMT_A4R4G4B4);
        EXPECT_EQ(desc->Pool, c.pool) << "A4R4G4B4 goes to the managed pool, A1R5G5B5 keeps the pool";
        EXPECT_EQ(image.GetSizeM(), std::make_pair(2, 1));
        EXPECT_EQ(ReadRow<uint16_t>(image, 2), c.expected);
        // Only 32-bit textures convert.
        EXPECT_FALSE(image.Change32To16());
        EXPECT_FALSE(image.Change32To1555());
    }

    // The video memory taken when the texture was made is given back once, whatever it became.
    const int before = Available();
    KelImageTextureCL image;
    ASSERT_TRUE(image.CreateImageM("managed", 64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    ASSERT_TRUE(image.Change32To16());
    image.ReleaseTextureM();
    EXPECT_EQ(Available(), before);
}

TEST_F(KelImageTextureTest, ClearRectMakesTheAreaTransparentBlack)
{
    KelImageTextureCL image;
    ASSERT_TRUE(image.CreateImageM("clear", 4, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    WriteRow<uint32_t>(image, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
    const RECT middle{1, 0, 3, 1};
    ASSERT_TRUE(image.ClearRectM(&middle));
    EXPECT_EQ(ReadRow<uint32_t>(image, 4), (std::vector<uint32_t>{0xFFFFFFFF, 0, 0, 0xFFFFFFFF}));
    const RECT outside{2, 0, 5, 1};
    EXPECT_FALSE(image.ClearRectM(&outside));
    ASSERT_TRUE(image.ClearRectM(nullptr));
    EXPECT_EQ(ReadRow<uint32_t>(image, 4), (std::vector<uint32_t>{0, 0, 0, 0}));
}

TEST_F(KelImageTextureTest, RenderDrawsAtTheCanvasOriginPlusTheOffset)
{
    KelImageTextureCL image;
    ASSERT_TRUE(image.CreateImageM("red", 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    for (int y = 0; y < 4; ++y)
    {
        void* bits = nullptr;
        int pitch = 0;
        ASSERT_TRUE(image.LockRect(0, y, 4, 1, &bits, &pitch, 0));
        for (int x = 0; x < 4; ++x)
            static_cast<uint32_t*>(bits)[x] = 0xFFFF0000;
        image.UnLockRect();
    }
    EXPECT_FALSE(image.Render(nullptr, 0, 0));
    EXPECT_FALSE(image.RenderRect(nullptr, 0, 0, 1, 1, 0xFFFFFFFF));

    bool drawn = false;
    m_screen->SetRenderCallback(
        [&](KelCanvasCL* canvas)
        {
            canvas->SetOrigin(10, 20);
            drawn = image.Render(canvas, 5, 6);
            canvas->SetOrigin(0, 0);
        });
    m_screen->RenderFrame();
    EXPECT_TRUE(drawn);
    int width = 0;
    const std::vector<uint32_t> frame = m_window.Frame(&width);
    ASSERT_FALSE(frame.empty());
    auto pixel = [&](int x, int y) { return frame.at(static_cast<size_t>(y) * width + x) & 0xFFFFFF; };
    EXPECT_EQ(pixel(15, 26), 0xFF0000u);
    EXPECT_EQ(pixel(18, 29), 0xFF0000u);
    EXPECT_NE(pixel(14, 26), 0xFF0000u);
    EXPECT_NE(pixel(19, 29), 0xFF0000u);
}

TEST_F(KelImageTextureTest, SystemMemoryImageKeepsSixteenBitAndCompressedCopies)
{
    m_folder.Write("sys.tga", Tga(2, 1, {0xFFFF0000, 0xBF00FFFF}));
    KelImageSysMemCL image;
    ASSERT_TRUE(image.LoadFromFileM(Path("sys.tga").c_str(), 0));
    ASSERT_NE(image.GetSurfaceDesc(), nullptr);
    EXPECT_EQ(image.GetSurfaceDesc()->Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(2, 1));
    D3DCOLOR colour = 0;
    EXPECT_TRUE(image.GetPointColor(1, 0, &colour));
    EXPECT_EQ(colour, 0xBF00FFFFu);
    EXPECT_EQ(image.GetPixels16(), (std::vector<uint16_t>{0xFF00, 0xB0FF}));

    // A1R5G5B5: the alpha bit only for alpha 0xC0 and above.
    ASSERT_TRUE(image.SetPixels16Format(D3DFMT_A1R5G5B5));
    EXPECT_EQ(image.GetPixels16(), (std::vector<uint16_t>{0xFC00, 0x03FF}));
    EXPECT_FALSE(image.SetPixels16Format(D3DFMT_R5G6B5));

    const std::vector<uint8_t>& packed = image.GetCompressedPixels16();
    ASSERT_FALSE(packed.empty());
    std::vector<uint8_t> unpacked(4);
    uLongf length = static_cast<uLongf>(unpacked.size());
    ASSERT_EQ(uncompress(unpacked.data(), &length, packed.data(), static_cast<uLong>(packed.size())), Z_OK);
    EXPECT_EQ(unpacked, (std::vector<uint8_t>{0x00, 0xFC, 0xFF, 0x03}));

    // Writing through a lock refreshes both copies.
    WriteRow<uint32_t>(image, {0xFF0000FF, 0x00000000});
    EXPECT_EQ(image.GetPixels16(), (std::vector<uint16_t>{0x801F, 0x0000}));
    length = static_cast<uLongf>(unpacked.size());
    const std::vector<uint8_t>& repacked = image.GetCompressedPixels16();
    ASSERT_EQ(uncompress(unpacked.data(), &length, repacked.data(), static_cast<uLong>(repacked.size())),
              Z_OK);
    EXPECT_EQ(unpacked, (std::vector<uint8_t>{0x1F, 0x80, 0x00, 0x00}));

    EXPECT_FALSE(image.LoadFromFileM(Path("missing.tga").c_str(), 0));
    EXPECT_NE(ReadLog().find("加载图片错误 : " + Path("missing.tga")), std::string::npos);
    EXPECT_EQ(image.GetSizeM(), std::make_pair(2, 1));

    const std::string tga = Tga(1, 1, {0x80123456});
    KelImageSysMemCL fromMemory;
    ASSERT_TRUE(fromMemory.LoadFromMemoryM("mem", tga.data(), static_cast<UINT>(tga.size())));
    EXPECT_EQ(fromMemory.GetPixels16(), (std::vector<uint16_t>{0x8135}));
    EXPECT_TRUE(fromMemory.OnLostDevice());
    EXPECT_NE(fromMemory.GetTextureM(), nullptr) << "system memory survives a device loss";
}
