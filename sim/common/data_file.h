#pragma once
// Reading the stand-ins' hand-edited JSON files strictly: a file that doesn't parse, a key
// nobody reads or a value of the wrong type is refused with its place, so a typing error
// shows at once instead of running on a half-read address book.
#include <initializer_list>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

// What is wrong and where: a path into the document ("cdo.directory[3].adress"), or the line
// and column where the text stops being JSON.
class DataError : public std::invalid_argument {
public:
    DataError(std::string place, const std::string& problem, bool atPosition = false)
        : std::invalid_argument(place.empty() ? problem : place + ": " + problem), place_(std::move(place)), problem_(problem),
          atPosition_(atPosition) {}
    const std::string& place() const { return place_; }
    const std::string& problem() const { return problem_; }
    // "file:3:17: problem" for a position, "file: cdo.picks[0]: problem" for a path.
    std::string In(const std::string& file) const;

private:
    std::string place_, problem_;
    bool atPosition_;
};

// Paths: Member("cdo", "picks") is "cdo.picks", Member("", "cdo") "cdo", Element("cdo.picks", 0)
// "cdo.picks[0]".
std::string Member(const std::string& path, const std::string& key);
std::string Element(const std::string& path, size_t index);

// The whole file's bytes; false when it can't be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// The document, or DataError at the line and column (counted in characters, from 1) where
// the text stops being JSON.
nlohmann::json ParseDataText(const std::string& text);

// Refuses any key of object outside known ("path.key: unknown key").
void OnlyKeys(const nlohmann::json& object, const std::string& path, std::initializer_list<const char*> known);

// "a string", "a list", "a number", ... for messages.
const char* KindName(const nlohmann::json& value);

// Refuses a value of another kind ("path: expected a string, not a number"). Integers are
// whole numbers that fit a long.
void ExpectObject(const nlohmann::json& value, const std::string& path);
void ExpectArray(const nlohmann::json& value, const std::string& path);
std::string StringValue(const nlohmann::json& value, const std::string& path);
long IntegerValue(const nlohmann::json& value, const std::string& path);
// True when the whole text is one unsigned number, decimal or 0x hexadecimal, stored in *value.
bool WholeNumberText(const std::string& text, unsigned long* value);

// A member of object, or fallback when it is absent; DataError when it has another kind.
std::string StringAt(const nlohmann::json& object, const std::string& path, const char* key, const std::string& fallback);
long IntegerAt(const nlohmann::json& object, const std::string& path, const char* key, long fallback);
bool BoolAt(const nlohmann::json& object, const std::string& path, const char* key, bool fallback);

}  // namespace sim
