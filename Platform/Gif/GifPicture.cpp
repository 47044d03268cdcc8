#include "Gif/GifPicture.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <gif_lib.h>

namespace
{

constexpr uint32_t kMagenta = 0x00FF00FFu;

struct Source
{
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadSource(GifFileType* gif, GifByteType* buffer, int length)
{
    Source* source = static_cast<Source*>(gif->UserData);
    if (length <= 0)
        return 0;
    size_t count = std::min(static_cast<size_t>(length), source->size - source->position);
    std::memcpy(buffer, source->data + source->position, count);
    source->position += count;
    return static_cast<int>(count);
}

struct GifCloser
{
    void operator()(GifFileType* gif) const
    {
        int ignored;
        DGifCloseFile(gif, &ignored);
    }
};

uint32_t Colour(const GifColorType& entry)
{
    return static_cast<uint32_t>(entry.Red) << 16 | static_cast<uint32_t>(entry.Green) << 8 | entry.Blue;
}

class Decoder
{
public:
    Decoder(GifFileType* gif, GifPicture& picture) : m_gif(gif), m_picture(picture) {}

    GifDecodeError Run(const Source& source)
    {
        m_picture.width = m_gif->SWidth;
        m_picture.height = m_gif->SHeight;
        const ColorMapObject* global = m_gif->SColorMap;
        if (global != nullptr && m_gif->SBackGroundColor >= 0 && m_gif->SBackGroundColor < global->ColorCount)
            m_picture.background = 0xFF000000u | Colour(global->Colors[m_gif->SBackGroundColor]);
        for (;;)
        {
            GifRecordType type;
            if (DGifGetRecordType(m_gif, &type) == GIF_ERROR)
            {
                // A file cut off right after a whole frame keeps its frames.
                bool atEnd = source.position == source.size;
                return atEnd && !m_picture.frames.empty() ? GifDecodeError::None : GifDecodeError::Damaged;
            }
            GifDecodeError result = GifDecodeError::None;
            if (type == IMAGE_DESC_RECORD_TYPE)
                result = ReadFrame();
            else if (type == EXTENSION_RECORD_TYPE)
                result = ReadExtension();
            else if (type == TERMINATE_RECORD_TYPE)
                return GifDecodeError::None;
            else
                result = GifDecodeError::Damaged;
            if (result != GifDecodeError::None)
                return result;
        }
    }

private:
    GifDecodeError ReadExtension()
    {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &code, &block) == GIF_ERROR)
            return GifDecodeError::Damaged;
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr)
        {
            // A graphic control block of the wrong length is ignored, as if it were absent.
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            {
                m_control = control;
                m_hasControl = true;
            }
        }
        while (block != nullptr)
            if (DGifGetExtensionNext(m_gif, &block) == GIF_ERROR)
                return GifDecodeError::Damaged;
        return GifDecodeError::None;
    }

    GifDecodeError ReadFrame()
    {
        if (DGifGetImageDesc(m_gif) == GIF_ERROR)
            return GifDecodeError::Damaged;
        const GifImageDesc& desc = m_gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0)
            return GifDecodeError::Damaged;
        int64_t area = static_cast<int64_t>(desc.Width) * desc.Height;
        if (desc.Width > kGifMaxFrameSide || desc.Height > kGifMaxFrameSide || area > kGifMaxFramePixels ||
            m_totalPixels + area > kGifMaxTotalPixels)
            return GifDecodeError::TooLarge;
        const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : m_gif->SColorMap;
        if (map == nullptr)
            return GifDecodeError::Damaged;

        // Left uninitialised on purpose: a frame that claims a large size but whose data stops
        // early touches only the rows it really holds.
        std::unique_ptr<GifPixelType[]> indices(new GifPixelType[static_cast<size_t>(area)]);
        auto row = [&](int y) { return indices.get() + static_cast<size_t>(y) * desc.Width; };
        if (desc.Interlace)
        {
            static const int kStart[4] = {0, 4, 2, 1};
            static const int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < desc.Height; y += kStep[pass])
                    if (DGifGetLine(m_gif, row(y), desc.Width) == GIF_ERROR)
                        return GifDecodeError::Damaged;
        }
        else
        {
            for (int y = 0; y < desc.Height; ++y)
                if (DGifGetLine(m_gif, row(y), desc.Width) == GIF_ERROR)
                    return GifDecodeError::Damaged;
        }

        GifFrame frame;
        frame.left = desc.Left;
        frame.top = desc.Top;
        frame.width = desc.Width;
        frame.height = desc.Height;
        int transparentIndex = NO_TRANSPARENT_COLOR;
        if (m_hasControl)
        {
            frame.delay = std::max(m_control.DelayTime * 10, 100);
            transparentIndex = m_control.TransparentColor;
            frame.transparent = transparentIndex != NO_TRANSPARENT_COLOR;
        }
        // The palette as final pixel values, so that the frame converts with one look-up each.
        uint32_t palette[256];
        for (int i = 0; i < 256; ++i)
        {
            uint32_t colour = i < map->ColorCount ? Colour(map->Colors[i]) : 0;
            palette[i] = colour == kMagenta ? kMagenta : 0xFF000000u | colour;
        }
        if (transparentIndex >= 0 && transparentIndex < 256)
            palette[transparentIndex] = 0;
        frame.pixels.resize(static_cast<size_t>(area));
        for (size_t i = 0; i < frame.pixels.size(); ++i)
            frame.pixels[i] = palette[indices[i]];

        m_totalPixels += area;
        m_picture.frames.push_back(std::move(frame));
        // A graphic control extension belongs to the one frame that follows it.
        m_hasControl = false;
        return GifDecodeError::None;
    }

    GifFileType* m_gif;
    GifPicture& m_picture;
    GraphicsControlBlock m_control{};
    bool m_hasControl = false;
    int64_t m_totalPixels = 0;
};

} // namespace

bool DecodeGifPicture(const void* data, size_t size, GifPicture& picture, GifDecodeError* error)
{
    picture = GifPicture();
    GifDecodeError result = GifDecodeError::Damaged;
    if (data == nullptr || size < 3 || std::memcmp(data, "GIF", 3) != 0)
        result = GifDecodeError::NotGif;
    else
    {
        Source source{static_cast<const uint8_t*>(data), size, 0};
        int openError = 0;
        std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, &ReadSource, &openError));
        if (gif != nullptr)
            result = Decoder(gif.get(), picture).Run(source);
    }
    if (error != nullptr)
        *error = result;
    if (result != GifDecodeError::None)
    {
        picture = GifPicture();
        return false;
    }
    return true;
}
