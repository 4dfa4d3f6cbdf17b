#pragma once

#include <string>

// A small tmpfs mounted on a fresh temporary folder, to see what writers do when the device
// is full. Mounting needs CAP_SYS_ADMIN; without it mounted() is false and a test skips.
// Unmounted and removed when destroyed.
class SmallTmpfs {
public:
    explicit SmallTmpfs(std::size_t bytes = 64 * 1024);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes a filler file until the device has no byte left; returns the bytes written.
    std::size_t fill(const std::string& name = "filler");

private:
    std::string dir_;
    bool mounted_ = false;
};
