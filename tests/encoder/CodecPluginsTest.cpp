// The plug-in loader on folders the tests build: name order, skipped files,
// missing exports, the load limit, the built-ins first, unloading last
// loaded first, and a plug-in coder driving the encoder.
#include "EncoderTestSupport.h"

#include "container/FourCC.h"
#include "encoder/CodecPlugins.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace moxel;
using namespace moxel::test;

namespace fs = std::filesystem;

namespace {

const std::string kPluginDir = MOXEL_TEST_PLUGIN_DIR;

std::vector<std::string> g_unloaded;
void recordUnload(const char* name)
{
    g_unloaded.push_back(name);
}

// a, b: full plug-ins; c: audio exports only; plus files the loader must pass over.
class PluginFolder : public testing::Test {
  protected:
    void SetUp() override
    {
        copy("kmf_coder_zztest.so", "kmf_coder_b.so");
        copy("kmf_coder_zztest.so", "kmf_coder_a.so");
        copy("kmf_coder_zzpartial.so", "kmf_coder_c.so");
        copy("kmf_coder_zztest.so", "libnot_a_plugin.so");
        copy("kmf_coder_zztest.so", "kmf_coder_a.so.bak");
        writeFileText(m_dir.file("kmf_coder_broken.so"), "not a shared library\n");
        fs::create_directory(m_dir.path() / "kmf_coder_folder.so");
    }

    void copy(const std::string& from, const std::string& to)
    {
        fs::copy_file(fs::path(kPluginDir) / from, m_dir.path() / to);
    }

    std::vector<std::string> loadedNames(const CodecPluginSet& set)
    {
        std::vector<std::string> names;
        for (const CodecPlugin& p : set.plugins())
            names.push_back(fs::path(p.path).filename().string());
        return names;
    }

    TempDir m_dir;
};

} // namespace

TEST_F(PluginFolder, LoadsMatchingFilesInNameOrderAndSkipsBrokenOnes)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.load(m_dir.path().string()), 3);
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loadedNames(set),
              (std::vector<std::string>{"kmf_coder_a.so", "kmf_coder_b.so", "kmf_coder_c.so"}));
    EXPECT_NE(diagnostics.find("kmf_coder_broken.so"), std::string::npos);
    EXPECT_EQ(diagnostics.find('\n'), diagnostics.size() - 1) << "one line: " << diagnostics;

    const CodecPlugin& partial = set.plugins()[2];
    EXPECT_NE(partial.createAudio, nullptr);
    EXPECT_NE(partial.getAudioTypes, nullptr);
    EXPECT_EQ(partial.createVideo, nullptr);
    EXPECT_EQ(partial.getVideoTypes, nullptr);
    EXPECT_EQ(partial.configVideo, nullptr);
    EXPECT_EQ(partial.configAudio, nullptr);
}

TEST_F(PluginFolder, LoadLimit)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.load(m_dir.path().string(), 2), 2);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(loadedNames(set), (std::vector<std::string>{"kmf_coder_a.so", "kmf_coder_b.so"}));
}

TEST_F(PluginFolder, FormatListsFollowLoadOrder)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    set.load(m_dir.path().string());
    testing::internal::GetCapturedStderr();

    std::vector<std::string> video;
    for (const CodecType& t : set.videoTypes(true))
        video.push_back(fourCCToString(t.format) + "=" + t.displayName + "@" +
                        std::to_string(t.pluginIndex) + "." + std::to_string(t.typeIndex));
    EXPECT_EQ(video, (std::vector<std::string>{
                         "NONE=No Video@-1.0", "RGB3=RGB 24bit/pixel@-1.1",
                         "ZZV1=kmf_coder_a.so:ZZV1@0.0", "RGB3=kmf_coder_a.so:RGB3@0.1",
                         "ZZV1=kmf_coder_b.so:ZZV1@1.0", "RGB3=kmf_coder_b.so:RGB3@1.1"}));

    std::vector<std::string> audio;
    for (const CodecType& t : set.audioTypes(false))
        audio.push_back(t.displayName);
    EXPECT_EQ(audio, (std::vector<std::string>{"kmf_coder_a.so:ZZA1", "kmf_coder_b.so:ZZA1",
                                               "kmf_coder_c.so:ZZA1"}));
    EXPECT_EQ(set.audioTypes(true)[1].displayName, "PCM Audio");
}

