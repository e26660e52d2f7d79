#include "base/JsonWriter.h"

#include <charconv>
#include <cmath>

namespace moxel {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one
// (overlong forms, surrogates and code points above U+10FFFF are not).
size_t utf8SequenceLength(std::string_view s, size_t i)
{
    const auto byte = [&](size_t k) { return uint8_t(s[k]); };
    uint8_t b = byte(i);
    size_t n;
    uint32_t cp;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

void JsonWriter::writeString(std::ostream& out, std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    out << '"';
    for (size_t i = 0; i < text.size();) {
        uint8_t c = uint8_t(text[i]);
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\b':
            out << "\\b";
            break;
        case '\f':
            out << "\\f";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out << "\\u00" << kHex[c >> 4] << kHex[c & 15];
            } else if (size_t n = utf8SequenceLength(text, i)) {
                out.write(text.data() + i, std::streamsize(n));
                i += n;
                continue;
            } else {
                out << "\\ufffd";
            }
        }
        ++i;
    }
    out << '"';
}

void JsonWriter::newline()
{
    m_out << '\n';
    for (size_t i = 0; i < m_levels.size(); ++i)
        m_out << "  ";
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_levels.empty())
        return;
    Level& level = m_levels.back();
    if (!level.empty)
        m_out << (level.compact ? ", " : ",");
    level.empty = false;
    if (!level.compact)
        newline();
}

void JsonWriter::begin(char bracket, bool compact)
{
    beforeValue();
    m_out << bracket;
    bool insideCompact = !m_levels.empty() && m_levels.back().compact;
    m_levels.push_back({compact || insideCompact, true});
}

void JsonWriter::end(char bracket)
{
    if (m_levels.empty())
        return;
    Level level = m_levels.back();
    m_levels.pop_back();
    if (!level.compact && !level.empty)
        newline();
    m_out << bracket;
    if (m_levels.empty())
        m_out << '\n';
}

void JsonWriter::beginObject(bool compact)
{
    begin('{', compact);
}
void JsonWriter::endObject()
{
    end('}');
}
void JsonWriter::beginArray(bool compact)
{
    begin('[', compact);
}
void JsonWriter::endArray()
{
    end(']');
}

void JsonWriter::key(std::string_view name)
{
    beforeValue();
    writeString(m_out, name);
    m_out << ": ";
    m_afterKey = true;
}

void JsonWriter::value(std::string_view text)
{
    beforeValue();
    writeString(m_out, text);
}

void JsonWriter::value(uint64_t number)
{
    beforeValue();
    m_out << number;
}

void JsonWriter::value(int64_t number)
{
    beforeValue();
    m_out << number;
}

void JsonWriter::value(double number)
{
    beforeValue();
    if (!std::isfinite(number)) {
        m_out << "null";
        return;
    }
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, number);
    m_out.write(text, result.ptr - text);
}

void JsonWriter::value(bool flag)
{
    beforeValue();
    m_out << (flag ? "true" : "false");
}

void JsonWriter::null()
{
    beforeValue();
    m_out << "null";
}

} // namespace moxel
