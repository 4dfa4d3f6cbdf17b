#pragma once

#include <cstddef>
#include <memory>

// The write thread's byte queue: a block of fixed capacity, filled at the back and drained
// from the front.
class TSioCommBuffer {
public:
    explicit TSioCommBuffer(std::size_t capacity);

    const unsigned char* Data() const { return data_.get(); }
    std::size_t Count() const { return count_; }
    std::size_t Capacity() const { return capacity_; }
    std::size_t Room() const { return capacity_ - count_; }

    void Clear() { count_ = 0; }
    // Copies n bytes behind the held ones; false, and nothing copied, when they do not fit.
    bool Append(const void* bytes, std::size_t n);
    // Drops the first n bytes (all of them when n is larger); the rest moves to the front.
    void Remove(std::size_t n);

private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};
