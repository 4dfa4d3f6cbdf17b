#include "UsersFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

UsersFileRead failed(std::string error)
{
    UsersFileRead result;
    result.status = UsersFileRead::Status::Failed;
    result.error = std::move(error);
    return result;
}

UsersFileRead failed(int error) { return failed(std::string(std::strerror(error))); }

constexpr const char* LinkText = "Is a symbolic link";

bool isLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

UsersFileRead ReadUsersFile(const std::string& path, bool forWriting)
{
    // Non-blocking, so that a FIFO or a device in the file's place cannot hang the open. A link
    // in the file's place is not followed (the open fails with ELOOP), dangling or not: the
    // accounts would be read from, and written to, a file somewhere else.
    const int fd = ::open(path.c_str(), (forWriting ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            UsersFileRead result;
            result.status = UsersFileRead::Status::Missing;
            return result;
        }
        if (error == ELOOP && isLink(path))
            return failed(std::string(LinkText));
        return failed(error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? failed(EISDIR) : failed(std::string("Not a regular file"));
    }
    std::string content;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            content.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return failed(error);
        }
        break;
    }
    ::close(fd);
    UsersFileRead result;
    result.status = UsersFileRead::Status::Ok;
    result.records = DecodeUserRecords(content);
    return result;
}

WriteResult WriteUsersFile(const std::string& path, const std::vector<UserRecord>& records,
                           const FileWriter& writer)
{
    if (!writer)
        return {false, path + ": no writer"};
    // The writer follows a link; the accounts file never does.
    if (isLink(path))
        return {false, path + ": " + LinkText};
    return writer(path, EncodeUserRecords(records));
}

std::string EnsureUsersFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), UsersFolderMode) == 0) {
        // The umask may have taken bits the folder needs; it gets exactly 0700.
        if (::chmod(folder.c_str(), UsersFolderMode) != 0)
            return std::strerror(errno);
        return {};
    }
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return {};
    return std::strerror(error == EEXIST ? ENOTDIR : error);
}
