#pragma once
// The GDI font functions the engine's glyph rasteriser calls: fonts by face name, device
// contexts to select them into, and glyph bitmaps from GetGlyphOutlineA with GGO_BITMAP.
//
// Faces. The system's fonts were designed for the Chinese Song face "宋体" (SimSun): its em
// square is its whole cell, half-width characters are half an em wide, and its small sizes are
// hand-drawn bitmaps. "宋体" and its relatives are served by WenQuanYi Zen Hei Sharp, whose
// 12 to 16 pixel sizes are hand-tuned bitmap strikes, falling back to WenQuanYi Micro Hei when
// that file is missing. The Chinese sans faces ("黑体", "微软雅黑") go to Micro Hei first. A face
// named by its own family name ("WenQuanYi Micro Hei") is found among the installed faces; any
// other name gets the sans face, as the Windows font mapper gives a font asked for with
// FF_SWISS. A character that the chosen face lacks is taken from the next installed face that
// has it; a code that is no character of the code page shows the face's missing-glyph shape.
//
// Sizes. As in the Song faces, the height (positive or negative) is the em height in pixels and
// the width, when not 0, is the advance of a half-width character, so the horizontal em is twice
// the width; 6 x 12 therefore uses the 12 pixel bitmaps unscaled. A weight of FW_SEMIBOLD or more
// is simulated as Windows does for faces without a bold style: every glyph is smeared one pixel
// to the right and its advance grows by one.
//
// Character codes of GetGlyphOutlineA are in the system code page (GBK, 936): a code up to 0xFF
// is one byte, a larger one is a lead byte (high byte) and a trail byte (low byte).
//
// Handles are small numbers, as on Windows, so that they print readably in logs; a handle that
// is not open is refused with ERROR_INVALID_HANDLE. All functions may be called from any thread.

#include <cstdint>

#include "Win32/WinTypes.h"

struct HFONT__;
struct HDC__;
typedef HFONT__* HFONT;
typedef HDC__* HDC;
typedef void* HGDIOBJ;

// Character sets: the system default (the Chinese code page here) and GB2312 itself.
#define DEFAULT_CHARSET 1u
#define GB2312_CHARSET 134u

#define OUT_DEFAULT_PRECIS 0u
#define CLIP_DEFAULT_PRECIS 0u
#define DEFAULT_QUALITY 0u
#define DEFAULT_PITCH 0u
#define FF_DONTCARE 0u
#define FF_ROMAN 16u
#define FF_SWISS 32u
#define FF_MODERN 48u

#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_NORMAL 400
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

// GetGlyphOutlineA formats. Only the 1-bit bitmap is provided.
#define GGO_BITMAP 1u
#define GDI_ERROR 0xFFFFFFFFu

struct FIXED
{
    WORD fract;
    short value;
};

struct MAT2
{
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

struct GLYPHMETRICS
{
    // The size of the smallest rectangle around the glyph's pixels.
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    // The upper left corner of that rectangle relative to the pen position on the baseline
    // (y grows upwards).
    POINT gmptGlyphOrigin;
    // How far the pen moves to the next character.
    short gmCellIncX;
    short gmCellIncY;
};
typedef GLYPHMETRICS* LPGLYPHMETRICS;

// A font of the face and size (see above). Escapement, orientation, italic, underline and
// strike-out are not drawn by this layer and must be 0; the character set must be
// DEFAULT_CHARSET or GB2312_CHARSET. NULL, with ERROR_INVALID_PARAMETER for arguments outside
// these or a size above 2048 pixels, or ERROR_FILE_NOT_FOUND when no face is installed.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
// Deletes a font. A font still selected into a device context stays usable there until it is
// replaced or the context released.
BOOL DeleteObject(HGDIOBJ object);
// A device context for drawing to the window (any window, null included). It starts with the
// system font: the Song face at 16 pixels.
HDC GetDC(HWND window);
// 1 when the context was released, 0 when it was not open.
int ReleaseDC(HWND window, HDC dc);
// Selects a font into the context; the previously selected font, or NULL on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// The glyph of a character in the context's font. Only GGO_BITMAP is provided, with the
// identity transformation: the bitmap is 1 bit per pixel, most significant bit leftmost, rows
// top to bottom, each row padded to a multiple of 4 bytes; it covers the black box. With no
// buffer (or a size of 0) the function returns the size it needs; otherwise it writes the bitmap
// and returns its size, or GDI_ERROR when the buffer is too small. A glyph without pixels (a
// space) has a 1 x 1 black box and a size of 0, and nothing is written.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, LPGLYPHMETRICS metrics, DWORD bufferSize,
                       LPVOID buffer, const MAT2* matrix);
