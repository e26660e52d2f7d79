#include "ProcessWatch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string_view>

namespace moxel::test {

namespace {

int countFds(pid_t pid)
{
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

} // namespace

bool sampleProcess(pid_t pid, ProcessSample* sample)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    int found = 0;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) {
            sample->threads = std::atoi(line.c_str() + 8);
            ++found;
        } else if (line.rfind("VmRSS:", 0) == 0) {
            sample->rssKiB = std::atol(line.c_str() + 6);
            ++found;
        } else if (line.rfind("State:", 0) == 0 && line.find("zombie") != std::string::npos) {
            return false;
        }
    }
    sample->fds = countFds(pid);
    return found == 2 && sample->fds >= 0;
}

ProcessWatch::ProcessWatch(pid_t pid, std::chrono::milliseconds interval,
                           std::function<long()> mark)
    : m_mark(std::move(mark))
{
    m_thread = std::thread([this, pid, interval] { run(pid, interval); });
}

ProcessWatch::~ProcessWatch()
{
    stop();
}

void ProcessWatch::stop()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

void ProcessWatch::run(pid_t pid, std::chrono::milliseconds interval)
{
    auto next = std::chrono::steady_clock::now();
    while (!m_stop.load()) {
        ProcessSample sample;
        sample.mark = m_mark ? m_mark() : 0;
        if (!sampleProcess(pid, &sample))
            return;
        {
            std::lock_guard lock(m_lock);
            m_samples.push_back(sample);
        }
        next += interval;
        std::this_thread::sleep_until(next);
    }
}

std::vector<ProcessSample> ProcessWatch::samples() const
{
    std::lock_guard lock(m_lock);
    return m_samples;
}

WindowLevel ProcessWatch::level(long from, long to, double quantile) const
{
    std::vector<int> fds, threads;
    std::vector<long> rss;
    {
        std::lock_guard lock(m_lock);
        for (const ProcessSample& s : m_samples) {
            if (s.mark < from || s.mark > to)
                continue;
            fds.push_back(s.fds);
            threads.push_back(s.threads);
            rss.push_back(s.rssKiB);
        }
    }
    WindowLevel w;
    w.samples = int(fds.size());
    if (fds.empty())
        return w;
    auto at = [quantile](auto& values) {
        const size_t k = size_t(quantile * double(values.size() - 1) + 0.5);
        std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
        return values[k];
    };
    w.fds = at(fds);
    w.threads = at(threads);
    w.rssKiB = at(rss);
    return w;
}

std::string describeLevels(const WindowLevel& start, const WindowLevel& end)
{
    char text[160];
    std::snprintf(text, sizeof text, "fds %d -> %d, threads %d -> %d, RSS %ld -> %ld KiB",
                  start.fds, end.fds, start.threads, end.threads, start.rssKiB, end.rssKiB);
    return text;
}

long LineTally::update()
{
    std::ifstream in(m_path, std::ios::binary);
    in.seekg(m_offset);
    std::string chunk(64 * 1024, '\0');
    while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0) {
        const size_t n = size_t(in.gcount());
        m_offset += long(n);
        m_partial.append(chunk.data(), n);
        size_t start = 0;
        for (size_t end; (end = m_partial.find('\n', start)) != std::string::npos; start = end + 1)
            m_count += std::string_view(m_partial).substr(start, end - start).find(m_word) !=
                       std::string_view::npos;
        m_partial.erase(0, start);
        if (n < chunk.size())
            break;
    }
    return m_count;
}

} // namespace moxel::test
