// The one entry of kmf_av_panels.so, the library that holds kmf_coder_av's
// settings panels. They live apart from the plug-in so that the engine,
// which never shows a panel, does not load Qt (and what Qt loads) with
// every job: the plug-in loads this library, from its own folder, only
// when ConfigVideo3 or ConfigAudio3 asks for a panel, which only the
// profile editor does, and never unloads it (its widgets may outlive any call).
#include "plugins/av/AvFormats.h"
#include "plugins/av/AvPanelFactory.h"

extern "C" __attribute__((visibility("default"))) QWidget*
KmfAvPanel(QWidget* parent, int video, uint32_t format, const char* profilePath)
{
    using namespace moxel::av;
    const AvFormat* f = video != 0 ? findVideoFormat(format) : findAudioFormat(format);
    if (f == nullptr)
        return nullptr;
    return video != 0 ? createVideoPanel(parent, *f, profilePath)
                      : createAudioPanel(parent, *f, profilePath);
}
