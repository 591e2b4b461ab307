#pragma once
// The per-user settings store: typed DWORD and string values under key paths
// such as "Vostrel/QuillfenEditor/Plindrow/Settings". The window-system half
// keeps it on disk; MemoryProfile holds it in memory for tests and tools.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>

// The application's own key; its sections ("Settings", "ColorWheel") live under it.
inline constexpr const char* kAppProfileKey = "Vostrel/QuillfenEditor/Plindrow";
// Keys of their own, outside the application's key.
inline constexpr const char* kBrushesProfileKey = "Vostrel/QuillfenEditor/Brushes";
inline constexpr const char* kStencilsProfileKey = "Plindrow/Stencils";

// kAppProfileKey + "/" + section.
std::string AppProfileSection(const std::string& section);

// True when a key path is one or more non-empty components separated by single
// '/' (no leading or trailing '/', no '\\'), and a value name is non-empty.
bool IsValidProfileKey(const std::string& key);
bool IsValidProfileValueName(const std::string& name);

class Profile {
public:
    virtual ~Profile() = default;

    // The stored value when one of that name exists under the key with the
    // asked type; nullopt when it is missing or stored with the other type.
    virtual std::optional<uint32_t> ReadDword(const std::string& key, const std::string& name) const = 0;
    virtual std::optional<std::string> ReadString(const std::string& key, const std::string& name) const = 0;
    // Store a value, replacing one of either type with that name. False when
    // the key or name is invalid or the store cannot be written.
    virtual bool WriteDword(const std::string& key, const std::string& name, uint32_t value) = 0;
    virtual bool WriteString(const std::string& key, const std::string& name, const std::string& value) = 0;
    // Removes a value; true when none is left afterwards.
    virtual bool DeleteValue(const std::string& key, const std::string& name) = 0;

    // Read with a default for a missing or mistyped value.
    uint32_t GetDword(const std::string& key, const std::string& name, uint32_t defaultValue) const;
    std::string GetString(const std::string& key, const std::string& name, const std::string& defaultValue) const;

    // The application's sections: GetDword(AppProfileSection(section), ...).
    uint32_t GetAppDword(const std::string& section, const std::string& name, uint32_t defaultValue) const;
    bool WriteAppDword(const std::string& section, const std::string& name, uint32_t value);
    std::string GetAppString(const std::string& section, const std::string& name, const std::string& defaultValue) const;
    bool WriteAppString(const std::string& section, const std::string& name, const std::string& value);
};

// A profile held in memory; every value keeps the type it was written with.
class MemoryProfile : public Profile {
public:
    using Value = std::variant<uint32_t, std::string>;

    std::optional<uint32_t> ReadDword(const std::string& key, const std::string& name) const override;
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const override;
    bool WriteDword(const std::string& key, const std::string& name, uint32_t value) override;
    bool WriteString(const std::string& key, const std::string& name, const std::string& value) override;
    bool DeleteValue(const std::string& key, const std::string& name) override;

    // Every stored value by (key, name), for inspection.
    const std::map<std::pair<std::string, std::string>, Value>& Values() const { return values_; }
    // Number of successful writes and deletions so far.
    int WriteCount() const { return writes_; }

private:
    std::map<std::pair<std::string, std::string>, Value> values_;
    int writes_ = 0;
};
