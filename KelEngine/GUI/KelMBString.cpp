#include "KelMBString.h"

#include <algorithm>

namespace
{
bool IsLead(char byte)
{
    return (static_cast<unsigned char>(byte) & 0x80) != 0;
}
} // namespace

void KelMBString::Rebuild()
{
    m_characters.clear();
    for (size_t i = 0; i < m_bytes.size(); ++i)
    {
        const auto first = static_cast<unsigned char>(m_bytes[i]);
        if (IsLead(m_bytes[i]) && i + 1 < m_bytes.size())
        {
            m_characters.push_back(
                static_cast<uint16_t>(static_cast<unsigned char>(m_bytes[i + 1]) * 256 + first));
            ++i;
        }
        else
        {
            m_characters.push_back(first);
        }
    }
}

size_t KelMBString::ByteOffset(int index) const
{
    size_t offset = 0;
    for (int i = 0; i < index && i < GetCount(); ++i)
        offset += m_characters[static_cast<size_t>(i)] >= 0x80 ? 2 : 1;
    return std::min(offset, m_bytes.size());
}

void KelMBString::Assign(const std::string& text)
{
    m_bytes = text;
    Rebuild();
}

void KelMBString::Append(const std::string& text)
{
    m_bytes += text;
    Rebuild();
}

void KelMBString::Insert(const std::string& text, int at)
{
    if (at < 0 || at >= GetCount())
    {
        Append(text);
        return;
    }
    m_bytes.insert(ByteOffset(at), text);
    Rebuild();
}

void KelMBString::Erase(int from, int n)
{
    if (from < 0 || from >= GetCount() || n <= 0)
        return;
    const int end = std::min(GetCount(), from + n);
    const size_t begin = ByteOffset(from);
    m_bytes.erase(begin, ByteOffset(end) - begin);
    Rebuild();
}

std::string KelMBString::CharacterBytes(int index) const
{
    if (index < 0 || index >= GetCount())
        return "";
    const size_t begin = ByteOffset(index);
    return m_bytes.substr(begin, ByteOffset(index + 1) - begin);
}

KelMBString KelMBString::Suffix(int from) const
{
    return KelMBString(from <= 0 ? m_bytes : m_bytes.substr(ByteOffset(from)));
}

std::string KelMBString::Range(int a, int b) const
{
    if (b <= 0)
        b = GetCount() - 1;
    if (a < 0)
        a = 0;
    if (a >= GetCount() || a >= b)
        return "";
    b = std::min(b, GetCount());
    const size_t begin = ByteOffset(a);
    return m_bytes.substr(begin, ByteOffset(b) - begin);
}

int KelMBString::FindFirst(uint16_t character) const
{
    const auto found = std::find(m_characters.begin(), m_characters.end(), character);
    return found == m_characters.end() ? -1 : static_cast<int>(found - m_characters.begin());
}

int KelMBString::FindLast(uint16_t character) const
{
    for (int i = GetCount() - 1; i >= 0; --i)
        if (m_characters[static_cast<size_t>(i)] == character)
            return i;
    return -1;
}
