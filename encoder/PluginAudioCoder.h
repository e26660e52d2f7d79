// A plug-in's audio coder together with the plug-in's FlushAudio3 entry, so
// that KmfEncoder can flush it like any FlushableAudioCoder. Made by
// CodecPluginSet only for plug-ins that export the entry; the coders of the
// others are handed out as they are. Owns the plug-in's coder.
#pragma once

#include "encoder/FlushableAudioCoder.h"

#include <memory>

namespace moxel {

class PluginAudioCoder final : public FlushableAudioCoder {
  public:
    PluginAudioCoder(std::unique_ptr<AudioCoder> coder, KmfFlushAudio3Fn flush)
        : m_coder(std::move(coder)), m_flush(flush)
    {
    }

    int Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
               int outRoom) override;
    int Flush(const void* in, int inLength, int* consumed, void* out, int outRoom,
              int* pending) override;

  private:
    std::unique_ptr<AudioCoder> m_coder;
    KmfFlushAudio3Fn m_flush;
};

} // namespace moxel
