#include "discovery/backends.h"
#include "discovery/linux_presence.h"
#include "discovery/tcp_identity.h"

namespace dravik::discovery {

ScanBackends SystemScanBackends() {
    return {std::make_shared<LinuxPresenceProbe>(), std::make_shared<TcpIdentityClient>()};
}

}  // namespace dravik::discovery
