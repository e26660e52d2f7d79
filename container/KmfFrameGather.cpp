#include "container/KmfFrameGather.h"

#include <algorithm>
#include <cerrno>

#include <sys/uio.h>
#include <unistd.h>

namespace moxel {

namespace {
bool copied(size_t length)
{
    return length < kKmfGatherCopyBelow;
}
} // namespace

void KmfFrameGather::addRange(const uint8_t* data, size_t length)
{
    // Bytes that follow the previous range in memory join it.
    if (!m_ranges.empty() && m_ranges.back().data + m_ranges.back().length == data)
        m_ranges.back().length += length;
    else
        m_ranges.push_back({data, length});
    m_size += length;
}

void KmfFrameGather::copy(const uint8_t* data, size_t length)
{
    size_t at = m_copied.size();
    m_copied.insert(m_copied.end(), data, data + length);
    addRange(m_copied.data() + at, length);
}

void KmfFrameGather::addPayload(const uint8_t* data, int length)
{
    if (length <= 0)
        return;
    if (copied(size_t(length)))
        copy(data, size_t(length));
    else
        addRange(data, size_t(length));
}

int KmfFrameGather::build(const KmfFrame& frame)
{
    m_ranges.clear();
    m_copied.clear();
    m_size = 0;
    uint32_t auxTotal = 0;
    if (frame.validate(auxTotal) != 0)
        return -1;
    m_ranges.reserve(3 + 2 * size_t(kKmfMaxAuxChunks));
    // Room for everything copied, so the ranges into it stay valid.
    size_t toCopy = kKmfSyncHeaderSize + 6 * size_t(frame.auxCount);
    for (int length : {frame.videoLength, frame.audioLength})
        toCopy += copied(size_t(length)) ? size_t(length) : 0;
    for (int i = 0; i < frame.auxCount; ++i)
        toCopy += copied(size_t(frame.auxLength[i])) ? size_t(frame.auxLength[i]) : 0;
    m_copied.reserve(toCopy);

    uint8_t header[kKmfSyncHeaderSize];
    copy(header, frame.headerBytes(auxTotal, header));
    for (int i = 0; i < frame.auxCount; ++i) {
        uint8_t chunk[6];
        frame.auxChunkHeader(i, chunk);
        copy(chunk, sizeof chunk);
        addPayload(frame.auxData[i], frame.auxLength[i]);
    }
    addPayload(frame.videoData, frame.videoLength);
    addPayload(frame.audioData, frame.audioLength);
    return 0;
}

int KmfFrameGather::writeTo(int fd) const
{
    iovec iov[3 + 2 * kKmfMaxAuxChunks];
    size_t count = std::min(m_ranges.size(), std::size(iov));
    for (size_t i = 0; i < count; ++i)
        iov[i] = {const_cast<uint8_t*>(m_ranges[i].data), m_ranges[i].length};
    iovec* next = iov;
    while (count > 0) {
        // A plain write is cheaper than writev when one range is left.
        ssize_t written = count == 1 ? ::write(fd, next->iov_base, next->iov_len)
                                     : ::writev(fd, next, int(count));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return -1;
        }
        size_t done = size_t(written);
        while (count > 0 && done >= next->iov_len) {
            done -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<uint8_t*>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
    return 0;
}

void KmfFrameGather::appendTo(std::vector<uint8_t>& out) const
{
    out.reserve(out.size() + m_size);
    for (const KmfByteRange& r : m_ranges)
        out.insert(out.end(), r.data, r.data + r.length);
}

} // namespace moxel
