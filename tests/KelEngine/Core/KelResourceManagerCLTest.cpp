#include "KelResourceManagerCL.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelAniFile.h"
#include "KelImageAnimCL.h"
#include "KelImageCL.h"
#include "KelImageGifCL.h"
#include "KelImageSysMemCL.h"
#include "KelImageTextureCL.h"
#include "KelTextureCL.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
// A 2 x 2 GIF of two frames of 100 ms.
std::string TwoFrameGif()
{
    return TestGif(2, 2,
                   {{0, 0, 2, 2, 10, std::vector<uint8_t>(4, kGifRed)},
                    {0, 0, 2, 2, 10, std::vector<uint8_t>(4, kGifBlue)}});
}

// An ".ani" file of `frames` 2 x 2 A8R8G8B8 frames of 100 ms each.
bool WriteAni(const std::string& path, int frames)
{
    KelAniContent content;
    for (int i = 0; i < frames; ++i)
        content.frames.push_back(SolidAniFrame(100, 0x40404040u * static_cast<uint32_t>(i + 1)));
    return KelWriteAniFile(path.c_str(), content);
}

class KelResourceManagerTest : public EngineTestBase<TestClockCL>
{
protected:
    KelResourceManagerTest() : EngineTestBase(64, 64) {}

    void SetUp() override { ASSERT_NE(CreateScreenWithDevice(), nullptr); }
};
} // namespace

TEST_F(KelResourceManagerTest, TexturesShareOneImageUntilTheSweepAfterTheLastRelease)
{
    m_folder.Write("a.tga", SolidTga(4, 4, 0xFF102030));
    m_folder.Write("b.tga", SolidTga(2, 2, 0xFF102030));
    const std::string path = Path("a.tga");

    // A released image present at the first update survives it: the first call only starts the
    // clock of the sweeps.
    KelImageCL* early = m_images.LoadImageM(Path("b.tga").c_str(), true, 0);
    ASSERT_NE(early, nullptr);
    early->ReleaseReference();
    m_system.now = 100000;
    m_images.Update();
    EXPECT_EQ(m_images.Find(Path("b.tga").c_str()), early);

    KelTextureCL* first = new KelTextureCL(path.c_str(), true);
    KelTextureCL* second = new KelTextureCL(path.c_str(), true);
    KelImageCL* image = first->GetImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(second->GetImage(), image);
    EXPECT_EQ(image->GetReferenceCount(), 1);
    EXPECT_EQ(m_images.Find(path.c_str()), image);
    EXPECT_EQ(image->GetReferenceCount(), 1) << "Find takes no reference";
    // Keys keep their case even where the file system finds the same file.
    EXPECT_EQ(m_images.Find((m_folder.WinPath() + "\\A.TGA").c_str()), nullptr);

    // One holder left: a sweep keeps the image.
    KelReleaseTexture(first);
    EXPECT_EQ(image->GetReferenceCount(), 0);
    m_system.now = 105001;
    m_images.Update();
    EXPECT_EQ(m_images.Find(Path("b.tga").c_str()), nullptr) << "swept after more than 5000 ms";
    EXPECT_EQ(m_images.Find(path.c_str()), image);

    // Released by both, then loaded again before any sweep: the cached image comes back.
    KelReleaseTexture(second);
    EXPECT_EQ(image->GetReferenceCount(), -1);
    KelTextureCL* again = new KelTextureCL(path.c_str(), true);
    EXPECT_EQ(again->GetImage(), image);
    EXPECT_EQ(image->GetReferenceCount(), 0);
    KelReleaseTexture(again);

    // Exactly 5000 ms after the last sweep is not enough; one more millisecond is.
    m_system.now = 110001;
    m_images.Update();
    EXPECT_EQ(m_images.Find(path.c_str()), image);
    m_system.now = 110002;
    m_images.Update();
    EXPECT_EQ(m_images.Find(path.c_str()), nullptr);
    EXPECT_EQ(m_images.GetImageCount(), 0u);
}

