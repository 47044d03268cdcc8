#include "D3D8/D3DX8.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "TestFolder.h"
#include "Win32/Window.h"
#include "TestDevice.h"

namespace
{

// ---------------------------------------------------------------------------------------------
// Images made by the test, encoded by stb_image_write.

struct Image
{
    int width;
    int height;
    int components; // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> bytes;

    // The colour a reader of the image sees at (x, y), as A8R8G8B8.
    uint32_t Argb(int x, int y) const
    {
        const uint8_t* p = &bytes[(static_cast<size_t>(y) * width + x) * components];
        switch (components)
        {
        case 1:
            return 0xFF000000u | p[0] * 0x010101u;
        case 2:
            return static_cast<uint32_t>(p[1]) << 24 | p[0] * 0x010101u;
        case 3:
            return 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2];
        default:
            return static_cast<uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
        }
    }
};

// An image whose pixels all differ, with varying alpha where there is alpha.
Image Pattern(int width, int height, int components)
{
    Image image{width, height, components, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            uint8_t values[4] = {static_cast<uint8_t>(40 * x + 10), static_cast<uint8_t>(50 * y + 20),
                                 static_cast<uint8_t>(13 * x * y + 30),
                                 static_cast<uint8_t>(250 - 30 * (x + y))};
            if (components == 2)
                values[1] = values[3];
            for (int c = 0; c < components; ++c)
                image.bytes.push_back(values[c]);
        }
    return image;
}

// An image made of the given A8R8G8B8 pixels, rows packed.
Image FromArgb(int width, int height, const std::vector<uint32_t>& argb)
{
    Image image{width, height, 4, {}};
    for (uint32_t pixel : argb)
    {
        image.bytes.push_back(static_cast<uint8_t>(pixel >> 16));
        image.bytes.push_back(static_cast<uint8_t>(pixel >> 8));
        image.bytes.push_back(static_cast<uint8_t>(pixel));
        image.bytes.push_back(static_cast<uint8_t>(pixel >> 24));
    }
    return image;
}

void Append(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

std::string Encode(D3DXIMAGE_FILEFORMAT format, const Image& image)
{
    std::string out;
    const void* data = image.bytes.data();
    switch (format)
    {
    case D3DXIFF_PNG:
        stbi_write_png_to_func(Append, &out, image.width, image.height, image.components, data,
                               image.width * image.components);
        break;
    case D3DXIFF_BMP:
        stbi_write_bmp_to_func(Append, &out, image.width, image.height, image.components, data);
        break;
    case D3DXIFF_TGA:
        stbi_write_tga_to_func(Append, &out, image.width, image.height, image.components, data);
        break;
    case D3DXIFF_JPG:
        stbi_write_jpg_to_func(Append, &out, image.width, image.height, image.components, data, 100);
        break;
    }
    return out;
}

const char* FormatName(D3DXIMAGE_FILEFORMAT format)
{
    switch (format)
    {
    case D3DXIFF_PNG:
        return "PNG";
    case D3DXIFF_BMP:
        return "BMP";
    case D3DXIFF_TGA:
        return "TGA";
    default:
        return "JPG";
    }
}

// A PNG whose header claims a size of width x height (the decoder does not check the CRC).
std::string PngClaiming(uint32_t width, uint32_t height)
{
    std::string png = Encode(D3DXIFF_PNG, Pattern(2, 2, 4));
    // Signature (8), chunk length (4) and type (4), then the width and height, big-endian.
    for (int i = 0; i < 4; ++i)
    {
        png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    return png;
}

// ---------------------------------------------------------------------------------------------
// Image information.

struct InfoCase
{
    D3DXIMAGE_FILEFORMAT file;
    int components;
    D3DFORMAT expected;
};

TEST(D3DXImageInfo, ReportsSizeFormatAndFileFormatOfEachKindOfImage)
{
    const InfoCase cases[] = {
        {D3DXIFF_PNG, 4, D3DFMT_A8R8G8B8}, {D3DXIFF_PNG, 3, D3DFMT_X8R8G8B8},
        {D3DXIFF_PNG, 2, D3DFMT_A8R8G8B8}, {D3DXIFF_PNG, 1, D3DFMT_X8R8G8B8},
        {D3DXIFF_BMP, 3, D3DFMT_X8R8G8B8}, {D3DXIFF_BMP, 4, D3DFMT_A8R8G8B8},
        {D3DXIFF_TGA, 4, D3DFMT_A8R8G8B8}, {D3DXIFF_TGA, 3, D3DFMT_X8R8G8B8},
        {D3DXIFF_JPG, 3, D3DFMT_R8G8B8},   {D3DXIFF_JPG, 1, D3DFMT_R8G8B8},
    };
    for (const InfoCase& c : cases)
    {
        SCOPED_TRACE(std::string(FormatName(c.file)) + " with " + std::to_string(c.components) +
                     " components");
        std::string data = Encode(c.file, Pattern(5, 3, c.components));
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(data.data(), static_cast<UINT>(data.size()), &info),
                  D3D_OK);
        EXPECT_EQ(info.Width, 5u);
        EXPECT_EQ(info.Height, 3u);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.Format, c.expected);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, c.file);
    }
}

