#include "targets/local_address.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <gtest/gtest.h>

namespace dravik::targets {
namespace {

TEST(LocalAddressTest, ShownTextAndUsability) {
    struct Case {
        std::optional<QString> found;
        QString shown;
        bool usable;
    };
    const Case cases[] = {
        {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.20"), true},
        {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1"), false},   // shown, not usable
        {QStringLiteral("127.0.1.1"), QStringLiteral("127.0.1.1"), true},
        {std::nullopt, QStringLiteral("0.0.0.0"), false},
        // Anything that is not a dotted IPv4 address counts as a failed lookup.
        {QString(), QStringLiteral("0.0.0.0"), false},
        {QStringLiteral("999.1.1.1"), QStringLiteral("0.0.0.0"), false},
        {QStringLiteral("10.1.2"), QStringLiteral("0.0.0.0"), false},
        {QStringLiteral("::1"), QStringLiteral("0.0.0.0"), false},
        {QStringLiteral("host.example"), QStringLiteral("0.0.0.0"), false},
    };
    for (const Case& c : cases) {
        FixedAddressLookup lookup(c.found);
        const LocalAddress result = LookUpLocalAddress(lookup);
        EXPECT_EQ(result.shown, c.shown) << c.found.value_or(QStringLiteral("<none>")).toStdString();
        EXPECT_EQ(result.usable, c.usable) << c.shown.toStdString();
    }
}

TEST(LocalAddressTest, SystemLookupGivesAnIPv4AddressOrNothing) {
    SystemAddressLookup lookup;
    const std::optional<QString> found = lookup.firstIPv4();
    if (found) {
        EXPECT_EQ(QHostAddress(*found).protocol(), QAbstractSocket::IPv4Protocol) << found->toStdString();
    }
}

// The lookup reads the interfaces itself; it must pick what Qt's own interface list gives
// first: an interface that is up and not loopback, in the system's order, its first IPv4.
TEST(LocalAddressTest, SystemLookupAgreesWithQtsInterfaceList) {
    std::optional<QString> expected;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (expected) break;
        if (!iface.flags().testFlag(QNetworkInterface::IsUp) || iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.ip().isLoopback()) {
                expected = entry.ip().toString();
                break;
            }
        }
    }
    if (!expected && !interfaces.isEmpty()) expected = QStringLiteral("127.0.0.1");
    SystemAddressLookup lookup;
    EXPECT_EQ(lookup.firstIPv4(), expected);
}

}  // namespace
}  // namespace dravik::targets
