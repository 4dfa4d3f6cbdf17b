// Build tool: draws the About window's picture (283 x 40, colour) and writes it as a baseline
// JFIF file with libjpeg's compressor. Usage: ferolt_make_about_picture <output.jpg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int Width = 283;
constexpr int Height = 40;

struct Rgb {
    unsigned char r, g, b;
};

unsigned char blend(int from, int to, int step, int steps)
{
    return static_cast<unsigned char>(from + (to - from) * step / steps);
}

// A navy to teal gradient crossed by a square wave, the shape of a bus signal, with a row of
// small marks standing for meters on the line.
std::vector<Rgb> drawPicture()
{
    std::vector<Rgb> pixels(static_cast<std::size_t>(Width * Height));
    auto at = [&](int x, int y) -> Rgb& { return pixels[static_cast<std::size_t>(y * Width + x)]; };
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            at(x, y) = {blend(16, 0, x, Width - 1), blend(36, 128, x, Width - 1),
                        blend(92, 128, x, Width - 1)};

    const Rgb wave{250, 236, 160};
    constexpr int period = 24, high = 10, low = 29;
    for (int x = 0; x < Width; ++x) {
        const int phase = x % period;
        const int level = phase < period / 2 ? high : low;
        for (int t = 0; t < 2; ++t)
            at(x, level + t) = wave;
        if (phase == 0 || phase == period / 2)
            for (int y = high; y <= low + 1; ++y)
                at(x, y) = wave;
    }

    const Rgb mark{240, 120, 40};
    for (int cx = period / 4; cx < Width; cx += period)
        for (int y = 34; y < 38; ++y)
            for (int x = cx - 2; x <= cx + 2 && x < Width; ++x)
                at(x, y) = mark;
    return pixels;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.jpg>\n", argv[0]);
        return EXIT_FAILURE;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return EXIT_FAILURE;
    }

    std::vector<Rgb> pixels = drawPicture();

    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);           // YCbCr, JFIF marker, baseline Huffman coding
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(&pixels[info.next_scanline * Width]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
