#pragma once
// The per-user profile on disk: an INI file under the user's config folder
// (QSettings), each value stored with its type so that a DWORD never reads
// back as a string or the other way round.
#include "platform/Profile.h"

#include <memory>

class QSettings;
class QString;

class QtProfile : public Profile {
public:
    // The file the profile lives in; empty picks
    // <config folder>/Plindrow/profile.ini.
    explicit QtProfile(const std::string& iniPath = {});
    ~QtProfile() override;

    std::optional<uint32_t> ReadDword(const std::string& key, const std::string& name) const override;
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const override;
    bool WriteDword(const std::string& key, const std::string& name, uint32_t value) override;
    bool WriteString(const std::string& key, const std::string& name, const std::string& value) override;
    bool DeleteValue(const std::string& key, const std::string& name) override;

    std::string FilePath() const;

private:
    bool Write(const std::string& key, const std::string& name, const QString& encoded);
    std::unique_ptr<QSettings> settings_;
};
