// table_frame: one frame of a busy card table drawn through the software Direct3D 8 device the
// way the engine's sprite batch submits it (textured quads, 192 per draw call, vertex and index
// buffers filled with discard locks, texture coordinates over size - 1), then presented into
// memory.
//
// The frame: an 800 x 600 target cleared to opaque black; one opaque 800 x 600 background; 200
// alpha-blended 60 x 78 cards from one texture; 50 glyphs of 8 x 12 from a 256 x 256 atlas.
// Background pixel (x, y) = (x * 255 / 799, y * 255 / 599, (x xor y) & 255). Card pixel (x, y)
// = alpha a, red 255 - 3y, green 4x, blue 128, where a = x * 255 / 59 ("gradient" cards) or, for
// "opaque" cards, 0 within 4 pixels (taxicab) of a corner, 128 at exactly 4, else 255. Card i in
// frame f sits at ((97i + 7f) mod 741, (61i + 5f) mod 523). Atlas pixel (x, y) = white with alpha
// (7x + 13y) & 255; glyph j comes from (((5j) mod 32) * 8, ((3j) mod 21) * 12) and goes to
// (16 + (j mod 25) * 20, 540 + (j div 25) * 20). The "rotated" variants turn every tenth card
// clockwise by (17i + 3f) mod 360 degrees about its centre.
//
// Each frame is timed on its own after 50 warm-up frames; the counters give the median and the
// FNV-1a hash of the last frame's pixels, so that a change in what is drawn is noticed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "D3D8/D3D8.h"
#include "FrameCheck.h"
#include "D3D8/D3DX8.h"
#include "Win32/Window.h"

namespace
{
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kQuadsPerCall = 192;

struct Vertex
{
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

class TableFrame
{
public:
    TableFrame(bool opaqueCards, bool rotated) : m_window(kWidth, kHeight), m_rotated(rotated)
    {
        m_d3d = Direct3DCreate8(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_FLIP;
        pp.hDeviceWindow = &m_window;
        pp.Windowed = TRUE;
        m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_window, 0x144, &pp, &m_device);
        m_background = MakeTexture(kWidth, kHeight, [](int x, int y) {
            return 0xFF000000u | static_cast<uint32_t>(x * 255 / 799) << 16 | static_cast<uint32_t>(y * 255 / 599) << 8 |
                   static_cast<uint32_t>((x ^ y) & 255);
        });
        m_card = MakeTexture(60, 78, [opaqueCards](int x, int y) {
            uint32_t a = static_cast<uint32_t>(x * 255 / 59);
            if (opaqueCards)
            {
                int d = std::min(x, 59 - x) + std::min(y, 77 - y);
                a = d < 4 ? 0 : d == 4 ? 128 : 255;
            }
            return a << 24 | static_cast<uint32_t>(255 - 3 * y) << 16 | static_cast<uint32_t>(4 * x) << 8 | 128u;
        });
        m_atlas = MakeTexture(256, 256, [](int x, int y) {
            return static_cast<uint32_t>((7 * x + 13 * y) & 255) << 24 | 0x00FFFFFFu;
        });
        m_device->CreateVertexBuffer(kQuadsPerCall * 4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, 322, D3DPOOL_MANAGED,
                                     &m_vertices);
        m_device->CreateIndexBuffer(kQuadsPerCall * 6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                    &m_indices);
    }
    ~TableFrame()
    {
        m_vertices->Release();
        m_indices->Release();
        m_background->Release();
        m_card->Release();
        m_atlas->Release();
        m_device->Release();
        m_d3d->Release();
    }

    void Draw(int frame)
    {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        m_device->BeginScene();
        SetCamera();
        // The background goes down opaque, with blending on as for every image.
        m_current = m_background;
        AddQuad(0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, kWidth, kHeight, 0.0f);
        Flush(m_background);
        // A full batch flushes with the texture being drawn, so each batch names it first.
        m_current = m_card;
        for (int i = 0; i < 200; ++i)
        {
            float x = static_cast<float>((97 * i + 7 * frame) % 741);
            float y = static_cast<float>((61 * i + 5 * frame) % 523);
            float angle = m_rotated && i % 10 == 0 ? static_cast<float>((17 * i + 3 * frame) % 360) : 0.0f;
            AddQuad(x, y, 60, 78, 0, 0, 60, 78, 60, 78, angle);
        }
        Flush(m_card);
        m_current = m_atlas;
        for (int j = 0; j < 50; ++j)
        {
            float sx = static_cast<float>((5 * j) % 32 * 8);
            float sy = static_cast<float>((3 * j) % 21 * 12);
            AddQuad(static_cast<float>(16 + (j % 25) * 20), static_cast<float>(540 + (j / 25) * 20), 8, 12, sx, sy, 8, 12,
                    256, 256, 0.0f);
        }
        Flush(m_atlas);
        m_device->EndScene();
        m_device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    void WritePng(const std::string& name) const { WriteFramePng(name, m_window.Frame(), kWidth, kHeight); }

    uint32_t Hash() const { return FrameHash(m_window.Frame()); }

private:
    template <class Pixel>
    IDirect3DTexture8* MakeTexture(int width, int height, Pixel pixel)
    {
        IDirect3DTexture8* texture = nullptr;
        m_device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] = pixel(x, y);
        texture->UnlockRect(0);
        return texture;
    }

