#pragma once
// The pictures the windows show as icons, decoded when the program is built
// into the pixels a pixmap holds on the screen (QImage::Format_RGB32 for a
// picture without transparent pixels, else Format_ARGB32_Premultiplied), so
// that showing them takes no decoding. The build makes them from the picture
// files in assets/ (decode-pictures.cpp); they are found by the resource name
// the picture file would have (":/trevlin/toolbar/view.png").

namespace assets {

struct DecodedPicture
{
    const char *name;
    int width, height, bytesPerLine;
    int format; // a QImage::Format
    const unsigned char *pixels;
};

extern const DecodedPicture decodedPictures[];
extern const int decodedPictureCount;

} // namespace assets
