#include "encoder/CodecPlugins.h"

#include "base/DiagnosticSink.h"
#include "container/FourCC.h"
#include "encoder/PcmCoder.h"
#include "encoder/PluginAudioCoder.h"
#include "encoder/PluginProbe.h"
#include "encoder/RgbPackCoder.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace moxel {

namespace {

constexpr const char* kPluginPrefix = "kmf_coder_";
constexpr const char* kPluginSuffix = ".so";

bool isPluginFileName(const std::string& name)
{
    size_t prefix = std::char_traits<char>::length(kPluginPrefix);
    size_t suffix = std::char_traits<char>::length(kPluginSuffix);
    return name.size() > prefix + suffix && name.compare(0, prefix, kPluginPrefix) == 0 &&
           name.compare(name.size() - suffix, suffix, kPluginSuffix) == 0;
}

template <typename Fn> Fn lookUp(void* handle, const char* name)
{
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

void appendTypes(std::vector<CodecType>& out, int pluginIndex, KmfGetTypes3Fn getTypes)
{
    if (!getTypes)
        return;
    for (int index = 0; index < kMaxTypesPerPlugin; ++index) {
        char name[kCoderTypeNameSize] = {};
        uint32_t format = getTypes(index, name);
        if (format == 0)
            return;
        name[kCoderTypeNameSize - 1] = '\0';
        out.push_back({format, name, pluginIndex, index});
    }
}

// Asks the plug-ins in load order; ask(plugin, &format) returns a coder, or
// null when the plug-in lacks the export or declines. A plug-in that
// declines must not leave its rewrite of the format for the next one.
// *maker is the plug-in that made the coder.
template <typename Coder, typename Ask>
std::unique_ptr<Coder> askPlugins(const std::vector<CodecPlugin>& plugins, uint32_t* format,
                                  Ask ask, const CodecPlugin** maker = nullptr)
{
    for (const CodecPlugin& p : plugins) {
        uint32_t asked = *format;
        if (Coder* coder = ask(p, &asked)) {
            *format = asked;
            if (maker)
                *maker = &p;
            return std::unique_ptr<Coder>(coder);
        }
    }
    return nullptr;
}

QWidget* askPanel(const std::vector<CodecPlugin>& plugins, KmfConfig3Fn CodecPlugin::*entry,
                  QWidget* parent, uint32_t format, const char* profilePath)
{
    for (const CodecPlugin& p : plugins)
        if (KmfConfig3Fn config = p.*entry)
            if (QWidget* panel = config(parent, p.handle, format, profilePath))
                return panel;
    return nullptr;
}

std::vector<CodecType> collectTypes(const std::vector<CodecPlugin>& plugins, bool video,
                                    bool withBuiltIns)
{
    std::vector<CodecType> types;
    if (withBuiltIns) {
        if (video) {
            types.push_back({kFourCCNone, "No Video", -1, 0});
            types.push_back({kFourCCRgb3, "RGB 24bit/pixel", -1, 1});
        } else {
            types.push_back({kFourCCNone, "No Audio", -1, 0});
            types.push_back({kFourCCPcm, "PCM Audio", -1, 1});
        }
    }
    for (size_t i = 0; i < plugins.size(); ++i)
        appendTypes(types, int(i), video ? plugins[i].getVideoTypes : plugins[i].getAudioTypes);
    return types;
}

} // namespace

CodecPluginSet::~CodecPluginSet()
{
    unload();
}

int CodecPluginSet::load(const std::string& folder, int maxPlugins)
{
    // Only the folder asked for: an empty or relative path would let the
    // dynamic loader search the current folder and LD_LIBRARY_PATH.
    std::error_code ec;
    std::filesystem::path dir;
    if (!folder.empty())
        dir = std::filesystem::absolute(folder, ec);
    if (dir.empty() || ec) {
        emitDiagnostic(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                       "codec plug-ins: no folder to load from");
        return 0;
    }
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (isPluginFileName(name) && it->is_regular_file(ec))
            names.push_back(name);
    }
    if (ec)
        emitDiagnosticf(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                        "codec plug-ins: cannot list %s: %s", dir.c_str(), ec.message().c_str());
    std::sort(names.begin(), names.end());