    // The 2D camera of the engine: orthographic, y down, pixel (x, y) at vertex (x, y).
    void SetCamera()
    {
        D3DXMATRIX identity, view, projection;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 eye{kWidth / 2.0f, kHeight / 2.0f, -1.0f}, at{kWidth / 2.0f, kHeight / 2.0f, 0.0f},
            up{0.0f, -1.0f, 0.0f};
        D3DXMatrixLookAtRH(&view, &eye, &at, &up);
        D3DXMatrixOrthoRH(&projection, kWidth, kHeight, 0.0f, 1.0f);
        m_device->SetTransform(D3DTS_WORLD, &identity);
        m_device->SetTransform(D3DTS_VIEW, &view);
        m_device->SetTransform(D3DTS_PROJECTION, &projection);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
        m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
        m_device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    }

    // A quad as the sprite batch builds it: corners, optional rotation about the integer centre,
    // texture coordinates over size - 1.
    void AddQuad(float x, float y, float w, float h, float sx, float sy, float sw, float sh, float texW, float texH,
                 float degrees)
    {
        if (m_quads.size() / 4 == static_cast<size_t>(kQuadsPerCall))
            Flush(m_current);
        float corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
        if (degrees != 0.0f)
        {
            float cx = static_cast<float>(static_cast<int>(w) / 2), cy = static_cast<float>(static_cast<int>(h) / 2);
            float radians = degrees * 3.14159265f / 180.0f, c = std::cos(radians), s = std::sin(radians);
            for (auto& p : corners)
            {
                float dx = p[0] - cx, dy = p[1] - cy;
                p[0] = cx + dx * c - dy * s;
                p[1] = cy + dx * s + dy * c;
            }
        }
        float u0 = sx / (texW - 1), v0 = sy / (texH - 1), u1 = (sx + sw) / (texW - 1), v1 = (sy + sh) / (texH - 1);
        float uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
        for (int k = 0; k < 4; ++k)
            m_quads.push_back(Vertex{x + corners[k][0], y + corners[k][1], -1.0f, 0xFFFFFFFFu, uv[k][0], uv[k][1]});
    }

    void Flush(IDirect3DTexture8* texture)
    {
        m_current = texture;
        if (m_quads.empty())
            return;
        int quads = static_cast<int>(m_quads.size() / 4);
        BYTE* data = nullptr;
        m_vertices->Lock(0, 0, &data, D3DLOCK_DISCARD);
        memcpy(data, m_quads.data(), m_quads.size() * sizeof(Vertex));
        m_vertices->Unlock();
        m_indices->Lock(0, 0, &data, D3DLOCK_DISCARD);
        auto* index = reinterpret_cast<uint16_t*>(data);
        for (int q = 0; q < quads; ++q)
        {
            uint16_t base = static_cast<uint16_t>(q * 4);
            uint16_t six[6] = {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2), base,
                               static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
            memcpy(index + q * 6, six, sizeof(six));
        }
        m_indices->Unlock();
        m_device->SetTexture(0, texture);
        m_device->SetVertexShader(322);
        m_device->SetStreamSource(0, m_vertices, sizeof(Vertex));
        m_device->SetIndices(m_indices, 0);
        m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(m_quads.size()), 0,
                                       static_cast<UINT>(quads * 2));
        m_quads.clear();
    }

    MemoryWindow m_window;
    bool m_rotated;
    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;
    IDirect3DTexture8* m_background = nullptr;
    IDirect3DTexture8* m_card = nullptr;
    IDirect3DTexture8* m_atlas = nullptr;
    IDirect3DTexture8* m_current = nullptr;
    IDirect3DVertexBuffer8* m_vertices = nullptr;
    IDirect3DIndexBuffer8* m_indices = nullptr;
    std::vector<Vertex> m_quads;
};

void table_frame(benchmark::State& state)
{
    TableFrame frame(state.range(0) != 0, state.range(1) != 0);
    TimeFrames(state, [&frame](int number) { frame.Draw(number); });
    state.counters["hash"] = static_cast<double>(frame.Hash());
    frame.WritePng("table_frame_" + std::to_string(state.range(0)) + std::to_string(state.range(1)));
}
BENCHMARK(table_frame)
    ->ArgNames({"opaque", "rotated"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond);
} // namespace
