#pragma once

#include "networkaddress.h"

#include <QList>

// The API addresses to try, in turn, with their failure counts. Kept in the
// settings array "addresses"; the address in use comes first there.
class AddressPool
{
public:
    AddressPool();

    // The address in use, chosen on first call.
    NetworkAddress current();
    // Moves on to the next address; the one in use goes to the end of the line.
    NetworkAddress next();
    void markFailure();
    void markSuccess();
    // Replaces the addresses to rotate through; the built-in default always stays.
    void setAddresses(const QList<NetworkAddress> &addresses);
    QList<NetworkAddress> addresses() const;

private:
    void save() const;

    NetworkAddress defaultAddress;
    NetworkAddress currentAddress;
    QList<NetworkAddress> rotation;
};