TEST(D3DXImageInfo, RefusesDataThatIsNotAnImage)
{
    std::string png = Encode(D3DXIFF_PNG, Pattern(4, 4, 4));
    std::string bmp = Encode(D3DXIFF_BMP, Pattern(4, 4, 3));
    const std::pair<const char*, std::string> cases[] = {
        {"text", "this is not an image at all, not even close"},
        {"PNG signature only", png.substr(0, 8)},
        {"PNG cut inside its header", png.substr(0, 20)},
        {"BMP file header only", bmp.substr(0, 14)},
        {"GIF", std::string("GIF89a\x02\x00\x02\x00\x00\x00\x00", 13) + std::string(32, '\0')},
        {"zero width", PngClaiming(0, 2)},
        {"huge", PngClaiming(1u << 20, 1u << 20)},
        {"too wide", PngClaiming(1u << 22, 1)},
    };
    for (const auto& [name, data] : cases)
    {
        SCOPED_TRACE(name);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(data.data(), static_cast<UINT>(data.size()), &info),
                  D3DXERR_INVALIDDATA);
    }
}

TEST(D3DXImageInfo, RefusesMissingArgumentsAndMissingFiles)
{
    std::string png = Encode(D3DXIFF_PNG, Pattern(2, 2, 4));
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(png.data(), 0, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(png.data(), static_cast<UINT>(png.size()), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, &info), D3DERR_INVALIDCALL);

    TestFolder folder;
    EXPECT_EQ(D3DXGetImageInfoFromFileA((folder.WinPath() + "\\missing.png").c_str(), &info),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(folder.WinPath().c_str(), &info), D3DERR_INVALIDCALL);
    folder.Write("empty.png", "");
    EXPECT_EQ(D3DXGetImageInfoFromFileA((folder.WinPath() + "\\empty.png").c_str(), &info),
              D3DXERR_INVALIDDATA);
}

TEST(D3DXImageInfo, ReadsFilesThroughWindowsPathsWithAnyLetterCase)
{
    TestFolder folder;
    folder.Write("Art/Cards/Back.tga", Encode(D3DXIFF_TGA, Pattern(7, 9, 3)));
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA((folder.WinPath() + "\\ART\\cards\\BACK.TGA").c_str(), &info),
              D3D_OK);
    EXPECT_EQ(info.Width, 7u);
    EXPECT_EQ(info.Height, 9u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
}

// ---------------------------------------------------------------------------------------------
// Matrices.

bool Near(float a, float b)
{
    return std::fabs(a - b) < 1e-4f;
}

::testing::AssertionResult SameMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!Near(a.m[r][c], b.m[r][c]))
                return ::testing::AssertionFailure()
                       << "element [" << r << "][" << c << "]: " << a.m[r][c] << " vs " << b.m[r][c];
    return ::testing::AssertionSuccess();
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXMATRIX Times(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &a, &b);
    return m;
}

// The 2D camera of the engine: an 800x600 screen, y down, looked at from z = -1.
D3DXMATRIX ScreenViewProjection()
{
    D3DXVECTOR3 eye{400.0f, 300.0f, -1.0f};
    D3DXVECTOR3 at{400.0f, 300.0f, 0.0f};
    D3DXVECTOR3 up{0.0f, -1.0f, 0.0f};
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixOrthoRH(&projection, 800.0f, 600.0f, 0.0f, 1.0f);
    return Times(view, projection);
}

struct TransformCase
{
    const char* name;
    D3DXMATRIX matrix;
    D3DXVECTOR3 in;
    D3DXVECTOR3 out;
};

TEST(D3DXMatrix, TransformsPointsAsDirect3DDoes)
{
    const float quarter = 3.14159265f / 2.0f;
    D3DXMATRIX m;
    D3DXMATRIX perspective;
    D3DXMatrixPerspectiveRH(&perspective, 4.0f, 2.0f, 1.0f, 10.0f);
    const TransformCase cases[] = {
        {"identity", Identity(), {1, 2, 3}, {1, 2, 3}},
        {"scaling", *D3DXMatrixScaling(&m, 2, 3, 4), {1, 1, 1}, {2, 3, 4}},
        {"translation", *D3DXMatrixTranslation(&m, 5, -6, 7), {1, 1, 1}, {6, -5, 8}},
        // Counter-clockwise with y up: the x axis turns into the y axis.
        {"rotation of x", *D3DXMatrixRotationZ(&m, quarter), {1, 0, 0}, {0, 1, 0}},
        {"rotation of y", *D3DXMatrixRotationZ(&m, quarter), {0, 2, 5}, {-2, 0, 5}},
        {"screen top left", ScreenViewProjection(), {0, 0, 0}, {-1, 1, 1}},
        {"screen centre", ScreenViewProjection(), {400, 300, 0}, {0, 0, 1}},
        {"screen bottom right", ScreenViewProjection(), {800, 600, 0}, {1, -1, 1}},
        {"screen in front of the eye", ScreenViewProjection(), {400, 300, -1}, {0, 0, 0}},
        {"perspective near centre", perspective, {0, 0, -1}, {0, 0, 0}},
        {"perspective far centre", perspective, {0, 0, -10}, {0, 0, 1}},
        {"perspective near corner", perspective, {2, 1, -1}, {1, 1, 0}},
        {"perspective far corner", perspective, {20, -10, -10}, {1, -1, 1}},
    };
    for (const TransformCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXVECTOR3 out{};
        ASSERT_EQ(D3DXVec3TransformCoord(&out, &c.in, &c.matrix), &out);
        EXPECT_TRUE(Near(out.x, c.out.x)) << out.x;
        EXPECT_TRUE(Near(out.y, c.out.y)) << out.y;
        EXPECT_TRUE(Near(out.z, c.out.z)) << out.z;
    }
}

