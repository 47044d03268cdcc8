#pragma once
// Sends the process's standard output to a file for as long as it lives, so that a test can
// read back what was written to the console.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

class StdoutCapture
{
public:
    explicit StdoutCapture(const std::string& file) : m_file(file)
    {
        fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() { Restore(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Puts the standard output back and returns everything written in the meantime.
    std::string Restore()
    {
        if (m_saved >= 0)
        {
            fflush(stdout);
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
            m_saved = -1;
        }
        std::ifstream in(m_file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_file;
    int m_saved = -1;
};
