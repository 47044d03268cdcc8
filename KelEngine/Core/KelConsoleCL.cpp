#include "KelConsoleCL.h"

#include <cstring>

#include "KelFormatLine.h"
#include "Win32/Console.h"

KelConsoleCL::KelConsoleCL() = default;

KelConsoleCL::~KelConsoleCL()
{
    Close();
}

bool KelConsoleCL::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_output != nullptr;
}

void KelConsoleCL::Open(const char* title)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output != nullptr)
        return;
    AllocConsole();
    m_output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (m_output == INVALID_HANDLE_VALUE)
        m_output = nullptr;
    SetConsoleTitleA(title != nullptr ? title : "");
}

void KelConsoleCL::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output == nullptr)
        return;
    FreeConsole();
    m_output = nullptr;
}

void KelConsoleCL::Printf(const char* format, ...)
{
    KelFormattedLine line;
    va_list arguments;
    va_start(arguments, format);
    KelFormatLine(line, format, arguments);
    va_end(arguments);
    Write(line.text);
}

void KelConsoleCL::Write(const char* text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_output == nullptr || text == nullptr)
        return;
    DWORD written = 0;
    WriteConsoleA(m_output, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

void KelConsolePrintf(const char* format, ...)
{
    KelFormattedLine line;
    va_list arguments;
    va_start(arguments, format);
    KelFormatLine(line, format, arguments);
    va_end(arguments);
    KelConsoleCL::GetInstance()->Write(line.text);
}
