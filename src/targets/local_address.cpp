#include "targets/local_address.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <climits>
#include <cstdint>

namespace dravik::targets {

std::optional<QString> SystemAddressLookup::firstIPv4() {
    // getifaddrs rather than QNetworkInterface: the same netlink answer for a fraction of the
    // memory at start-up. The interfaces are taken in index order, as the system lists them.
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    bool anyInterface = false;
    unsigned bestIndex = 0;
    std::optional<QString> best;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        anyInterface = true;
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        if (!(a->ifa_flags & IFF_UP) || (a->ifa_flags & IFF_LOOPBACK)) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        const std::uint32_t host = ntohl(in->sin_addr.s_addr);
        if ((host >> 24) == 127) continue;
        unsigned index = a->ifa_name ? ::if_nametoindex(a->ifa_name) : 0;
        if (index == 0) index = UINT_MAX;  // a name the system does not resolve goes last
        // The first address of the interface with the lowest index wins.
        if (best && index >= bestIndex) continue;
        best = QHostAddress(host).toString();
        bestIndex = index;
    }
    ::freeifaddrs(list);
    if (best) return best;
    if (!anyInterface) return std::nullopt;  // the system could not list its interfaces
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
