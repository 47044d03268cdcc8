#pragma once
// A fresh temporary folder for one test, removed with everything in it when the test ends.
// Optionally the test's current directory moves into it and back.

#include <filesystem>
#include <string>

class TestFolder
{
public:
    explicit TestFolder(bool enter = false);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder in the Windows form the platform layer hands out ("\tmp\kd-1234").
    std::string WinPath() const;
    // Writes a file (creating its folders) below the folder; `relative` uses slashes.
    void Write(const std::string& relative, const std::string& content) const;
    // Reads a whole file below the folder; empty when it does not exist.
    std::string Read(const std::string& relative) const;

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
    bool m_entered;
};