TEST_F(KelResourceManagerTest, ALoadTakesTheFirstKindThatReadsTheFile)
{
    m_folder.Write("plain.tga", SolidTga(4, 2, 0xFFFFFFFF));
    m_folder.Write("spin.gif", TwoFrameGif());
    m_folder.Write("broken.tga", "not a picture at all");
    ASSERT_TRUE(WriteAni(Path("walk.ani"), 2));

    enum Kind
    {
        None,
        Plain,
        Animation,
        Gif
    };
    struct Case
    {
        const char* file;
        Kind kind;
    };
    const Case cases[] = {
        {"plain.tga", Plain}, {"walk.ani", Animation}, {"spin.gif", Gif},
        {"broken.tga", None}, {"missing.tga", None},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.file);
        const std::string path = Path(test.file);
        KelImageCL* image = m_images.LoadImageM(path.c_str(), true, 0);
        switch (test.kind)
        {
        case None:
            EXPECT_EQ(image, nullptr);
            EXPECT_EQ(m_images.Find(path.c_str()), nullptr);
            EXPECT_NE(ReadLog().find("加载图片错误 : " + path + " "), std::string::npos);
            break;
        case Plain:
            EXPECT_NE(dynamic_cast<KelImageTextureCL*>(image), nullptr);
            break;
        case Animation:
            ASSERT_NE(dynamic_cast<KelImageAnimCL*>(image), nullptr);
            EXPECT_EQ(static_cast<KelImageAnimCL*>(image)->GetFrameCount(), 2);
            break;
        case Gif:
            ASSERT_NE(dynamic_cast<KelImageGifCL*>(image), nullptr);
            EXPECT_EQ(static_cast<KelImageGifCL*>(image)->GetFrameCount(), 2);
            break;
        }
        if (image != nullptr)
        {
            EXPECT_EQ(m_images.Find(path.c_str()), image);
        }
    }

    EXPECT_EQ(m_images.LoadImageM("", true, 0), nullptr);
    EXPECT_EQ(m_images.LoadImageM(nullptr, false, 0), nullptr);
    EXPECT_EQ(m_images.GetImageCount(), 3u);
}

TEST_F(KelResourceManagerTest, ADeferredLoadQueuesEvenFilesOnlyAnotherKindReads)
{
    // The background loader reads plain pictures only: a deferred ".ani" becomes a plain image
    // whose load fails on the worker and is logged there.
    ASSERT_TRUE(WriteAni(Path("walk.ani"), 2));
    const std::string path = Path("walk.ani");
    KelImageCL* image = m_images.LoadImageM(path.c_str(), false, 0);
    EXPECT_NE(dynamic_cast<KelImageTextureCL*>(image), nullptr);
    const std::string expected = "加载图片错误 : " + path + " ";
    bool logged = false;
    for (int i = 0; i < 200 && !logged; ++i)
    {
        Sleep(10);
        logged = ReadLog().find(expected) != std::string::npos;
    }
    EXPECT_TRUE(logged);
    EXPECT_EQ(image->GetTextureM(), nullptr);
}

TEST_F(KelResourceManagerTest, MemoryLoadsTryPlainThenGifThenAnimation)
{
    ASSERT_TRUE(WriteAni(Path("walk.ani"), 3));
    const std::string ani = m_folder.Read("walk.ani");
    const std::string tga = SolidTga(2, 2, 0xFF00FF00);
    const std::string gif = TwoFrameGif();
    const std::string junk = "junk bytes";

    KelImageCL* plain =
        m_images.LoadImageFromMemoryM("mem\\plain.tga", tga.data(), static_cast<UINT>(tga.size()));
    EXPECT_NE(dynamic_cast<KelImageTextureCL*>(plain), nullptr);
    KelImageCL* spin =
        m_images.LoadImageFromMemoryM("mem\\spin.gif", gif.data(), static_cast<UINT>(gif.size()));
    EXPECT_NE(dynamic_cast<KelImageGifCL*>(spin), nullptr);
    KelImageCL* walk =
        m_images.LoadImageFromMemoryM("mem\\walk.ani", ani.data(), static_cast<UINT>(ani.size()));
    ASSERT_NE(dynamic_cast<KelImageAnimCL*>(walk), nullptr);
    EXPECT_EQ(static_cast<KelImageAnimCL*>(walk)->GetFrameCount(), 3);

    EXPECT_EQ(m_images.LoadImageFromMemoryM("mem\\junk", junk.data(), static_cast<UINT>(junk.size())),
              nullptr);
    EXPECT_NE(ReadLog().find("加载图片错误 : mem\\junk "), std::string::npos);
    EXPECT_EQ(m_images.LoadImageFromMemoryM("mem\\none", nullptr, 10), nullptr);
    EXPECT_EQ(m_images.LoadImageFromMemoryM("mem\\empty", tga.data(), 0), nullptr);

    // The name is the key: a second load of it is a cache hit whatever the bytes.
    EXPECT_EQ(m_images.LoadImageFromMemoryM("mem\\plain.tga", junk.data(), static_cast<UINT>(junk.size())),
              plain);
    EXPECT_EQ(plain->GetReferenceCount(), 1);
    EXPECT_EQ(m_images.GetImageCount(), 3u);
}

