// Times the two heaviest jobs of the API layer against what zlib and a bare XML
// pass cost on the same bytes, measured in the same process so that the ratio
// holds on any machine: sending a login with 1,000 connection statistics, and
// reading a 5,000-server list.

#include "benchmark.h"
#include "connectionstat.h"
#include "envelope.h"
#include "framecodec.h"
#include "loginrequest.h"
#include "vpnserversrequest.h"

#include <QElapsedTimer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <vector>

namespace {

constexpr int Repetitions = 15;
constexpr int StatCount = 1000;
constexpr int ServerCount = 5000;
// What one socket read brings at most.
constexpr qsizetype ReadSize = 16 * 1024;

Envelope::Header header()
{
    Envelope::Header header;
    header.language = QStringLiteral("de");
    header.country = QStringLiteral("DE");
    header.utcOffsetMinutes = 60;
    header.version = QStringLiteral("2.3.1");
    header.devicePixelRatio = 1.25;
    header.osName = QStringLiteral("Debian GNU/Linux 12 (bookworm) x64");
    header.cpu = QStringLiteral("Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz");
    header.storedCredentials.setUsername(QStringLiteral("demo"));
    header.storedCredentials.setPassword(QStringLiteral("demo-password"));
    return header;
}

QList<ConnectionStat> connectionStats()
{
    static const Vpn::Protocol protocols[]
        = { Vpn::OpenVpnUdp, Vpn::OpenVpnTcp, Vpn::OpenVpnStealth, Vpn::L2tp };
    QList<ConnectionStat> stats;
    for (int i = 0; i < StatCount; ++i) {
        ConnectionStat stat;
        stat.setServerUid(QStringLiteral("srv-%1").arg(i % 400, 4, 10, QLatin1Char('0')));
        stat.setProtocol(protocols[i % 4]);
        stat.setElevated(i % 3 == 0);
        // One attempt in five fails and carries the tail of its log.
        stat.setStatus(i % 5 == 4 ? ConnectionStat::TimedOut : ConnectionStat::Connected);
        stat.setPing(20 + i % 180);
        stat.setCapacity(i % 100);
        stat.setTimestamp(1767225600 + i * 37);
        if (stat.status() != ConnectionStat::Connected) {
            stat.setText(
                QStringLiteral("2026-01-01 10:00:%1 TLS Error: TLS key negotiation failed to occur "
                               "within 60 seconds (check your network connectivity)\n"
                               "2026-01-01 10:00:%1 SIGUSR1[soft,tls-error] received, process restarting")
                    .arg(i % 60));
        }
        stats.append(stat);
    }
    return stats;
}

QByteArray serversAnswer()
{
    struct City
    {
        const char *code;
        const char *country;
        const char *name;
        double lng;
        double lat;
    };
    static const City cities[] = {
        { "de", "Germany", "Frankfurt", 8.68, 50.11 },
        { "de", "Germany", "Berlin", 13.40, 52.52 },
        { "nl", "Netherlands", "Amsterdam", 4.90, 52.37 },
        { "fr", "France", "Paris", 2.35, 48.86 },
        { "gb", "United Kingdom", "London", -0.13, 51.51 },
        { "us", "United States", "New York", -74.0, 40.71 },
        { "us", "United States", "Dallas", -96.80, 32.78 },
        { "ca", "Canada", "Toronto", -79.38, 43.65 },
        { "jp", "Japan", "Tokyo", 139.69, 35.69 },
        { "sg", "Singapore", "Singapore", 103.82, 1.35 },
        { "au", "Australia", "Sydney", 151.21, -33.87 },
        { "br", "Brazil", "São Paulo", -46.63, -23.55 },
    };
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("vpn-servers"));
    for (int i = 0; i < ServerCount; ++i) {
        const City &city = cities[i % std::size(cities)];
        const QString code = QString::fromLatin1(city.code);
        const QString uid = code + QStringLiteral("-%1").arg(i, 4, 10, QLatin1Char('0'));
        const QString address = QStringLiteral("198.18.%1.%2").arg(i / 250).arg(i % 250 + 1);
        writer.writeStartElement(QStringLiteral("vpn-server"));
        writer.writeAttribute(QStringLiteral("uid"), uid);
        writer.writeAttribute(QStringLiteral("capacity"), QString::number(i * 7 % 101));
        writer.writeAttribute(QStringLiteral("provider"), QString::number(i % 3));
        writer.writeAttribute(QStringLiteral("capacity-indicator"), QString::number(i % 4));
        writer.writeTextElement(QStringLiteral("host"), uid + QStringLiteral(".noxel.invalid"));
        writer.writeTextElement(QStringLiteral("address"), address);
        writer.writeStartElement(QStringLiteral("location"));
        writer.writeTextElement(QStringLiteral("name"), QString::fromUtf8(city.name));
        writer.writeEmptyElement(QStringLiteral("coord"));
        writer.writeAttribute(QStringLiteral("lng"), QString::number(city.lng + (i % 10) * 0.01));
        writer.writeAttribute(QStringLiteral("lat"), QString::number(city.lat + (i % 7) * 0.01));
        writer.writeAttribute(QStringLiteral("alt"), QString::number(40 + i % 200));
        writer.writeEndElement();
        writer.writeStartElement(QStringLiteral("country"));
        writer.writeAttribute(QStringLiteral("code"), code.toUpper());
        writer.writeCharacters(QString::fromLatin1(city.country));
        writer.writeEndElement();
        writer.writeEmptyElement(QStringLiteral("stealth"));
        writer.writeAttribute(QStringLiteral("address"), address);
        writer.writeAttribute(QStringLiteral("port"), QString::number(443 + i % 2 * 8000));
        writer.writeEmptyElement(QStringLiteral("check"));
        writer.writeAttribute(
            QStringLiteral("ts"), QStringLiteral("2026-01-02 03:%1:05").arg(i % 60, 2, 10, QLatin1Char('0')));
        writer.writeAttribute(QStringLiteral("result"), QString::number(i % 9 == 0 ? 0 : 1));
        writer.writeEmptyElement(QStringLiteral("vpn-provider"));
        writer.writeAttribute(
            QStringLiteral("key"), i % 3 == 0 ? QStringLiteral("partner") : QStringLiteral("noxel"));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

// Sends a login with statistics: envelope and frame, against zlib alone on the envelope.
bool benchLogin()
{
    LoginRequest request;
    request.setStats(connectionStats());
    const Envelope::Header filled = header();
    const QByteArray envelope = Envelope::encode(request, 1, filled);

    qsizetype framedSize = 0;
    QByteArray compressed(qsizetype(compressBound(uLong(envelope.size()))), Qt::Uninitialized);
    int result = Z_OK;
    const auto send = [&] { framedSize = FrameCodec::encode(Envelope::encode(request, 1, filled)).size(); };
    const auto baseline = [&] {
        uLongf size = uLongf(compressed.size());
        result = compress2(reinterpret_cast<Bytef *>(compressed.data()), &size,
            reinterpret_cast<const Bytef *>(envelope.constData()), uLong(envelope.size()), 9);
    };
    const Benchmark::Timing timing = Benchmark::measure(Repetitions, [] {}, send, baseline);
    if (result != Z_OK || framedSize <= 0) {
        std::fprintf(stderr, "login_1000_stats: encoding failed\n");
        return false;
    }
    Benchmark::report("login_1000_stats", timing);
    return true;
}

// Reads a server list from the wire, against zlib and a bare XML pass on the same bytes.
bool benchServers()
{
    const QByteArray xml = serversAnswer();
    const QByteArray stream = FrameCodec::encode(xml);

    qsizetype servers = 0;
    const auto read = [&] {
        FrameCodec codec;
        bool broken = false;
        servers = 0;
        for (qsizetype i = 0; i < stream.size(); i += ReadSize) {
            const QList<FrameCodec::Frame> frames = codec.feed(stream.mid(i, ReadSize), &broken);
            for (const FrameCodec::Frame &frame : frames) {
                QByteArray text;
                if (!FrameCodec::decode(frame, &text))
                    return;
                QXmlStreamReader reader(text);
                while (!reader.atEnd() && !reader.isStartElement())
                    reader.readNext();
                VpnServersRequest request;
                request.readBody(reader);
                servers = request.servers().size();
            }
        }
    };

    // The frame is "C<digits>\r\n", then the size of the text and the deflated text.
    const qsizetype payload = stream.indexOf('\n') + 1;
    const uLong deflatedSize = uLong(stream.size() - payload - 4);
    const auto *deflated = reinterpret_cast<const Bytef *>(stream.constData() + payload + 4);
    const quint32 inflatedSize = qFromBigEndian<quint32>(stream.constData() + payload);
    qsizetype tokens = 0;
    const auto baseline = [&] {
        QByteArray text(qsizetype(inflatedSize), Qt::Uninitialized);
        uLongf size = inflatedSize;
        if (uncompress(reinterpret_cast<Bytef *>(text.data()), &size, deflated, deflatedSize) != Z_OK)
            return;
        QXmlStreamReader reader(text);
        tokens = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
    };
    const Benchmark::Timing timing = Benchmark::measure(Repetitions, [] {}, read, baseline);
    if (servers != ServerCount || tokens == 0) {
        std::fprintf(stderr, "vpn_servers_5000: read %lld servers of %d\n", qlonglong(servers), ServerCount);
        return false;
    }
    Benchmark::report("vpn_servers_5000", timing);
    return true;
}

} // namespace

int main()
{
    const bool login = benchLogin();
    const bool servers = benchServers();
    return login && servers ? 0 : 1;
}
