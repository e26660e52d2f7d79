// An audio coder that can hand out what it still holds once the sound of a
// job has ended: the input it keeps back (less than one codec frame) and the
// output its codec lags behind by. KmfEncoder looks for this interface on the
// coder it was given; coders without it (the built-in PCM coder, plug-ins
// without the FlushAudio3 entry) are never flushed.
//
// Flush keeps the contract of FlushAudio3 in KmfCoderPlugin.h: called after
// the last Encode and never followed by one; the first call takes all of in
// (padding the last codec frame with silence); each call writes at most
// outRoom bytes and sets *pending while output is left for a later call.
#pragma once

#include "encoder/KmfCoderPlugin.h"

namespace moxel {

class FlushableAudioCoder : public AudioCoder {
  public:
    virtual int Flush(const void* in, int inLength, int* consumed, void* out, int outRoom,
                      int* pending) = 0;
};

} // namespace moxel
