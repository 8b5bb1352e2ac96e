// What the tool remembers between runs: the interface, the serial port, the folder of the
// list and tiling files and the window geometry. Nothing of the list files moves here.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace dravik::app {

struct ToolSettings {
    std::optional<bool> lan;  // the last interface; nullopt: never saved
    QString port;             // the COM port box's text
    QString folder;           // where the list and tiling files were used
    QByteArray geometry;      // QWidget::saveGeometry()

    bool operator==(const ToolSettings&) const = default;
};

// The settings file of the tool (or of its demo, kept apart so a demo never changes what a
// real run starts with). Under $XDG_CONFIG_HOME/dravik/.
std::unique_ptr<QSettings> OpenToolSettings(bool demo);

// Reads the values; a file that cannot be read or parsed, and any value of the wrong form,
// is ignored with a line in `problems`. Never fails.
ToolSettings LoadToolSettings(QSettings& settings, QStringList& problems);

// Writes the values; a file that could not be read is replaced.
void SaveToolSettings(QSettings& settings, const ToolSettings& values);

}  // namespace dravik::app
