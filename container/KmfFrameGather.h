// A frame serialised without copying its large payloads: the same bytes as
// KmfFrame::packet, described as byte ranges for one gather write. Headers
// and payloads below kKmfGatherCopyBelow bytes are copied here (a short
// copy is cheaper than another range); larger payloads stay where the
// descriptor points. Writing a large picture this way costs what a plain
// write of the frame's bytes costs.
//
// The ranges point into this object and into the frame's payloads; both
// must stay alive and unchanged until the ranges are used.
#pragma once

#include "container/KmfFrame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moxel {

inline constexpr size_t kKmfGatherCopyBelow = 16384;

struct KmfByteRange {
    const uint8_t* data;
    size_t length;
};

class KmfFrameGather {
  public:
    // 0 on success; -1 for an invalid descriptor (as packet), leaving no ranges.
    int build(const KmfFrame& frame);

    const std::vector<KmfByteRange>& ranges() const { return m_ranges; }
    size_t size() const { return m_size; }

    // Writes the frame to fd with writev, continuing after partial writes.
    // 0, or -1 with errno set.
    int writeTo(int fd) const;
    // Appends the frame's bytes to out.
    void appendTo(std::vector<uint8_t>& out) const;

  private:
    void addRange(const uint8_t* data, size_t length);
    void copy(const uint8_t* data, size_t length);
    void addPayload(const uint8_t* data, int length);

    std::vector<uint8_t> m_copied; // headers and small payloads; never reallocated during build
    std::vector<KmfByteRange> m_ranges;
    size_t m_size = 0;
};

} // namespace moxel
