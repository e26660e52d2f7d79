#include "jobs/KeptStatuses.h"

#include "jobs/BatchList.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace moxel {

namespace {

constexpr std::string_view kFirstLine = "moxel kept statuses 1";

bool keeps(JobStatus status)
{
    return statusRow(status).outcome || status == JobStatus::Skipped;
}

bool fitsField(const std::string& text)
{
    return text.find_first_of("\t\r\n") == std::string::npos;
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescaped(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::optional<int32_t> number(std::string_view text)
{
    int32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<JobStatus> keptStatus(std::string_view word)
{
    for (const JobStatusRow& row : kJobStatusTable)
        if (word == row.word && keeps(row.status))
            return row.status;
    return std::nullopt;
}

struct KeptLine {
    JobStatus status;
    int32_t progress;
    int32_t bytesPerSecond;
    std::string source;
    std::string destination;
    std::string errorText;
};

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

std::vector<KeptLine> parse(std::string_view bytes)
{
    std::vector<KeptLine> lines;
    bool first = true;
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            first = false;
            if (line != kFirstLine)
                return {}; // not a file this program knows how to read
            continue;
        }
        const std::vector<std::string_view> fields = splitTabs(line);
        if (fields.size() != 6)
            continue;
        const std::optional<JobStatus> status = keptStatus(fields[0]);
        const std::optional<int32_t> progress = number(fields[1]);
        const std::optional<int32_t> bytesPerSecond = number(fields[2]);
        if (!status || !progress || !bytesPerSecond)
            continue;
        lines.push_back({*status, *progress, *bytesPerSecond, std::string(fields[3]),
                         std::string(fields[4]), unescaped(fields[5])});
    }
    return lines;
}

} // namespace

std::string formatKeptStatuses(const BatchList& list)
{
    std::string bytes = std::string(kFirstLine) + "\r\n";
    for (int i = 0; i < list.count(); ++i) {
        const BatchJob& job = list.job(i);
        const JobStatus status = job.statusValue();
        // The worker gives its outcome before it closes the file, which puts a
        // complete job's output in its place or fails: until it is done, the
        // job is under way.
        if (!keeps(status) || job.workerBlock.workerDone.load(std::memory_order_acquire) == 0 ||
            !fitsField(job.sourcePath) || !fitsField(job.destPath))
            continue;
        bytes += statusRow(status).word;
        bytes += '\t' + std::to_string(job.progress.load(std::memory_order_acquire));
        bytes += '\t' + std::to_string(
                            job.workerBlock.audioBytesPerSecond.load(std::memory_order_acquire));
        bytes += '\t' + job.sourcePath + '\t' + job.destPath + '\t';
        bytes += escaped(job.workerBlock.log.errorText());
        bytes += "\r\n";
    }
    return bytes;
}

int restoreKeptStatuses(BatchList& list, int first, std::string_view bytes)
{
    const std::vector<KeptLine> lines = parse(bytes);
    size_t next = 0;
    int restored = 0;
    for (int i = std::max(first, 0); i < list.count() && next < lines.size(); ++i) {
        BatchJob& job = list.job(i);
        for (size_t k = next; k < lines.size(); ++k) {
            const KeptLine& line = lines[k];
            if (line.source != job.sourcePath || line.destination != job.destPath)
                continue;
            job.restoreOutcome(line.status, line.progress, line.bytesPerSecond, line.errorText);
            next = k + 1;
            ++restored;
            break;
        }
    }
    return restored;
}

} // namespace moxel