    int loaded = 0;
    for (const std::string& name : names) {
        if (int(m_plugins.size()) >= maxPlugins)
            break;
        std::string path = (dir / name).string();
        if (addPlugin(path))
            ++loaded;
    }
    return loaded;
}

bool CodecPluginSet::addPlugin(const std::string& path)
{
    // A library's constructor runs on load: try it in a child process first,
    // so one that crashes or ends the process cannot take the program down.
    PluginProbeResult probe = probeCodecPlugin(path);
    if (!probe.ok) {
        emitDiagnosticf(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                        "codec plug-ins: skipping %s: %s", path.c_str(), probe.reason.c_str());
        return false;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        emitDiagnosticf(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                        "codec plug-ins: skipping %s: %s", path.c_str(), why ? why : "cannot load");
        return false;
    }
    CodecPlugin p;
    p.path = path;
    p.handle = handle;
    p.createVideo = lookUp<KmfCreateVideo3Fn>(handle, "CreateVideo3");
    p.createVideoPlanar = lookUp<KmfCreateVideoPlanar3Fn>(handle, "CreateVideoPlanar3");
    p.createAudio = lookUp<KmfCreateAudio3Fn>(handle, "CreateAudio3");
    p.getVideoTypes = lookUp<KmfGetTypes3Fn>(handle, "GetVideoTypes3");
    p.getAudioTypes = lookUp<KmfGetTypes3Fn>(handle, "GetAudioTypes3");
    p.configVideo = lookUp<KmfConfig3Fn>(handle, "ConfigVideo3");
    p.configAudio = lookUp<KmfConfig3Fn>(handle, "ConfigAudio3");
    p.flushAudio = lookUp<KmfFlushAudio3Fn>(handle, "FlushAudio3");
    if (!p.createVideo && !p.createAudio && !p.getVideoTypes && !p.getAudioTypes &&
        !p.configVideo && !p.configAudio) {
        // Changed since the trial load: it is no plug-in now.
        emitDiagnosticf(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                        "codec plug-ins: skipping %s: it exports none of the codec plug-in entries",
                        path.c_str());
        dlclose(handle);
        return false;
    }
    m_plugins.push_back(std::move(p));
    return true;
}

void CodecPluginSet::unload()
{
    while (!m_plugins.empty()) {
        dlclose(m_plugins.back().handle);
        m_plugins.pop_back();
    }
}

std::unique_ptr<VideoCoder>
CodecPluginSet::createVideoCoder(int width, int height, double frameRate, uint32_t sourceFormat,
                                 uint32_t* format, const char* configFile)
{
    if (*format == kFourCCRgb3 && sourceFormat == kFourCCRgba) {
        if (auto coder = RgbPackCoder::create(width, height))
            return coder;
    }
    return askPlugins<VideoCoder>(m_plugins, format, [&](const CodecPlugin& p, uint32_t* asked) {
        return p.createVideo
                   ? p.createVideo(width, height, frameRate, sourceFormat, asked, configFile)
                   : nullptr;
    });
}

std::unique_ptr<VideoCoder> CodecPluginSet::createPlanarVideoCoder(int width, int height,
                                                                   double frameRate,
                                                                   const KmfPlanarFormat& source,
                                                                   uint32_t* format,
                                                                   const char* configFile)
{
    // Only the plug-in that would make the coder from "RGBA" pictures is
    // asked, so that planar pictures never change who encodes; the built-in
    // coder, asked first for "RGB3", takes "RGBA" only.
    if (*format == kFourCCRgb3)
        return nullptr;
    for (const CodecPlugin& p : m_plugins) {
        std::vector<CodecType> listed;
        appendTypes(listed, 0, p.getVideoTypes);
        if (std::none_of(listed.begin(), listed.end(),
                         [&](const CodecType& t) { return t.format == *format; }))
            continue;
        if (!p.createVideoPlanar)
            return nullptr;
        uint32_t asked = *format;
        std::unique_ptr<VideoCoder> coder(
            p.createVideoPlanar(width, height, frameRate, &source, &asked, configFile));
        if (coder)
            *format = asked;
        return coder;
    }
    return nullptr;
}

