// Owns a job's source, picks its kind from the source name, and forwards the
// worker's calls. Kind selection by name:
//   "vfwcap:" prefix (any case)      -> capture kind (every operation fails)
//   at least 5 characters ending ".mov" (any case) -> movie source
//   anything else                    -> decoder source
#pragma once

#include "base/Prompt.h"
#include "sources/MediaSource.h"

#include <memory>
#include <string>

namespace moxel {

enum class SourceKind { ByName = 0, Decoder = 1, Movie = 2, Capture = 3 };

// The kind that SourceKind::ByName picks for sourcePath.
SourceKind sourceKindForName(const std::string& sourcePath);

class SourceHolder {
  public:
    // prompt shows the sources' messages to the user (title "Error"); it may
    // be null, and then they are diagnostic lines (standard error by default).
    explicit SourceHolder(Prompt* prompt = nullptr) : m_prompt(prompt) {}
    ~SourceHolder(); // closes and frees the source, if any
    SourceHolder(const SourceHolder&) = delete;
    SourceHolder& operator=(const SourceHolder&) = delete;

    // Creates the source of `kind` (ByName: by sourcePath) and returns its
    // open result; any other kind value reopens the source already held.
    bool open(const std::string& sourcePath, const std::string& profilePath,
              int kind = int(SourceKind::ByName));
    int getVideoFrame(const uint8_t** picture);
    int getAudio(uint8_t* buffer, int maxBytes, int* length);
    // 1 without a source; otherwise the source's close result, and the source is freed.
    int close();

    bool hasVideo() const;
    bool hasAudio() const;
    double frameRate() const;
    int outSampleRate() const;
    int outChannels() const;
    int outWidth() const;
    int outHeight() const;

    MediaSource* source() const { return m_source.get(); }
    // Puts a source of the caller's making in the holder (tests, other kinds);
    // open() with a kind outside SourceKind then opens it.
    void adopt(std::unique_ptr<MediaSource> source);

  private:
    Prompt* m_prompt = nullptr;
    std::unique_ptr<MediaSource> m_source;
};

} // namespace moxel
