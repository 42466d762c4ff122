#pragma once

#include "core_global.h"
#include "networkaddress.h"

#include <QList>

namespace Mirrow {

// The environment variable that replaces the built-in API endpoints, as a comma
// separated list of "host:port" entries; "tcp://" before an entry makes it plain TCP.
CORE_EXPORT extern const char *const AddressesVariable;

// The built-in API endpoints, or the ones the environment names.
CORE_EXPORT QList<NetworkAddress> GetAddresses();

} // namespace Mirrow