TEST(D3DXMatrix, LookAtBuildsTheCameraAxesAndMovesTheEyeToTheOrigin)
{
    D3DXVECTOR3 eye{1.0f, 2.0f, 3.0f};
    D3DXVECTOR3 at{1.0f, 2.0f, -7.0f};
    D3DXVECTOR3 up{0.0f, 5.0f, 0.0f};
    D3DXMATRIX view;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    // Looking down -z with y up: the axes are those of the world, the eye goes to the origin.
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, -1.0f, -2.0f, -3.0f);
    EXPECT_TRUE(SameMatrix(view, expected));

    D3DXVECTOR3 ahead{1.0f, 2.0f, -1.0f};
    D3DXVECTOR3 seen{};
    D3DXVec3TransformCoord(&seen, &ahead, &view);
    EXPECT_TRUE(Near(seen.x, 0.0f) && Near(seen.y, 0.0f) && Near(seen.z, -4.0f));
}

TEST(D3DXMatrix, MultiplyAppliesTheLeftMatrixFirstAndIsAssociative)
{
    D3DXMATRIX scale;
    D3DXMATRIX move;
    D3DXMATRIX turn;
    D3DXMatrixScaling(&scale, 2.0f, 2.0f, 1.0f);
    D3DXMatrixTranslation(&move, 10.0f, 10.0f, 0.0f);
    D3DXMatrixRotationZ(&turn, 0.7f);

    D3DXVECTOR2 point{1.0f, 1.0f};
    D3DXVECTOR2 out{};
    D3DXMATRIX scaleThenMove = Times(scale, move);
    D3DXVec2TransformCoord(&out, &point, &scaleThenMove);
    EXPECT_TRUE(Near(out.x, 12.0f) && Near(out.y, 12.0f)) << out.x << ", " << out.y;
    D3DXMATRIX moveThenScale = Times(move, scale);
    D3DXVec2TransformCoord(&out, &point, &moveThenScale);
    EXPECT_TRUE(Near(out.x, 22.0f) && Near(out.y, 22.0f)) << out.x << ", " << out.y;

    EXPECT_TRUE(SameMatrix(Times(Times(scale, turn), move), Times(scale, Times(turn, move))));
    EXPECT_TRUE(SameMatrix(Times(Identity(), turn), turn));

    // The result may be written over an argument.
    D3DXMATRIX inPlace = scale;
    D3DXMatrixMultiply(&inPlace, &inPlace, &move);
    EXPECT_TRUE(SameMatrix(inPlace, scaleThenMove));
}

TEST(D3DXMatrix, TransformCoordDividesByW)
{
    D3DXMATRIX m = Identity();
    m.m[3][3] = 2.0f;
    m.m[0][3] = 1.0f;
    D3DXVECTOR2 in2{2.0f, 6.0f};
    D3DXVECTOR2 out2{};
    D3DXVec2TransformCoord(&out2, &in2, &m); // w = 2 * 1 + 2 = 4
    EXPECT_TRUE(Near(out2.x, 0.5f) && Near(out2.y, 1.5f)) << out2.x << ", " << out2.y;
    D3DXVECTOR3 in3{2.0f, 6.0f, 8.0f};
    D3DXVECTOR3 out3{};
    D3DXVec3TransformCoord(&out3, &in3, &m);
    EXPECT_TRUE(Near(out3.x, 0.5f) && Near(out3.y, 1.5f) && Near(out3.z, 2.0f));
}

struct Transformation2DCase
{
    const char* name;
    const D3DXVECTOR2* scalingCenter;
    float scalingRotation;
    const D3DXVECTOR2* scaling;
    const D3DXVECTOR2* rotationCenter;
    float rotation;
    const D3DXVECTOR2* translation;
    std::vector<std::pair<D3DXVECTOR2, D3DXVECTOR2>> points;
};

