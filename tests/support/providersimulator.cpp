#include "providersimulator.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

ProviderSimulator::ProviderSimulator() = default;

ProviderSimulator::~ProviderSimulator()
{
    stop();
}

QJsonObject ProviderSimulator::demoData()
{
    QFile file(QStringLiteral(NOXEL_PROVIDER_SIM_DIR "/demo-data.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool ProviderSimulator::start(const QJsonObject &data, const QString &fault)
{
    const QString dataFile = directory.filePath(QStringLiteral("data.json"));
    if (!setData(data))
        return false;
    QDir(directory.path()).mkpath(QStringLiteral("record"));
    // Each start records its envelopes afresh (the simulator numbers on after those it finds).
    QDir records(recordPath());
    const QStringList envelopes = records.entryList({ QStringLiteral("[0-9][0-9][0-9][0-9][0-9][0-9]*.xml") }, QDir::Files);
    for (const QString &name : envelopes)
        records.remove(name);

    QStringList arguments{QStringLiteral(NOXEL_PROVIDER_SIM_DIR "/provider_sim.py"), QStringLiteral("--data"),
                          dataFile, QStringLiteral("--record"), recordPath()};
    if (!fault.isEmpty())
        arguments << QStringLiteral("--fault") << fault;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setReadChannel(QProcess::StandardOutput);
    process.start(QStringLiteral("python3"), arguments);
    if (!process.waitForStarted(5000))
        return false;
    while (process.state() == QProcess::Running && !process.canReadLine())
        process.waitForReadyRead(5000);
    const QByteArray line = process.readLine().trimmed();
    if (!line.startsWith("LISTENING "))
        return false;
    listeningPort = quint16(line.mid(10).toUInt());
    return listeningPort != 0;
}

bool ProviderSimulator::setData(const QJsonObject &data)
{
    // Written aside and renamed, so the simulator never reads half a file.
    QSaveFile file(directory.filePath(QStringLiteral("data.json")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(data).toJson());
    return file.commit();
}

void ProviderSimulator::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

quint16 ProviderSimulator::port() const
{
    return listeningPort;
}

QString ProviderSimulator::address() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(listeningPort);
}

QString ProviderSimulator::recordPath() const
{
    return directory.filePath(QStringLiteral("record"));
}

void ProviderSimulator::setFault(const QString &fault)
{
    QFile file(recordPath() + QStringLiteral("/fault"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(fault.toUtf8());
}

QList<ProviderSimulator::Envelope> ProviderSimulator::envelopes() const
{
    QList<Envelope> result;
    const QDir dir(recordPath());
    const QStringList names = dir.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString base = name.chopped(4);
        result.append({base.mid(base.indexOf(QLatin1Char('-')) + 1), file.readAll()});
    }
    return result;
}

QStringList ProviderSimulator::connectionLog() const
{
    QFile file(recordPath() + QStringLiteral("/connections.log"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
