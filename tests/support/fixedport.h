#pragma once

#include <QString>

// The program's fixed loopback ports (1111 for OpenVPN's management interface, 1081 for
// stunnel) may be held by something that is none of the test's business: a client someone
// runs, the demo, the tests of another checkout. ctest's locks only keep the tests of one
// run apart. A test that needs such a port waits a while for it and then skips, naming the
// holder, instead of failing for a reason that is not in the code; a holder of the test's
// own making still fails it.
namespace FixedPort {

struct Wait
{
    bool free = false;
    // Held by this process or a child of it: a leftover of the test, not a neighbour.
    bool heldByThisTest = false;
    // When not free: the port and its holder, for the skip or failure message.
    QString reason;
};

// Waits until 127.0.0.1:port can be bound, checking every 50 ms. A port once given up
// on is not waited for again in this process: it is found taken at once.
Wait waitUntilFree(quint16 port, int milliseconds = 30000);
// The processes with a socket on the port in this network namespace, as "name (pid N)",
// or what /proc tells of the socket where the processes cannot be seen; empty if none.
QString holders(quint16 port);

} // namespace FixedPort

// For init() or a test function (initTestCase: the whole test); needs QtTest.
#define NOXEL_WAIT_FOR_FIXED_PORT(port)                                                                      \
    do {                                                                                                     \
        const FixedPort::Wait noxelPortWait = FixedPort::waitUntilFree(port);                                \
        if (noxelPortWait.heldByThisTest)                                                                    \
            QFAIL(qPrintable(noxelPortWait.reason));                                                         \
        if (!noxelPortWait.free)                                                                             \
            QSKIP(qPrintable(noxelPortWait.reason));                                                         \
    } while (false)
