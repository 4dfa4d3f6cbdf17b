#include "SmallTmpfs.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

SmallTmpfs::SmallTmpfs(std::size_t bytes)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "ferolt-tmpfs-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        return;
    dir_ = tmpl;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs()
{
    if (mounted_)
        ::umount2(dir_.c_str(), MNT_DETACH);
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::size_t SmallTmpfs::fill(const std::string& name)
{
    const int fd = ::open(path(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return 0;
    const std::string block(4096, 'f');
    std::size_t total = 0;
    for (std::size_t size = block.size(); size > 0;) {
        const ssize_t n = ::write(fd, block.data(), size);
        if (n > 0) {
            total += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            size /= 2;   // the last pages: go down to single bytes
        }
    }
    ::close(fd);
    return total;
}
