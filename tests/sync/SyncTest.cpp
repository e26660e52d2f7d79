// Sound and pictures stay together end to end: every flash/beep source kind
// converted by moxel-cli with every coder set, read back and measured
// (SyncJobs.h says what is expected). Each case prints its line of the
// table that moxel-sync-table prints for all of them.
//
// MOXEL_SYNC_VARIANTS=few (set by the sanitizer builds' registration) runs
// fewer coder sets; the others are skipped.
#include "SyncJobs.h"

#include "support/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <iostream>

namespace moxel {
namespace {

using test::SyncCoders;
using test::SyncSource;

struct Variant {
    size_t source, coders;
};

void PrintTo(const Variant& v, std::ostream* out)
{
    *out << test::syncSources()[v.source].name << " with " << test::syncCoderSets()[v.coders].name;
}

std::vector<Variant> variants()
{
    std::vector<Variant> all;
    for (size_t s = 0; s < test::syncSources().size(); ++s)
        for (size_t c = 0; c < test::syncCoderSets().size(); ++c)
            if (test::syncSources()[s].hasPictures() || test::syncCoderSets()[c].forSoundFiles)
                all.push_back({s, c});
    return all;
}

class SyncJobTest : public ::testing::TestWithParam<Variant> {
  protected:
    void SetUp() override { av_log_set_level(AV_LOG_ERROR); }
    test::TempDir m_dir;
};

TEST_P(SyncJobTest, BeepsStayWithTheirFlashes)
{
    const SyncSource& source = test::syncSources()[GetParam().source];
    const SyncCoders& coders = test::syncCoderSets()[GetParam().coders];
    if (!test::syncVariantSelected(source, coders))
        GTEST_SKIP() << "not among the few variants of this build";

    const test::SyncRow row = test::runSyncJob(source, coders, m_dir.path().string());
    std::cout << test::syncTableHeading() << test::syncTableLine(row);
    for (const std::string& fault : row.faults)
        ADD_FAILURE() << source.name << " with " << coders.name << ": " << fault;
}

INSTANTIATE_TEST_SUITE_P(Sources, SyncJobTest, ::testing::ValuesIn(variants()),
                         [](const ::testing::TestParamInfo<Variant>& v) {
                             return test::syncSources()[v.param.source].name + "_" +
                                    test::syncCoderSets()[v.param.coders].name;
                         });

} // namespace
} // namespace moxel
