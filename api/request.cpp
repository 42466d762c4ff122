#include "request.h"

#include "xmltext.h"

#include <QDateTime>
#include <QIODevice>
#include <QMutex>
#include <QReadWriteLock>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

namespace {

QMutex serialMutex;
qint64 lastSerial = 0;

// The level of a "stat" element in the envelope: "request", "body", the request's
// own element (where its kind calls writeStats), "stats", "stat".
constexpr int StatLevel = 4;

// Printable ASCII that QXmlStreamWriter writes as it is.
bool isPlain(const QString &value)
{
    return std::all_of(value.cbegin(), value.cend(),
        [](QChar c) { return c >= u' ' && c <= u'~' && c != u'<' && c != u'>' && c != u'&' && c != u'"'; });
}

// An attribute as QXmlStreamWriter writes it: markup characters and the characters
// of line ends as references, the characters XML cannot carry left out. `start` is
// the blank, the name and "=\"".
void appendAttribute(std::string &markup, std::string_view start, const QString &value)
{
    markup += start;
    if (isPlain(value)) {
        const size_t at = markup.size();
        markup.resize(at + size_t(value.size()));
        for (qsizetype i = 0; i < value.size(); ++i)
            markup[at + size_t(i)] = char(value[i].unicode());
    } else {
        QString escaped;
        for (const QChar c : XmlText::sanitized(value)) {
            switch (c.unicode()) {
            case u'<':
                escaped += QLatin1StringView("&lt;");
                break;
            case u'>':
                escaped += QLatin1StringView("&gt;");
                break;
            case u'&':
                escaped += QLatin1StringView("&amp;");
                break;
            case u'"':
                escaped += QLatin1StringView("&quot;");
                break;
            case u'\t':
                escaped += QLatin1StringView("&#9;");
                break;
            case u'\n':
                escaped += QLatin1StringView("&#10;");
                break;
            case u'\r':
                escaped += QLatin1StringView("&#13;");
                break;
            default:
                escaped += c;
            }
        }
        const QByteArray utf8 = escaped.toUtf8();
        markup.append(utf8.constData(), size_t(utf8.size()));
    }
    markup += '"';
}

void appendAttribute(std::string &markup, std::string_view start, qint64 value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), value);
    markup += start;
    markup.append(digits, end.ptr);
    markup += '"';
}

// Writes the "stat" elements, each on a line of its own when the writer formats,
// then the line start of the end tag of "stats".
void writeStatsMarkup(QIODevice *device, const QList<ConnectionStat> &stats, const QXmlStreamWriter &writer)
{
    std::string newline;
    std::string indent;
    if (writer.autoFormatting()) {
        const int unit = writer.autoFormattingIndent();
        newline = "\n";
        indent = std::string(size_t(std::abs(unit)), unit >= 0 ? ' ' : '\t');
    }
    std::string statIndent;
    for (int level = 0; level < StatLevel; ++level)
        statIndent += indent;
    // The markup goes out in pieces of about this size, through one buffer.
    constexpr size_t PieceSize = 16 * 1024;
    std::string markup;
    markup.reserve(2 * PieceSize);
    const auto flush = [&markup, device] {
        device->write(markup.data(), qint64(markup.size()));
        markup.clear();
    };
    for (const ConnectionStat &stat : stats) {
        markup += newline;
        markup += statIndent;
        markup += "<stat";
        appendAttribute(markup, " suid=\"", stat.serverUid());
        appendAttribute(markup, " e=\"", stat.isElevated() ? 1 : 0);
        appendAttribute(markup, " p=\"", Vpn::GetProtocolKey(stat.protocol()));
        appendAttribute(markup, " s=\"", stat.status());
        appendAttribute(markup, " l=\"", stat.ping());
        appendAttribute(markup, " c=\"", stat.capacity());
        appendAttribute(markup, " t=\"", stat.timestamp());
        if (stat.status() == ConnectionStat::Connected) {
            markup += "/>";
        } else {
            // A CDATA section cannot hold its own end: the writer splits it there.
            QByteArray text = XmlText::sanitized(stat.text()).toUtf8();
            text.replace("]]>", "]]]]><![CDATA[>");
            markup += "><![CDATA[";
            markup.append(text.constData(), size_t(text.size()));
            markup += "]]></stat>";
        }
        if (markup.size() >= PieceSize)
            flush();
    }
    markup += newline;
    for (int level = 0; level < StatLevel - 1; ++level)
        markup += indent;
    flush();
}

} // namespace

class RequestPrivate
{
public:
    mutable QReadWriteLock lock;
    qint64 serial = 0;
    bool sent = false;
    bool authenticated = false;
    bool failed = true;
    int sentAt = 0;
    int answeredAt = 0;
    QString username;
    QString password;
    QString errorString;
    QList<ConnectionStat> stats;
    QList<TrafficStat> trafficStats;
};

Request::Request()
    : d(new RequestPrivate)
{
    QMutexLocker locker(&serialMutex);
    d->serial = ++lastSerial;
}

Request::~Request() = default;

