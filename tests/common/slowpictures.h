#pragma once
// Pictures that pass every size check and still cost a decoder dearly, made
// on the spot for the tests and benchmarks.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>

namespace slowpictures {

// A progressive JPEG of `width` x `height` one colour, whose first AC scan
// is repeated `repeats` times more. Each repeat is a few bytes (one run of
// empty blocks covers up to 32767 of them), but the decoder goes over every
// block of the picture again: 20000 repeats of a 2000 x 2000 picture are
// about 400 KB and take seconds to decode. Empty when the picture holds no
// such scan.
inline QByteArray progressiveJpegWithRepeatedScan(int width, int height, int repeats)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(90, 120, 150));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(image))
        return {};
    const auto byte = [&](qsizetype at) { return at < jpeg.size() ? uchar(jpeg[at]) : 0; };
    // Segments: 0xFF, a marker, then (but for SOI and EOI) a 16-bit length
    // that counts itself. A scan's header (SOS) is followed by its coded
    // data, which runs to the next marker (0xFF not followed by 0 or a
    // restart marker).
    for (qsizetype at = 2; at + 4 <= jpeg.size() && byte(at) == 0xFF;) {
        const uchar marker = byte(at + 1);
        if (marker == 0xD9)
            break;
        const qsizetype length = (byte(at + 2) << 8) | byte(at + 3);
        if (marker != 0xDA) {
            at += 2 + length;
            continue;
        }
        qsizetype end = at + 2 + length;
        while (end + 1 < jpeg.size()
               && !(byte(end) == 0xFF && byte(end + 1) != 0 && (byte(end + 1) < 0xD0 || byte(end + 1) > 0xD7)))
            ++end;
        const int components = byte(at + 4);
        const int spectralStart = byte(at + 5 + 2 * components);
        if (spectralStart > 0) {
            const QByteArray scan = jpeg.mid(at, end - at);
            jpeg.insert(end, scan.repeated(repeats));
            return jpeg;
        }
        at = end;
    }
    return {};
}

// A PNG of `side` x `side` pixels, one colour, without alpha: a few hundred
// KB that decode to side * side * 4 bytes (5792 x 5792: just under Qt's
// allocation limit of 128 MiB).
inline QByteArray largePlainPng(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(QColor(200, 60, 40));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // the strongest compression
    return writer.write(image) ? png : QByteArray();
}

} // namespace slowpictures