TEST(D3DXMatrix, Transformation2DScalesRotatesAndTranslatesAboutTheirCentres)
{
    const float quarter = 3.14159265f / 2.0f;
    const D3DXVECTOR2 quadCentre{5.0f, 3.0f};
    const D3DXVECTOR2 one{1.0f, 1.0f};
    const D3DXVECTOR2 stretchX{2.0f, 1.0f};
    const D3DXVECTOR2 move{3.0f, 4.0f};
    const Transformation2DCase cases[] = {
        {"all identities", nullptr, 0.0f, nullptr, nullptr, 0.0f, nullptr, {{{7, -2}, {7, -2}}}},
        // The corners of a 10x7 quad turned a quarter about (5, 3).
        {"rotation about a centre",
         nullptr,
         0.0f,
         nullptr,
         &quadCentre,
         quarter,
         nullptr,
         {{{0, 0}, {8, -2}}, {{10, 0}, {8, 8}}, {{10, 7}, {1, 8}}, {{0, 7}, {1, -2}}}},
        {"scaling about a centre",
         &one,
         0.0f,
         &stretchX,
         nullptr,
         0.0f,
         nullptr,
         {{{3, 3}, {5, 3}}, {{1, 5}, {1, 5}}}},
        // Turning the scaling axes a quarter makes the x scale act along y.
        {"scaling along turned axes",
         &one,
         quarter,
         &stretchX,
         nullptr,
         0.0f,
         nullptr,
         {{{1, 3}, {1, 5}}, {{3, 1}, {3, 1}}}},
        {"translation", nullptr, 0.0f, nullptr, nullptr, 0.0f, &move, {{{1, 1}, {4, 5}}}},
        // Scaling first ((5, 3) to (10, 3)), then the rotation ((10, 3) to (5, 8)), then the
        // translation.
        {"all together",
         nullptr,
         0.0f,
         &stretchX,
         &quadCentre,
         quarter,
         &move,
         {{{5, 3}, {8, 12}}, {{0, 0}, {11, 2}}}},
    };
    for (const Transformation2DCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXMATRIX m;
        ASSERT_EQ(D3DXMatrixTransformation2D(&m, c.scalingCenter, c.scalingRotation, c.scaling,
                                             c.rotationCenter, c.rotation, c.translation),
                  &m);
        for (const auto& [in, expected] : c.points)
        {
            D3DXVECTOR2 out{};
            D3DXVec2TransformCoord(&out, &in, &m);
            EXPECT_TRUE(Near(out.x, expected.x) && Near(out.y, expected.y))
                << "(" << in.x << ", " << in.y << ") went to (" << out.x << ", " << out.y << "), expected ("
                << expected.x << ", " << expected.y << ")";
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Everything that needs a device.

class D3DXDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTestDevice(m_window, &m_d3d, &m_device));
    }

    void TearDown() override
    {
        // Every texture and surface a test made has been released, and nothing the helpers made
        // still holds the device: the test's reference is the last one.
        if (m_device != nullptr)
        {
            EXPECT_EQ(m_device->Release(), 0u);
        }
        if (m_d3d != nullptr)
            m_d3d->Release();
    }

    // The pixels of level 0 as A8R8G8B8, rows packed.
    static std::vector<uint32_t> Pixels(IDirect3DTexture8* texture)
    {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        D3DLOCKED_RECT locked{};
        std::vector<uint32_t> pixels;
        if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
            return pixels;
        UINT bytes = D3D8BytesPerPixel(desc.Format);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                pixels.push_back(D3D8DecodePixel(desc.Format, static_cast<const uint8_t*>(locked.pBits) +
                                                                  static_cast<size_t>(y) * locked.Pitch +
                                                                  static_cast<size_t>(x) * bytes));
        texture->UnlockRect(0);
        return pixels;
    }

    // The raw bytes of the pixels of level 0, rows packed.
    static std::vector<uint8_t> RawPixels(IDirect3DTexture8* texture)
    {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        D3DLOCKED_RECT locked{};
        std::vector<uint8_t> bytes;
        if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
            return bytes;
        UINT rowBytes = desc.Width * D3D8BytesPerPixel(desc.Format);
        for (UINT y = 0; y < desc.Height; ++y)
        {
            const uint8_t* row =
                static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
            bytes.insert(bytes.end(), row, row + rowBytes);
        }
        texture->UnlockRect(0);
        return bytes;
    }

    IDirect3DTexture8* FromMemory(const std::string& data, UINT width, UINT height, D3DFORMAT format,
                                  DWORD filter, D3DCOLOR colorKey = 0, HRESULT* result = nullptr)
    {
        IDirect3DTexture8* texture = nullptr;
        HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
            m_device, data.data(), static_cast<UINT>(data.size()), width, height, 1, 0, format,
            D3DPOOL_MANAGED, filter, filter, colorKey, nullptr, nullptr, &texture);
        if (result != nullptr)
            *result = hr;
        return texture;
    }

    MemoryWindow m_window{64, 64};
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
};

struct LoadCase
{
    D3DXIMAGE_FILEFORMAT file;
    int components;
    D3DFORMAT format;
};

TEST_F(D3DXDeviceTest, TexturesOfLosslessImagesHoldExactlyTheImagesPixels)
{
    const LoadCase cases[] = {
        {D3DXIFF_PNG, 4, D3DFMT_A8R8G8B8}, {D3DXIFF_PNG, 3, D3DFMT_X8R8G8B8},
        {D3DXIFF_PNG, 2, D3DFMT_A8R8G8B8}, {D3DXIFF_PNG, 1, D3DFMT_X8R8G8B8},
        {D3DXIFF_BMP, 3, D3DFMT_X8R8G8B8}, {D3DXIFF_BMP, 4, D3DFMT_A8R8G8B8},
        {D3DXIFF_TGA, 4, D3DFMT_A8R8G8B8}, {D3DXIFF_TGA, 3, D3DFMT_X8R8G8B8},
    };
    for (const LoadCase& c : cases)
    {
        SCOPED_TRACE(std::string(FormatName(c.file)) + " with " + std::to_string(c.components) +
                     " components");
        Image image = Pattern(5, 3, c.components);
        std::string data = Encode(c.file, image);
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileInMemory(m_device, data.data(), static_cast<UINT>(data.size()),
                                                    &texture),
                  D3D_OK);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, 5u);
        EXPECT_EQ(desc.Height, 3u);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
        std::vector<uint32_t> pixels = Pixels(texture);
        ASSERT_EQ(pixels.size(), 15u);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(pixels[y * 5 + x], image.Argb(x, y)) << "at " << x << ", " << y;
        EXPECT_EQ(texture->Release(), 0u);
    }
}