NetworkAddress Request::address() const
{
    return NetworkAddress();
}

bool Request::requiresLogin() const
{
    return true;
}

void Request::setCredentials(const QString &username, const QString &password)
{
    QWriteLocker locker(&d->lock);
    d->username = username;
    d->password = password;
}

QString Request::username() const
{
    QReadLocker locker(&d->lock);
    return d->username;
}

QString Request::password() const
{
    QReadLocker locker(&d->lock);
    return d->password;
}

void Request::setStats(const QList<ConnectionStat> &stats)
{
    QWriteLocker locker(&d->lock);
    d->stats = stats;
}

QList<ConnectionStat> Request::stats() const
{
    QReadLocker locker(&d->lock);
    return d->stats;
}

void Request::setTrafficStats(const QList<TrafficStat> &stats)
{
    QWriteLocker locker(&d->lock);
    d->trafficStats = stats;
}

QList<TrafficStat> Request::trafficStats() const
{
    QReadLocker locker(&d->lock);
    return d->trafficStats;
}

bool Request::isSent() const
{
    QReadLocker locker(&d->lock);
    return d->sent;
}

void Request::setSent(bool sent)
{
    QWriteLocker locker(&d->lock);
    d->sent = sent;
}

bool Request::isAuthenticated() const
{
    QReadLocker locker(&d->lock);
    return d->authenticated;
}

void Request::setAuthenticated(bool authenticated)
{
    QWriteLocker locker(&d->lock);
    d->authenticated = authenticated;
}

bool Request::isFailed() const
{
    QReadLocker locker(&d->lock);
    return d->failed;
}

void Request::setFailed(bool failed)
{
    QWriteLocker locker(&d->lock);
    d->failed = failed;
}

QString Request::errorString() const
{
    QReadLocker locker(&d->lock);
    return d->errorString;
}

void Request::setErrorString(const QString &errorString)
{
    QWriteLocker locker(&d->lock);
    d->errorString = errorString;
}

qint64 Request::serial() const
{
    return d->serial;
}

int Request::sentAt() const
{
    QReadLocker locker(&d->lock);
    return d->sentAt;
}

void Request::setSentAt(int msecs)
{
    QWriteLocker locker(&d->lock);
    d->sentAt = msecs;
}

int Request::answeredAt() const
{
    QReadLocker locker(&d->lock);
    return d->answeredAt;
}

void Request::setAnsweredAt(int msecs)
{
    QWriteLocker locker(&d->lock);
    d->answeredAt = msecs;
}

void Request::writeStats(QXmlStreamWriter &writer) const
{
    const QList<ConnectionStat> connectionStats = stats();
    const QList<TrafficStat> traffic = trafficStats();
    if (!connectionStats.isEmpty()) {
        writer.writeStartElement(QStringLiteral("stats"));
        // A login may carry a thousand statistics, and QXmlStreamWriter costs far more
        // per call than per byte: the "stat" elements go to the writer's device in a few
        // pieces, laid out and escaped as the writer lays out and escapes them. The
        // empty text closes the start tag and makes the writer put the end tag right
        // behind them. A writer that writes into a string has no device: it gets them
        // one call at a time.
        if (QIODevice *const device = writer.device()) {
            writer.writeCharacters(QString());
            writeStatsMarkup(device, connectionStats, writer);
        } else {
            for (const ConnectionStat &stat : connectionStats) {
                writer.writeStartElement(QStringLiteral("stat"));
                writer.writeAttribute(QStringLiteral("suid"), stat.serverUid());
                writer.writeAttribute(
                    QStringLiteral("e"), stat.isElevated() ? QStringLiteral("1") : QStringLiteral("0"));
                writer.writeAttribute(QStringLiteral("p"), Vpn::GetProtocolKey(stat.protocol()));
                writer.writeAttribute(QStringLiteral("s"), QString::number(stat.status()));
                writer.writeAttribute(QStringLiteral("l"), QString::number(stat.ping()));
                writer.writeAttribute(QStringLiteral("c"), QString::number(stat.capacity()));
                writer.writeAttribute(QStringLiteral("t"), QString::number(stat.timestamp()));
                if (stat.status() != ConnectionStat::Connected)
                    writer.writeCDATA(XmlText::sanitized(stat.text()));
                writer.writeEndElement();
            }
        }
        writer.writeEndElement();
    }
    if (!traffic.isEmpty()) {
        writer.writeStartElement(QStringLiteral("tstats"));
        for (const TrafficStat &stat : traffic) {
            writer.writeStartElement(QStringLiteral("tstat"));
            writer.writeAttribute(QStringLiteral("t"), QString::number(stat.date().startOfDay().toSecsSinceEpoch()));
            writer.writeAttribute(QStringLiteral("suid"), stat.serverUid());
            writer.writeAttribute(QStringLiteral("p"), Vpn::GetProtocolKey(stat.protocol()));
            writer.writeAttribute(QStringLiteral("u"), QString::number(stat.up()));
            writer.writeAttribute(QStringLiteral("d"), QString::number(stat.down()));
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
}
