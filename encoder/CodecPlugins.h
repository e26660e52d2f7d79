// Codec plug-in discovery and the coder look-up built on it.
//
// A CodecPluginSet loads the "kmf_coder_*.so" files of one folder, in file
// name order, at most kMaxCodecPlugins of them, always by absolute path (the
// dynamic loader never searches for them). Each file is first tried in a
// child process (PluginProbe.h); a file that fails that trial or the real
// load, or that exports none of the six entries, is skipped with one
// diagnostic line (DiagnosticSink.h; stderr by default). Each export is looked up by name (a
// missing export is skipped for that export only); the audio coders of a
// plug-in that exports FlushAudio3 come wrapped in a PluginAudioCoder. The set frees its libraries
// in reverse load order. Coders it created must be destroyed before the set is unloaded.
//
// The program keeps one process-wide set of the plug-ins beside itself:
// loadCodecPlugins (called by KmfEncoder::openOutput on the worker thread, so
// it is thread-safe and loads only once), unloadCodecPlugins (at shut-down)
// and the look-ups below, which ask the built-in coders first and then the
// plug-ins in load order. The profile editor builds a set of its own.
#pragma once

#include "encoder/CoderFactory.h"
#include "encoder/KmfCoderPlugin.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace moxel {

inline constexpr int kMaxCodecPlugins = 256;

struct CodecPlugin {
    std::string path;
    void* handle = nullptr; // dlopen handle, also the "module" handed to the panels
    KmfCreateVideo3Fn createVideo = nullptr;
    KmfCreateVideoPlanar3Fn createVideoPlanar = nullptr; // optional
    KmfCreateAudio3Fn createAudio = nullptr;
    KmfGetTypes3Fn getVideoTypes = nullptr;
    KmfGetTypes3Fn getAudioTypes = nullptr;
    KmfConfig3Fn configVideo = nullptr;
    KmfConfig3Fn configAudio = nullptr;
    KmfFlushAudio3Fn flushAudio = nullptr; // optional
};

// One entry of a format list. pluginIndex is -1 for the built-in entries.
struct CodecType {
    uint32_t format = 0;
    std::string displayName;
    int pluginIndex = -1;
    int typeIndex = 0;
};

class CodecPluginSet : public CoderFactory {
  public:
    CodecPluginSet() = default;
    ~CodecPluginSet() override; // unloads
    CodecPluginSet(const CodecPluginSet&) = delete;
    CodecPluginSet& operator=(const CodecPluginSet&) = delete;

    // Appends the plug-ins of folder to the set, until it holds maxPlugins.
    // Returns the number of libraries loaded by this call.
    int load(const std::string& folder, int maxPlugins = kMaxCodecPlugins);
    // Frees the libraries, last loaded first.
    void unload();

    const std::vector<CodecPlugin>& plugins() const { return m_plugins; }

    // Built-in coders first ("RGB3" from "RGBA", "PCM " from "PCM "), then the
    // plug-ins in load order; the first coder returned wins.
    std::unique_ptr<VideoCoder> createVideoCoder(int width, int height, double frameRate,
                                                 uint32_t sourceFormat, uint32_t* format,
                                                 const char* configFile) override;
    // The first plug-in that lists *format, when it exports
    // CreateVideoPlanar3 and takes source; null otherwise.
    std::unique_ptr<VideoCoder> createPlanarVideoCoder(int width, int height, double frameRate,
                                                       const KmfPlanarFormat& source,
                                                       uint32_t* format,
                                                       const char* configFile) override;
    std::unique_ptr<AudioCoder> createAudioCoder(int channels, int sampleRate, int bitsPerSample,
                                                 uint32_t sourceFormat, uint32_t* format,
                                                 const char* configFile) override;

    // Every format of every plug-in, in load order and then index order. With
    // withBuiltIns the list starts with "No Video"/"NONE" and
    // "RGB 24bit/pixel"/"RGB3" (audio: "No Audio"/"NONE", "PCM Audio"/"PCM ").
    std::vector<CodecType> videoTypes(bool withBuiltIns) const;
    std::vector<CodecType> audioTypes(bool withBuiltIns) const;

    // The settings panel of the first plug-in that owns format, or null.
    QWidget* configVideo(QWidget* parent, uint32_t format, const char* profilePath) const;
    QWidget* configAudio(QWidget* parent, uint32_t format, const char* profilePath) const;

  private:
    // Tries, loads and adds one library; false (with a diagnostic) when skipped.
    bool addPlugin(const std::string& path);

    std::vector<CodecPlugin> m_plugins;
};

// The folder of the running program (from /proc/self/exe); empty when unknown.
std::string executableFolder();

// The process-wide set of the plug-ins beside the program.
void loadCodecPlugins();
void unloadCodecPlugins();
// The files of the process-wide set, in load order.
std::vector<std::string> codecPluginPaths();
std::unique_ptr<VideoCoder> createVideoCoder(int width, int height, double frameRate,
                                             uint32_t sourceFormat, uint32_t* format,
                                             const char* configFile);
std::unique_ptr<VideoCoder> createPlanarVideoCoder(int width, int height, double frameRate,
                                                   const KmfPlanarFormat& source, uint32_t* format,
                                                   const char* configFile);
std::unique_ptr<AudioCoder> createAudioCoder(int channels, int sampleRate, int bitsPerSample,
                                             uint32_t sourceFormat, uint32_t* format,
                                             const char* configFile);
std::vector<CodecType> videoCodecTypes();
std::vector<CodecType> audioCodecTypes();

} // namespace moxel
