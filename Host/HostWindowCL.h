#pragma once
// The host's desktop side: an SDL2 window that shows the engine's frames, and the translation of
// SDL2's input events into the Windows messages the engine's windows handle.

#include <cstdint>
#include <string>
#include <vector>

#include <SDL2/SDL.h>

#include "Win32/Window.h"

struct HostMessage
{
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// SDL2 events as Windows messages: mouse moves, button presses (the second press of a double
// click is WM_?BUTTONDBLCLK, as Windows sends it), the wheel, keys with their virtual-key codes
// and the characters typed (WM_CHAR with GBK bytes, and the control characters Windows makes of
// Enter, Backspace, Tab and Escape). Keys also update the keyboard state of the platform layer,
// text editing the input method's composition, and window events the client size.
class HostInputCL
{
public:
    // The messages an event becomes; none for events of no interest.
    std::vector<HostMessage> Translate(const SDL_Event& event);
    // The virtual-key code of an SDL key; 0 for keys the engine has no code for.
    static int VirtualKey(SDL_Keycode key);

private:
    WPARAM MouseKeys() const;

    int m_x = 0;
    int m_y = 0;
    uint32_t m_buttons = 0;
};

// The SDL2 window the engine presents into; frames are streamed to a texture and shown scaled
// to the window's size, so the table keeps its 800 x 600 layout at any window size.
class HostSdlWindowCL : public Win32Window
{
public:
    HostSdlWindowCL() = default;
    ~HostSdlWindowCL() override;
    HostSdlWindowCL(const HostSdlWindowCL&) = delete;
    HostSdlWindowCL& operator=(const HostSdlWindowCL&) = delete;

    // False with Error() when the video driver, window or renderer cannot be made.
    bool Open(const std::string& title, int width, int height);
    const std::string& Error() const { return m_error; }

    int ClientWidth() const override { return m_width; }
    int ClientHeight() const override { return m_height; }
    bool IsMinimised() const override { return m_minimised; }
    void PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override;

    // Window events that change the size or the minimised state.
    void OnWindowEvent(const SDL_WindowEvent& event);
    // Mouse points arrive in window pixels; the frame may be shown scaled.
    void ToFrame(int& x, int& y) const;

private:
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    int m_textureWidth = 0;
    int m_textureHeight = 0;
    int m_width = 0;
    int m_height = 0;
    int m_windowWidth = 0;
    int m_windowHeight = 0;
    bool m_minimised = false;
    std::string m_error;
};
