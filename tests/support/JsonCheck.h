// A strict little JSON parser for the tests: accepts only valid JSON
// (RFC 8259, UTF-8 text) and returns the tree, so tests can both check that
// a document is valid and look at its values.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace moxel::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text; // strings decoded to UTF-8
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](size_t index) const { return items.at(index); }
    bool has(const std::string& key) const { return members.count(key) != 0; }
    bool isNull() const { return kind == Kind::Null; }
};

// Parses a whole document; false (with `error` set) when it is not valid JSON.
bool parseJson(const std::string& document, JsonValue& out, std::string& error);

} // namespace moxel::test
