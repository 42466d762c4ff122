#pragma once

#include <QString>
#include <QStringList>

// A network namespace of the test's own joined to this process's namespace by a
// veth pair, so that pings that must cross a real link stay on it. The subnet is
// 10.213.<pid % 250>.0/24: this side .1, the namespace side .2, and nothing else
// on the link answers. Needs root and iproute2; everything is removed on
// destruction, also when the test fails half way.
class TestLink
{
public:
    TestLink();
    ~TestLink();

    // Empty when the link is up, otherwise why it cannot be made here.
    QString create();

    // The address inside the namespace, which answers pings.
    QString peerAddress() const;
    // An address on the link that nobody holds; n from 0 to 99.
    QString silentAddress(int n) const;

private:
    bool ip(const QStringList &arguments) const;
    void remove();

    QString tool;
    QString name; // of the namespace
    QString own; // this side of the veth pair
    QString peer; // the namespace's side
    QString prefix;
};
