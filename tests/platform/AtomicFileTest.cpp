#include "AtomicFile.h"
#include "IniFile.h"
#include "SmallTmpfs.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writePlain(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::set<std::string> listing(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        names.insert(fs::relative(e.path(), dir).string());
    return names;
}

unsigned modeOf(const fs::path& path)
{
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::string allBytes()
{
    std::string s;
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 256; ++b)
            s.push_back(static_cast<char>(b));
    return s;
}

// The kind of node at path itself (a link is not followed).
mode_t kindOf(const fs::path& path)
{
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & S_IFMT;
}

// Writes through writeFileAtomically on another thread and gives its result; a write that is
// still waiting after a generous bound (as an open of a FIFO without a reader would) fails
// the test, after a reader opened for a moment has let it go on.
WriteResult writeWithinBound(const fs::path& target, const std::string& bytes)
{
    auto writing = std::async(std::launch::async, [=] { return writeFileAtomically(target.string(), bytes); });
    if (writing.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        const int reader = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ADD_FAILURE() << target << ": the write waited on the node";
        const WriteResult r = writing.get();
        if (reader >= 0)
            ::close(reader);
        return r;
    }
    return writing.get();
}

// A listening Unix socket bound at path; closed (the node stays) when destroyed.
class BoundSocket {
public:
    explicit BoundSocket(const fs::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string p = path.string();
        bound_ = fd_ >= 0 && p.size() < sizeof address.sun_path;
        if (bound_) {
            p.copy(address.sun_path, p.size());
            bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        }
    }
    ~BoundSocket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

class AtomicFile : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir() const { return fs::path(tmp.path().toStdString()); }
};

} // namespace

TEST_F(AtomicFile, WritesEveryByteAndReplacesTheOldFile)
{
    const fs::path target = dir() / "meters_data.csv";
    const WriteResult created = writeFileAtomically(target.string(), allBytes());
    ASSERT_TRUE(created.ok) << created.error;
    EXPECT_EQ(readAll(target), allBytes());
    ASSERT_TRUE(writeFileAtomically(target.string(), "short\r\n").ok);
    EXPECT_EQ(readAll(target), "short\r\n");
    ASSERT_TRUE(writeFileAtomically(target.string(), "").ok);
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_EQ(listing(dir()), std::set<std::string>{"meters_data.csv"});
}

TEST_F(AtomicFile, PermissionBits)
{
    const mode_t mask = ::umask(022);
    const fs::path plain = dir() / "log.txt";
    ASSERT_TRUE(writeFileAtomically(plain.string(), "x").ok);
    EXPECT_EQ(modeOf(plain), 0644u);
    ::chmod(plain.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(plain.string(), "y").ok);
    EXPECT_EQ(modeOf(plain), 0640u);   // an existing file keeps its bits

    const fs::path accounts = dir() / "users.dat";
    ASSERT_TRUE(writeFileAtomically(accounts.string(), "secret", 0600).ok);
    EXPECT_EQ(modeOf(accounts), 0600u);
    ::chmod(accounts.c_str(), 0644);
    ASSERT_TRUE(atomicFileWriter(0600)(accounts.string(), "secret2").ok);
    EXPECT_EQ(modeOf(accounts), 0600u);
    EXPECT_EQ(readAll(accounts), "secret2");
    ::umask(mask);
}

TEST_F(AtomicFile, TargetsThatCannotBeWrittenFailAndChangeNothing)
{
    writePlain(dir() / "plain", "not a folder");
    fs::create_directory(dir() / "ferolt.ini");
    writePlain(dir() / "ferolt.ini" / "inside", "kept");
    const std::set<std::string> before = listing(dir());
    const std::vector<fs::path> targets = {
        dir() / "plain" / "log.txt",          // the folder runs through a regular file
        dir() / "missing" / "log.txt",        // no such folder
        dir() / "ferolt.ini",                 // a folder in place of the file
    };
    for (const fs::path& target : targets) {
        const WriteResult r = writeFileAtomically(target.string(), "data");
        EXPECT_FALSE(r.ok) << target;
        EXPECT_NE(r.error.find(target.string()), std::string::npos) << r.error;
        EXPECT_GT(r.error.size(), target.string().size() + 2) << "no reason given: " << r.error;
    }
    EXPECT_EQ(listing(dir()), before);
    EXPECT_EQ(readAll(dir() / "plain"), "not a folder");
    EXPECT_EQ(readAll(dir() / "ferolt.ini" / "inside"), "kept");
}

