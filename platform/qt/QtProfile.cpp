#include "platform/qt/QtProfile.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
// Values are stored as "dword:<decimal>" or "sz:<text>" so the type survives
// the INI file, which itself only knows strings.
const QString kDwordPrefix = "dword:";
const QString kStringPrefix = "sz:";

QString SettingsKey(const std::string& key, const std::string& name) {
    return QString::fromStdString(key) + "/" + QString::fromStdString(name);
}

std::optional<QString> ReadRaw(const QSettings& s, const std::string& key, const std::string& name) {
    if (!IsValidProfileKey(key) || !IsValidProfileValueName(name)) return std::nullopt;
    QVariant v = s.value(SettingsKey(key, name));
    if (!v.isValid()) return std::nullopt;
    return v.toString();
}
}  // namespace

QtProfile::QtProfile(const std::string& iniPath) {
    QString path = QString::fromStdString(iniPath);
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Plindrow/profile.ini";
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QtProfile::~QtProfile() = default;

std::string QtProfile::FilePath() const { return settings_->fileName().toStdString(); }

std::optional<uint32_t> QtProfile::ReadDword(const std::string& key, const std::string& name) const {
    auto raw = ReadRaw(*settings_, key, name);
    if (!raw || !raw->startsWith(kDwordPrefix)) return std::nullopt;
    bool ok = false;
    qulonglong v = raw->mid(kDwordPrefix.size()).toULongLong(&ok);
    if (!ok || v > 0xFFFFFFFFull) return std::nullopt;
    return uint32_t(v);
}

std::optional<std::string> QtProfile::ReadString(const std::string& key, const std::string& name) const {
    auto raw = ReadRaw(*settings_, key, name);
    if (!raw || !raw->startsWith(kStringPrefix)) return std::nullopt;
    return raw->mid(kStringPrefix.size()).toStdString();
}

bool QtProfile::Write(const std::string& key, const std::string& name, const QString& encoded) {
    if (!IsValidProfileKey(key) || !IsValidProfileValueName(name)) return false;
    settings_->setValue(SettingsKey(key, name), encoded);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool QtProfile::WriteDword(const std::string& key, const std::string& name, uint32_t value) {
    return Write(key, name, kDwordPrefix + QString::number(value));
}

bool QtProfile::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    return Write(key, name, kStringPrefix + QString::fromStdString(value));
}

bool QtProfile::DeleteValue(const std::string& key, const std::string& name) {
    if (!IsValidProfileKey(key) || !IsValidProfileValueName(name)) return false;
    settings_->remove(SettingsKey(key, name));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}
