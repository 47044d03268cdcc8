#pragma once
// A string of the system's double-byte code page (GBK) kept both as bytes and as characters, so
// that positions count characters: a byte below 0x80 is one character; a byte with the top bit
// set and the byte after it form one two-byte character (value second byte x 256 + first byte).
// A lead byte at the very end, without its second byte, counts as a character of its own.

#include <cstdint>
#include <string>
#include <vector>

class KelMBString
{
public:
    KelMBString() = default;
    explicit KelMBString(const std::string& text) { Assign(text); }

    void Assign(const std::string& text);
    void Append(const std::string& text);
    // Inserts before the character at `at`; an index outside 0 ... count - 1 appends.
    void Insert(const std::string& text, int at);
    // Removes n characters from `from` (n clipped to the characters there are).
    void Erase(int from, int n);

    int GetCount() const { return static_cast<int>(m_characters.size()); }
    int GetByteLength() const { return static_cast<int>(m_bytes.size()); }
    const std::string& GetBytes() const { return m_bytes; }
    const char* c_str() const { return m_bytes.c_str(); }
    // The character values.
    const std::vector<uint16_t>& GetCharacters() const { return m_characters; }
    // The bytes of character i (one or two).
    std::string CharacterBytes(int index) const;

    // The characters from `from` on.
    KelMBString Suffix(int from) const;
    // The bytes of characters a ... b - 1: empty when a >= count or a >= b; b <= 0 means count - 1.
    std::string Range(int a, int b) const;
    int FindFirst(uint16_t character) const;
    int FindLast(uint16_t character) const;

private:
    // Byte offset of character i (the byte length for i = count).
    size_t ByteOffset(int index) const;
    void Rebuild();

    std::string m_bytes;
    std::vector<uint16_t> m_characters;
};
