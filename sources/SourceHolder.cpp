#include "sources/SourceHolder.h"

#include "sources/CaptureSource.h"
#include "sources/DecoderSource.h"
#include "sources/MovieSource.h"

#include <cctype>

namespace moxel {
namespace {

bool equalsIgnoringCase(const std::string& text, size_t from, const char* word)
{
    for (size_t i = 0; word[i]; ++i) {
        if (from + i >= text.size())
            return false;
        const auto a = static_cast<unsigned char>(text[from + i]);
        const auto b = static_cast<unsigned char>(word[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}

} // namespace

SourceKind sourceKindForName(const std::string& sourcePath)
{
    if (equalsIgnoringCase(sourcePath, 0, "vfwcap:"))
        return SourceKind::Capture;
    if (sourcePath.size() >= 5 && equalsIgnoringCase(sourcePath, sourcePath.size() - 4, ".mov"))
        return SourceKind::Movie;
    return SourceKind::Decoder;
}

SourceHolder::~SourceHolder()
{
    close();
}

bool SourceHolder::open(const std::string& sourcePath, const std::string& profilePath, int kind)
{
    SourceKind chosen = static_cast<SourceKind>(kind);
    if (chosen == SourceKind::ByName)
        chosen = sourceKindForName(sourcePath);
    switch (chosen) {
    case SourceKind::Decoder:
        m_source = std::make_unique<DecoderSource>();
        break;
    case SourceKind::Movie:
        m_source = std::make_unique<MovieSource>();
        break;
    case SourceKind::Capture:
        m_source = std::make_unique<CaptureSource>();
        break;
    default:
        if (!m_source)
            return false;
        break;
    }
    m_source->setPrompt(m_prompt);
    return m_source->open(sourcePath, profilePath);
}

int SourceHolder::getVideoFrame(const uint8_t** picture)
{
    if (!m_source) {
        if (picture)
            *picture = nullptr;
        return 0;
    }
    return m_source->getVideoFrame(picture);
}

int SourceHolder::getAudio(uint8_t* buffer, int maxBytes, int* length)
{
    if (!m_source) {
        if (length)
            *length = 0;
        return 0;
    }
    return m_source->getAudio(buffer, maxBytes, length);
}

int SourceHolder::close()
{
    if (!m_source)
        return 1;
    const int result = m_source->close();
    m_source.reset();
    return result;
}

bool SourceHolder::hasVideo() const
{
    return m_source && m_source->hasVideo;
}
bool SourceHolder::hasAudio() const
{
    return m_source && m_source->hasAudio;
}
double SourceHolder::frameRate() const
{
    return m_source ? m_source->frameRate : 0.0;
}
int SourceHolder::outSampleRate() const
{
    return m_source ? m_source->profile.outSampleRate : 0;
}
int SourceHolder::outChannels() const
{
    return m_source ? m_source->profile.outChannels : 0;
}
int SourceHolder::outWidth() const
{
    return m_source ? m_source->outWidth : 0;
}
int SourceHolder::outHeight() const
{
    return m_source ? m_source->outHeight : 0;
}

void SourceHolder::adopt(std::unique_ptr<MediaSource> source)
{
    close();
    m_source = std::move(source);
}

} // namespace moxel
