#include "SioCommBuffer.h"

#include <cstring>

TSioCommBuffer::TSioCommBuffer(std::size_t capacity)
    : data_(new unsigned char[capacity > 0 ? capacity : 1]), capacity_(capacity)
{
}

bool TSioCommBuffer::Append(const void* bytes, std::size_t n)
{
    if (n > Room())
        return false;
    if (n > 0)
        std::memcpy(data_.get() + count_, bytes, n);
    count_ += n;
    return true;
}

void TSioCommBuffer::Remove(std::size_t n)
{
    if (n >= count_) {
        count_ = 0;
        return;
    }
    std::memmove(data_.get(), data_.get() + n, count_ - n);
    count_ -= n;
}
