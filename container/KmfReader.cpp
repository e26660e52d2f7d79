#include "container/KmfReader.h"

#include "container/FourCC.h"
#include "container/KmfFileHeader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace moxel {

namespace {

constexpr uint32_t kSyncMagic = makeFourCC("KMFs");
constexpr uint32_t kHeaderMagic = makeFourCC("KMFf");

uint32_t le16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le24(const uint8_t* p)
{
    return le16(p) | uint32_t(p[2]) << 16;
}
uint32_t le32(const uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

std::string hex32(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

std::string num(uint64_t v)
{
    return std::to_string(v);
}

// True when the n bytes at p could be the start of the 4-byte magic m.
bool startsLike(const uint8_t* p, size_t n, uint32_t m)
{
    for (size_t i = 0; i < n && i < 4; ++i)
        if (p[i] != uint8_t(m >> (8 * i)))
            return false;
    return true;
}

} // namespace

uint32_t KmfFrameInfo::auxBytes() const
{
    uint32_t total = 0;
    for (int i = 0; i < auxCount; ++i)
        total += aux[i].length + 6;
    return total;
}

KmfReader::KmfReader() = default;
KmfReader::~KmfReader() = default;

void KmfReader::reset(std::unique_ptr<KmfByteSource> source)
{
    m_source = std::move(source);
    m_state = m_source ? State::Start : State::Closed;
    m_hasHeader = false;
    m_header = KmfFileHeaderInfo();
    m_next = 0;
    m_error.clear();
    m_errorOffset = 0;
}

bool KmfReader::openFile(const std::string& path)
{
    auto file = std::make_unique<KmfFileSource>();
    if (!file->open(path)) {
        reset(nullptr);
        m_error = file->errorText();
        return false;
    }
    reset(std::move(file));
    return true;
}

void KmfReader::openBytes(const uint8_t* data, size_t size)
{
    reset(std::make_unique<KmfSpanSource>(data, data ? size : 0));
}

KmfReadStatus KmfReader::fail(uint64_t offset, const std::string& text)
{
    m_state = State::Failed;
    m_errorOffset = offset;
    m_error = "at byte " + num(offset) + ": " + text;
    return KmfReadStatus::Error;
}

bool KmfReader::read(uint64_t offset, uint8_t* out, size_t n)
{
    if (m_source->readAt(offset, out, n))
        return true;
    std::string why = m_source->errorText();
    fail(offset, why.empty() ? "cannot read " + num(n) + " bytes" : why);
    return false;
}

KmfReadStatus KmfReader::readFileHeader(KmfFileHeaderInfo& header)
{
    if (m_state == State::Start)
        parseHeader();
    // A sound header stays available after a later frame failed.
    if (m_hasHeader) {
        header = m_header;
        return KmfReadStatus::Ok;
    }
    if (m_state == State::Failed || m_state == State::Closed)
        return KmfReadStatus::Error;
    header = m_header;
    return KmfReadStatus::End;
}

KmfReadStatus KmfReader::parseHeader()
{
    const uint64_t size = m_source->size();
    uint8_t fixed[kKmfFileHeaderFixedSize];
    size_t n = size_t(std::min<uint64_t>(size, sizeof fixed));
    if (!read(0, fixed, n))
        return KmfReadStatus::Error;
    m_state = State::Frames;
    if (n < 4 || le32(fixed) != kHeaderMagic)
        return KmfReadStatus::End;
    if (n < sizeof fixed)
        return fail(0, "truncated file header: " + num(sizeof fixed) +
                           " bytes needed, the file has " + num(size));

    KmfFileHeaderInfo& h = m_header;
    h.headerSize = le32(fixed + 4);
    h.fileSize = le32(fixed + 8);
    h.lengthMs = le32(fixed + 12);
    const uint32_t metadataLength = le32(fixed + 16);
    h.tocAllocated = le32(fixed + 20);
    h.tocSize = le32(fixed + 24);

    if (h.headerSize < kKmfFileHeaderFixedSize)
        return fail(4, "header size " + num(h.headerSize) + " is smaller than 28");
    if (h.headerSize > size)
        return fail(4, "header size " + num(h.headerSize) +
                           " runs past the end of the file at byte " + num(size));
    if (metadataLength > kKmfReaderMaxMetadataBytes)
        return fail(16, "metadata length " + num(metadataLength) +
                            " exceeds the reader's limit of " + num(kKmfReaderMaxMetadataBytes));
    if (h.tocAllocated > kKmfReaderMaxTocSlots)
        return fail(20, "TOC of " + num(h.tocAllocated) + " slots exceeds the reader's limit of " +
                            num(kKmfReaderMaxTocSlots));
    const uint64_t needed =
        kKmfFileHeaderFixedSize + uint64_t(metadataLength) + 4 * uint64_t(h.tocAllocated);
    if (needed > h.headerSize)
        return fail(16, num(metadataLength) + " metadata bytes and " + num(h.tocAllocated) +
                            " TOC slots need " + num(needed) +
                            " header bytes, but the header size is " + num(h.headerSize));
    if (h.tocSize > h.tocAllocated)
        return fail(24, "TOC slots used (" + num(h.tocSize) + ") exceed the slots allocated (" +
                            num(h.tocAllocated) + ")");
    // Files of 4 GiB and more wrap the field, so it cannot be checked there.
    if (h.fileSize != kKmfTocUnused && size < (uint64_t(1) << 32) && h.fileSize < h.headerSize)
        return fail(8, "file size " + num(h.fileSize) + " is smaller than the header size " +
                           num(h.headerSize));

    h.metadata.resize(metadataLength);
    if (!read(kKmfFileHeaderFixedSize, h.metadata.data(), metadataLength))
        return KmfReadStatus::Error;
    std::vector<uint8_t> slots(size_t(h.tocAllocated) * 4);
    if (!read(kKmfFileHeaderFixedSize + uint64_t(metadataLength), slots.data(), slots.size()))
        return KmfReadStatus::Error;
    h.toc.resize(h.tocAllocated);
    for (uint32_t i = 0; i < h.tocAllocated; ++i)
        h.toc[i] = le32(slots.data() + 4 * size_t(i));

    m_hasHeader = true;
    m_next = h.headerSize;
    return KmfReadStatus::Ok;
}

KmfReadStatus KmfReader::nextFrame(KmfFrameInfo& frame)
{
    if (m_state == State::Start && parseHeader() == KmfReadStatus::Error)
        return KmfReadStatus::Error;
    switch (m_state) {
    case State::Frames:
        return parseFrame(frame);
    case State::Ended:
        return KmfReadStatus::End;
    default:
        return KmfReadStatus::Error;
    }
}

KmfReadStatus KmfReader::checkEnd()
{
    const uint64_t size = m_source->size();
    if (m_hasHeader && m_header.fileSize != kKmfTocUnused && m_header.fileSize != uint32_t(size)) {
        std::string text = "the file header gives a file size of " + num(m_header.fileSize) +
                           " bytes, but the file has " + num(size);
        if (m_header.fileSize == m_header.headerSize)
            text += " (the header is the placeholder written at open: the file was never closed)";
        return fail(std::min<uint64_t>(m_header.fileSize, size), text);
    }
    m_state = State::Ended;
    return KmfReadStatus::End;
}

KmfReadStatus KmfReader::parseFrame(KmfFrameInfo& frame)
{
    const uint64_t size = m_source->size();
    const uint64_t o = m_next;
    if (o >= size)
        return checkEnd();
    const uint64_t left = size - o;
    uint8_t h[kKmfSyncHeaderSize];
    const size_t got = size_t(std::min<uint64_t>(left, sizeof h));
    if (!read(o, h, got))
        return KmfReadStatus::Error;

    KmfFrameInfo f;
    f.offset = o;
    uint32_t headerSize;
    uint64_t lengthAt; // offset of the 24-bit count and length field
    if (startsLike(h, got, kSyncMagic)) {
        f.isSync = true;
        headerSize = kKmfSyncHeaderSize;
        lengthAt = 19;
    } else if (startsLike(h, std::min<size_t>(got, 2), kKmfNonSyncMarker)) {
        headerSize = kKmfNonSyncHeaderSize;
        lengthAt = 2;
    } else {
        return fail(o, "unknown frame magic " +
                           hex32(got >= 4   ? le32(h)
                                 : got >= 2 ? le16(h)
                                            : h[0]) +
                           " (a frame starts with \"KMFs\" or 0xBEEF)");
    }
    const char* kind = f.isSync ? "sync frame" : "non-sync frame";
    if (left < headerSize)
        return fail(o, std::string("truncated ") + kind + " header: " + num(headerSize) +
                           " bytes needed, " + num(left) + " left");

    if (f.isSync) {
        f.videoFormat = le32(h + 4);
        f.audioFormat = le32(h + 8);
        f.width = le16(h + 12);
        f.height = le16(h + 14);
        f.frameRateCode = h[16];
        f.syncOffsetMs = int16_t(uint16_t(le16(h + 17)));
        if (!isValidFourCC(f.videoFormat))
            return fail(o + 4, "invalid video format " + hex32(f.videoFormat));
        if (!isValidFourCC(f.audioFormat))
            return fail(o + 8, "invalid audio format " + hex32(f.audioFormat));
        if (f.frameRateCode == 0)
            return fail(o + 16, "frame-rate code 0 (no frame rate)");
    }
    const uint32_t field = le24(h + lengthAt);
    f.auxCount = int(field & 15);
    const uint32_t videoAndAux = field >> 4;
    f.audioLength = le16(h + lengthAt + 3);
    if (f.audioLength > uint32_t(kKmfMaxAudioLength))
        return fail(o + lengthAt + 3,
                    "audio length " + num(f.audioLength) + " exceeds " + num(kKmfMaxAudioLength));

    uint64_t cursor = o + headerSize;
    uint32_t auxTotal = 0;
    for (int i = 0; i < f.auxCount; ++i) {
        uint8_t chunk[6];
        if (cursor > size || size - cursor < sizeof chunk)
            return fail(o, std::string("truncated ") + kind + ": aux chunk " + num(i) +
                               " header at byte " + num(cursor) +
                               " needs 6 bytes, the file ends at byte " + num(size));
        if (!read(cursor, chunk, sizeof chunk))
            return KmfReadStatus::Error;
        KmfAuxChunkInfo& a = f.aux[i];
        a.length = le16(chunk);
        a.type = le32(chunk + 2);
        a.dataOffset = cursor + 6;
        if (a.length > uint32_t(kKmfMaxAuxLength))
            return fail(cursor, "aux chunk " + num(i) + " length " + num(a.length) + " exceeds " +
                                    num(kKmfMaxAuxLength));
        auxTotal += a.length + 6;
        if (auxTotal > videoAndAux)
            return fail(o + lengthAt, "aux chunks take at least " + num(auxTotal) +
                                          " bytes, more than the frame's video and aux length " +
                                          num(videoAndAux));
        cursor = a.dataOffset + a.length;
    }
    f.videoLength = videoAndAux - auxTotal;
    if (f.videoLength > uint32_t(kKmfMaxVideoLength))
        return fail(o + lengthAt,
                    "video length " + num(f.videoLength) + " exceeds " + num(kKmfMaxVideoLength));
    f.videoOffset = o + headerSize + auxTotal;
    f.audioOffset = f.videoOffset + f.videoLength;
    const uint64_t end = f.audioOffset + f.audioLength;
    if (end > size)
        return fail(o, std::string("truncated ") + kind + ": it ends at byte " + num(end) +
                           ", the file ends at byte " + num(size));
    f.size = uint32_t(end - o);
    m_next = end;
    frame = f;
    return KmfReadStatus::Ok;
}

bool KmfReader::readBytes(uint64_t offset, size_t length, std::vector<uint8_t>& out)
{
    if (!m_source || offset > m_source->size() || length > m_source->size() - offset)
        return false;
    out.resize(length);
    return m_source->readAt(offset, out.data(), length);
}

bool KmfReader::readVideo(const KmfFrameInfo& frame, std::vector<uint8_t>& out)
{
    return readBytes(frame.videoOffset, frame.videoLength, out);
}

bool KmfReader::readAudio(const KmfFrameInfo& frame, std::vector<uint8_t>& out)
{
    return readBytes(frame.audioOffset, frame.audioLength, out);
}

bool KmfReader::readAux(const KmfFrameInfo& frame, int index, std::vector<uint8_t>& out)
{
    if (index < 0 || index >= frame.auxCount || index >= kKmfMaxAuxChunks)
        return false;
    return readBytes(frame.aux[index].dataOffset, frame.aux[index].length, out);
}

} // namespace moxel
