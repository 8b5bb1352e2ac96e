// Texts the Control page shows, exactly as the operator has always seen them (blanks included).
#pragma once

#include <QString>

namespace dravik::pages::control_texts {

inline const QString kEnterInteger = QStringLiteral("Please enter an integer.");
inline const QString kInputIpAddress = QStringLiteral("Please input IP Address");
inline const QString kLoadOrInput = QStringLiteral("Please Load or Input Data !!!");
inline const QString kSelectDeleteItem = QStringLiteral("Please Select Delete Item");
inline const QString kTemperatureTitle = QStringLiteral("Temperature ");

// "IP:192.168.1.20 exist"
inline QString IpExists(const QString& key) { return QStringLiteral("IP:") + key + QStringLiteral(" exist"); }
// "ID:3 exit"
inline QString IdExists(const QString& key) { return QStringLiteral("ID:") + key + QStringLiteral(" exit"); }

// A list file that cannot be written: the old file stays as it was.
inline QString ListNotSaved(const QString& fileName) {
    return QStringLiteral("Save List failed: ") + fileName + QStringLiteral(" could not be written.");
}

}  // namespace dravik::pages::control_texts
