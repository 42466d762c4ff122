// Fuzzes the API stream decoder. Input: one byte whose low three bits give a count
// n of piece sizes, n bytes of piece sizes (each plus one), then the stream itself.
// The stream is fed whole and in pieces of those sizes, and must yield the same
// frames both ways; every frame is decoded. The stream is also framed with
// FrameCodec::encode and must come back out of feed and decode unchanged.

#include "framecodec.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz_framecodec: %s\n", what);
    std::abort();
}

// Feeds the bytes in pieces of the given sizes, in turn, up to a broken stream.
QList<FrameCodec::Frame> feedInPieces(
    FrameCodec &codec, const QByteArray &bytes, const QList<qsizetype> &pieces, bool *broken)
{
    QList<FrameCodec::Frame> frames;
    *broken = false;
    qsizetype position = 0;
    qsizetype next = 0;
    while (position < bytes.size() && !*broken) {
        const qsizetype size = pieces.isEmpty() ? bytes.size() : pieces.at(next++ % pieces.size());
        frames += codec.feed(bytes.mid(position, size), broken);
        position += size;
    }
    return frames;
}

bool sameFrames(const QList<FrameCodec::Frame> &a, const QList<FrameCodec::Frame> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).compressed != b.at(i).compressed || a.at(i).payload != b.at(i).payload)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t count = data[0] & 7;
    if (size < 1 + count)
        return 0;
    QList<qsizetype> pieces;
    for (size_t i = 0; i < count; ++i)
        pieces.append(qsizetype(data[1 + i]) + 1);
    const QByteArray stream(reinterpret_cast<const char *>(data + 1 + count), qsizetype(size - 1 - count));

    FrameCodec whole;
    bool wholeBroken = false;
    const QList<FrameCodec::Frame> wholeFrames = whole.feed(stream, &wholeBroken);
    FrameCodec pieced;
    bool piecedBroken = false;
    const QList<FrameCodec::Frame> frames = feedInPieces(pieced, stream, pieces, &piecedBroken);
    require(piecedBroken == wholeBroken, "a broken stream depends on how it is cut");
    require(sameFrames(frames, wholeFrames), "the frames depend on how the stream is cut");

    for (const FrameCodec::Frame &frame : frames) {
        require(frame.payload.size() <= FrameCodec::MaximumSize, "a frame is larger than the maximum");
        QByteArray text;
        if (FrameCodec::decode(frame, &text))
            require(text.size() <= FrameCodec::MaximumSize, "a decoded text is larger than the maximum");
    }

    // A broken stream resets the decoder: the next frame must come through whole.
    FrameCodec fresh;
    FrameCodec &codec = piecedBroken ? pieced : fresh;
    bool broken = false;
    const QList<FrameCodec::Frame> encoded = feedInPieces(codec, FrameCodec::encode(stream), pieces, &broken);
    require(!broken, "an encoded frame breaks the stream");
    require(encoded.size() == 1, "an encoded frame does not decode to one frame");
    QByteArray text;
    require(FrameCodec::decode(encoded.first(), &text), "an encoded frame does not decode");
    // Uncompressed text ends at its first zero byte.
    const qsizetype zero = encoded.first().compressed ? -1 : stream.indexOf('\0');
    require(text == (zero < 0 ? stream : stream.left(zero)), "an encoded frame decodes to other text");
    return 0;
}
