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

    // The codec's settings panels while the encoder configuration dialog is
    // open (opaque to the engine; set and used by that dialog only).
    void* audioPanel = nullptr;
    void* videoPanel = nullptr;

    uint32_t audfmt = 0;    // audio FourCC, 0 when none was chosen
    uint32_t vidfmt = 0;    // video FourCC, 0 when none was chosen
    int minsync = 0;        // minimum sync-frame interval
    int maxsync = 120;      // maximum sync-frame interval
    int audiosendahead = 0; // audio send-ahead in ms, may be negative
    int hdrwrite = 0;       // write a file header
    int hdrtoc = 1024;      // table of contents size in the header, 0 for none
    std::string meta;       // metadata text for the file header (at most 32766 characters)

  private:
    std::string m_filePath;
};

} // namespace moxel
