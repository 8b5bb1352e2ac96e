// Widgets found as the operator's tools find them: by object name or by control identifier.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>

namespace dravik::testing {

// The child of `root` with this object name and class; a test failure when there is none.
template <typename T = QWidget>
T* Named(const QObject* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// The child widget whose "controlId" property is `id`, or nullptr.
inline QWidget* WithControlId(const QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QVariant v = w->property("controlId");
        if (v.isValid() && v.toInt() == id) return w;
    }
    return nullptr;
}

}  // namespace dravik::testing
