#include "HostWindowCL.h"

#include "Win32/Ime.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"
#include "Win32/Text.h"

WPARAM HostInputCL::MouseKeys() const
{
    WPARAM keys = 0;
    if ((m_buttons & SDL_BUTTON_LMASK) != 0)
        keys |= MK_LBUTTON;
    if ((m_buttons & SDL_BUTTON_RMASK) != 0)
        keys |= MK_RBUTTON;
    if ((m_buttons & SDL_BUTTON_MMASK) != 0)
        keys |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0)
        keys |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        keys |= MK_CONTROL;
    return keys;
}

int HostInputCL::VirtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 0x70 + (key - SDLK_F1);
    switch (key)
    {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LSHIFT:
        return VK_LSHIFT;
    case SDLK_RSHIFT:
        return VK_RSHIFT;
    case SDLK_LCTRL:
        return VK_LCONTROL;
    case SDLK_RCTRL:
        return VK_RCONTROL;
    case SDLK_LALT:
        return VK_LMENU;
    case SDLK_RALT:
        return VK_RMENU;
    default:
        return 0;
    }
}

std::vector<HostMessage> HostInputCL::Translate(const SDL_Event& event)
{
    std::vector<HostMessage> out;
    switch (event.type)
    {
    case SDL_MOUSEMOTION:
        m_x = event.motion.x;
        m_y = event.motion.y;
        out.push_back({WM_MOUSEMOVE, MouseKeys(), MAKELPARAM(m_x, m_y)});
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        m_x = event.button.x;
        m_y = event.button.y;
        const uint32_t mask = SDL_BUTTON(event.button.button);
        m_buttons = down ? (m_buttons | mask) : (m_buttons & ~mask);
        UINT message = 0;
        const bool twice = down && event.button.clicks == 2;
        if (event.button.button == SDL_BUTTON_LEFT)
            message = down ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
        else if (event.button.button == SDL_BUTTON_RIGHT)
            message = down ? (twice ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
        else if (event.button.button == SDL_BUTTON_MIDDLE)
            message = down ? (twice ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP;
        if (message != 0)
            out.push_back({message, MouseKeys(), MAKELPARAM(m_x, m_y)});
        break;
    }
    case SDL_MOUSEWHEEL:
    {
        const int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        if (notches != 0)
            out.push_back({WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(MouseKeys()), notches * WHEEL_DELTA),
                           MAKELPARAM(m_x, m_y)});
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    {
        const int vk = VirtualKey(event.key.keysym.sym);
        if (vk == 0)
            break;
        const bool down = event.type == SDL_KEYDOWN;
        Win32SetKeyDown(vk, down);
        // The engine's windows know the shared codes; the left and right ones only set the state.
        int reported = vk;
        if (vk == VK_LSHIFT || vk == VK_RSHIFT)
            reported = VK_SHIFT;
        else if (vk == VK_LCONTROL || vk == VK_RCONTROL)
            reported = VK_CONTROL;
        else if (vk == VK_LMENU || vk == VK_RMENU)
            reported = VK_MENU;
        const LPARAM repeat = event.key.repeat != 0 ? (1u << 30) : 0;
        out.push_back({down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(reported), repeat | 1});
        // The characters Windows makes of these keys; typed text arrives as text input.
        if (down && (vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE))
            out.push_back({WM_CHAR, static_cast<WPARAM>(vk), 1});
        break;
    }
    case SDL_TEXTINPUT:
    {
        Win32ImeState ime = Win32GetImeState();
        if (!ime.composition.empty())
        {
            ime.composition.clear();
            Win32SetImeState(ime);
        }
        for (unsigned char byte : Utf8ToGbk(event.text.text))
            out.push_back({WM_CHAR, static_cast<WPARAM>(byte), 1});
        break;
    }
    case SDL_TEXTEDITING:
    {
        // The composition the input method shows under the caret until the text is committed.
        Win32ImeState ime = Win32GetImeState();
        ime.active = true;
        ime.composition = Utf8ToGbk(event.edit.text);
        Win32SetImeState(ime);
        break;
    }
    default:
        break;
    }
    return out;
}

HostSdlWindowCL::~HostSdlWindowCL()
{
    if (m_texture != nullptr)
        SDL_DestroyTexture(m_texture);
    if (m_renderer != nullptr)
        SDL_DestroyRenderer(m_renderer);
    if (m_window != nullptr)
        SDL_DestroyWindow(m_window);
    if (m_window != nullptr || !m_error.empty())
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool HostSdlWindowCL::Open(const std::string& title, int width, int height)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        m_error = std::string("no video: ") + SDL_GetError();
        return false;
    }
    m_window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                SDL_WINDOW_RESIZABLE);
    if (m_window == nullptr)
    {
        m_error = std::string("no window: ") + SDL_GetError();
        return false;
    }
    // Frames are paced to the display where the renderer can; the host caps the rate otherwise.
    m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (m_renderer == nullptr)
        m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE);
    if (m_renderer == nullptr)
    {
        m_error = std::string("no renderer: ") + SDL_GetError();
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    m_width = width;
    m_height = height;
    m_windowWidth = width;
    m_windowHeight = height;
    SDL_StartTextInput();
    return true;
}

void HostSdlWindowCL::PresentFrame(const uint32_t* pixels, int width, int height, int pitch)
{
    if (m_renderer == nullptr || pixels == nullptr || width <= 0 || height <= 0)
        return;
    if (m_texture == nullptr || width != m_textureWidth || height != m_textureHeight)
    {
        if (m_texture != nullptr)
            SDL_DestroyTexture(m_texture);
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      width, height);
        m_textureWidth = width;
        m_textureHeight = height;
        if (m_texture == nullptr)
            return;
    }
    SDL_UpdateTexture(m_texture, nullptr, pixels, pitch);
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
}

void HostSdlWindowCL::OnWindowEvent(const SDL_WindowEvent& event)
{
    switch (event.event)
    {
    case SDL_WINDOWEVENT_MINIMIZED:
        m_minimised = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        m_minimised = false;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // The engine keeps drawing the table at its size; the window shows it scaled.
        m_windowWidth = event.data1;
        m_windowHeight = event.data2;
        break;
    default:
        break;
    }
}

void HostSdlWindowCL::ToFrame(int& x, int& y) const
{
    if (m_windowWidth > 0 && m_windowHeight > 0)
    {
        x = x * m_width / m_windowWidth;
        y = y * m_height / m_windowHeight;
    }
}
