// Texts the Control page shows, exactly as the operator has always seen them (blanks included).
#pragma once

#include "pages/page_texts.h"

#include <QString>

namespace dravik::pages::control_texts {

using page_texts::IdExists;
using page_texts::IpExists;
using page_texts::kEnterInteger;
using page_texts::kInputIpAddress;
inline const QString kLoadOrInput = QStringLiteral("Please Load or Input Data !!!");
inline const QString kSelectDeleteItem = QStringLiteral("Please Select Delete Item");
inline const QString kTemperatureTitle = QStringLiteral("Temperature ");

// A list file that cannot be written: the old file stays as it was.
inline QString ListNotSaved(const QString& fileName) {
    return QStringLiteral("Save List failed: ") + fileName + QStringLiteral(" could not be written.");
}

}  // namespace dravik::pages::control_texts
