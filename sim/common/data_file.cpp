#include "data_file.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace sim {

namespace {

using nlohmann::json;

}  // namespace

const char* KindName(const json& v) {
    switch (v.type()) {
        case json::value_t::null: return "null";
        case json::value_t::object: return "an object";
        case json::value_t::array: return "a list";
        case json::value_t::string: return "a string";
        case json::value_t::boolean: return "true or false";
        case json::value_t::number_float: return "a fractional number";
        default: return "a number";
    }
}

namespace {

[[noreturn]] void Mismatch(const json& v, const std::string& path, const char* expected) {
    throw DataError(path, std::string("expected ") + expected + ", not " + KindName(v));
}

// nlohmann's text after its own "parse error at line L, column C: " prefix: the reason alone.
std::string Reason(const json::parse_error& e) {
    std::string what = e.what();
    const size_t column = what.find("column ");
    const size_t colon = column == std::string::npos ? column : what.find(": ", column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

}  // namespace

std::string DataError::In(const std::string& file) const {
    if (place_.empty()) return file + ": " + problem_;
    return file + (atPosition_ ? ":" : ": ") + place_ + ": " + problem_;
}

std::string Member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }
std::string Element(const std::string& path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool ok = !ferror(f);
    fclose(f);
    return ok;
}

json ParseDataText(const std::string& text) {
    try {
        return json::parse(text);
    } catch (const json::parse_error& e) {
        // e.byte counts from 1 and names the character where reading stopped (one past the
        // end for a truncated file). Columns count characters, as an editor shows them.
        const size_t stop = e.byte == 0 ? 0 : std::min<size_t>(e.byte - 1, text.size());
        size_t line = 1, column = 1;
        for (size_t i = 0; i < stop; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '\n') {
                ++line;
                column = 1;
            } else if ((c & 0xC0) != 0x80) {
                ++column;  // a UTF-8 continuation byte belongs to the character before it
            }
        }
        throw DataError(std::to_string(line) + ":" + std::to_string(column), Reason(e), true);
    }
}

void OnlyKeys(const json& object, const std::string& path, std::initializer_list<const char*> known) {
    for (const auto& item : object.items()) {
        bool found = false;
        for (const char* k : known) found = found || item.key() == k;
        if (!found) throw DataError(Member(path, item.key()), "unknown key");
    }
}

void ExpectObject(const json& value, const std::string& path) {
    if (!value.is_object()) Mismatch(value, path, "an object");
}

void ExpectArray(const json& value, const std::string& path) {
    if (!value.is_array()) Mismatch(value, path, "a list");
}

std::string StringValue(const json& value, const std::string& path) {
    if (!value.is_string()) Mismatch(value, path, "a string");
    return value.get<std::string>();
}

bool WholeNumberText(const std::string& text, unsigned long* value) {
    size_t used = 0;
    try {
        *value = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
        return false;
    }
    return used != 0 && used == text.size();
}

long IntegerValue(const json& value, const std::string& path) {
    if (value.is_number_unsigned()) {
        if (value.get<unsigned long long>() > static_cast<unsigned long long>(std::numeric_limits<long>::max()))
            throw DataError(path, "the number is too large");
        return static_cast<long>(value.get<unsigned long long>());
    }
    if (!value.is_number_integer()) Mismatch(value, path, "a whole number");
    const long long n = value.get<long long>();
    if (n < std::numeric_limits<long>::min()) throw DataError(path, "the number is too small");
    return static_cast<long>(n);
}

std::string StringAt(const json& object, const std::string& path, const char* key, const std::string& fallback) {
    auto it = object.find(key);
    return it == object.end() ? fallback : StringValue(*it, Member(path, key));
}

long IntegerAt(const json& object, const std::string& path, const char* key, long fallback) {
    auto it = object.find(key);
    return it == object.end() ? fallback : IntegerValue(*it, Member(path, key));
}

bool BoolAt(const json& object, const std::string& path, const char* key, bool fallback) {
    auto it = object.find(key);
    if (it == object.end()) return fallback;
    if (!it->is_boolean()) Mismatch(*it, Member(path, key), "true or false");
    return it->get<bool>();
}

}  // namespace sim
