// The settings panels of the plug-in, one for the video formats and one for
// the audio formats. Each shows the settings of the profile file it is given
// and writes its own keys there when it is destroyed (the video panel
// video_bitrate, keyint and speed, the audio panel audio_bitrate), so that
// two panels open at once never undo each other. ConfigVideo3/ConfigAudio3
// hand them out; only this file's implementations include Qt.
#pragma once

class QWidget;

namespace moxel::av {

struct AvFormat;

QWidget* createVideoPanel(QWidget* parent, const AvFormat& format, const char* profilePath);
QWidget* createAudioPanel(QWidget* parent, const AvFormat& format, const char* profilePath);

} // namespace moxel::av
