#pragma once
// The animation image: a list of timed frames, each an owned texture image, read from an ".ani"
// file (KelAniFile.h) or from a zip archive of numbered TGA files.
//
// Zip animations. The archive holds "0000.tga", "0001.tga", ... (inside an optional
// subdirectory); the first missing number ends the list, and a member that does not decode is
// skipped. An optional "config.txt" gives one duration in ms per non-empty line, frame by frame,
// and after the last frame's line the hold time; frames without a line keep 100 ms.
//
// Timing. The drawing texture passes a time in ms; within the total duration (the frame
// durations plus the hold time) it selects the frame whose span contains the time. During the
// hold time after the last frame there is no current frame and nothing is drawn.
//
// A load that fails leaves the animation empty, never with part of the frames.

#include <memory>
#include <string>
#include <vector>

#include "KelImageCL.h"

class KelImageTextureCL;
class IZipArchive;

struct KelAnimFrame
{
    std::unique_ptr<KelImageTextureCL> image;
    int duration = 0;
};

class KelImageAnimCL : public KelImageCL
{
public:
    KelImageAnimCL();
    ~KelImageAnimCL() override;

    // A path containing ".zip" or ".ZIP" is read as a zip animation from the archive's root, a
    // path containing ".ani" or ".ANI" as an ".ani" file; any other path gives false.
    bool LoadFromFileM(const char* path, D3DCOLOR colorKey) override;
    bool LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey) override;
    // The bytes of an ".ani" file.
    bool LoadFromMemoryM(const char* name, const void* data, UINT size) override;
    // Animations are not created empty; answers true so that callers go on.
    bool CreateImageM(const char* name, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                      D3DPOOL pool) override;
    // The current frame's texture and surface.
    IDirect3DTexture8* GetTextureM() override;
    IDirect3DSurface8* GetSurfaceM() override;
    std::string GetIDM() override;
    bool OnLostDevice() override;
    bool OnResetDevice() override;
    // Draw the current frame; without one nothing is drawn and the answer is true.
    bool Render(KelCanvasCL* canvas, float x, float y) override;
    bool RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height, D3DCOLOR color) override;
    bool GetPointColor(int x, int y, D3DCOLOR* color) override;
    // The size of the first frame.
    int GetImageWidth() override;
    int GetImageHeight() override;
    void SetAnimationTime(int ms) override;
    // Writes `name` + ".ani", each frame compressed at zlib level 9.
    bool SaveAsAnimationFile(const char* name) override;

    // Takes ownership of the image. The first frame gives the animation its size; the current
    // frame becomes the first.
    void AddFrame(KelImageTextureCL* image, int duration);
    // The current frame, or null when there is none.
    KelAnimFrame* GetCurFrame();
    KelImageTextureCL* GetCurImage();
    // Reads the numbered frames of an archive (the path must contain ".zip" or ".ZIP"), from
    // the subdirectory when one is given (null or empty: the root).
    bool LoadFromZipFileM(const char* path, const char* subdirectory);
    // Reads the frames and "config.txt" of one directory of an open archive.
    bool ReadFromZipDirectory(const char* path, IZipArchive* archive, const char* subdirectory);
    // Deletes every frame; the animation is empty afterwards.
    void Destroy();

    int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
    const KelAnimFrame& GetFrame(int index) const { return m_frames[static_cast<size_t>(index)]; }
    int GetCurFrameIndex() const { return m_current; }
    int GetHoldTime() const { return m_holdTime; }
    void SetHoldTime(int ms);
    int GetTotalDuration() const { return m_totalDuration; }

private:
    void UpdateTotalDuration();
    // Applies the lines of "config.txt" to the frame durations and the hold time.
    void ApplyConfig(const std::string& text);

    std::vector<KelAnimFrame> m_frames;
    std::string m_name;
    int m_width = 0;
    int m_height = 0;
    int m_current = -1;
    int m_holdTime = 0;
    int m_totalDuration = 0;
};
