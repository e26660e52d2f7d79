// A profile's codec choice and container options: the "kmfconfig" section of
// its .pf file. The conversion driver builds one per job and the encoder
// configuration dialog one per session; each holder ends with release().
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

class KmfConfig {
  public:
    // Takes a copy of the profile's file path; fields get the values below.
    explicit KmfConfig(std::string profilePath) : m_filePath(std::move(profilePath)) {}
    // Frees without writing: only release() writes, so a copy or an object
    // dropped on an error path never touches the file behind the user's back.
    ~KmfConfig() = default;

    // For each key the file's value, or the field's current value when the
    // key is absent; meta becomes the file's text (empty when absent).
    void load();
    // Writes the eight keys in order ("%u" integers); nothing without a path.
    // Returns false when the file could not be written.
    bool save() const;
    // save(), then forgets the path and meta: a second release or a later
    // save writes nothing. Every holder ends with this.
    bool release();

    const std::string& filePath() const { return m_filePath; }

    // Each field is stored under the key named in its comment.
    uint32_t audioFormat = 0;  // audfmt: audio FourCC, 0 when none was chosen
    uint32_t videoFormat = 0;  // vidfmt: video FourCC, 0 when none was chosen
    int minSyncInterval = 0;   // minsync: minimum sync-frame interval
    int maxSyncInterval = 120; // maxsync: maximum sync-frame interval
    int audioSendAheadMs = 0;  // audiosendahead: audio send-ahead in ms, may be negative
    int writeHeader = 0;       // hdrwrite: write a file header (nonzero)
    int tocEntries = 1024;     // hdrtoc: table of contents entries in the header, 0 for none
    std::string meta;          // metadata text for the file header (at most 32766 characters)

  private:
    std::string m_filePath;
};

} // namespace moxel
