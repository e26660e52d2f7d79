// Reads a KMF file or stream: the optional "KMFf" file header, then the
// frames one by one. The inverse of KmfFrame::packet and
// KmfFileHeader::serialise, for the encoder's tests and the tools.
//
// The input is never trusted: every length is checked against the bytes
// that exist and the limits the writer keeps, nothing is allocated from a
// length field beyond those limits, each call either advances or ends, and
// the first fault stops the reader with a text that names its byte offset
// ("at byte N: ..."). Payloads are not read until asked for.
//
// Typical use:
//   KmfReader r;
//   if (!r.openFile(path)) ... r.errorText();
//   KmfFileHeaderInfo h;  r.readFileHeader(h);      // optional
//   KmfFrameInfo f;
//   while (r.nextFrame(f) == KmfReadStatus::Ok) r.readVideo(f, bytes);
//   if (r.failed()) ... r.errorText(), r.errorOffset();
#pragma once

#include "container/KmfByteSource.h"
#include "container/KmfFrame.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace moxel {

enum class KmfReadStatus { Ok, End, Error };

// Metadata and TOC beyond these sizes are refused rather than loaded.
inline constexpr uint32_t kKmfReaderMaxMetadataBytes = 16u << 20;
inline constexpr uint32_t kKmfReaderMaxTocSlots = 4u << 20;

// The file header as stored (the file size is the total file length).
struct KmfFileHeaderInfo {
    uint32_t headerSize = 0;
    uint32_t fileSize = 0; // 0xFFFFFFFF: unknown
    uint32_t lengthMs = 0;
    uint32_t tocAllocated = 0;
    uint32_t tocSize = 0;
    std::vector<uint8_t> metadata;
    std::vector<uint32_t> toc; // all tocAllocated slots
};

struct KmfAuxChunkInfo {
    uint32_t type = 0;
    uint32_t length = 0;
    uint64_t dataOffset = 0;
};

struct KmfFrameInfo {
    uint64_t offset = 0; // of the frame's first byte in the source
    uint32_t size = 0;   // of the whole frame, header included
    bool isSync = false;
    // The stream description; only sync frames carry it (zero otherwise).
    uint32_t videoFormat = 0;
    uint32_t audioFormat = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t frameRateCode = 0;
    int syncOffsetMs = 0;
    int auxCount = 0;
    KmfAuxChunkInfo aux[kKmfMaxAuxChunks];
    uint32_t videoLength = 0;
    uint32_t audioLength = 0;
    uint64_t videoOffset = 0;
    uint64_t audioOffset = 0;

    // Bytes the aux chunks take, their 6-byte headers included.
    uint32_t auxBytes() const;
};

class KmfReader {
  public:
    KmfReader();
    ~KmfReader();
    KmfReader(const KmfReader&) = delete;
    KmfReader& operator=(const KmfReader&) = delete;

    // Reads a regular file on demand. False (errorText set) when it cannot be opened.
    bool openFile(const std::string& path);
    // Reads bytes the caller keeps alive while the reader is used.
    void openBytes(const uint8_t* data, size_t size);

    // Ok: the file has a header, now in `header`; End: it has none and the
    // frames start at byte 0. May be called once before the frames; nextFrame
    // reads the header itself when it was not called. A header that was read
    // stays available (Ok) after a later frame fails.
    KmfReadStatus readFileHeader(KmfFileHeaderInfo& header);
    // Ok: the next frame is in `frame`; End: the frames ended cleanly where
    // the data (and the header's file size, when known) ends; Error otherwise.
    KmfReadStatus nextFrame(KmfFrameInfo& frame);

    // Payload bytes of a frame returned by nextFrame. False when they cannot be read.
    bool readVideo(const KmfFrameInfo& frame, std::vector<uint8_t>& out);
    bool readAudio(const KmfFrameInfo& frame, std::vector<uint8_t>& out);
    bool readAux(const KmfFrameInfo& frame, int index, std::vector<uint8_t>& out);
    bool readBytes(uint64_t offset, size_t length, std::vector<uint8_t>& out);

    bool failed() const { return m_state == State::Failed; }
    const std::string& errorText() const { return m_error; }
    uint64_t errorOffset() const { return m_errorOffset; }
    uint64_t sourceSize() const { return m_source ? m_source->size() : 0; }
    bool hasFileHeader() const { return m_hasHeader; }

  private:
    enum class State { Closed, Start, Frames, Ended, Failed };

    void reset(std::unique_ptr<KmfByteSource> source);
    KmfReadStatus fail(uint64_t offset, const std::string& text);
    KmfReadStatus parseHeader();
    KmfReadStatus parseFrame(KmfFrameInfo& frame);
    KmfReadStatus checkEnd();
    bool read(uint64_t offset, uint8_t* out, size_t n);

    std::unique_ptr<KmfByteSource> m_source;
    State m_state = State::Closed;
    bool m_hasHeader = false;
    KmfFileHeaderInfo m_header;
    uint64_t m_next = 0; // offset of the next frame
    std::string m_error;
    uint64_t m_errorOffset = 0;
};

} // namespace moxel
