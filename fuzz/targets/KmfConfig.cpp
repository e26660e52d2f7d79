// A profile's codec and container options loaded from any .pf file: the
// metadata limit holds, and releasing (which writes the section) then
// loading again gives the same options.
#include "profiles/KmfConfig.h"
#include "fuzz/FuzzTarget.h"
#include "fuzz/ScratchFolder.h"

namespace {

using moxel::KmfConfig;

bool sameNumbers(const KmfConfig& a, const KmfConfig& b)
{
    return a.audioFormat == b.audioFormat && a.videoFormat == b.videoFormat &&
           a.minSyncInterval == b.minSyncInterval && a.maxSyncInterval == b.maxSyncInterval &&
           a.audioSendAheadMs == b.audioSendAheadMs && a.writeHeader == b.writeHeader &&
           a.tocEntries == b.tocEntries;
}

// The metadata as the file keeps it: up to its first line break, without
// blanks left at the end by the cut.
std::string asWritten(const std::string& meta)
{
    std::string text = meta.substr(0, meta.find_first_of("\r\n"));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

void entry(const uint8_t* data, size_t size)
{
    static const std::string path = moxel::fuzz::scratchPath("config.pf");
    moxel::fuzz::writeScratch(path, data, size);

    KmfConfig first(path);
    first.load();
    MOXEL_FUZZ_CHECK(first.meta.size() <= 32766);
    KmfConfig kept = first;
    MOXEL_FUZZ_CHECK(first.release());
    MOXEL_FUZZ_CHECK(first.filePath().empty() && first.meta.empty());

    KmfConfig second(path);
    second.load();
    MOXEL_FUZZ_CHECK(sameNumbers(kept, second));
    MOXEL_FUZZ_CHECK(second.meta == asWritten(kept.meta));
    second.release();
}

std::vector<std::string> seeds()
{
    return {
        "[kmfconfig]\r\naudfmt=541934416\r\nvidfmt=859981650\r\nminsync=0\r\nmaxsync=120\r\n"
        "audiosendahead=4294967196\r\nhdrwrite=1\r\nhdrtoc=1024\r\nmeta=\"a title\"\r\n",
        "[kmfencpp]\nfriendly_name=x\n[kmfconfig]\nhdrtoc=\nmeta=  tail  \n[codec]\nq=5\n",
    };
}

} // namespace

MOXEL_FUZZ_TARGET(entry, seeds);
