#include "tools/moxel-cli/Console.h"

#include <unistd.h>

namespace moxel::cli {

Console::Console(std::FILE* stream) : m_stream(stream), m_terminal(isatty(fileno(stream)) == 1) {}

void Console::clearLocked()
{
    if (m_lineLength == 0)
        return;
    std::fprintf(m_stream, "\r%*s\r", int(m_lineLength), "");
    m_lineLength = 0;
}

void Console::status(const std::string& text)
{
    if (!m_terminal)
        return;
    std::lock_guard lock(m_mutex);
    std::fputc('\r', m_stream);
    std::fputs(text.c_str(), m_stream);
    // Spaces over what is left of a longer line before it.
    if (text.size() < m_lineLength)
        std::fprintf(m_stream, "%*s\r%s", int(m_lineLength - text.size()), "", text.c_str());
    m_lineLength = text.size();
    std::fflush(m_stream);
}

void Console::finishStatus(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    clearLocked();
    std::fprintf(m_stream, "%s\n", text.c_str());
    std::fflush(m_stream);
}

void Console::message(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    clearLocked();
    std::fprintf(m_stream, "%s\n", text.c_str());
    std::fflush(m_stream);
}

} // namespace moxel::cli
