// Screen readers and automation find every control of both pages by its name.
#include "app/main_dialog.h"
#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "support/recording_feedback.h"
#include "targets/local_address.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <string>

namespace dravik::app {
namespace {

bool IsControl(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
           qobject_cast<QAbstractSlider*>(w) || qobject_cast<QAbstractSpinBox*>(w);
}

// Parts of another control (a combo's edit and popup list, a list's scroll bars and
// headers) are named through their owner.
bool IsPartOfAnotherControl(QWidget* w, QWidget* page) {
    for (QWidget* a = w->parentWidget(); a && a != page; a = a->parentWidget()) {
        if (qobject_cast<QComboBox*>(a) || qobject_cast<QAbstractSpinBox*>(a) ||
            qobject_cast<QAbstractScrollArea*>(a)) {
            return true;
        }
    }
    return false;
}

std::string UnnamedControls(QWidget* page) {
    QStringList unnamed;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!IsControl(w) || IsPartOfAnotherControl(w, page)) continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty()) {
            unnamed << QStringLiteral("%1 '%2' (id %3)")
                           .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())
                           .arg(w->property("controlId").toInt());
        }
    }
    return unnamed.join(QStringLiteral(", ")).toStdString();
}

TEST(Accessibility, EveryControlOfBothPagesHasAName) {
    testing::RecordingFeedback feedback;
    targets::FixedAddressLookup lookup(QStringLiteral("127.0.9.2"));
    pages::PageEnvironment env;
    env.feedback = &feedback;
    env.localAddress = &lookup;
    env.portLister = [] { return QStringList(); };
    MainDialog dialog(env);
    dialog.show();
    EXPECT_EQ(UnnamedControls(dialog.controlPage()), "");
    dialog.tabControl()->setCurrentIndex(1);
    EXPECT_EQ(UnnamedControls(dialog.videoWallPage()), "");
}

}  // namespace
}  // namespace dravik::app
