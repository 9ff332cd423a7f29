// The program's per-user settings through QSettings (organisation "Kelvaro",
// application "Import").
#pragma once

#include "common/Registry.h"

#include <QSettings>

namespace kimport {

class QtRegistry : public Registry {
public:
    QtRegistry() : settings_(QStringLiteral("Kelvaro"), QStringLiteral("Import")) {}
    std::optional<std::string> readString(const std::string& key) override {
        QVariant v = settings_.value(QString::fromStdString(key));
        if (!v.isValid()) return std::nullopt;
        return v.toString().toStdString();
    }
    void writeString(const std::string& key, const std::string& value) override {
        settings_.setValue(QString::fromStdString(key), QString::fromStdString(value));
    }
    void flush() override { settings_.sync(); }

private:
    QSettings settings_;
};

}  // namespace kimport
