#include "KelImageAnimCL.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "D3D8/D3D8.h"
#include "EngineTestSupport.h"
#include "KelAniFile.h"
#include "KelCanvasCL.h"
#include "KelImageTextureCL.h"
#include "Win32/Library.h"
#include "Win32/Window.h"
#include "Zip/ZipArchive.h"

namespace
{
D3DCOLOR CurrentColour(KelImageAnimCL& anim)
{
    D3DCOLOR colour = 0x12345678;
    anim.GetPointColor(0, 0, &colour);
    return colour;
}

class KelImageAnimTest : public EngineTest
{
protected:
    KelImageAnimTest() : EngineTest(64, 64) {}

    void SetUp() override { ASSERT_NE(CreateScreenWithLoaderStopped(), nullptr); }

    std::string DiskPath(const std::string& name) const { return (m_folder.Path() / name).string(); }

    // A texture image of `width` x `height` pixels of one colour.
    static KelImageTextureCL* SolidImage(uint32_t argb, int width = 2, int height = 2)
    {
        auto* image = new KelImageTextureCL();
        EXPECT_TRUE(image->CreateImageM("solid", width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
        for (int y = 0; y < height; ++y)
        {
            void* bits = nullptr;
            int pitch = 0;
            EXPECT_TRUE(image->LockRect(0, y, width, 1, &bits, &pitch, 0));
            for (int x = 0; bits != nullptr && x < width; ++x)
                static_cast<uint32_t*>(bits)[x] = argb;
            image->UnLockRect();
        }
        return image;
    }
};
} // namespace

TEST_F(KelImageAnimTest, SavedAnimationReadsBackFrameByFrameWithItsTiming)
{
    const uint32_t colours[3] = {0xFF0000FF, 0x8000FF00, 0xFFFF0000};
    KelImageAnimCL saved;
    for (uint32_t colour : colours)
        saved.AddFrame(SolidImage(colour), 100);
    EXPECT_EQ(saved.GetSizeM(), std::make_pair(2, 2));
    EXPECT_EQ(saved.GetCurFrameIndex(), 0);
    ASSERT_TRUE(saved.SaveAsAnimationFile(Path("walk").c_str()));

    KelImageAnimCL anim;
    ASSERT_TRUE(anim.LoadFromFileM(Path("walk.ani").c_str(), 0));
    EXPECT_EQ(anim.GetIDM(), Path("walk.ani"));
    ASSERT_EQ(anim.GetFrameCount(), 3);
    EXPECT_EQ(anim.GetSizeM(), std::make_pair(2, 2));
    EXPECT_EQ(anim.GetHoldTime(), 0);
    EXPECT_EQ(anim.GetTotalDuration(), 300);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(anim.GetFrame(i).duration, 100);
        EXPECT_EQ(anim.GetFrame(i).image->GetIDM(), "image");
        EXPECT_EQ(anim.GetFrame(i).image->GetSurfaceDesc()->Pool, D3DPOOL_MANAGED);
    }

