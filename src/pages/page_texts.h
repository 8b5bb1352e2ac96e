// Texts that both pages show, exactly as operators have always seen them (blanks included).
#pragma once

#include <QString>

namespace dravik::pages::page_texts {

inline const QString kEnterInteger = QStringLiteral("Please enter an integer.");
inline const QString kInputIpAddress = QStringLiteral("Please input IP Address");

// "IP:192.168.1.20 exist"
inline QString IpExists(const QString& key) { return QStringLiteral("IP:") + key + QStringLiteral(" exist"); }
// "ID:3 exit"
inline QString IdExists(const QString& key) { return QStringLiteral("ID:") + key + QStringLiteral(" exit"); }

}  // namespace dravik::pages::page_texts
