// Random-access byte sources for the KMF reader: a span of memory the caller
// keeps alive, or a file read on demand through a small read-ahead buffer,
// so a file of any size is never loaded whole.
//
// readAt never reads outside [0, size()); it fails instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moxel {

class KmfByteSource {
  public:
    virtual ~KmfByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies the n bytes at offset into out. False when the range is not
    // inside the source or the read failed (errorText() then says why).
    virtual bool readAt(uint64_t offset, uint8_t* out, size_t n) = 0;
    virtual std::string errorText() const { return {}; }

  protected:
    bool inside(uint64_t offset, size_t n) const
    {
        return offset <= size() && n <= size() - offset;
    }
};

class KmfSpanSource final : public KmfByteSource {
  public:
    KmfSpanSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t size() const override { return m_size; }
    bool readAt(uint64_t offset, uint8_t* out, size_t n) override;

  private:
    const uint8_t* m_data;
    size_t m_size;
};

class KmfFileSource final : public KmfByteSource {
  public:
    KmfFileSource() = default;
    ~KmfFileSource() override;
    KmfFileSource(const KmfFileSource&) = delete;
    KmfFileSource& operator=(const KmfFileSource&) = delete;

    // Opens a regular file for reading. False with errorText() set.
    bool open(const std::string& path);
    uint64_t size() const override { return m_size; }
    bool readAt(uint64_t offset, uint8_t* out, size_t n) override;
    std::string errorText() const override { return m_error; }

  private:
    bool readFully(uint64_t offset, uint8_t* out, size_t n);

    int m_fd = -1;
    uint64_t m_size = 0;
    std::string m_error;
    std::vector<uint8_t> m_buffer; // read-ahead for the many small header reads
    uint64_t m_bufferOffset = 0;
    size_t m_bufferLength = 0;
};

} // namespace moxel
