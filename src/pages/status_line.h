// The status line of both pages. Its accessible name stays "Status"; the text it shows goes
// into its accessible description as well, so that a screen reader reads what it says and
// hears when that changes (a label with a name of its own reports only the name).
#pragma once

#include <QLabel>
#include <QString>

namespace dravik::pages {

inline void ShowStatusText(QLabel& line, const QString& text) {
    line.setText(text);
    // Qt tells the accessibility clients about the change (DescriptionChanged).
    if (line.accessibleDescription() != text) line.setAccessibleDescription(text);
}

}  // namespace dravik::pages
