#include "controls/ipv4_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace dravik::controls {
namespace {

class Ipv4EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit.show();
        edit.activateWindow();
        edit.field(0)->setFocus();
    }

    // Types into whichever field has the focus, as the keyboard would.
    void Type(const QString& keys) {
        for (QChar c : keys) {
            QWidget* target = edit.window()->focusWidget();
            ASSERT_NE(target, nullptr);
            QTest::keyClick(target, c.toLatin1());
        }
    }

    void Key(Qt::Key key) { QTest::keyClick(edit.window()->focusWidget(), key); }

    QStringList FieldTexts() const {
        QStringList texts;
        for (int i = 0; i < 4; ++i) texts << edit.field(i)->text();
        return texts;
    }

    Ipv4Edit edit;
};

TEST_F(Ipv4EditTest, TypingMovesThroughTheFields) {
    struct Case {
        const char* keys;
        QStringList fields;
        const char* text;
    };
    const Case cases[] = {
        {"192.168.1.20", {"192", "168", "1", "20"}, "192.168.1.20"},
        {"10.0.0.5", {"10", "0", "0", "5"}, "10.0.0.5"},
        {"192168001020", {"192", "168", "001", "020"}, "192.168.1.20"},   // three digits move on
        {"10..5", {"10", "5", "", ""}, "10.5.0.0"},                        // a dot in an empty field waits
        {"1a2b.x3", {"12", "3", "", ""}, "12.3.0.0"},                      // digits only
        {"256", {"25", "", "", ""}, "25.0.0.0"},                           // above 255 refused
        {"1.2.3.4.5", {"1", "2", "3", "45"}, "1.2.3.45"},                  // no field after the last
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        edit.clear();
        edit.field(0)->setFocus();
        Type(QString::fromLatin1(c.keys));
        EXPECT_EQ(FieldTexts(), c.fields);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text));
        EXPECT_FALSE(edit.isBlank());
    }
}

TEST_F(Ipv4EditTest, BackspaceAndArrowsCrossFieldEdges) {
    Type("10.2");
    Key(Qt::Key_Backspace);   // deletes the 2
    Key(Qt::Key_Backspace);   // empty field: back to the first one, deleting its last digit
    EXPECT_EQ(FieldTexts(), (QStringList{"1", "", "", ""}));
    EXPECT_EQ(edit.window()->focusWidget(), edit.field(0));
    Key(Qt::Key_Right);
    EXPECT_EQ(edit.window()->focusWidget(), edit.field(1));
    Key(Qt::Key_Left);
    EXPECT_EQ(edit.window()->focusWidget(), edit.field(0));
}

TEST_F(Ipv4EditTest, PastingAWholeAddressFillsAllFields) {
    QGuiApplication::clipboard()->setText(QStringLiteral(" 10.20.30.40\n"));
    if (QGuiApplication::clipboard()->text().isEmpty()) GTEST_SKIP() << "no clipboard on this platform";
    edit.field(2)->setFocus();
    QTest::keySequence(edit.window()->focusWidget(), QKeySequence::Paste);
    EXPECT_EQ(edit.text(), "10.20.30.40");

    QGuiApplication::clipboard()->setText(QStringLiteral("300"));   // not an address, not an octet
    QTest::keySequence(edit.window()->focusWidget(), QKeySequence::Paste);
    EXPECT_EQ(edit.text(), "10.20.30.40");
}

TEST_F(Ipv4EditTest, BlankFieldsAndClear) {
    EXPECT_TRUE(edit.isBlank());
    EXPECT_EQ(edit.text(), "0.0.0.0");
    EXPECT_EQ(edit.fields(), (std::array<int, 4>{0, 0, 0, 0}));

    edit.field(0)->setText("172");
    edit.field(2)->setText("9");
    EXPECT_FALSE(edit.isBlank());
    EXPECT_EQ(edit.fields(), (std::array<int, 4>{172, 0, 9, 0}));   // empty fields count as 0
    EXPECT_EQ(edit.text(), "172.0.9.0");

    edit.clear();
    EXPECT_TRUE(edit.isBlank());
    EXPECT_EQ(edit.text(), "0.0.0.0");

    edit.setFields({1, 300, -4, 7});
    EXPECT_EQ(edit.text(), "1.255.0.7");
}

TEST_F(Ipv4EditTest, SetAddress) {
    struct Case {
        const char* address;
        bool ok;
        const char* text;   // afterwards; a refused address leaves the box as it was
    };
    const Case cases[] = {
        {"192.168.1.20", true, "192.168.1.20"}, {"0.0.0.0", true, "0.0.0.0"},
        {"255.255.255.255", true, "255.255.255.255"}, {"010.001.0.9", true, "10.1.0.9"},
        {"1.2.3", false, "5.6.7.8"}, {"256.1.1.1", false, "5.6.7.8"}, {"1.2.3.4.5", false, "5.6.7.8"},
        {"a.b.c.d", false, "5.6.7.8"}, {"", false, "5.6.7.8"}, {" 1.2.3.4", false, "5.6.7.8"},
        {"1..3.4", false, "5.6.7.8"}, {"-1.2.3.4", false, "5.6.7.8"}, {"1234.1.1.1", false, "5.6.7.8"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(edit.setAddress("5.6.7.8"));
        EXPECT_EQ(edit.setAddress(QString::fromLatin1(c.address)), c.ok) << c.address;
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text)) << c.address;
    }
    ASSERT_TRUE(edit.setAddress("0.0.0.0"));
    EXPECT_FALSE(edit.isBlank());   // zeros typed or set are not blank
}

TEST(Ipv4EditNamesTest, FieldsCarryTheBoxName) {
    Ipv4Edit edit;
    EXPECT_EQ(edit.field(0)->accessibleName(), "IP address field 1");
    EXPECT_EQ(edit.field(3)->accessibleName(), "IP address field 4");

    edit.setAccessibleName("Local IP");
    EXPECT_EQ(edit.accessibleName(), "Local IP");
    EXPECT_EQ(edit.field(1)->accessibleName(), "Local IP field 2");

    // Named through the base class, as a .ui file does: the fields follow when it is shown.
    Ipv4Edit other;
    static_cast<QWidget&>(other).setAccessibleName("Wall IP");
    other.show();
    EXPECT_EQ(other.field(2)->accessibleName(), "Wall IP field 3");
}

}  // namespace
}  // namespace dravik::controls
