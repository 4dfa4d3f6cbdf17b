#include "AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

WriteResult failed(QSaveFile& file, const std::string& path, const std::string& reason)
{
    file.cancelWriting();
    return {false, path + ": " + reason};
}

std::string reasonOf(const QSaveFile& file)
{
    return file.errorString().toLocal8Bit().toStdString();
}

// The rename would put a regular file in place of whatever is at the path (QSaveFile follows
// a link and renames over its target). Only a regular file may be replaced, or a new one
// created (nothing there, or a link that leads nowhere yet); a FIFO, device, socket or folder,
// itself or at the end of a link, gives the reason it is refused. Only stat is used: nothing
// is opened, so a FIFO cannot block. Other stat failures are left to the write to report.
std::optional<std::string> refusedTarget(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return std::string(std::strerror(EISDIR));
    return std::string("Not a regular file");
}

} // namespace

WriteResult writeFileAtomically(const std::string& path, std::string_view bytes, std::optional<unsigned> mode)
{
    if (const std::optional<std::string> refused = refusedTarget(path))
        return {false, path + ": " + *refused};
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::WriteOnly))
        return {false, path + ": " + reasonOf(file)};
    if (mode && ::fchmod(file.handle(), static_cast<mode_t>(*mode)) != 0)
        return failed(file, path, std::strerror(errno));

    const char* data = bytes.data();
    qint64 left = static_cast<qint64>(bytes.size());
    while (left > 0) {
        const qint64 written = file.write(data, left);
        if (written <= 0)
            return failed(file, path, reasonOf(file));
        data += written;
        left -= written;
    }
    if (!file.flush())
        return failed(file, path, reasonOf(file));
    if (file.error() != QFileDevice::NoError)
        return failed(file, path, reasonOf(file));
    if (!file.commit())
        return {false, path + ": " + reasonOf(file)};
    return {true, {}};
}

FileWriter atomicFileWriter(std::optional<unsigned> mode)
{
    return [mode](const std::string& path, std::string_view bytes) {
        return writeFileAtomically(path, bytes, mode);
    };
}
