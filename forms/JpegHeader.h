#pragma once

#include <cstddef>
#include <string>

// What the header of a JPEG picture says, read with libjpeg without decoding the picture.
// On any error (a header that runs out of data or draws a warning included) ok is false,
// every value is zero and error holds libjpeg's message; nothing is written to stderr and the
// process goes on.
struct JpegHeader {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    int colorSpace = 0;   // libjpeg's J_COLOR_SPACE of the file (JCS_YCbCr = 3)
    bool progressive = false;
    bool jfif = false;    // a JFIF APP0 marker was seen
    std::string error;
};

JpegHeader readJpegHeader(const unsigned char* data, std::size_t size);
