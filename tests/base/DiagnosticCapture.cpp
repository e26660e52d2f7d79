#include "DiagnosticCapture.h"

#include <unistd.h>

#include <cstdio>

namespace moxel::test {

void CapturingSink::write(std::string_view tag, DiagnosticLevel level, std::string_view line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.push_back({std::string(tag), level, std::string(line), std::this_thread::get_id()});
}

std::vector<CapturedLine> CapturingSink::lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

std::vector<std::string> CapturingSink::texts(std::string_view tag) const
{
    std::vector<std::string> found;
    for (const CapturedLine& l : lines())
        if (l.tag == tag)
            found.push_back(l.line);
    return found;
}

namespace {

std::string readAll(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

} // namespace

ConsoleCapture::ConsoleCapture()
{
    std::fflush(stdout);
    std::fflush(stderr);
    m_outFile = std::tmpfile();
    m_errFile = std::tmpfile();
    m_savedOut = dup(STDOUT_FILENO);
    m_savedErr = dup(STDERR_FILENO);
    dup2(fileno(m_outFile), STDOUT_FILENO);
    dup2(fileno(m_errFile), STDERR_FILENO);
}

ConsoleCapture::~ConsoleCapture()
{
    finish();
}

void ConsoleCapture::finish()
{
    if (m_savedOut < 0)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(m_savedOut, STDOUT_FILENO);
    dup2(m_savedErr, STDERR_FILENO);
    close(m_savedOut);
    close(m_savedErr);
    m_savedOut = m_savedErr = -1;
    m_out = readAll(m_outFile);
    m_err = readAll(m_errFile);
    std::fclose(m_outFile);
    std::fclose(m_errFile);
}

} // namespace moxel::test