    struct Case
    {
        int time;
        int frame;
    };
    // A frame's span ends at its cumulative duration; times wrap at the total.
    const Case cases[] = {{0, 0}, {100, 0}, {101, 1}, {200, 1}, {250, 2}, {300, 0}, {1150, 2}, {-50, 2}};
    for (const Case& c : cases)
    {
        anim.SetAnimationTime(c.time);
        EXPECT_EQ(anim.GetCurFrameIndex(), c.frame) << c.time;
        EXPECT_EQ(anim.GetCurImage(), anim.GetFrame(c.frame).image.get());
        EXPECT_EQ(anim.GetTextureM(), anim.GetFrame(c.frame).image->GetTextureM());
        EXPECT_EQ(CurrentColour(anim), colours[c.frame]) << c.time;
    }
}

TEST_F(KelImageAnimTest, HoldTimeShowsNoFrameAndAnEmptyFileOnlyHolds)
{
    KelAniContent content;
    content.frames = {SolidAniFrame(50, 0xFF000001), SolidAniFrame(80, 0xFF000002)};
    content.holdTime = 70;
    ASSERT_TRUE(KelWriteAniFile(Path("hold.ani").c_str(), content));

    KelImageAnimCL anim;
    ASSERT_TRUE(anim.LoadFromFileImmediateM(Path("hold.ani").c_str(), 0));
    EXPECT_EQ(anim.GetTotalDuration(), 200);
    anim.SetAnimationTime(130);
    EXPECT_EQ(anim.GetCurFrameIndex(), 1);
    anim.SetAnimationTime(131);
    EXPECT_EQ(anim.GetCurFrame(), nullptr);
    EXPECT_EQ(anim.GetTextureM(), nullptr);
    EXPECT_EQ(CurrentColour(anim), 0u);
    m_system.SetRedrawM(false);
    EXPECT_TRUE(anim.Render(nullptr, 0, 0)) << "nothing to draw is no failure";
    EXPECT_TRUE(m_system.GetRedrawM());
    anim.SetAnimationTime(201);
    EXPECT_EQ(anim.GetCurFrameIndex(), 0);

    KelAniContent empty;
    empty.holdTime = 40;
    ASSERT_TRUE(KelWriteAniFile(Path("empty.ani").c_str(), empty));
    KelImageAnimCL holdOnly;
    ASSERT_TRUE(holdOnly.LoadFromFileM(Path("empty.ani").c_str(), 0));
    EXPECT_EQ(holdOnly.GetFrameCount(), 0);
    EXPECT_EQ(holdOnly.GetTotalDuration(), 40);
    holdOnly.SetAnimationTime(10);
    EXPECT_EQ(holdOnly.GetCurFrame(), nullptr);
    EXPECT_TRUE(holdOnly.Render(nullptr, 0, 0));
}

TEST_F(KelImageAnimTest, LongFrameDurationsDoNotWrapTheTotal)
{
    // Two frames of the longest duration a file can give: their sum does not fit an int.
    KelAniContent content;
    content.frames = {SolidAniFrame(INT32_MAX, 0xFF000001), SolidAniFrame(INT32_MAX, 0xFF000002),
                      SolidAniFrame(100, 0xFF000003)};
    ASSERT_TRUE(KelWriteAniFile(Path("long.ani").c_str(), content));

    KelImageAnimCL anim;
    ASSERT_TRUE(anim.LoadFromFileM(Path("long.ani").c_str(), 0));
    EXPECT_EQ(anim.GetTotalDuration(), INT32_MAX);
    anim.SetAnimationTime(1000);
    EXPECT_EQ(anim.GetCurFrameIndex(), 0);
}

TEST_F(KelImageAnimTest, MalformedAnimationFileLeavesTheAnimationEmpty)
{
    KelAniContent content;
    content.frames = {SolidAniFrame(100, 0xFF000001), SolidAniFrame(100, 0xFF000002)};
    ASSERT_TRUE(KelWriteAniFile(Path("good.ani").c_str(), content));
    const std::string good = m_folder.Read("good.ani");
    ASSERT_GT(good.size(), 100u);

    struct Case
    {
        const char* name;
        std::string bytes;
    };
    std::string badMagic = good;
    badMagic[3] = 'X';
    std::string tooMany = good;
    tooMany[4] = static_cast<char>(0xE9); // 1001
    tooMany[5] = 0x03;
    std::string truncated = good.substr(0, good.size() - 20);
    std::string damaged = good;
    damaged[8 + 4 + 32 + 4 + 3] ^= 0x5A; // inside the first frame's zlib stream
    const Case cases[] = {
        {"magic.ani", badMagic}, {"count.ani", tooMany}, {"short.ani", truncated}, {"zlib.ani", damaged}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_folder.Write(c.name, c.bytes);
        KelImageAnimCL anim;
        ASSERT_TRUE(anim.LoadFromFileM(Path("good.ani").c_str(), 0));
        ASSERT_EQ(anim.GetFrameCount(), 2);
        EXPECT_FALSE(anim.LoadFromFileM(Path(c.name).c_str(), 0));
        EXPECT_EQ(anim.GetFrameCount(), 0);
        EXPECT_EQ(anim.GetCurFrame(), nullptr);
        EXPECT_EQ(anim.GetSizeM(), std::make_pair(0, 0));
        EXPECT_EQ(anim.GetTotalDuration(), 0);
        EXPECT_NE(ReadLog().find("加载动画错误 : " + Path(c.name)), std::string::npos);
        EXPECT_FALSE(anim.LoadFromMemoryM(c.name, c.bytes.data(), static_cast<UINT>(c.bytes.size())));
        EXPECT_EQ(anim.GetFrameCount(), 0);
    }

    KelImageAnimCL anim;
    EXPECT_FALSE(anim.LoadFromFileM(Path("missing.ani").c_str(), 0));
    EXPECT_NE(ReadLog().find("加载动画错误 : " + Path("missing.ani")), std::string::npos);
    m_folder.Write("picture.png", good);
    EXPECT_FALSE(anim.LoadFromFileM(Path("picture.png").c_str(), 0)) << "neither .ani nor .zip";
    EXPECT_FALSE(anim.LoadFromFileM(nullptr, 0));
}

TEST_F(KelImageAnimTest, ZipAnimationReadsNumberedFramesAndTheirConfiguration)
{
    const uint32_t colours[7] = {0xFF000010, 0xFF000011, 0xFF000012, 0xFF000013, 0xFF000014, 0, 0xFF000016};
    std::vector<TestZipMember> members;
    for (int k : {0, 1, 2, 3, 4, 6})
    {
        char name[16];
        std::snprintf(name, sizeof(name), "%04d.tga", k);
        members.push_back({name, SolidTga(2, 2, colours[k])});
    }
    members.push_back({"config.txt", "50\r\n\r\n80\n"});
    // A subdirectory: a member that is no picture is skipped, the numbering goes on, and the
    // line after the last frame's is the hold time.
    members.push_back({"anim/0000.tga", SolidTga(4, 2, 0xFF0000A0)});
    members.push_back({"anim/0001.tga", "not a picture"});
    members.push_back({"anim/0002.tga", SolidTga(4, 2, 0xFF0000A2)});
    members.push_back({"anim/config.txt", "10\n20\n30\n40\n"});
    WriteTestZip(DiskPath("frames.zip"), members);
    const std::string path = Path("frames.zip");

    KelImageAnimCL anim;
    ASSERT_TRUE(anim.LoadFromFileM(path.c_str(), 0));
    EXPECT_EQ(anim.GetIDM(), path);
    ASSERT_EQ(anim.GetFrameCount(), 5) << "the first missing number ends the frames";
    const int durations[5] = {50, 80, 100, 100, 100};
    for (int i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(anim.GetFrame(i).duration, durations[i]);
        char member[16];
        std::snprintf(member, sizeof(member), "%04d.tga", i);
        EXPECT_EQ(anim.GetFrame(i).image->GetIDM(), path + member);
        D3DCOLOR colour = 0;
        anim.GetFrame(i).image->GetPointColor(0, 0, &colour);
        EXPECT_EQ(colour, colours[i]);
    }
    EXPECT_EQ(anim.GetHoldTime(), 0);
    EXPECT_EQ(anim.GetTotalDuration(), 430);
    anim.SetAnimationTime(60);
    EXPECT_EQ(anim.GetCurFrameIndex(), 1);

    KelImageAnimCL sub;
    ASSERT_TRUE(sub.LoadFromZipFileM(path.c_str(), "anim"));
    ASSERT_EQ(sub.GetFrameCount(), 2);
    EXPECT_EQ(sub.GetSizeM(), std::make_pair(4, 2));
    EXPECT_EQ(sub.GetFrame(0).duration, 10);
    EXPECT_EQ(sub.GetFrame(1).duration, 20);
    EXPECT_EQ(sub.GetHoldTime(), 30);
    EXPECT_EQ(sub.GetTotalDuration(), 60);
    EXPECT_EQ(CurrentColour(sub), 0xFF0000A0u);
    EXPECT_FALSE(sub.LoadFromZipFileM(Path("frames.ani").c_str(), nullptr)) << "not a zip path";
}

TEST_F(KelImageAnimTest, UnreadableZipLeavesTheAnimationEmpty)
{
    m_folder.Write("plain.zip", "this is no archive");
    WriteTestZip(DiskPath("noframes.zip"),
                 {{"readme.txt", "hello"}, {"0001.tga", SolidTga(2, 2, 0xFFFFFFFF)}});
    WriteTestZip(DiskPath("junk.zip"), {{"0000.tga", "junk"}, {"0001.tga", "junk"}});
    WriteTestZip(DiskPath("good.zip"), {{"0000.tga", SolidTga(2, 2, 0xFFFFFFFF)}});

    for (const char* name : {"plain.zip", "noframes.zip", "junk.zip", "missing.zip"})
    {
        SCOPED_TRACE(name);
        KelImageAnimCL anim;
        ASSERT_TRUE(anim.LoadFromFileM(Path("good.zip").c_str(), 0));
        ASSERT_EQ(anim.GetFrameCount(), 1);
        EXPECT_FALSE(anim.LoadFromFileM(Path(name).c_str(), 0));
        EXPECT_EQ(anim.GetFrameCount(), 0);
        EXPECT_EQ(anim.GetSizeM(), std::make_pair(0, 0));
        EXPECT_NE(ReadLog().find("加载动画错误 : " + Path(name)), std::string::npos);
    }

    // Without the zip library, or without its export, no archive can be read.
    KelImageAnimCL anim;
    ASSERT_TRUE(UnregisterWin32Library("unzip.dll"));
    EXPECT_FALSE(anim.LoadFromFileM(Path("good.zip").c_str(), 0));
    ASSERT_TRUE(RegisterWin32Library("unzip.dll", {}));
    EXPECT_FALSE(anim.LoadFromFileM(Path("good.zip").c_str(), 0));
    ASSERT_TRUE(
        RegisterWin32Library("unzip.dll", {{"CreateZipFile", reinterpret_cast<void*>(&CreateZipFile)}}));
    EXPECT_TRUE(anim.LoadFromFileM(Path("good.zip").c_str(), 0));
}

TEST_F(KelImageAnimTest, RenderDrawsTheCurrentFrame)
{
    KelImageAnimCL anim;
    anim.AddFrame(SolidImage(0xFFFF0000, 4, 4), 100);
    anim.AddFrame(SolidImage(0xFF0000FF, 4, 4), 100);
    anim.SetAnimationTime(150);

    m_system.SetRedrawM(false);
    m_screen->SetRenderCallback([&](KelCanvasCL* canvas) { EXPECT_TRUE(anim.Render(canvas, 8, 4)); });
    m_screen->RenderFrame();
    EXPECT_TRUE(m_system.GetRedrawM()) << "an animation asks for the next frame";
    int width = 0;
    const std::vector<uint32_t> frame = m_window.Frame(&width);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.at(static_cast<size_t>(5) * width + 9) & 0xFFFFFF, 0x0000FFu);
}