TEST_F(PluginFolder, CreationAsksBuiltInsFirstThenPluginsInOrder)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    set.load(m_dir.path().string());
    testing::internal::GetCapturedStderr();

    uint32_t format = kFourCCRgb3;
    EXPECT_NE(set.createVideoCoder(8, 8, 25.0, kFourCCRgba, &format, nullptr), nullptr);
    EXPECT_EQ(format, kFourCCRgb3) << "the built-in coder takes RGB3 from RGBA";

    format = kFourCCRgb3;
    EXPECT_NE(set.createVideoCoder(8, 8, 25.0, makeFourCC("BGRX"), &format, nullptr), nullptr);
    EXPECT_EQ(format, makeFourCC("ZZRG")) << "other sources go to the plug-ins";

    format = makeFourCC("ZZDX"); // every plug-in declines, after scribbling on its copy
    EXPECT_EQ(set.createVideoCoder(8, 8, 25.0, kFourCCRgba, &format, nullptr), nullptr);
    EXPECT_EQ(format, makeFourCC("ZZDX"));

    format = makeFourCC("ZZA1");
    std::unique_ptr<AudioCoder> audio =
        set.createAudioCoder(2, 44100, 16, kFourCCPcm, &format, nullptr);
    ASSERT_NE(audio, nullptr);
    // Without the optional FlushAudio3 entry nothing new is ever called on it.
    EXPECT_EQ(dynamic_cast<FlushableAudioCoder*>(audio.get()), nullptr);
    format = kFourCCPcm;
    audio = set.createAudioCoder(2, 44100, 16, kFourCCPcm, &format, nullptr);
    EXPECT_EQ(dynamic_cast<FlushableAudioCoder*>(audio.get()), nullptr) << "PCM holds nothing back";

    EXPECT_EQ(set.configVideo(nullptr, makeFourCC("ZZV1"), "p.pf"),
              static_cast<QWidget*>(set.plugins()[0].handle));
    EXPECT_EQ(set.configAudio(nullptr, makeFourCC("ZZA1"), "p.pf"),
              static_cast<QWidget*>(set.plugins()[0].handle));
    EXPECT_EQ(set.configVideo(nullptr, kFourCCRgb3, "p.pf"), nullptr);
}

TEST_F(PluginFolder, APluginCoderDrivesTheEncoder)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    set.load(m_dir.path().string());
    testing::internal::GetCapturedStderr();
    {
        KmfEncoder encoder;
        encoder.setCoderFactory(&set);
        encoder.setVideo(makeFourCC("ZZV1"), 8, 8, 25.0, kFourCCRgba, nullptr);
        encoder.setAudio(makeFourCC("ZZA1"), 8000, 1, 16, kFourCCPcm, nullptr);
        encoder.openOutput(m_dir.file("out.kmf").c_str());
        ASSERT_EQ(encoder.errorText(), nullptr);
        std::vector<uint8_t> pcm(100, 9);
        encoder.addAudioData(pcm.data(), int(pcm.size()));
        encoder.addVideoFrame(dummyPicture());
        ASSERT_TRUE(encoder.close()); // the coders go before the set unloads
    }
    std::vector<ParsedFrame> frames = parseFile(readFileBytes(m_dir.file("out.kmf")));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].videoFormat, makeFourCC("ZZW1"));
    EXPECT_EQ(frames[0].video, (std::vector<uint8_t>{'Z', 'Z', 'V', '!'}));
    EXPECT_EQ(frames[0].audio, std::vector<uint8_t>(100, 9));
}

namespace {

struct PlanarOutcome {
    uint32_t sourceFormat = 0; // what the encoder wants the pictures in
    uint32_t videoFormat = 0;  // what the frames announce
    std::vector<uint8_t> video;
    bool operator==(const PlanarOutcome&) const = default;
};

// One frame through an encoder whose source offers planar pictures of matrix.
PlanarOutcome encodeWithPlanarOffer(CodecPluginSet& set, const TempDir& dir, int matrix)
{
    PlanarOutcome outcome;
    KmfEncoder encoder;
    encoder.setCoderFactory(&set);
    encoder.setVideo(makeFourCC("ZZV1"), 8, 8, 25.0, kFourCCRgba, nullptr);
    KmfPlanarFormat planar;
    planar.colourMatrix = matrix;
    encoder.offerPlanarPictures(planar);
    encoder.openOutput(dir.file("planar.kmf").c_str());
    EXPECT_EQ(encoder.errorText(), nullptr);
    outcome.sourceFormat = encoder.videoSourceFormat();
    std::vector<uint8_t> picture(8 * 8 * 4, 77);
    encoder.addVideoFrame(picture.data());
    EXPECT_TRUE(encoder.close());
    std::vector<ParsedFrame> frames = parseFile(readFileBytes(dir.file("planar.kmf")));
    if (frames.size() == 1) {
        outcome.videoFormat = frames[0].videoFormat;
        outcome.video = frames[0].video;
    }
    return outcome;
}

// Copies the built plug-ins into dir as kmf_coder_0.so, kmf_coder_1.so, ...
// (that load order) and loads them into set.
void loadInOrder(CodecPluginSet& set, const TempDir& dir, const std::vector<std::string>& built)
{
    for (size_t i = 0; i < built.size(); ++i)
        fs::copy_file(fs::path(kPluginDir) / built[i],
                      dir.path() / ("kmf_coder_" + std::to_string(i) + ".so"));
    set.load(dir.path().string());
}

} // namespace

