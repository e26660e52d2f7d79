#include "profiles/KmfConfig.h"

#include "profiles/IniFile.h"

namespace moxel {

namespace {

const char* const kSection = "kmfconfig";
const char* const kMetaKey = "meta";
constexpr size_t kMetaMaxChars = 32766;

// One of the two field pointers is set: FourCCs are unsigned, the rest signed.
struct NumberKey {
    const char* name;
    uint32_t KmfConfig::*fourcc;
    int KmfConfig::*number;
};

// In the order of the file; meta follows them.
const NumberKey kNumberKeys[] = {
    {"audfmt", &KmfConfig::audioFormat, nullptr},
    {"vidfmt", &KmfConfig::videoFormat, nullptr},
    {"minsync", nullptr, &KmfConfig::minSyncInterval},
    {"maxsync", nullptr, &KmfConfig::maxSyncInterval},
    {"audiosendahead", nullptr, &KmfConfig::audioSendAheadMs},
    {"hdrwrite", nullptr, &KmfConfig::writeHeader},
    {"hdrtoc", nullptr, &KmfConfig::tocEntries},
};

} // namespace

void KmfConfig::load()
{
    IniFile file = IniFile::load(m_filePath);
    for (const NumberKey& key : kNumberKeys) {
        // Integers read modulo 2^32, so a FourCC passes the signed read unchanged.
        if (key.fourcc)
            this->*key.fourcc = uint32_t(file.getInt(kSection, key.name, int(this->*key.fourcc)));
        else
            this->*key.number = file.getInt(kSection, key.name, this->*key.number);
    }
    meta = file.getString(kSection, kMetaKey, "", kMetaMaxChars);
}

bool KmfConfig::save() const
{
    if (m_filePath.empty())
        return true;
    IniFile file = IniFile::load(m_filePath);
    for (const NumberKey& key : kNumberKeys)
        file.setUInt(kSection, key.name,
                     key.fourcc ? this->*key.fourcc : uint32_t(this->*key.number));
    file.setString(kSection, kMetaKey, meta);
    return file.save();
}

bool KmfConfig::release()
{
    bool saved = save();
    m_filePath.clear();
    meta.clear();
    return saved;
}

} // namespace moxel
