#include "container/KmfByteSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moxel {

namespace {
constexpr size_t kReadAheadBytes = 64 * 1024;
} // namespace

bool KmfSpanSource::readAt(uint64_t offset, uint8_t* out, size_t n)
{
    if (!inside(offset, n))
        return false;
    if (n)
        std::memcpy(out, m_data + offset, n);
    return true;
}

KmfFileSource::~KmfFileSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool KmfFileSource::open(const std::string& path)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_size = 0;
    m_bufferLength = 0;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = path + " is not a regular file";
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = uint64_t(st.st_size);
    m_error.clear();
    return true;
}

bool KmfFileSource::readFully(uint64_t offset, uint8_t* out, size_t n)
{
    while (n > 0) {
        ssize_t got = ::pread(m_fd, out, n, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_error = got < 0 ? std::string("read error: ") + std::strerror(errno)
                              : std::string("the file became shorter while it was read");
            return false;
        }
        out += got;
        offset += uint64_t(got);
        n -= size_t(got);
    }
    return true;
}

bool KmfFileSource::readAt(uint64_t offset, uint8_t* out, size_t n)
{
    if (m_fd < 0 || !inside(offset, n))
        return false;
    if (n == 0)
        return true;
    if (n > kReadAheadBytes / 2)
        return readFully(offset, out, n);
    if (offset < m_bufferOffset || offset + n > m_bufferOffset + m_bufferLength) {
        m_buffer.resize(kReadAheadBytes);
        size_t want = size_t(std::min<uint64_t>(kReadAheadBytes, m_size - offset));
        m_bufferLength = 0;
        if (!readFully(offset, m_buffer.data(), want))
            return false;
        m_bufferOffset = offset;
        m_bufferLength = want;
    }
    std::memcpy(out, m_buffer.data() + (offset - m_bufferOffset), n);
    return true;
}

} // namespace moxel