TEST_F(PluginFolder, PlanarPicturesGoOnlyToAPluginThatAsksForThem)
{
    const PlanarOutcome rgbaWay = {kFourCCRgba, makeFourCC("ZZW1"), {'Z', 'Z', 'V', '!'}};
    const PlanarOutcome planarWay = {kCoderLayoutI420, makeFourCC("ZZP1"), {'Z', 'Z', 'P', 77}};
    {
        // a and b lack the planar entry: their coder gets "RGBA" as always.
        CodecPluginSet set;
        testing::internal::CaptureStderr();
        set.load(m_dir.path().string());
        testing::internal::GetCapturedStderr();
        uint32_t format = makeFourCC("ZZV1");
        EXPECT_EQ(set.createPlanarVideoCoder(8, 8, 25.0, KmfPlanarFormat{}, &format, nullptr),
                  nullptr);
        EXPECT_EQ(format, makeFourCC("ZZV1"));
        EXPECT_EQ(encodeWithPlanarOffer(set, m_dir, 6), rgbaWay);
    }
    // A planar plug-in loaded first gets the pictures planar in the colours
    // it takes, and "RGBA" for others.
    TempDir planarFirst;
    {
        CodecPluginSet set;
        loadInOrder(set, planarFirst, {"kmf_coder_zzplanar.so", "kmf_coder_zztest.so"});
        EXPECT_EQ(encodeWithPlanarOffer(set, planarFirst, 6), planarWay);
        EXPECT_EQ(encodeWithPlanarOffer(set, planarFirst, 1), rgbaWay);
        uint32_t format = kFourCCRgb3; // which the planar plug-in lists too
        EXPECT_EQ(set.createPlanarVideoCoder(8, 8, 25.0, KmfPlanarFormat{}, &format, nullptr),
                  nullptr);
    }
    // Behind a plug-in that lists the format without the entry, it is not asked:
    // planar pictures never change which plug-in encodes.
    TempDir planarSecond;
    {
        CodecPluginSet set;
        loadInOrder(set, planarSecond, {"kmf_coder_zztest.so", "kmf_coder_zzplanar.so"});
        EXPECT_EQ(encodeWithPlanarOffer(set, planarSecond, 6), rgbaWay);
    }
}

TEST_F(PluginFolder, UnloadsLastLoadedFirst)
{
    CodecPluginSet set;
    testing::internal::CaptureStderr();
    set.load(m_dir.path().string());
    testing::internal::GetCapturedStderr();
    for (const CodecPlugin& p : set.plugins()) {
        auto hook = reinterpret_cast<void (*)(void (*)(const char*))>(
            dlsym(p.handle, "ZzTestSetUnloadHook"));
        ASSERT_NE(hook, nullptr);
        hook(&recordUnload);
    }
    g_unloaded.clear();
    set.unload();
    EXPECT_TRUE(set.plugins().empty());
    EXPECT_EQ(g_unloaded,
              (std::vector<std::string>{"kmf_coder_c.so", "kmf_coder_b.so", "kmf_coder_a.so"}));
}

TEST(CodecPlugins, EmptyOrMissingFolders)
{
    TempDir dir;
    CodecPluginSet set;
    EXPECT_EQ(set.load(dir.path().string()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(set.load(dir.file("missing")), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("missing"), std::string::npos);
    EXPECT_EQ(set.videoTypes(true).size(), 2u);
}

TEST(CodecPlugins, ProgramFolderIsWhereThisProgramLies)
{
    std::string folder = executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / "moxel_tests_encoder"));
}