TEST_F(KelResourceManagerTest, SystemMemoryImagesFromFilesMemoryAndPacks)
{
    const std::string tga = SolidTga(3, 2, 0xFF808080);
    m_folder.Write("sys.tga", tga);
    KelImageCL* fromFile = m_images.LoadSysMemImageM(Path("sys.tga").c_str(), false, 0);
    ASSERT_NE(dynamic_cast<KelImageSysMemCL*>(fromFile), nullptr);
    EXPECT_EQ(fromFile->GetImageWidth(), 3) << "system-memory images load before returning";

    std::string pack = std::string("packed\\face.tga") + '\0' + tga;
    KelImageCL* packed = m_images.LoadSysMemImageFromPackM(pack.data(), static_cast<UINT>(pack.size()));
    ASSERT_NE(dynamic_cast<KelImageSysMemCL*>(packed), nullptr);
    EXPECT_EQ(m_images.Find("packed\\face.tga"), packed);
    EXPECT_EQ(
        m_images.LoadSysMemImageFromMemoryM("packed\\face.tga", tga.data(), static_cast<UINT>(tga.size())),
        packed);
    EXPECT_EQ(packed->GetReferenceCount(), 1);

    // Packs without a terminated name, or with nothing after it, are refused and logged.
    const std::string noName = "packed\\nothing.tga";
    const std::string noData = std::string("packed\\nodata.tga") + '\0';
    EXPECT_EQ(m_images.LoadSysMemImageFromPackM(noName.data(), static_cast<UINT>(noName.size())), nullptr);
    EXPECT_EQ(m_images.LoadSysMemImageFromPackM(noData.data(), static_cast<UINT>(noData.size())), nullptr);
    EXPECT_EQ(m_images.LoadSysMemImageFromPackM(nullptr, 8), nullptr);
    EXPECT_NE(ReadLog().find("图片包"), std::string::npos);
    EXPECT_EQ(m_images.LoadSysMemImageM(Path("missing.tga").c_str(), true, 0), nullptr);
    EXPECT_EQ(m_images.GetImageCount(), 2u);
}

TEST_F(KelResourceManagerTest, CreatedImagesAreCachedUnderTheirName)
{
    KelImageCL* target =
        m_images.CreateImageM("target", 32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetImageWidth(), 32);
    EXPECT_EQ(target->GetImageHeight(), 16);
    EXPECT_NE(target->GetTextureM(), nullptr);
    EXPECT_EQ(m_images.CreateImageM("target", 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), target);
    EXPECT_EQ(target->GetReferenceCount(), 1);
    EXPECT_EQ(m_images.CreateImageM("", 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), nullptr);

    // Shutdown deletes images that are still held.
    m_images.DestroyImageM();
    EXPECT_EQ(m_images.GetImageCount(), 0u);
    EXPECT_EQ(m_images.Find("target"), nullptr);
}

TEST_F(KelResourceManagerTest, ZipAnimationsAreKeptPerSubdirectory)
{
    const std::string frame = SolidTga(2, 2, 0xFFFF0000);
    ASSERT_NO_FATAL_FAILURE(
        WriteTestZip((m_folder.Path() / "run.zip").string(),
                     {{"0000.tga", frame}, {"0001.tga", frame}, {"jump/0000.tga", frame}}));

    const std::string path = Path("run.zip");
    auto* root = dynamic_cast<KelImageAnimCL*>(m_images.LoadZipAnimationM(path.c_str(), nullptr));
    auto* jump = dynamic_cast<KelImageAnimCL*>(m_images.LoadZipAnimationM(path.c_str(), "jump"));
    ASSERT_NE(root, nullptr);
    ASSERT_NE(jump, nullptr);
    EXPECT_NE(root, jump);
    EXPECT_EQ(root->GetFrameCount(), 2);
    EXPECT_EQ(jump->GetFrameCount(), 1);
    EXPECT_EQ(m_images.LoadZipAnimationM(path.c_str(), "jump"), jump);
    EXPECT_EQ(jump->GetReferenceCount(), 1);
    // A plain load of the archive reaches the same cached animation.
    EXPECT_EQ(m_images.LoadImageM(path.c_str(), true, 0), root);
    EXPECT_EQ(m_images.LoadZipAnimationM(Path("absent.zip").c_str(), "jump"), nullptr);
}

TEST(KelResourceManagerCLTest, ConstructionInstallsTheTextureFactory)
{
    TestFolder folder(true);
    KelLogCL log;
    folder.Write("config/gui.xml",
                 "<info><texture ID=\"Ok\" image=\"ok.tga\"><rect right=\"8\" bottom=\"4\"/>"
                 "</texture></info>");
    KelTextureInfoManagerCL registry;
    registry.SetImageDirectoryVerbatim(folder.WinPath());
    registry.LoadAllTextureInfo();
    EXPECT_EQ(registry.CreateTexture("gui", "Ok", false), nullptr) << "no factory yet";

    KelResourceManagerCL cache;
    KelTextureCL* texture = registry.CreateTexture("gui", "Ok", false);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 8);
    KelReleaseTexture(texture);
}
