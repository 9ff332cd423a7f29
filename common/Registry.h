// The per-user settings of the program (on Windows the registry key
// "Software\Kelvaro\Import"; on Linux a settings file). Keys are paths such
// as "1.0/ImportMain/edtQuelle".
#pragma once

#include <map>
#include <optional>
#include <string>

namespace kimport {

class Registry {
public:
    virtual ~Registry() = default;
    virtual std::optional<std::string> readString(const std::string& key) = 0;
    virtual void writeString(const std::string& key, const std::string& value) = 0;
    virtual void flush() {}

    bool readBool(const std::string& key, bool fallback) {
        auto v = readString(key);
        if (!v) return fallback;
        return *v == "true" || *v == "1";
    }
    void writeBool(const std::string& key, bool value) { writeString(key, value ? "true" : "false"); }
};

// Settings held in memory, for tests and the command line.
class MemoryRegistry : public Registry {
public:
    std::map<std::string, std::string> values;
    std::optional<std::string> readString(const std::string& key) override {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void writeString(const std::string& key, const std::string& value) override { values[key] = value; }
};

}  // namespace kimport
