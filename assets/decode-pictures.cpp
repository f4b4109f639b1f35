// Decodes picture files into the pixels a pixmap holds on the screen and
// writes them as C++ arrays, for pictures the program shows at start:
//
//   trevlin_decode_pictures OUTPUT.cpp PICTURE...
//
// Each PICTURE is a path relative to the current folder, which is also its
// resource name under ":/trevlin/". The pixels are taken from a QPixmap made
// from the file, as the program made it before, so what the windows show stays
// the same to the bit.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char **argv)
{
    // A screen of 32-bit pixels, as every X display of 24 or 32 bits has.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: trevlin_decode_pictures OUTPUT.cpp PICTURE...\n");
        return 2;
    }

    QByteArray arrays, table;
    for (int i = 2; i < arguments.size(); ++i) {
        const QString &file = arguments.at(i);
        const QImage image = QPixmap(file).toImage();
        if (image.isNull()) {
            std::fprintf(stderr, "trevlin_decode_pictures: cannot read %s\n", qPrintable(file));
            return 1;
        }
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) {
            std::fprintf(stderr, "trevlin_decode_pictures: %s: unexpected pixel format %d\n", qPrintable(file),
                         int(image.format()));
            return 1;
        }
        const QByteArray array = "picture" + QByteArray::number(i - 2);
        arrays += "alignas(4) const unsigned char " + array + "[] = {";
        const uchar *bytes = image.constBits();
        for (qsizetype b = 0; b < image.sizeInBytes(); ++b)
            arrays += (b % 16 ? "" : "\n    ") + QByteArray::number(bytes[b]) + ',';
        arrays += "\n};\n";
        table += "    {\":/trevlin/" + file.toUtf8() + "\", " + QByteArray::number(image.width()) + ", "
                 + QByteArray::number(image.height()) + ", " + QByteArray::number(image.bytesPerLine()) + ", "
                 + QByteArray::number(int(image.format())) + ", " + array + "},\n";
    }

    QSaveFile output(arguments.at(1));
    if (!output.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "trevlin_decode_pictures: cannot write %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    output.write("// Made by trevlin_decode_pictures from the picture files in assets/.\n"
                 "#include \"assets/decodedpictures.h\"\n\nnamespace {\n\n"
                 + arrays + "\n} // namespace\n\nnamespace assets {\n\nconst DecodedPicture decodedPictures[] = {\n"
                 + table + "};\nconst int decodedPictureCount = " + QByteArray::number(arguments.size() - 2)
                 + ";\n\n} // namespace assets\n");
    return output.commit() ? 0 : 1;
}
