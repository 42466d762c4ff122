#include "framecodec.h"

#include <QtEndian>

#include <zlib.h>

namespace {

// More digits than this cannot describe an acceptable size.
constexpr int MaximumDigits = 10;

} // namespace

QByteArray FrameCodec::encode(const QByteArray &envelope)
{
    const qsizetype size = envelope.size();
    if (size < CompressionThreshold)
        return QByteArray::number(size) + "\r\n" + envelope;

    uLongf compressedSize = uLongf(size + size / 100 + 13);
    QByteArray payload(4 + qsizetype(compressedSize), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(size), payload.data());
    const int result = compress2(reinterpret_cast<Bytef *>(payload.data() + 4), &compressedSize,
                                 reinterpret_cast<const Bytef *>(envelope.constData()), uLong(size), 9);
    if (result != Z_OK) {
        // Only an impossible buffer size gets here; send the envelope as it is.
        return QByteArray::number(size) + "\r\n" + envelope;
    }
    payload.resize(4 + qsizetype(compressedSize));
    return 'C' + QByteArray::number(payload.size()) + "\r\n" + payload;
}

bool FrameCodec::decode(const Frame &frame, QByteArray *text)
{
    if (!frame.compressed) {
        const qsizetype zero = frame.payload.indexOf('\0');
        *text = zero < 0 ? frame.payload : frame.payload.left(zero);
        return true;
    }
    if (frame.payload.size() < 4)
        return false;
    const quint32 expected = qFromBigEndian<quint32>(frame.payload.constData());
    if (expected > MaximumSize)
        return false;
    QByteArray inflated(qsizetype(expected), Qt::Uninitialized);
    uLongf inflatedSize = uLongf(expected);
    const int result = uncompress(reinterpret_cast<Bytef *>(inflated.data()), &inflatedSize,
                                  reinterpret_cast<const Bytef *>(frame.payload.constData() + 4),
                                  uLong(frame.payload.size() - 4));
    if (result != Z_OK)
        return false;
    inflated.resize(qsizetype(inflatedSize));
    *text = inflated;
    return true;
}

QList<FrameCodec::Frame> FrameCodec::feed(const QByteArray &bytes, bool *broken)
{
    *broken = false;
    QList<Frame> frames;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (inHeader) {
            const char c = data[i++];
            if (c >= '0' && c <= '9') {
                headerDigits.append(c);
                if (headerDigits.size() > MaximumDigits) {
                    reset();
                    *broken = true;
                    return frames;
                }
            } else if (c == 'C') {
                compressed = true;
            } else if (c == '\n') {
                if (headerDigits.isEmpty()) {
                    // A length line without digits: wait for the next one.
                    compressed = false;
                    continue;
                }
                remaining = headerDigits.toLongLong();
                headerDigits.clear();
                if (remaining > MaximumSize) {
                    reset();
                    *broken = true;
                    return frames;
                }
                inHeader = false;
                if (remaining == 0) {
                    frames.append({compressed, QByteArray()});
                    inHeader = true;
                    compressed = false;
                }
            }
            continue;
        }
        const qsizetype take = qMin<qsizetype>(remaining, size - i);
        body.append(data + i, take);
        i += take;
        remaining -= take;
        if (remaining == 0) {
            frames.append({compressed, body});
            body.clear();
            inHeader = true;
            compressed = false;
        }
    }
    return frames;
}

void FrameCodec::reset()
{
    inHeader = true;
    compressed = false;
    headerDigits.clear();
    body.clear();
    remaining = 0;
}
