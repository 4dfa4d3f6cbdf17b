// The JPEG header reader, whatever the picture file holds.
//
// Properties: the result is the same on every read; a header read gives sizes within the
// format's limits, 1 to 10 components and no error text, a failed one only zeros and an error
// text; and bytes after the picture change nothing, as the header ends before them.
#include "FuzzCheck.h"
#include "JpegHeader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

bool same(const JpegHeader& a, const JpegHeader& b)
{
    return a.ok == b.ok && a.width == b.width && a.height == b.height && a.components == b.components
           && a.colorSpace == b.colorSpace && a.progressive == b.progressive && a.jfif == b.jfif
           && a.error == b.error;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const JpegHeader header = readJpegHeader(data, size);
    FUZZ_CHECK(same(header, readJpegHeader(data, size)));
    if (!header.ok) {
        FUZZ_CHECK(!header.error.empty());
        FUZZ_CHECK(header.width == 0 && header.height == 0 && header.components == 0 && header.colorSpace == 0
                   && !header.progressive && !header.jfif);
        return 0;
    }
    FUZZ_CHECK(header.error.empty());
    FUZZ_CHECK(header.width >= 1 && header.width <= 65535 && header.height >= 1 && header.height <= 65535);
    FUZZ_CHECK(header.components >= 1 && header.components <= 10);
    FUZZ_CHECK(header.colorSpace >= 0 && header.colorSpace <= 16);

    // The same picture with bytes behind it.
    std::unique_ptr<std::uint8_t[]> longer(new std::uint8_t[size + 64]);
    std::memcpy(longer.get(), data, size);
    std::memset(longer.get() + size, 0xFF, 64);
    FUZZ_CHECK(same(header, readJpegHeader(longer.get(), size + 64)));
    return 0;
}