TEST_F(D3DXDeviceTest, JpegTexturesAreCloseToTheImage)
{
    // Flat 8x8 blocks survive compression at the best quality almost unchanged.
    const uint32_t colours[4] = {0xFFC03020u, 0xFF20C040u, 0xFF3040C0u, 0xFFE0E0E0u};
    std::vector<uint32_t> argb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            argb.push_back(colours[(y / 8) * 2 + x / 8]);
    Image image{16, 16, 3, {}};
    for (uint32_t pixel : argb)
        for (int shift : {16, 8, 0})
            image.bytes.push_back(static_cast<uint8_t>(pixel >> shift));
    std::string data = Encode(D3DXIFF_JPG, image);

    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, data.data(), static_cast<UINT>(data.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                                  &info, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_R8G8B8);
    std::vector<uint32_t> pixels = Pixels(texture);
    ASSERT_EQ(pixels.size(), argb.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int shift : {0, 8, 16, 24})
        {
            int got = static_cast<int>((pixels[i] >> shift) & 0xFF);
            int want = static_cast<int>((argb[i] >> shift) & 0xFF);
            EXPECT_LE(std::abs(got - want), 8) << "pixel " << i << " channel at bit " << shift;
        }
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DXDeviceTest, ColourKeyMakesPixelsOfThatColourTransparentBlack)
{
    const uint32_t key = 0xFFFF00FFu;
    std::vector<uint32_t> argb = {0xFFFF00FFu, 0x80FF00FFu, 0xFF000000u,
                                  0xFFFF00FEu, 0x00FF00FFu, 0x7F123456u};
    std::string data = Encode(D3DXIFF_PNG, FromArgb(3, 2, argb));

    IDirect3DTexture8* keyed =
        FromMemory(data, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, key);
    ASSERT_NE(keyed, nullptr);
    // The key's colour goes whatever its alpha; a colour one step away stays.
    std::vector<uint32_t> expected = {0u, 0u, 0xFF000000u, 0xFFFF00FEu, 0u, 0x7F123456u};
    EXPECT_EQ(Pixels(keyed), expected);
    EXPECT_EQ(keyed->Release(), 0u);

    // A key given without alpha names the same colour; no key keeps black.
    IDirect3DTexture8* noAlphaKey =
        FromMemory(data, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, 0x00FF00FFu);
    ASSERT_NE(noAlphaKey, nullptr);
    EXPECT_EQ(Pixels(noAlphaKey), expected);
    EXPECT_EQ(noAlphaKey->Release(), 0u);

    IDirect3DTexture8* plain =
        FromMemory(data, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Pixels(plain), argb);
    EXPECT_EQ(plain->Release(), 0u);
}

struct ResizeCase
{
    const char* name;
    UINT width;
    UINT height;
    DWORD filter;
    std::vector<uint32_t> expected;
};

TEST_F(D3DXDeviceTest, OtherSizesResampleTheImageWithTheFilter)
{
    const uint32_t a = 0xFF102030u, b = 0x80405060u, c = 0xFF708090u, d = 0x40A0B0C0u;
    std::string square = Encode(D3DXIFF_PNG, FromArgb(2, 2, {a, b, c, d}));
    const ResizeCase cases[] = {
        {"point, twice the size", 4, 4, D3DX_FILTER_POINT, {a, a, b, b, a, a, b, b, c, c, d, d, c, c, d, d}},
        {"point, wider only", 4, 2, D3DX_FILTER_POINT, {a, a, b, b, c, c, d, d}},
        {"point, half the size", 1, 1, D3DX_FILTER_POINT, {d}},
        {"none keeps the image at the top left", 3, 3, D3DX_FILTER_NONE, {a, b, 0, c, d, 0, 0, 0, 0}},
        {"none cuts a smaller texture", 1, 2, D3DX_FILTER_NONE, {a, c}},
        {"default size", D3DX_DEFAULT, 0, D3DX_FILTER_LINEAR, {a, b, c, d}},
    };
    for (const ResizeCase& rc : cases)
    {
        SCOPED_TRACE(rc.name);
        HRESULT result = E_FAIL;
        IDirect3DTexture8* texture =
            FromMemory(square, rc.width, rc.height, D3DFMT_A8R8G8B8, rc.filter, 0, &result);
        ASSERT_EQ(result, D3D_OK);
        EXPECT_EQ(Pixels(texture), rc.expected);
        EXPECT_EQ(texture->Release(), 0u);
    }

    // Point sampling a 4x4 image down to 2x2 takes the pixel under each new pixel's centre.
    std::vector<uint32_t> sixteen;
    for (uint32_t i = 0; i < 16; ++i)
        sixteen.push_back(0xFF000000u | i);
    IDirect3DTexture8* reduced =
        FromMemory(Encode(D3DXIFF_PNG, FromArgb(4, 4, sixteen)), 2, 2, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT);
    ASSERT_NE(reduced, nullptr);
    EXPECT_EQ(Pixels(reduced), (std::vector<uint32_t>{0xFF000005u, 0xFF000007u, 0xFF00000Du, 0xFF00000Fu}));
    EXPECT_EQ(reduced->Release(), 0u);

    // Linear filtering blends neighbours by distance, edges clamped.
    IDirect3DTexture8* ramp = FromMemory(Encode(D3DXIFF_PNG, FromArgb(2, 1, {0xFF000000u, 0xFFFFFFFFu})), 4,
                                         1, D3DFMT_A8R8G8B8, D3DX_FILTER_LINEAR);
    ASSERT_NE(ramp, nullptr);
    EXPECT_EQ(Pixels(ramp), (std::vector<uint32_t>{0xFF000000u, 0xFF404040u, 0xFFBFBFBFu, 0xFFFFFFFFu}));
    EXPECT_EQ(ramp->Release(), 0u);
}

