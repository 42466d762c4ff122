#include "testlink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

TestLink::TestLink()
{
    const qint64 pid = QCoreApplication::applicationPid();
    name = QStringLiteral("nxcat%1").arg(pid);
    // Interface names have at most 15 characters.
    own = QStringLiteral("nxc%1h").arg(pid);
    peer = QStringLiteral("nxc%1p").arg(pid);
    prefix = QStringLiteral("10.213.%1.").arg(pid % 250);
}

TestLink::~TestLink()
{
    remove();
}

QString TestLink::create()
{
    if (::geteuid() != 0)
        return QStringLiteral("A network namespace and a veth pair need root.");
    tool = QStandardPaths::findExecutable(QStringLiteral("ip"),
        { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin") });
    if (tool.isEmpty())
        return QStringLiteral("The ip tool (iproute2) is not installed.");
    remove();
    if (!ip({ QStringLiteral("netns"), QStringLiteral("add"), name }))
        return QStringLiteral("This machine does not allow network namespaces.");
    const bool ok = ip({ QStringLiteral("link"), QStringLiteral("add"), own, QStringLiteral("type"),
                        QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), peer,
                        QStringLiteral("netns"), name })
        && ip({ QStringLiteral("addr"), QStringLiteral("add"), prefix + QStringLiteral("1/24"),
            QStringLiteral("dev"), own })
        && ip({ QStringLiteral("link"), QStringLiteral("set"), own, QStringLiteral("up") })
        && ip({ QStringLiteral("-n"), name, QStringLiteral("addr"), QStringLiteral("add"),
            prefix + QStringLiteral("2/24"), QStringLiteral("dev"), peer })
        && ip({ QStringLiteral("-n"), name, QStringLiteral("link"), QStringLiteral("set"), peer,
            QStringLiteral("up") })
        && ip({ QStringLiteral("-n"), name, QStringLiteral("link"), QStringLiteral("set"),
            QStringLiteral("lo"), QStringLiteral("up") });
    if (!ok) {
        remove();
        return QStringLiteral("The veth link could not be set up.");
    }
    // The link carries packets once the kernel says it is up.
    QFile state(QStringLiteral("/sys/class/net/%1/operstate").arg(own));
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
        if (state.open(QIODevice::ReadOnly) && state.readAll().trimmed() == "up")
            return QString();
        state.close();
    }
    return QStringLiteral("The veth link did not come up.");
}

QString TestLink::peerAddress() const
{
    return prefix + QLatin1Char('2');
}

QString TestLink::silentAddress(int n) const
{
    return prefix + QString::number(100 + n);
}

bool TestLink::ip(const QStringList &arguments) const
{
    QProcess process;
    process.start(tool, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

void TestLink::remove()
{
    if (tool.isEmpty())
        return;
    // Deleting the namespace deletes the veth pair with it, a moment later; the next
    // link of this process reuses the names.
    if (QFileInfo::exists(QStringLiteral("/run/netns/") + name))
        ip({ QStringLiteral("netns"), QStringLiteral("delete"), name });
    if (QFileInfo::exists(QStringLiteral("/sys/class/net/") + own))
        ip({ QStringLiteral("link"), QStringLiteral("delete"), own });
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
        if (!QFileInfo::exists(QStringLiteral("/sys/class/net/") + own))
            break;
    }
}
