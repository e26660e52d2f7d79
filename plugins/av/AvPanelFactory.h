// The settings panels of the plug-in, one for the video formats and one for
// the audio formats. Each shows the settings of the profile file it is given
// and writes its own keys there when it is destroyed (the video panel
// video_bitrate, keyint and speed, the audio panel audio_bitrate), so that
// two panels open at once never undo each other. They are built into
// kmf_av_panels.so (AvPanelExports.cpp), whose entry KmfAvPanel
// ConfigVideo3/ConfigAudio3 call; only that library includes Qt.
#pragma once

#include <cstdint>

class QWidget;

namespace moxel::av {

struct AvFormat;

// The panels library, beside the plug-in, and its entry: the panel for a
// video (video nonzero) or audio format of this plug-in, or null.
inline constexpr const char* kPanelLibraryName = "kmf_av_panels.so";
using PanelEntryFn = QWidget* (*)(QWidget* parent, int video, uint32_t format,
                                  const char* profilePath);

QWidget* createVideoPanel(QWidget* parent, const AvFormat& format, const char* profilePath);
QWidget* createAudioPanel(QWidget* parent, const AvFormat& format, const char* profilePath);

} // namespace moxel::av
