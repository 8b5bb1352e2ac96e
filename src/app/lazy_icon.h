// An icon read from its file only when something asks for a pixmap of it. The window icon is
// drawn by the window manager (and by the dialog when minimised); on a platform that shows
// no window icon the file is never read, and start-up does not wait for the image readers.
#pragma once

#include <QIcon>
#include <QString>

namespace dravik::app {

QIcon LazyFileIcon(const QString& fileName);

}  // namespace dravik::app
