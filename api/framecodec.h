#pragma once

#include <QByteArray>
#include <QList>

// The framing of the API stream. A frame is a length line ("C" in front when the
// payload is compressed), "\r\n" and the payload. The decoder reads a stream in
// pieces of any size and never accepts more than MaximumSize bytes for a frame or
// for a decompressed payload.
class FrameCodec
{
public:
    static constexpr qint64 MaximumSize = 64 * 1024 * 1024;
    // Envelopes of this size and more travel compressed.
    static constexpr int CompressionThreshold = 50;

    struct Frame
    {
        bool compressed = false;
        QByteArray payload;
    };

    static QByteArray encode(const QByteArray &envelope);
    // The text a frame carries: inflated when compressed, otherwise up to its first
    // zero byte. False when a compressed payload is damaged or too large.
    static bool decode(const Frame &frame, QByteArray *text);

    // Feeds received bytes; returns the frames they completed. Sets *broken when the
    // stream announces a frame too large to accept: the connection cannot be trusted
    // any more and the decoder has been reset.
    QList<Frame> feed(const QByteArray &bytes, bool *broken);
    // Forgets a partly received frame, as when its connection is gone.
    void reset();

private:
    bool inHeader = true;
    bool compressed = false;
    QByteArray headerDigits;
    QByteArray body;
    qint64 remaining = 0;
};
