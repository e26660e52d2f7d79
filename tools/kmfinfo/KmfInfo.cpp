#include "tools/kmfinfo/KmfInfo.h"

#include "base/JsonWriter.h"
#include "container/FourCC.h"
#include "container/FrameRateCode.h"
#include "container/KmfReader.h"

#include <cstdio>
#include <iomanip>
#include <optional>
#include <string_view>

namespace moxel {

const char* const kKmfInfoUsage =
    "usage: kmfinfo [--frames] [--json] FILE\n"
    "Prints the file header, the stream description and the frame totals of a KMF file.\n"
    "  --frames  also list every frame: offset, sync or not, video, audio and aux\n"
    "            lengths, sync offset\n"
    "  --json    write one JSON document instead of text\n"
    "  --help    print this text\n"
    "Exit status: 0 sound file; 1 damaged file (the error and its byte offset go to\n"
    "standard error); 2 usage error or a file that cannot be read.\n";

namespace {

// TOCs longer than this are shown as their first and last entries in text.
constexpr size_t kTocShownHead = 8;
constexpr size_t kTocShownTail = 4;
constexpr size_t kMetadataShownBytes = 256;

struct Totals {
    uint64_t frames = 0;
    uint64_t syncFrames = 0;
    uint64_t videoBytes = 0;
    uint64_t audioBytes = 0;
    uint64_t auxBytes = 0; // payload, without the 6-byte chunk headers
    uint64_t auxChunks = 0;
    std::optional<KmfFrameInfo> firstSync;
    // TOC entries that are the position of a frame. The TOC samples the
    // frames in order, so one pass beside the frames finds them.
    const KmfFileHeaderInfo* header = nullptr;
    size_t tocNext = 0;
    uint64_t tocAtFrames = 0;