TEST_F(D3DXDeviceTest, SixteenBitFormatsHoldTheEncodedSourceColours)
{
    Image image = Pattern(5, 3, 4);
    std::string data = Encode(D3DXIFF_PNG, image);
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5})
    {
        SCOPED_TRACE(static_cast<int>(format));
        IDirect3DTexture8* texture = FromMemory(data, D3DX_DEFAULT, D3DX_DEFAULT, format, D3DX_FILTER_POINT);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, format);
        std::vector<uint8_t> expected;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
            {
                uint8_t pixel[2];
                D3D8EncodePixel(format, image.Argb(x, y), pixel);
                expected.insert(expected.end(), pixel, pixel + 2);
            }
        EXPECT_EQ(RawPixels(texture), expected);
        EXPECT_EQ(texture->Release(), 0u);
    }
}

TEST_F(D3DXDeviceTest, BadDataGivesInvalidDataAndNoTexture)
{
    std::string png = Encode(D3DXIFF_PNG, Pattern(16, 16, 4));
    std::string jpeg = Encode(D3DXIFF_JPG, Pattern(16, 16, 3));
    const std::pair<const char*, std::string> cases[] = {
        {"garbage", std::string(200, '\x5A')},
        {"PNG cut in half", png.substr(0, png.size() / 2)},
        {"PNG without its last byte", png.substr(0, png.size() - 13)},
        {"JPEG cut short", jpeg.substr(0, 40)},
        {"zero height", PngClaiming(4, 0)},
        {"huge", PngClaiming(1u << 20, 1u << 20)},
        {"large but cut short", PngClaiming(4096, 4096)},
    };
    for (const auto& [name, data] : cases)
    {
        SCOPED_TRACE(name);
        HRESULT result = D3D_OK;
        IDirect3DTexture8* texture =
            FromMemory(data, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_UNKNOWN, D3DX_DEFAULT, 0, &result);
        EXPECT_EQ(result, D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
    }
}

TEST_F(D3DXDeviceTest, BadArgumentsAreRefusedWithoutATexture)
{
    std::string png = Encode(D3DXIFF_PNG, Pattern(2, 2, 4));
    UINT size = static_cast<UINT>(png.size());
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, png.data(), size, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(m_device, nullptr, size, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(m_device, png.data(), 0, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(m_device, png.data(), size, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(m_device, nullptr, &texture), D3DERR_INVALIDCALL);
    // A depth format cannot hold an image.
    HRESULT result = D3D_OK;
    EXPECT_EQ(FromMemory(png, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_D16, D3DX_DEFAULT, 0, &result), nullptr);
    EXPECT_EQ(result, D3DERR_INVALIDCALL);
    EXPECT_EQ(FromMemory(png, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_UNKNOWN, 0, 0, &result), nullptr);
    EXPECT_EQ(result, D3DERR_INVALIDCALL);

    TestFolder folder;
    texture = reinterpret_cast<IDirect3DTexture8*>(&folder); // must be cleared on failure
    EXPECT_EQ(D3DXCreateTextureFromFileA(m_device, (folder.WinPath() + "\\none.png").c_str(), &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(D3DXDeviceTest, TexturesLoadFromWindowsPathsWithAnyLetterCase)
{
    TestFolder folder;
    Image image = Pattern(3, 4, 4);
    folder.Write("Data/Pics/Logo.png", Encode(D3DXIFF_PNG, image));
    std::string path = folder.WinPath() + "\\data\\PICS\\logo.PNG";

    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(m_device, path.c_str(), &texture), D3D_OK);
    std::vector<uint32_t> pixels = Pixels(texture);
    ASSERT_EQ(pixels.size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(pixels[i], image.Argb(i % 3, i / 3));
    EXPECT_EQ(texture->Release(), 0u);

    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileExA(m_device, path.c_str(), 6, 8, 1, 0, D3DFMT_X8R8G8B8,
                                           D3DPOOL_SYSTEMMEM, D3DX_FILTER_POINT, D3DX_FILTER_POINT, 0, &info,
                                           nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 4u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 6u);
    EXPECT_EQ(desc.Height, 8u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(Pixels(texture)[6 * 7 + 5], image.Argb(2, 3) | 0xFF000000u);
    EXPECT_EQ(texture->Release(), 0u);

    folder.Write("broken.bmp", "BM and nothing else of use");
    texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(m_device, (folder.WinPath() + "\\BROKEN.bmp").c_str(), &texture),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Saving surfaces.

struct Decoded
{
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint32_t> argb;
};

Decoded DecodeFile(const std::string& content)
{
    Decoded result;
    stbi_uc* rgba = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(content.data()),
                                          static_cast<int>(content.size()), &result.width, &result.height,
                                          &result.components, 4);
    if (rgba == nullptr)
        return result;
    for (size_t i = 0; i < static_cast<size_t>(result.width) * result.height; ++i)
        result.argb.push_back(static_cast<uint32_t>(rgba[i * 4 + 3]) << 24 | rgba[i * 4] << 16 |
                              rgba[i * 4 + 1] << 8 | rgba[i * 4 + 2]);
    stbi_image_free(rgba);
    return result;
}

TEST_F(D3DXDeviceTest, SavedSurfacesDecodeToTheSurfacesPixels)
{
    Image image = Pattern(6, 5, 4);
    struct SaveCase
    {
        D3DFORMAT format;
        D3DXIMAGE_FILEFORMAT file;
        const RECT* rect;
    };
    const RECT inner{1, 2, 5, 4};
    const SaveCase cases[] = {
        {D3DFMT_A8R8G8B8, D3DXIFF_PNG, nullptr}, {D3DFMT_A8R8G8B8, D3DXIFF_BMP, nullptr},
        {D3DFMT_X8R8G8B8, D3DXIFF_PNG, nullptr}, {D3DFMT_X8R8G8B8, D3DXIFF_BMP, &inner},
        {D3DFMT_A8R8G8B8, D3DXIFF_PNG, &inner},  {D3DFMT_R5G6B5, D3DXIFF_PNG, nullptr},
    };
    TestFolder folder;
    for (const SaveCase& c : cases)
    {
        SCOPED_TRACE(std::string(FormatName(c.file)) + " of format " + std::to_string(c.format) +
                     (c.rect != nullptr ? " with a rectangle" : ""));
        IDirect3DTexture8* texture =
            FromMemory(Encode(D3DXIFF_PNG, image), D3DX_DEFAULT, D3DX_DEFAULT, c.format, D3DX_FILTER_NONE);
        ASSERT_NE(texture, nullptr);
        std::vector<uint32_t> source = Pixels(texture);
        IDirect3DSurface8* surface = nullptr;
        ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);

        ASSERT_EQ(D3DXSaveSurfaceToFileA((folder.WinPath() + "\\Shot.out").c_str(), c.file, surface, nullptr,
                                         c.rect),
                  D3D_OK);
        Decoded decoded = DecodeFile(folder.Read("Shot.out"));
        RECT area = c.rect != nullptr ? *c.rect : RECT{0, 0, 6, 5};
        int width = area.right - area.left;
        ASSERT_EQ(decoded.width, width);
        ASSERT_EQ(decoded.height, area.bottom - area.top);
        // Opaque formats are written without alpha.
        EXPECT_EQ(decoded.components, c.format == D3DFMT_A8R8G8B8 ? 4 : 3);
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                EXPECT_EQ(decoded.argb[(y - area.top) * width + (x - area.left)], source[y * 6 + x])
                    << "at " << x << ", " << y;
        surface->Release();
        EXPECT_EQ(texture->Release(), 0u);
    }
}

TEST_F(D3DXDeviceTest, SavingRefusesBadArgumentsAndWritesNothing)
{
    IDirect3DTexture8* texture = FromMemory(Encode(D3DXIFF_PNG, Pattern(4, 4, 4)), D3DX_DEFAULT, D3DX_DEFAULT,
                                            D3DFMT_A8R8G8B8, D3DX_FILTER_NONE);
    ASSERT_NE(texture, nullptr);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    TestFolder folder;
    std::string file = folder.WinPath() + "\\shot.png";
    const RECT badRects[] = {{0, 0, 5, 4}, {2, 0, 2, 4}, {-1, 0, 2, 2}, {3, 3, 1, 1}};
    for (const RECT& rect : badRects)
        EXPECT_EQ(D3DXSaveSurfaceToFileA(file.c_str(), D3DXIFF_PNG, surface, nullptr, &rect),
                  D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(file.c_str(), D3DXIFF_PNG, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(nullptr, D3DXIFF_PNG, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "shot.png"));
    // A folder that does not exist cannot take the file.
    EXPECT_NE(D3DXSaveSurfaceToFileA((folder.WinPath() + "\\no\\such\\shot.png").c_str(), D3DXIFF_PNG,
                                     surface, nullptr, nullptr),
              D3D_OK);
    surface->Release();
    EXPECT_EQ(texture->Release(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Render to surface.

bool SameViewport(const D3DVIEWPORT8& a, const D3DVIEWPORT8& b)
{
    return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height && a.MinZ == b.MinZ &&
           a.MaxZ == b.MaxZ;
}

TEST_F(D3DXDeviceTest, RenderToSurfaceDrawsIntoTheSurfaceAndPutsTheDeviceBack)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(
        m_device->CreateTexture(16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
        D3D_OK);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(m_device, 16, 8, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D16, &rts), D3D_OK);
    D3DXRTS_DESC rtsDesc{};
    ASSERT_EQ(rts->GetDesc(&rtsDesc), D3D_OK);
    EXPECT_EQ(rtsDesc.Width, 16u);
    EXPECT_EQ(rtsDesc.Height, 8u);
    EXPECT_EQ(rtsDesc.Format, D3DFMT_A8R8G8B8);
    EXPECT_TRUE(rtsDesc.DepthStencil);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(rts->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, m_device);
    owner->Release();

    IDirect3DSurface8* ownTarget = nullptr;
    IDirect3DSurface8* ownDepth = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(&ownTarget), D3D_OK);
    ASSERT_EQ(m_device->GetDepthStencilSurface(&ownDepth), D3D_OK);
    const D3DVIEWPORT8 ownViewport{3, 5, 40, 30, 0.25f, 0.75f};
    ASSERT_EQ(m_device->SetViewport(&ownViewport), D3D_OK);
    // The reference counts of the device's own surfaces, to see that what was saved is released.
    ownTarget->AddRef();
    const ULONG ownTargetCount = ownTarget->Release();
    ownDepth->AddRef();
    const ULONG ownDepthCount = ownDepth->Release();

    // The whole surface first, then a rectangle of it through the viewport.
    ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
    D3DVIEWPORT8 during{};
    m_device->GetViewport(&during);
    EXPECT_TRUE(SameViewport(during, D3DVIEWPORT8{0, 0, 16, 8, 0.0f, 1.0f}));
    IDirect3DSurface8* current = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(&current), D3D_OK);
    EXPECT_EQ(current, surface);
    current->Release();
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC depthDesc{};
    depth->GetDesc(&depthDesc);
    EXPECT_NE(depth, ownDepth);
    EXPECT_EQ(depthDesc.Width, 16u);
    EXPECT_EQ(depthDesc.Format, D3DFMT_D16);
    depth->Release();
    EXPECT_EQ(rts->BeginScene(surface, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(rts->EndScene(), D3D_OK);

    const D3DVIEWPORT8 part{4, 2, 8, 4, 0.0f, 1.0f};
    ASSERT_EQ(rts->BeginScene(surface, &part), D3D_OK);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(rts->EndScene(), D3D_OK);
    EXPECT_EQ(rts->EndScene(), D3DERR_INVALIDCALL);

    std::vector<uint32_t> pixels = Pixels(texture);
    ASSERT_EQ(pixels.size(), 16u * 8u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
        {
            bool inside = x >= 4 && x < 12 && y >= 2 && y < 6;
            EXPECT_EQ(pixels[y * 16 + x], inside ? 0xFF336699u : 0xFF000000u) << "at " << x << ", " << y;
        }

    IDirect3DSurface8* restoredTarget = nullptr;
    IDirect3DSurface8* restoredDepth = nullptr;
    D3DVIEWPORT8 restoredViewport{};
    ASSERT_EQ(m_device->GetRenderTarget(&restoredTarget), D3D_OK);
    ASSERT_EQ(m_device->GetDepthStencilSurface(&restoredDepth), D3D_OK);
    m_device->GetViewport(&restoredViewport);
    EXPECT_EQ(restoredTarget, ownTarget);
    EXPECT_EQ(restoredDepth, ownDepth);
    EXPECT_TRUE(SameViewport(restoredViewport, ownViewport));
    restoredTarget->Release();
    restoredDepth->Release();
    ownTarget->AddRef();
    EXPECT_EQ(ownTarget->Release(), ownTargetCount);
    ownDepth->AddRef();
    EXPECT_EQ(ownDepth->Release(), ownDepthCount);
    ownTarget->Release();
    ownDepth->Release();

    // Nothing else holds the helper, the texture or its surface any more.
    EXPECT_EQ(rts->Release(), 0u);
    surface->Release();
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DXDeviceTest, RenderToSurfaceRefusesSurfacesThatDoNotMatch)
{
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(m_device, 16, 16, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts),
              D3D_OK);
    struct Candidate
    {
        const char* name;
        UINT width;
        UINT height;
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
    };
    const Candidate candidates[] = {
        {"other width", 8, 16, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT},
        {"other height", 16, 32, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT},
        {"other format", 16, 16, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT},
        {"not a render target", 16, 16, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED},
    };
    IDirect3DSurface8* ownTarget = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(&ownTarget), D3D_OK);
    for (const Candidate& c : candidates)
    {
        SCOPED_TRACE(c.name);
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(c.width, c.height, 1, c.usage, c.format, c.pool, &texture), D3D_OK);
        IDirect3DSurface8* surface = nullptr;
        ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
        EXPECT_EQ(rts->BeginScene(surface, nullptr), D3DERR_INVALIDCALL);
        IDirect3DSurface8* current = nullptr;
        ASSERT_EQ(m_device->GetRenderTarget(&current), D3D_OK);
        EXPECT_EQ(current, ownTarget);
        current->Release();
        surface->Release();
        EXPECT_EQ(texture->Release(), 0u);
    }
    EXPECT_EQ(rts->BeginScene(nullptr, nullptr), D3DERR_INVALIDCALL);
    ownTarget->Release();
    EXPECT_EQ(rts->Release(), 0u);

    EXPECT_EQ(D3DXCreateRenderToSurface(m_device, 0, 16, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(rts, nullptr);
    EXPECT_EQ(D3DXCreateRenderToSurface(nullptr, 16, 16, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateRenderToSurface(m_device, 16, 16, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(D3DXDeviceTest, RenderToSurfaceWithoutDepthAndReleasedMidSceneLeavesTheDeviceAsItWas)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(
        m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture),
        D3D_OK);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    IDirect3DSurface8* ownTarget = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(&ownTarget), D3D_OK);
    D3DVIEWPORT8 ownViewport{};
    m_device->GetViewport(&ownViewport);

    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(m_device, 8, 8, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN, &rts),
              D3D_OK);
    ASSERT_EQ(rts->BeginScene(surface, nullptr), D3D_OK);
    // Without a depth buffer of its own the scene has none.
    IDirect3DSurface8* depth = nullptr;
    EXPECT_NE(m_device->GetDepthStencilSurface(&depth), D3D_OK);
    if (depth != nullptr)
        depth->Release();
    EXPECT_EQ(rts->Release(), 0u);

    IDirect3DSurface8* current = nullptr;
    ASSERT_EQ(m_device->GetRenderTarget(&current), D3D_OK);
    EXPECT_EQ(current, ownTarget);
    current->Release();
    D3DVIEWPORT8 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_TRUE(SameViewport(viewport, ownViewport));
    // The device can begin a scene of its own again.
    EXPECT_EQ(m_device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_device->EndScene(), D3D_OK);
    ownTarget->Release();
    surface->Release();
    EXPECT_EQ(texture->Release(), 0u);
}

} // namespace
