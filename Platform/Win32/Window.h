#pragma once
// The host's window as the engine sees it: a client area of some size, a minimised state, and
// the place finished frames are shown. The host implements it on an SDL2 window; headless runs
// and tests use MemoryWindow, which keeps the last frame in memory.

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "PixelBuffer.h"
#include "WinTypes.h"

class Win32Window
{
public:
    virtual ~Win32Window() = default;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    virtual bool IsMinimised() const { return false; }
    // Where the client area's top-left corner lies on the screen. Hosts that deliver every mouse
    // point in client coordinates (SDL2 and memory windows) keep it at (0, 0).
    virtual POINT ClientOrigin() const { return POINT{0, 0}; }
    // Shows a finished frame: `pixels` are 32-bit A8R8G8B8 rows, `pitch` bytes apart.
    virtual void PresentFrame(const uint32_t* pixels, int width, int height, int pitch) = 0;
    // Shows a finished frame whose buffer the caller gives up until the next frame: a window
    // that keeps frames may trade it for its own buffer of the same size (which then holds the
    // frame shown before), instead of copying it. By default the frame is copied.
    virtual void PresentBuffer(PixelBuffer& pixels, int width, int height, int pitch)
    {
        PresentFrame(pixels.data(), width, height, pitch);
    }
};

class MemoryWindow : public Win32Window
{
public:
    MemoryWindow(int width, int height) : m_width(width), m_height(height) {}
    int ClientWidth() const override { return m_width; }
    int ClientHeight() const override { return m_height; }
    bool IsMinimised() const override { return m_minimised; }
    void SetMinimised(bool minimised) { m_minimised = minimised; }
    void Resize(int width, int height)
    {
        m_width = width;
        m_height = height;
    }
    void PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        SetFrameSize(width, height);
        for (int y = 0; y < height; ++y)
            std::memcpy(m_frame.data() + static_cast<size_t>(y) * width,
                        reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * pitch,
                        static_cast<size_t>(width) * 4);
        ++m_frames;
    }
    void PresentBuffer(PixelBuffer& pixels, int width, int height, int pitch) override
    {
        const size_t words = static_cast<size_t>(width) * height;
        if (pitch != width * 4 || pixels.size() != words)
        {
            MemoryWindow::PresentFrame(pixels.data(), width, height, pitch);
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        // The first frame of a size is copied; from then on the two buffers change places.
        if (m_frame.size() != words)
        {
            SetFrameSize(width, height);
            std::memcpy(m_frame.data(), pixels.data(), words * 4);
        }
        else
        {
            m_frameWidth = width;
            m_frameHeight = height;
            m_frame.Swap(pixels);
        }
        ++m_frames;
    }
    // The last frame presented, rows packed.
    std::vector<uint32_t> Frame(int* width = nullptr, int* height = nullptr) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (width != nullptr)
            *width = m_frameWidth;
        if (height != nullptr)
            *height = m_frameHeight;
        return std::vector<uint32_t>(m_frame.data(), m_frame.data() + m_frame.size());
    }
    int FramesPresented() const { return m_frames; }

private:
    void SetFrameSize(int width, int height)
    {
        m_frameWidth = width;
        m_frameHeight = height;
        const size_t words = static_cast<size_t>(width) * height;
        if (m_frame.size() != words)
            m_frame.Reset(words);
    }

    int m_width;
    int m_height;
    bool m_minimised = false;
    mutable std::mutex m_mutex;
    PixelBuffer m_frame;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    int m_frames = 0;
};

// The window functions the engine calls. A null window has an empty client area, is not
// minimised and cannot capture the mouse.
BOOL GetClientRect(HWND window, RECT* rect);
BOOL IsIconic(HWND window);
// The window that receives the mouse while a button is held; one per process.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
// Turns a screen point into the window's client coordinates; FALSE for a null window or point.
BOOL ScreenToClient(HWND window, POINT* point);
