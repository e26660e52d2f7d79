#include "encoder/PluginAudioCoder.h"

namespace moxel {

int PluginAudioCoder::Encode(int callIndex, const void* in, int inLength, int* consumed, void* out,
                             int outRoom)
{
    return m_coder->Encode(callIndex, in, inLength, consumed, out, outRoom);
}

int PluginAudioCoder::Flush(const void* in, int inLength, int* consumed, void* out, int outRoom,
                            int* pending)
{
    return m_flush(m_coder.get(), in, inLength, consumed, out, outRoom, pending);
}

} // namespace moxel
