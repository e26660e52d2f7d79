#include "support/KmfSummary.h"

#include <algorithm>

namespace moxel::test {

bool KmfSummary::tocPointsAtFrames() const
{
    if (!hasHeader)
        return false;
    std::vector<uint64_t> starts;
    for (const KmfFrameInfo& f : frames)
        starts.push_back(f.offset - header.headerSize);
    uint32_t last = 0;
    for (uint32_t i = 0; i < header.tocSize && i < header.toc.size(); ++i) {
        const uint32_t entry = header.toc[i];
        if (entry < last || !std::binary_search(starts.begin(), starts.end(), uint64_t(entry)))
            return false;
        last = entry;
    }
    return true;
}

KmfSummary summariseKmf(const std::string& path)
{
    KmfSummary s;
    KmfReader reader;
    if (!reader.openFile(path)) {
        s.error = reader.errorText();
        return s;
    }
    s.fileBytes = reader.sourceSize();
    s.hasHeader = reader.readFileHeader(s.header) == KmfReadStatus::Ok;
    KmfFrameInfo frame;
    KmfReadStatus status;
    while ((status = reader.nextFrame(frame)) == KmfReadStatus::Ok) {
        if (frame.isSync) {
            if (s.syncFrames.empty()) {
                s.videoFormat = frame.videoFormat;
                s.audioFormat = frame.audioFormat;
                s.width = frame.width;
                s.height = frame.height;
                s.frameRateCode = frame.frameRateCode;
            }
            s.syncFrames.push_back(s.frames.size());
        }
        s.videoBytes += frame.videoLength;
        s.audioBytes += frame.audioLength;
        s.frames.push_back(frame);
    }
    s.ok = status == KmfReadStatus::End;
    if (!s.ok)
        s.error = reader.errorText();
    return s;
}

std::vector<std::vector<uint8_t>> kmfVideoPayloads(const std::string& path)
{
    std::vector<std::vector<uint8_t>> payloads;
    KmfReader reader;
    if (!reader.openFile(path))
        return payloads;
    KmfFrameInfo frame;
    while (reader.nextFrame(frame) == KmfReadStatus::Ok) {
        payloads.emplace_back();
        reader.readVideo(frame, payloads.back());
    }
    return payloads;
}

} // namespace moxel::test
