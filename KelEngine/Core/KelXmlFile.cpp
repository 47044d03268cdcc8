#include "KelXmlFile.h"

#include <pthread.h>

#include <cstdio>
#include <exception>
#include <tinyxml.h>

#include "Win32/Files.h"

namespace
{

// A document cannot nest deeper than it has element starts, so a document with few of them is
// handled on the caller's stack, and a larger one on a thread whose stack grows with that count.
constexpr size_t kElementsOnCallerStack = 1000;
// Generous for one nesting level of the parser, the caller's walk and the freeing together,
// also in instrumented builds.
constexpr size_t kStackPerElement = 4096;
constexpr size_t kStackReserve = 1024 * 1024;

bool IsElementNameStart(unsigned char c)
{
    // TinyXML takes any byte outside ASCII as a letter.
    return c >= 0x80 || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

size_t CountElementStarts(std::string_view data)
{
    size_t count = 0;
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == '<' && IsElementNameStart(static_cast<unsigned char>(data[i + 1])))
            ++count;
    return count;
}

struct ParseJob
{
    std::string_view data;
    const std::function<void(TiXmlDocument&)>* use;
    // What the parse threw on the other thread, thrown again on the caller's: an exception
    // leaving a thread would end the process.
    std::exception_ptr failure;
};

void RunParse(const ParseJob& job)
{
    std::string text;
    text.reserve(job.data.size());
    for (size_t i = 0; i < job.data.size(); ++i)
    {
        char c = job.data[i];
        if (c == '\r')
        {
            text += '\n';
            if (i + 1 < job.data.size() && job.data[i + 1] == '\n')
                ++i;
        }
        else
            text += c;
    }

    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    (*job.use)(document);
}

void* RunParseThread(void* data)
{
    ParseJob& job = *static_cast<ParseJob*>(data);
    try
    {
        RunParse(job);
    }
    catch (...)
    {
        job.failure = std::current_exception();
    }
    return nullptr;
}

} // namespace

bool KelReadXmlFile(const std::string& path, std::string& content)
{
    FILE* file = Win32OpenFile(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char chunk[16384];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, count);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool KelParseXml(std::string_view data, const std::function<void(TiXmlDocument&)>& use)
{
    ParseJob job{data, &use, nullptr};
    size_t elements = CountElementStarts(data);
    if (elements <= kElementsOnCallerStack)
    {
        RunParse(job);
        return true;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_t thread;
    size_t stack = kStackReserve + elements * kStackPerElement;
    bool started = pthread_attr_setstacksize(&attributes, stack) == 0 &&
                   pthread_create(&thread, &attributes, RunParseThread, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started)
        return false;
    pthread_join(thread, nullptr);
    if (job.failure)
        std::rethrow_exception(job.failure);
    return true;
}
