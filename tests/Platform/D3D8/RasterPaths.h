#pragma once
// Runs a test once on every SIMD path of the rasteriser. The CPU the tests usually run on has
// AVX2, and without choosing the path explicitly the SSE2 code would never be drawn with there.

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "D3D8/D3D8Rasterizer.h"

inline const D3D8RasterPath kEveryRasterPath[] = {D3D8RasterPath::Sse2, D3D8RasterPath::Avx2};

// Failure messages name the path instead of dumping its bytes.
inline void PrintTo(D3D8RasterPath path, std::ostream* os)
{
    *os << D3D8RasterPathName(path);
}

inline std::string RasterPathTestName(const ::testing::TestParamInfo<D3D8RasterPath>& info)
{
    return D3D8RasterPathName(info.param);
}

// Selects the test's path before Base sets up (a device test draws in its SetUp too) and puts
// the previous choice back afterwards. A path the CPU lacks skips the test.
template <class Base = ::testing::Test>
class OnEachRasterPath : public Base, public ::testing::WithParamInterface<D3D8RasterPath>
{
protected:
    void SetUp() override
    {
        m_previous = D3D8ActiveRasterPath();
        if (!D3D8RasterPathAvailable(GetParam()))
            GTEST_SKIP() << "this CPU cannot run " << D3D8RasterPathName(GetParam());
        ASSERT_EQ(D3D8SetRasterPath(GetParam()), GetParam());
        Base::SetUp();
    }
    void TearDown() override
    {
        Base::TearDown();
        D3D8SetRasterPath(m_previous);
    }

private:
    D3D8RasterPath m_previous = D3D8RasterPath::Auto;
};

#define INSTANTIATE_ON_EACH_RASTER_PATH(fixture)                                                             \
    INSTANTIATE_TEST_SUITE_P(RasterPath, fixture, ::testing::ValuesIn(kEveryRasterPath), RasterPathTestName)
