#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Runs the provider simulator on a loopback port for the length of a test,
// with its data from a JSON object and its records in a temporary folder.
class ProviderSimulator
{
public:
    struct Envelope
    {
        QString kind;
        QByteArray xml;
    };

    ProviderSimulator();
    ~ProviderSimulator();

    // The demo data file the simulator ships with.
    static QJsonObject demoData();

    // Starts the simulator; `fault` is given on its command line (see the simulator).
    bool start(const QJsonObject &data, const QString &fault = QString());
    void stop();
    quint16 port() const;
    // "127.0.0.1:port", as NOXEL_API_ADDRESSES takes it.
    QString address() const;

    // Replaces the simulator's data for the envelopes that follow.
    bool setData(const QJsonObject &data);
    // Switches the fault mode for the answers that follow; empty for none.
    void setFault(const QString &fault);
    // The envelopes received so far, oldest first.
    QList<Envelope> envelopes() const;
    // Lines of the connection log: "open", "<envelope> <peer> connection=N", "goodbye", "closed".
    QStringList connectionLog() const;
    QString recordPath() const;

private:
    QTemporaryDir directory;
    QProcess process;
    quint16 listeningPort = 0;
};