TEST_F(AtomicFile, OnlyARegularFileIsReplacedAndALinkIsFollowed)
{
    const fs::path fifo = dir() / "log.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path socket = dir() / "socket.csv";
    const BoundSocket bound(socket);
    ASSERT_TRUE(bound.bound());
    fs::create_symlink("log.txt", dir() / "to-fifo.txt");
    fs::create_directory(dir() / "folder");
    fs::create_symlink("folder", dir() / "to-folder.csv");
    const std::set<std::string> before = listing(dir());

    struct Refused { fs::path target; mode_t kind; const char* reason; };
    for (const Refused& c : {Refused {fifo, S_IFIFO, "Not a regular file"},
                             Refused {socket, S_IFSOCK, "Not a regular file"},
                             Refused {dir() / "to-fifo.txt", S_IFLNK, "Not a regular file"},
                             Refused {dir() / "to-folder.csv", S_IFLNK, "Is a directory"}}) {
        const WriteResult r = writeWithinBound(c.target, "data\r\n");
        EXPECT_FALSE(r.ok) << c.target;
        EXPECT_EQ(r.error, c.target.string() + ": " + c.reason);
        EXPECT_EQ(kindOf(c.target), c.kind) << c.target;
    }
    EXPECT_EQ(kindOf(fifo), S_IFIFO);
    EXPECT_EQ(listing(dir()), before) << "a temporary file was left behind";

    // A link the user aims at is followed: its target is written, or created, and the link stays.
    writePlain(dir() / "kept.txt", "old");
    fs::create_symlink("kept.txt", dir() / "to-kept.txt");
    fs::create_symlink("new.txt", dir() / "to-new.txt");
    ASSERT_TRUE(writeWithinBound(dir() / "to-kept.txt", "replaced").ok);
    ASSERT_TRUE(writeWithinBound(dir() / "to-new.txt", "created").ok);
    EXPECT_EQ(kindOf(dir() / "to-kept.txt"), S_IFLNK);
    EXPECT_EQ(kindOf(dir() / "to-new.txt"), S_IFLNK);
    EXPECT_EQ(readAll(dir() / "kept.txt"), "replaced");
    EXPECT_EQ(readAll(dir() / "new.txt"), "created");
}

TEST_F(AtomicFile, ADeviceNodeIsNeverReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    const fs::path device = dir() / "log.txt";   // the numbers of /dev/null
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod: " << std::strerror(errno);
    fs::create_symlink("log.txt", dir() / "to-device.csv");
    for (const fs::path& target : {device, dir() / "to-device.csv"}) {
        const WriteResult r = writeWithinBound(target, "data");
        EXPECT_FALSE(r.ok) << target;
        EXPECT_EQ(r.error, target.string() + ": Not a regular file");
    }
    struct stat st{};
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, ::makedev(1, 3));
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string> {"log.txt", "to-device.csv"}));
    EXPECT_TRUE(fs::is_symlink(dir() / "to-device.csv"));
}

TEST(AtomicFileFullDevice, AFullDeviceKeepsTheOldFileWhole)
{
    SmallTmpfs fsys(64 * 1024);
    if (!fsys.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string target = fsys.path("log.txt");
    ASSERT_TRUE(writeFileAtomically(target, "old log\r\n").ok);
    ASSERT_GT(fsys.fill(), 0u);
    const std::set<std::string> before = listing(fsys.dir());

    for (const std::size_t size : {std::size_t(100), std::size_t(20000), std::size_t(1 << 20)}) {
        const WriteResult r = writeFileAtomically(target, std::string(size, 'n'));
        EXPECT_FALSE(r.ok) << size;
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(readAll(target), "old log\r\n") << size;
        EXPECT_EQ(listing(fsys.dir()), before) << "a temporary file was left behind";
    }
    // With room again the same write goes through: the device was the only obstacle.
    fs::remove(fsys.path("filler"));
    ASSERT_TRUE(writeFileAtomically(target, std::string(20000, 'n')).ok);
    EXPECT_EQ(fs::file_size(target), 20000u);
}

TEST(AtomicFileFullDevice, ANewFileLargerThanTheDeviceIsNotCreated)
{
    SmallTmpfs fsys(64 * 1024);
    if (!fsys.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const WriteResult r = writeFileAtomically(fsys.path("meters_data.csv"), std::string(256 * 1024, 'x'), 0600);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(listing(fsys.dir()).empty());
}

TEST_F(AtomicFile, IniSaveReplacesTheFileByRename)
{
    const fs::path path = dir() / "ferolt.ini";
    writePlain(path, "[Mbus]\r\nTimeout=500\r\n; mine\n");
    const int oldFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(oldFd, 0);
    IniFile ini(path.string(), atomicFileWriter());
    ini.writeInteger("Mbus", "Timeout", 1200);
    ASSERT_TRUE(ini.save().ok);
    EXPECT_EQ(readAll(path), "[Mbus]\r\nTimeout=1200\r\n; mine\n");
    char buf[64] = {};
    const ssize_t n = ::pread(oldFd, buf, sizeof buf, 0);
    ::close(oldFd);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "[Mbus]\r\nTimeout=500\r\n; mine\n");
    EXPECT_EQ(listing(dir()), std::set<std::string>{"ferolt.ini"});
    EXPECT_EQ(IniFile(path.string(), {}).readInteger("Mbus", "Timeout", 0), 1200);
}

TEST_F(AtomicFile, AFailedIniSaveLeavesTheFolderAsItWas)
{
    const fs::path path = dir() / "ferolt.ini";
    fs::create_directory(path);
    writePlain(dir() / "other.txt", "x");
    const std::set<std::string> before = listing(dir());
    IniFile ini(path.string(), atomicFileWriter());
    ini.writeString("Com port", "Name", "COM2");
    EXPECT_FALSE(ini.save().ok);
    EXPECT_EQ(listing(dir()), before);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST(AtomicFileIni, FirstSaveCreatesTheFileInCrLfLines)
{
    QTemporaryDir tmp;
    const std::string path = tmp.filePath("ferolt.ini").toStdString();
    IniFile ini(path, atomicFileWriter());
    EXPECT_FALSE(fs::exists(path));
    ini.writeString("Com port", "Name", "COM1");
    ini.writeString("Com port", "Speed", "300");
    ini.writeString("Misc", "ExportSeparator", ";");
    ASSERT_TRUE(ini.save().ok);
    EXPECT_EQ(readAll(path), "[Com port]\r\nName=COM1\r\nSpeed=300\r\n[Misc]\r\nExportSeparator=;\r\n");
}
