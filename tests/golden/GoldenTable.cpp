#include "GoldenTable.h"

extern "C" {
#include <libavutil/hash.h>
}

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace moxel::test {
namespace {

const char* const kDefaultComments =
    "# Golden jobs: job name, size of the .kmf in bytes, SHA-256 of the .kmf.\n"
    "# Written by scripts/golden-update; see tests/golden/GoldenJobs.cpp for the jobs.\n";

struct TableText {
    std::string comments; // the leading '#' lines, each with its newline
    std::map<std::string, GoldenResult> entries;
};

TableText parse(std::istream& in, std::vector<std::string>* bad)
{
    TableText table;
    std::string line;
    bool leading = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line[0] == '#') {
            if (leading)
                table.comments += line + "\n";
            continue;
        }
        leading = false;
        std::istringstream fields(line);
        std::string name, rest;
        GoldenResult result;
        if (!(fields >> name >> result.bytes >> result.sha256) || (fields >> rest) ||
            result.sha256.size() != 64) {
            if (bad)
                bad->push_back(line);
            continue;
        }
        table.entries[name] = result;
    }
    return table;
}

// An exclusive lock on the folder of the table (flock works on folders
// too, and leaves nothing behind), held for the object's life.
class TableLock {
  public:
    explicit TableLock(const std::string& tablePath)
        : m_fd(::open(std::filesystem::path(tablePath).parent_path().c_str(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~TableLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
    bool held() const { return m_fd >= 0; }

  private:
    int m_fd;
};

} // namespace

GoldenResult digestFile(const std::string& path)
{
    GoldenResult result;
    std::ifstream in(path, std::ios::binary);
    AVHashContext* hash = nullptr;
    if (!in || av_hash_alloc(&hash, "SHA256") < 0)
        return result;
    av_hash_init(hash);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        av_hash_update(hash, reinterpret_cast<const uint8_t*>(buffer), size_t(in.gcount()));
        result.bytes += uint64_t(in.gcount());
    }
    uint8_t hex[2 * 32 + 1] = {};
    av_hash_final_hex(hash, hex, sizeof hex);
    av_hash_freep(&hash);
    result.sha256 = reinterpret_cast<const char*>(hex);
    return result;
}

std::map<std::string, GoldenResult> readGoldenTable(const std::string& path,
                                                    std::vector<std::string>* bad)
{
    std::ifstream in(path);
    return parse(in, bad).entries;
}

bool recordGoldenResult(const std::string& path, const std::vector<std::string>& order,
                        const std::string& name, const GoldenResult& result)
{
    TableLock lock(path);
    if (!lock.held())
        return false;
    TableText table;
    {
        std::ifstream in(path);
        table = parse(in, nullptr);
    }
    if (table.comments.empty())
        table.comments = kDefaultComments;
    table.entries[name] = result;

    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << table.comments;
        for (const std::string& job : order) {
            const auto found = table.entries.find(job);
            if (found != table.entries.end())
                out << job << ' ' << found->second.bytes << ' ' << found->second.sha256 << '\n';
        }
        if (!out.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace moxel::test
