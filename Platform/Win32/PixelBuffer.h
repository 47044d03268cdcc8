#pragma once
// Zeroed memory for pixels, in 32-bit words. A large buffer is pages mapped for it alone, which
// take no memory until they are written (a depth buffer that a 2D frame never touches costs
// nothing) and go back to the system when the buffer goes, whatever the C library's allocator
// would have kept. Buffers of the same size can trade their memory with Swap, which is how a
// finished frame moves from the device to the window without a copy.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#include <sys/mman.h>

class PixelBuffer
{
public:
    PixelBuffer() = default;
    explicit PixelBuffer(size_t words) { Reset(words); }
    ~PixelBuffer() { Free(); }
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    PixelBuffer(PixelBuffer&& other) noexcept { Swap(other); }
    PixelBuffer& operator=(PixelBuffer&& other) noexcept
    {
        PixelBuffer moved(std::move(other));
        Swap(moved);
        return *this;
    }

    // Replaces the contents with `words` zero words.
    void Reset(size_t words)
    {
        Free();
        if (words == 0)
            return;
        if (words * sizeof(uint32_t) >= kMappedBytes)
        {
            void* pages = mmap(nullptr, words * sizeof(uint32_t), PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (pages == MAP_FAILED)
                throw std::bad_alloc();
            m_words = static_cast<uint32_t*>(pages);
        }
        else
        {
            m_words = static_cast<uint32_t*>(std::calloc(words, sizeof(uint32_t)));
            if (m_words == nullptr)
                throw std::bad_alloc();
        }
        m_size = words;
    }

    void Swap(PixelBuffer& other) noexcept
    {
        std::swap(m_words, other.m_words);
        std::swap(m_size, other.m_size);
    }

    uint32_t* data() { return m_words; }
    const uint32_t* data() const { return m_words; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    // From this size on a buffer has its own pages.
    static constexpr size_t kMappedBytes = 64 * 1024;

    void Free()
    {
        if (m_words != nullptr && m_size * sizeof(uint32_t) >= kMappedBytes)
            munmap(m_words, m_size * sizeof(uint32_t));
        else
            std::free(m_words);
        m_words = nullptr;
        m_size = 0;
    }

    uint32_t* m_words = nullptr;
    size_t m_size = 0;
};
