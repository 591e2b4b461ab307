#include "platform/Profile.h"

std::string AppProfileSection(const std::string& section) {
    return std::string(kAppProfileKey) + "/" + section;
}

bool IsValidProfileKey(const std::string& key) {
    if (key.empty() || key.front() == '/' || key.back() == '/') return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '\\' || key[i] == '\0') return false;
        if (key[i] == '/' && i + 1 < key.size() && key[i + 1] == '/') return false;
    }
    return true;
}

bool IsValidProfileValueName(const std::string& name) {
    return !name.empty() && name.find('\0') == std::string::npos && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

uint32_t Profile::GetDword(const std::string& key, const std::string& name, uint32_t defaultValue) const {
    return ReadDword(key, name).value_or(defaultValue);
}

std::string Profile::GetString(const std::string& key, const std::string& name,
                               const std::string& defaultValue) const {
    return ReadString(key, name).value_or(defaultValue);
}

uint32_t Profile::GetAppDword(const std::string& section, const std::string& name, uint32_t defaultValue) const {
    return GetDword(AppProfileSection(section), name, defaultValue);
}

bool Profile::WriteAppDword(const std::string& section, const std::string& name, uint32_t value) {
    return WriteDword(AppProfileSection(section), name, value);
}

std::string Profile::GetAppString(const std::string& section, const std::string& name,
                                  const std::string& defaultValue) const {
    return GetString(AppProfileSection(section), name, defaultValue);
}

bool Profile::WriteAppString(const std::string& section, const std::string& name, const std::string& value) {
    return WriteString(AppProfileSection(section), name, value);
}

std::optional<uint32_t> MemoryProfile::ReadDword(const std::string& key, const std::string& name) const {
    auto it = values_.find({key, name});
    if (it == values_.end()) return std::nullopt;
    if (const uint32_t* v = std::get_if<uint32_t>(&it->second)) return *v;
    return std::nullopt;
}

std::optional<std::string> MemoryProfile::ReadString(const std::string& key, const std::string& name) const {
    auto it = values_.find({key, name});
    if (it == values_.end()) return std::nullopt;
    if (const std::string* v = std::get_if<std::string>(&it->second)) return *v;
    return std::nullopt;
}

bool MemoryProfile::WriteDword(const std::string& key, const std::string& name, uint32_t value) {
    if (!IsValidProfileKey(key) || !IsValidProfileValueName(name)) return false;
    values_[{key, name}] = value;
    ++writes_;
    return true;
}

bool MemoryProfile::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    if (!IsValidProfileKey(key) || !IsValidProfileValueName(name)) return false;
    values_[{key, name}] = value;
    ++writes_;
    return true;
}

bool MemoryProfile::DeleteValue(const std::string& key, const std::string& name) {
    if (values_.erase({key, name}) > 0) ++writes_;
    return true;
}
