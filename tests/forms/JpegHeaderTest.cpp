#include "JpegHeader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<unsigned char>;

// A picture compressed with libjpeg, to read back.
Bytes encode(int width, int height, bool colour, bool progressive)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = colour ? 3 : 1;
    info.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width * info.input_components));
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<unsigned char>(i * 7);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// Where the header ends: the byte after the start-of-scan marker segment.
std::size_t headerEnd(const Bytes& jpeg)
{
    std::size_t at = 2;   // after SOI
    while (at + 4 <= jpeg.size()) {
        const unsigned char marker = jpeg[at + 1];
        const std::size_t length = static_cast<std::size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
        at += 2 + length;
        if (marker == 0xDA)
            return at;
    }
    return 0;
}

JpegHeader read(const Bytes& bytes, std::size_t size)
{
    return readJpegHeader(bytes.data(), size);
}

void expectDamaged(const JpegHeader& h, const std::string& what)
{
    EXPECT_FALSE(h.ok) << what;
    EXPECT_EQ(h.width, 0) << what;
    EXPECT_EQ(h.height, 0) << what;
    EXPECT_EQ(h.components, 0) << what;
    EXPECT_EQ(h.colorSpace, 0) << what;
    EXPECT_FALSE(h.progressive) << what;
    EXPECT_FALSE(h.error.empty()) << what;
}

TEST(JpegHeader, KindsOfPicture)
{
    struct Case {
        int width, height;
        bool colour, progressive;
        int components, colorSpace;
    };
    const Case cases[] = {
        {283, 40, true, false, 3, JCS_YCbCr},
        {283, 40, true, true, 3, JCS_YCbCr},
        {17, 9, false, false, 1, JCS_GRAYSCALE},
        {1, 1, false, true, 1, JCS_GRAYSCALE},
    };
    for (const Case& c : cases) {
        const Bytes jpeg = encode(c.width, c.height, c.colour, c.progressive);
        const JpegHeader h = read(jpeg, jpeg.size());
        ASSERT_TRUE(h.ok) << h.error;
        EXPECT_EQ(h.width, c.width);
        EXPECT_EQ(h.height, c.height);
        EXPECT_EQ(h.components, c.components);
        EXPECT_EQ(h.colorSpace, c.colorSpace);
        EXPECT_EQ(h.progressive, c.progressive);
        EXPECT_TRUE(h.jfif);
        EXPECT_TRUE(h.error.empty());
    }
}

TEST(JpegHeader, HeaderAloneIsEnough)
{
    // Nothing of the scan is needed: the header is read, the picture is not decoded.
    const Bytes jpeg = encode(283, 40, true, false);
    const std::size_t end = headerEnd(jpeg);
    ASSERT_GT(end, 100u);
    ASSERT_LT(end, jpeg.size());
    const JpegHeader h = read(jpeg, end);
    EXPECT_TRUE(h.ok) << h.error;
    EXPECT_EQ(h.width, 283);
}

TEST(JpegHeader, DamagedPicturesGiveAnErrorQuietly)
{
    const Bytes jpeg = encode(283, 40, true, false);
    const std::size_t end = headerEnd(jpeg);
    ASSERT_GT(end, 0u);

    ::testing::internal::CaptureStderr();
    expectDamaged(readJpegHeader(nullptr, 0), "no buffer");
    expectDamaged(read(jpeg, 0), "empty");
    // Cut anywhere before the header is complete, the start of the header included.
    for (std::size_t size = 1; size < end; ++size)
        expectDamaged(read(jpeg, size), "cut at " + std::to_string(size));

    // A frame that says the picture has no lines.
    Bytes noLines = jpeg;
    for (std::size_t at = 2; at + 8 < noLines.size(); ++at)
        if (noLines[at] == 0xFF && noLines[at + 1] == 0xC0) {
            noLines[at + 5] = 0;   // height, high byte
            noLines[at + 6] = 0;   // height, low byte
            break;
        }
    expectDamaged(read(noLines, noLines.size()), "height 0");

    std::mt19937 random(20240201);
    for (int round = 0; round < 50; ++round) {
        Bytes noise(1 + random() % 4000);
        for (auto& b : noise)
            b = static_cast<unsigned char>(random());
        expectDamaged(read(noise, noise.size()), "random " + std::to_string(round));
        // The same noise behind a start-of-image marker.
        noise.insert(noise.begin(), {0xFF, 0xD8});
        expectDamaged(read(noise, noise.size()), "SOI + random " + std::to_string(round));
    }
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");

    // The reader still works after all of that.
    EXPECT_TRUE(read(jpeg, jpeg.size()).ok);
}

} // namespace
