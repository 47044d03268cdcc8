#pragma once
// The animated GIF image. Every frame of the file becomes a texture image of its own (its size
// rounded up to powers of two, A8R8G8B8, managed pool), drawn at its place on the logical
// screen. The image keeps its own clock: a frame is shown for its delay (at least 100 ms; a
// frame without a graphic control extension only for one draw) before the next one, wrapping
// to the first after the last.
//
// A GIF needs at least two frames; a still picture is loaded as a plain texture. A file that
// cannot be read or decoded leaves the image empty.

#include <memory>
#include <string>
#include <vector>

#include "KelImageCL.h"

class KelImageTextureCL;

class KelImageGifCL : public KelImageCL
{
public:
    struct Frame
    {
        std::unique_ptr<KelImageTextureCL> image;
        int delay = -1;
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        bool transparent = false;
    };

    KelImageGifCL();
    ~KelImageGifCL() override;

    bool LoadFromFileM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromMemoryM(const char* name, const void* data, UINT size) override;
    std::string GetIDM() override;
    // Frame textures live in the managed pool; nothing to do on a device loss.
    bool OnLostDevice() override;
    bool OnResetDevice() override;
    // Advances the clock, then draws the current frame at (x + frame left, y + frame top)
    // relative to the canvas origin.
    bool Render(KelCanvasCL* canvas, float x, float y) override;
    // The logical screen size.
    int GetImageWidth() override;
    int GetImageHeight() override;
    // For drawing through a texture: advances the clock and hands out the current frame's
    // texture image.
    KelImageCL* GetImage() override;

    bool IsLoaded() const { return m_loaded; }
    int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
    const Frame& GetFrame(int index) const { return m_frames[static_cast<size_t>(index)]; }
    int GetCurFrameIndex() const { return m_current; }
    // 0xFFRRGGBB of the global colour table's background entry.
    D3DCOLOR GetBackgroundColor() const { return m_background; }

private:
    // Decodes the bytes and makes the frame textures; the image is empty on failure.
    bool Load(const char* name, const void* data, size_t size);
    // Moves to the next frame once the current one's delay has passed.
    void Advance();
    void Destroy();

    std::string m_name;
    int m_width = 0;
    int m_height = 0;
    D3DCOLOR m_background = 0;
    std::vector<Frame> m_frames;
    int m_current = 0;
    DWORD m_frameStart = 0;
    int m_textureCounter = 0;
    bool m_loaded = false;
};
