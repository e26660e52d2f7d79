#include "support/JsonCheck.h"

#include <cstdlib>
#include <stdexcept>

namespace moxel::test {

namespace {

class Parser {
  public:
    explicit Parser(const std::string& s) : m_s(s) {}

    JsonValue document()
    {
        JsonValue v = value();
        space();
        if (m_i != m_s.size())
            throw std::runtime_error("text after the document at " + std::to_string(m_i));
        return v;
    }

  private:
    [[noreturn]] void bad(const char* what)
    {
        throw std::runtime_error(std::string(what) + " at " + std::to_string(m_i));
    }
    char peek() { return m_i < m_s.size() ? m_s[m_i] : '\0'; }
    void space()
    {
        while (m_i < m_s.size() &&
               (m_s[m_i] == ' ' || m_s[m_i] == '\n' || m_s[m_i] == '\r' || m_s[m_i] == '\t'))
            ++m_i;
    }
    void literal(const char* word)
    {
        for (const char* p = word; *p; ++p, ++m_i)
            if (peek() != *p)
                bad("bad literal");
    }

    JsonValue value()
    {
        space();
        JsonValue v;
        char c = peek();
        if (c == '{') {
            v.kind = JsonValue::Kind::Object;
            ++m_i;
            space();
            if (peek() == '}') {
                ++m_i;
                return v;
            }
            for (;;) {
                space();
                if (peek() != '"')
                    bad("expected a key");
                std::string key = string();
                space();
                if (peek() != ':')
                    bad("expected ':'");
                ++m_i;
                if (!v.members.emplace(key, value()).second)
                    bad("duplicate key");
                space();
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                if (peek() != '}')
                    bad("expected ',' or '}'");
                ++m_i;
                return v;
            }
        }
        if (c == '[') {
            v.kind = JsonValue::Kind::Array;
            ++m_i;
            space();
            if (peek() == ']') {
                ++m_i;
                return v;
            }
            for (;;) {
                v.items.push_back(value());
                space();
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                if (peek() != ']')
                    bad("expected ',' or ']'");
                ++m_i;
                return v;
            }
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = string();
            return v;
        }
        if (c == 't' || c == 'f') {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = c == 't';
            literal(v.boolean ? "true" : "false");
            return v;
        }
        if (c == 'n') {
            literal("null");
            return v;
        }
        v.kind = JsonValue::Kind::Number;
        v.number = number();
        return v;
    }

    double number()
    {
        size_t start = m_i;
        if (peek() == '-')
            ++m_i;
        if (peek() == '0')
            ++m_i;
        else if (peek() >= '1' && peek() <= '9')
            digits();
        else
            bad("bad number");
        if (peek() == '.') {
            ++m_i;
            if (!isDigit())
                bad("bad fraction");
            digits();
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_i;
            if (peek() == '+' || peek() == '-')
                ++m_i;
            if (!isDigit())
                bad("bad exponent");
            digits();
        }
        return std::strtod(m_s.substr(start, m_i - start).c_str(), nullptr);
    }
    bool isDigit() { return peek() >= '0' && peek() <= '9'; }
    void digits()
    {
        while (isDigit())
            ++m_i;
    }

    static void appendUtf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | cp >> 18);
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    uint32_t hex4()
    {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k, ++m_i) {
            char c = peek();
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0)
                bad("bad \\u escape");
            v = v << 4 | uint32_t(d);
        }
        return v;
    }

    // One UTF-8 sequence, checked strictly, copied to out.
    void utf8(std::string& out)
    {
        uint8_t b = uint8_t(m_s[m_i]);
        int n = b >= 0xC2 && b <= 0xDF   ? 2
                : b >= 0xE0 && b <= 0xEF ? 3
                : b >= 0xF0 && b <= 0xF4 ? 4
                                         : 0;
        if (!n || m_i + n > m_s.size())
            bad("invalid UTF-8");
        uint32_t cp = b & (0x7F >> n);
        for (int k = 1; k < n; ++k) {
            uint8_t c = uint8_t(m_s[m_i + k]);
            if ((c & 0xC0) != 0x80)
                bad("invalid UTF-8");
            cp = cp << 6 | (c & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            bad("invalid UTF-8");
        out.append(m_s, m_i, size_t(n));
        m_i += size_t(n);
    }

    std::string string()
    {
        ++m_i; // opening quote
        std::string out;
        for (;;) {
            if (m_i >= m_s.size())
                bad("unterminated string");
            uint8_t c = uint8_t(m_s[m_i]);
            if (c == '"') {
                ++m_i;
                return out;
            }
            if (c < 0x20)
                bad("raw control character in string");
            if (c >= 0x80) {
                utf8(out);
                continue;
            }
            ++m_i;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            char e = peek();
            ++m_i;
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (peek() != '\\')
                        bad("lone surrogate");
                    ++m_i;
                    if (peek() != 'u')
                        bad("lone surrogate");
                    ++m_i;
                    uint32_t low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        bad("bad surrogate pair");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    bad("lone surrogate");
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                bad("bad escape");
            }
        }
    }

    const std::string& m_s;
    size_t m_i = 0;
};

} // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    static const JsonValue missing;
    auto it = members.find(key);
    return it == members.end() ? missing : it->second;
}

bool parseJson(const std::string& document, JsonValue& out, std::string& error)
{
    try {
        out = Parser(document).document();
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

} // namespace moxel::test
