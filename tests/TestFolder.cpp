#include "TestFolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

TestFolder::TestFolder(bool enter) : m_entered(enter)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kd-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
    if (m_entered)
    {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_path);
    }
}

TestFolder::~TestFolder()
{
    std::error_code ignored;
    if (m_entered)
        std::filesystem::current_path(m_previous, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string TestFolder::WinPath() const
{
    std::string path = m_path.string();
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void TestFolder::Write(const std::string& relative, const std::string& content) const
{
    std::filesystem::path file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
}

std::string TestFolder::Read(const std::string& relative) const
{
    std::ifstream in(m_path / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
