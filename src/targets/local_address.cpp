#include "targets/local_address.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace dravik::targets {

std::optional<QString> SystemAddressLookup::firstIPv4() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback()) {
                return ip.toString();
            }
        }
    }
    if (interfaces.isEmpty()) return std::nullopt;   // the system could not list its interfaces
    return QStringLiteral("127.0.0.1");
}

LocalAddress LookUpLocalAddress(LocalAddressLookup& lookup) {
    LocalAddress result;
    const std::optional<QString> address = lookup.firstIPv4();
    if (!address) return result;
    // Only a well-formed dotted IPv4 address goes into the box; anything else counts as a
    // failed lookup.
    const QHostAddress parsed(*address);
    if (parsed.protocol() != QAbstractSocket::IPv4Protocol || parsed.toString() != *address) {
        return result;
    }
    result.shown = *address;
    result.usable = *address != QStringLiteral("127.0.0.1");
    return result;
}

}  // namespace dravik::targets
