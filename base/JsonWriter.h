// A small streaming JSON writer for kmfinfo's reports and moxel-cli's run
// report: objects, arrays, strings, numbers, booleans and null, written as
// they come so a report of millions of frames is never held in memory.
//
// Strings are byte strings: valid UTF-8 passes through, quotes, backslashes
// and control bytes are escaped, and bytes that are not UTF-8 become U+FFFD,
// so the document is always valid JSON. The caller pairs begin and end.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace moxel {

class JsonWriter {
  public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    // A compact container is written on one line, with everything inside it.
    void beginObject(bool compact = false);
    void endObject();
    void beginArray(bool compact = false);
    void endArray();
    void key(std::string_view name);

    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(uint64_t number);
    void value(int64_t number);
    void value(uint32_t number) { value(uint64_t(number)); }
    void value(int number) { value(int64_t(number)); }
    void value(double number); // not finite: null
    void value(bool flag);
    void null();
    // key and value in one call.
    template <class T> void field(std::string_view name, const T& v)
    {
        key(name);
        value(v);
    }

    // Writes text as a quoted JSON string (see the top of this file).
    static void writeString(std::ostream& out, std::string_view text);

  private:
    struct Level {
        bool compact;
        bool empty;
    };
    void beforeValue();
    void begin(char bracket, bool compact);
    void end(char bracket);
    void newline();

    std::ostream& m_out;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

} // namespace moxel