    void add(const KmfFrameInfo& f)
    {
        if (header) {
            const uint64_t position = f.offset - header->headerSize;
            while (tocNext < header->tocSize && header->toc[tocNext] < position)
                ++tocNext;
            for (; tocNext < header->tocSize && header->toc[tocNext] == position; ++tocNext)
                ++tocAtFrames;
        }
        ++frames;
        syncFrames += f.isSync;
        videoBytes += f.videoLength;
        audioBytes += f.audioLength;
        auxChunks += uint64_t(f.auxCount);
        for (int i = 0; i < f.auxCount; ++i)
            auxBytes += f.aux[i].length;
        if (f.isSync && !firstSync)
            firstSync = f;
    }
};

std::string_view bytesAsText(const std::vector<uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string hexBytes(const std::vector<uint8_t>& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

// Printable ASCII as it is; quotes, backslashes and everything else escaped.
std::string escapedText(const std::vector<uint8_t>& bytes, size_t limit)
{
    std::string s;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        uint8_t c = bytes[i];
        if (c == '\\' || c == '"') {
            s += '\\';
            s += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            s += char(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            s += hex;
        }
    }
    return s;
}

std::string frameRateText(uint8_t code)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.6g fps (code 0x%02X)", decodeFrameRate(code), code);
    return text;
}

class Report {
  public:
    virtual ~Report() = default;
    virtual void begin(const std::string& name, uint64_t size) = 0;
    virtual void header(const KmfFileHeaderInfo* header) = 0; // null: none or unreadable
    virtual void beginFrames() = 0;
    virtual void frame(const KmfFrameInfo& f) = 0;
    virtual void endFrames() = 0;
    virtual void end(const Totals& totals, const KmfReader& reader) = 0;
};

class TextReport final : public Report {
  public:
    explicit TextReport(std::ostream& out) : m_out(out) {}

    void begin(const std::string& name, uint64_t size) override
    {
        m_out << "file: " << name << "\nsize: " << size << " bytes\n";
    }

    void header(const KmfFileHeaderInfo* h) override
    {
        if (!h) {
            m_out << "file header: none\n";
            return;
        }
        m_out << "file header: " << h->headerSize << " bytes\n";
        m_out << "  file size: ";
        if (h->fileSize == 0xFFFFFFFFu)
            m_out << "unknown\n";
        else
            m_out << h->fileSize << " bytes\n";
        m_out << "  length: " << h->lengthMs << " ms\n";
        m_out << "  metadata: \"" << escapedText(h->metadata, kMetadataShownBytes) << '"';
        if (h->metadata.size() > kMetadataShownBytes)
            m_out << "...";
        m_out << " (" << h->metadata.size() << " bytes)\n";
        m_out << "  toc: " << h->tocAllocated << " slots allocated, " << h->tocSize << " used\n";
        if (h->tocSize == 0)
            return;
        m_out << "  toc entries:";
        const size_t used = h->tocSize;
        const bool abbreviate = used > kTocShownHead + kTocShownTail;
        for (size_t i = 0; i < used; ++i) {
            if (abbreviate && i == kTocShownHead) {
                m_out << " ...";
                i = used - kTocShownTail;
            }
            m_out << ' ' << h->toc[i];
        }
        if (abbreviate)
            m_out << " (first " << kTocShownHead << " and last " << kTocShownTail << " of " << used
                  << ")";
        m_out << '\n';
    }

    void beginFrames() override
    {
        m_out << "frames:\n"
              << std::setw(12) << "offset"
              << "  " << std::left << std::setw(8) << "kind" << std::right << std::setw(8)
              << "video" << std::setw(7) << "audio" << std::setw(5) << "aux" << std::setw(11)
              << "aux-bytes" << std::setw(13) << "sync-offset" << '\n';
    }

    void frame(const KmfFrameInfo& f) override
    {
        uint32_t auxPayload = f.auxBytes() - 6 * uint32_t(f.auxCount);
        m_out << std::setw(12) << f.offset << "  " << std::left << std::setw(8)
              << (f.isSync ? "sync" : "non-sync") << std::right << std::setw(8) << f.videoLength
              << std::setw(7) << f.audioLength << std::setw(5) << f.auxCount << std::setw(11)
              << auxPayload << std::setw(13);
        if (f.isSync)
            m_out << f.syncOffsetMs;
        else
            m_out << '-';
        m_out << '\n';
    }

    void endFrames() override {}

    void end(const Totals& t, const KmfReader&) override
    {
        if (t.firstSync) {
            const KmfFrameInfo& s = *t.firstSync;
            m_out << "stream (first sync frame, at byte " << s.offset << "):\n";
            m_out << "  video: \"" << fourCCToString(s.videoFormat) << "\" " << s.width << 'x'
                  << s.height << '\n';
            m_out << "  audio: \"" << fourCCToString(s.audioFormat) << "\"\n";
            m_out << "  frame rate: " << frameRateText(s.frameRateCode) << '\n';
        } else {
            m_out << "stream: no sync frame\n";
        }
        m_out << "frames: " << t.frames << " (" << t.syncFrames << " sync)\n";
        m_out << "video bytes: " << t.videoBytes << '\n';
        m_out << "audio bytes: " << t.audioBytes << '\n';
        m_out << "aux bytes: " << t.auxBytes << " in " << t.auxChunks << " chunks\n";
        if (t.header && t.header->tocSize)
            m_out << "toc entries at frame starts: " << t.tocAtFrames << " of " << t.header->tocSize
                  << '\n';
    }

  private:
    std::ostream& m_out;
};

class JsonReport final : public Report {
  public:
    explicit JsonReport(std::ostream& out) : m_json(out) {}

    void begin(const std::string& name, uint64_t size) override
    {
        m_json.beginObject();
        m_json.field("file", name);
        m_json.field("size", size);
    }

    void header(const KmfFileHeaderInfo* h) override
    {
        m_json.key("header");
        if (!h) {
            m_json.null();
            return;
        }
        m_json.beginObject();
        m_json.field("headerSize", h->headerSize);
        m_json.key("fileSize");
        if (h->fileSize == 0xFFFFFFFFu)
            m_json.null();
        else
            m_json.value(h->fileSize);
        m_json.field("lengthMs", h->lengthMs);
        m_json.field("metadata", bytesAsText(h->metadata));
        m_json.field("metadataLength", uint64_t(h->metadata.size()));
        m_json.field("metadataHex", hexBytes(h->metadata));
        m_json.field("tocAllocated", h->tocAllocated);
        m_json.field("tocUsed", h->tocSize);
        m_json.key("toc");
        m_json.beginArray(true);
        for (uint32_t i = 0; i < h->tocSize; ++i)
            m_json.value(h->toc[i]);
        m_json.endArray();
        m_json.endObject();
    }

    void beginFrames() override
    {
        m_json.key("frameList");
        m_json.beginArray();
    }

    void frame(const KmfFrameInfo& f) override
    {
        m_json.beginObject(true);
        m_json.field("offset", f.offset);
        m_json.field("sync", f.isSync);
        m_json.field("size", f.size);
        m_json.field("video", f.videoLength);
        m_json.field("audio", f.audioLength);
        m_json.key("aux");
        m_json.beginArray();
        for (int i = 0; i < f.auxCount; ++i) {
            m_json.beginObject();
            m_json.field("type", fourCCToString(f.aux[i].type));
            m_json.field("length", f.aux[i].length);
            m_json.endObject();
        }
        m_json.endArray();
        m_json.key("syncOffsetMs");
        if (f.isSync)
            m_json.value(f.syncOffsetMs);
        else
            m_json.null();
        m_json.endObject();
    }

    void endFrames() override { m_json.endArray(); }

    void end(const Totals& t, const KmfReader& reader) override
    {
        m_json.key("stream");
        if (t.firstSync) {
            const KmfFrameInfo& s = *t.firstSync;
            m_json.beginObject();
            m_json.field("frameOffset", s.offset);
            m_json.field("videoFormat", fourCCToString(s.videoFormat));
            m_json.field("audioFormat", fourCCToString(s.audioFormat));
            m_json.field("width", s.width);
            m_json.field("height", s.height);
            m_json.field("frameRate", decodeFrameRate(s.frameRateCode));
            m_json.field("frameRateCode", uint32_t(s.frameRateCode));
            m_json.endObject();
        } else {
            m_json.null();
        }
        const std::pair<const char*, uint64_t> counts[] = {
            {"frames", t.frames},         {"syncFrames", t.syncFrames},
            {"videoBytes", t.videoBytes}, {"audioBytes", t.audioBytes},
            {"auxBytes", t.auxBytes},     {"auxChunks", t.auxChunks},
        };
        for (const auto& [name, count] : counts) {
            m_json.key(name);
            m_json.value(count);
        }
        m_json.key("tocEntriesAtFrames");
        if (t.header)
            m_json.value(t.tocAtFrames);
        else
            m_json.null();
        m_json.key("error");
        if (reader.failed()) {
            m_json.beginObject(true);
            m_json.field("offset", reader.errorOffset());
            m_json.field("message", reader.errorText());
            m_json.endObject();
        } else {
            m_json.null();
        }
        m_json.endObject();
    }

  private:
    JsonWriter m_json;
};

} // namespace

int reportKmfInfo(KmfReader& reader, const std::string& name, const KmfInfoOptions& options,
                  std::ostream& out, std::ostream& err)
{
    TextReport text(out);
    JsonReport json(out);
    Report& report = options.json ? static_cast<Report&>(json) : text;

    report.begin(name, reader.sourceSize());
    KmfFileHeaderInfo header;
    const bool hasHeader = reader.readFileHeader(header) == KmfReadStatus::Ok;
    report.header(hasHeader ? &header : nullptr);

    Totals totals;
    totals.header = hasHeader ? &header : nullptr;
    if (options.listFrames)
        report.beginFrames();
    KmfFrameInfo frame;
    while (reader.nextFrame(frame) == KmfReadStatus::Ok) {
        totals.add(frame);
        if (options.listFrames)
            report.frame(frame);
    }
    if (options.listFrames)
        report.endFrames();
    report.end(totals, reader);
    out.flush();

    if (!reader.failed())
        return 0;
    err << "kmfinfo: " << name << ": " << reader.errorText() << '\n';
    return 1;
}

int runKmfInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    KmfInfoOptions options;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--frames") {
            options.listFrames = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kKmfInfoUsage;
            return 0;
        } else {
            err << "kmfinfo: unknown option " << arg << '\n' << kKmfInfoUsage;
            return 2;
        }
    }
    if (files.size() != 1) {
        err << (files.empty() ? "kmfinfo: no file given\n" : "kmfinfo: give exactly one file\n")
            << kKmfInfoUsage;
        return 2;
    }
    KmfReader reader;
    if (!reader.openFile(files[0])) {
        err << "kmfinfo: " << reader.errorText() << '\n';
        return 2;
    }
    return reportKmfInfo(reader, files[0], options, out, err);
}

} // namespace moxel
