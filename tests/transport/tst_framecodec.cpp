#include "framecodec.h"

#include <QtEndian>
#include <QtTest>

#include <zlib.h>

namespace {

// 64 MiB, the most the client takes for one frame or one inflated answer.
constexpr qint64 Cap = 67108864;

// A compressed payload as the provider frames it: the inflated size, big-endian,
// then the zlib stream of that many bytes.
QByteArray compressedPayload(qint64 inflatedSize)
{
    const QByteArray text(qsizetype(inflatedSize), 'x');
    uLongf size = compressBound(uLong(text.size()));
    QByteArray payload(4 + qsizetype(size), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(inflatedSize), payload.data());
    if (compress2(reinterpret_cast<Bytef *>(payload.data() + 4), &size,
            reinterpret_cast<const Bytef *>(text.constData()), uLong(text.size()), 1)
        != Z_OK)
        return QByteArray();
    payload.resize(4 + qsizetype(size));
    return payload;
}

} // namespace

// Where the stream decoder draws the line: a frame or an inflated answer of up to
// 64 MiB is taken, one byte more is refused before any of it is held.
class TestFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void announcedSize_data()
    {
        QTest::addColumn<QByteArray>("lengthLine");
        QTest::addColumn<bool>("refused");
        QTest::newRow("at the cap") << QByteArray("67108864\r\n") << false;
        QTest::newRow("compressed, at the cap") << QByteArray("C67108864\r\n") << false;
        QTest::newRow("one byte over the cap") << QByteArray("67108865\r\n") << true;
        QTest::newRow("compressed, one byte over the cap") << QByteArray("C67108865\r\n") << true;
        QTest::newRow("ten digits") << QByteArray("9999999999\r\n") << true;
        QTest::newRow("twelve digits") << QByteArray("999999999999\r\n") << true;
    }

    // Refused at the length line, before a byte of the frame arrived; the decoder
    // then starts over with the next frame.
    void announcedSize()
    {
        QFETCH(QByteArray, lengthLine);
        QFETCH(bool, refused);
        FrameCodec codec;
        bool broken = false;
        QVERIFY(codec.feed(lengthLine, &broken).isEmpty());
        QCOMPARE(broken, refused);
        if (refused) {
            const QList<FrameCodec::Frame> frames = codec.feed("3\r\nabc", &broken);
            QVERIFY(!broken);
            QCOMPARE(frames.size(), 1);
            QCOMPARE(frames.first().payload, QByteArray("abc"));
            return;
        }
        // Taken whole, in pieces as a socket hands them over.
        const QByteArray piece(1024 * 1024, 'z');
        QList<FrameCodec::Frame> frames;
        for (qint64 fed = 0; fed < Cap && !broken; fed += piece.size())
            frames += codec.feed(piece, &broken);
        QVERIFY(!broken);
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().payload.size(), Cap);
        QCOMPARE(frames.first().compressed, lengthLine.startsWith('C'));
    }

    void inflatedSize_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("taken");
        QTest::newRow("at the cap") << Cap << true;
        QTest::newRow("one byte over the cap") << Cap + 1 << false;
    }

    // The zlib stream really inflates to the announced size, so only the size can
    // be the reason for a refusal.
    void inflatedSize()
    {
        QFETCH(qint64, size);
        QFETCH(bool, taken);
        FrameCodec::Frame frame;
        frame.compressed = true;
        frame.payload = compressedPayload(size);
        QVERIFY(!frame.payload.isEmpty());
        QByteArray text;
        QCOMPARE(FrameCodec::decode(frame, &text), taken);
        QCOMPARE(text.size(), taken ? size : 0);
    }
};

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