std::unique_ptr<AudioCoder>
CodecPluginSet::createAudioCoder(int channels, int sampleRate, int bitsPerSample,
                                 uint32_t sourceFormat, uint32_t* format, const char* configFile)
{
    if (*format == kFourCCPcm && sourceFormat == kFourCCPcm) {
        if (auto coder = PcmCoder::create(channels, sampleRate, bitsPerSample))
            return coder;
    }
    const CodecPlugin* maker = nullptr;
    auto coder = askPlugins<AudioCoder>(
        m_plugins, format,
        [&](const CodecPlugin& p, uint32_t* asked) {
            return p.createAudio ? p.createAudio(channels, sampleRate, bitsPerSample, sourceFormat,
                                                 asked, configFile)
                                 : nullptr;
        },
        &maker);
    if (coder && maker->flushAudio)
        return std::make_unique<PluginAudioCoder>(std::move(coder), maker->flushAudio);
    return coder;
}

std::vector<CodecType> CodecPluginSet::videoTypes(bool withBuiltIns) const
{
    return collectTypes(m_plugins, true, withBuiltIns);
}

std::vector<CodecType> CodecPluginSet::audioTypes(bool withBuiltIns) const
{
    return collectTypes(m_plugins, false, withBuiltIns);
}

QWidget* CodecPluginSet::configVideo(QWidget* parent, uint32_t format,
                                     const char* profilePath) const
{
    return askPanel(m_plugins, &CodecPlugin::configVideo, parent, format, profilePath);
}

QWidget* CodecPluginSet::configAudio(QWidget* parent, uint32_t format,
                                     const char* profilePath) const
{
    return askPanel(m_plugins, &CodecPlugin::configAudio, parent, format, profilePath);
}

std::string executableFolder()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return exe.parent_path().string();
}

namespace {

// The program's own set: loaded by the first job, asked by every job, freed
// at shut-down. The lock makes the first load safe from any thread.
std::mutex g_processLock;
bool g_processLoaded = false;

CodecPluginSet& processSet()
{
    static CodecPluginSet set;
    return set;
}

} // namespace

void loadCodecPlugins()
{
    std::lock_guard lock(g_processLock);
    if (g_processLoaded)
        return;
    g_processLoaded = true;
    std::string folder = executableFolder();
    if (folder.empty()) {
        emitDiagnostic(kPluginLoaderDiagnostics, DiagnosticLevel::Warning,
                       "codec plug-ins: cannot find the program folder");
        return;
    }
    processSet().load(folder);
}

std::vector<std::string> codecPluginPaths()
{
    std::lock_guard lock(g_processLock);
    std::vector<std::string> paths;
    for (const CodecPlugin& p : processSet().plugins())
        paths.push_back(p.path);
    return paths;
}

void unloadCodecPlugins()
{
    std::lock_guard lock(g_processLock);
    processSet().unload();
    g_processLoaded = false;
}

std::unique_ptr<VideoCoder> createVideoCoder(int width, int height, double frameRate,
                                             uint32_t sourceFormat, uint32_t* format,
                                             const char* configFile)
{
    std::lock_guard lock(g_processLock);
    return processSet().createVideoCoder(width, height, frameRate, sourceFormat, format,
                                         configFile);
}

std::unique_ptr<VideoCoder> createPlanarVideoCoder(int width, int height, double frameRate,
                                                   const KmfPlanarFormat& source, uint32_t* format,
                                                   const char* configFile)
{
    std::lock_guard lock(g_processLock);
    return processSet().createPlanarVideoCoder(width, height, frameRate, source, format,
                                               configFile);
}

std::unique_ptr<AudioCoder> createAudioCoder(int channels, int sampleRate, int bitsPerSample,
                                             uint32_t sourceFormat, uint32_t* format,
                                             const char* configFile)
{
    std::lock_guard lock(g_processLock);
    return processSet().createAudioCoder(channels, sampleRate, bitsPerSample, sourceFormat, format,
                                         configFile);
}

std::vector<CodecType> videoCodecTypes()
{
    std::lock_guard lock(g_processLock);
    return processSet().videoTypes(true);
}

std::vector<CodecType> audioCodecTypes()
{
    std::lock_guard lock(g_processLock);
    return processSet().audioTypes(true);
}

} // namespace moxel
