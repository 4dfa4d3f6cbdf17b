#include "JpegHeader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// libjpeg's own error handler prints and calls exit(); this one jumps back to the reader with
// the message kept, and warnings print nothing.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Everything the reader touches lives in the caller's frame, so that nothing of the function
// that calls setjmp changes between setjmp and longjmp.
struct Reader {
    jpeg_decompress_struct info;
    ErrorManager error;
    const unsigned char* data;
    unsigned long size;
    int width, height, components, colorSpace;
    bool progressive, jfif;
};

extern "C" void jumpOnError(j_common_ptr info)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings are kept, not printed; libjpeg passes on the first one only.
extern "C" void keepWarning(j_common_ptr info)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, error->message);
}

// No C++ object with a destructor may live here: longjmp would skip it.
bool readInto(Reader* reader)
{
    reader->info.err = jpeg_std_error(&reader->error.base);
    reader->error.base.error_exit = jumpOnError;
    reader->error.base.output_message = keepWarning;
    if (setjmp(reader->error.jump)) {
        jpeg_destroy_decompress(&reader->info);
        return false;
    }
    jpeg_create_decompress(&reader->info);
    jpeg_mem_src(&reader->info, reader->data, reader->size);
    const int status = jpeg_read_header(&reader->info, TRUE);
    // A header that ran out of data (libjpeg then warns and makes up an end marker) or that
    // gave any other warning is as damaged as one that failed.
    if (status != JPEG_HEADER_OK || reader->error.base.num_warnings != 0) {
        if (reader->error.message[0] == '\0')
            std::snprintf(reader->error.message, sizeof reader->error.message,
                          "Incomplete JPEG header");
        jpeg_destroy_decompress(&reader->info);
        return false;
    }
    reader->width = static_cast<int>(reader->info.image_width);
    reader->height = static_cast<int>(reader->info.image_height);
    reader->components = reader->info.num_components;
    reader->colorSpace = static_cast<int>(reader->info.jpeg_color_space);
    reader->progressive = reader->info.progressive_mode != FALSE;
    reader->jfif = reader->info.saw_JFIF_marker != FALSE;
    jpeg_destroy_decompress(&reader->info);
    return true;
}

} // namespace

JpegHeader readJpegHeader(const unsigned char* data, std::size_t size)
{
    Reader reader;
    std::memset(&reader, 0, sizeof reader);
    // An empty buffer is an error of its own in libjpeg; give it a valid pointer all the same.
    static const unsigned char nothing = 0;
    reader.data = data ? data : &nothing;
    reader.size = data ? static_cast<unsigned long>(size) : 0;

    JpegHeader header;
    if (!readInto(&reader)) {
        header.error = reader.error.message;
        return header;
    }
    header.ok = true;
    header.width = reader.width;
    header.height = reader.height;
    header.components = reader.components;
    header.colorSpace = reader.colorSpace;
    header.progressive = reader.progressive;
    header.jfif = reader.jfif;
    return header;
}
