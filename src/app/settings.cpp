#include "app/settings.h"

#include <QFile>
#include <QFileInfo>

namespace dravik::app {

namespace {

const QString kInterface = QStringLiteral("interface");
const QString kPort = QStringLiteral("serial/port");
const QString kFolder = QStringLiteral("folders/lists");
const QString kGeometry = QStringLiteral("window/geometry");

// Device names and paths only: a stray control character would end up in the combo box.
bool PlausibleText(const QString& s, int maxLength) {
    if (s.size() > maxLength) return false;
    for (QChar c : s)
        if (c.unicode() < 0x20 || c == QChar(0x7F)) return false;
    return true;
}

}  // namespace

std::unique_ptr<QSettings> OpenToolSettings(bool demo) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("dravik"),
                                       demo ? QStringLiteral("command-tool-demo") : QStringLiteral("command-tool"));
}

ToolSettings LoadToolSettings(QSettings& settings, QStringList& problems) {
    ToolSettings out;
    const QFileInfo file(settings.fileName());
    if (file.exists() && !file.isReadable()) {
        problems << QStringLiteral("settings file %1 cannot be read; starting with defaults").arg(settings.fileName());
        return out;
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        problems << QStringLiteral("settings file %1 is damaged; starting with defaults").arg(settings.fileName());
        return out;
    }
    auto text = [&](const QString& key, int maxLength) -> QString {
        if (!settings.contains(key)) return {};
        const QVariant v = settings.value(key);
        const QString s = v.toString();
        if (v.typeId() != QMetaType::QString || !PlausibleText(s, maxLength)) {
            problems << QStringLiteral("settings: %1 ignored (not a valid value)").arg(key);
            return {};
        }
        return s;
    };
    const QString iface = text(kInterface, 16);
    if (iface == QLatin1String("lan")) out.lan = true;
    else if (iface == QLatin1String("serial")) out.lan = false;
    else if (!iface.isEmpty()) problems << QStringLiteral("settings: %1 ignored (lan or serial)").arg(kInterface);
    out.port = text(kPort, 256);
    out.folder = text(kFolder, 4096);
    if (settings.contains(kGeometry)) {
        const QVariant g = settings.value(kGeometry);
        if (g.typeId() == QMetaType::QByteArray && g.toByteArray().size() <= 1024) {
            out.geometry = g.toByteArray();
        } else {
            problems << QStringLiteral("settings: %1 ignored (not a valid value)").arg(kGeometry);
        }
    }
    return out;
}

void SaveToolSettings(QSettings& settings, const ToolSettings& values) {
    if (settings.status() != QSettings::NoError || !QFileInfo(settings.fileName()).isReadable()) {
        // Damaged: begin a new file rather than merge into what could not be read.
        QFile::remove(settings.fileName());
        settings.clear();
    }
    if (values.lan) settings.setValue(kInterface, *values.lan ? QStringLiteral("lan") : QStringLiteral("serial"));
    settings.setValue(kPort, values.port);
    settings.setValue(kFolder, values.folder);
    settings.setValue(kGeometry, values.geometry);
    settings.sync();
}

}  // namespace dravik::app
