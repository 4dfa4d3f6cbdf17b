#include "SimPtyLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

void SimPtyLine::Writes::write(Clock::time_point at, std::string bytes, std::string text)
{
    added_.push_back({at, std::move(bytes), std::move(text), false, {}, {}});
}

void SimPtyLine::Writes::writeSplit(Clock::time_point at, std::string first, std::string second,
                                    std::chrono::milliseconds gap)
{
    added_.push_back({at, std::move(first), "first part", false, std::move(second), gap});
}

void SimPtyLine::Writes::hangUp(Clock::time_point at, std::string text)
{
    added_.push_back({at, {}, std::move(text), true, {}, {}});
}

SimPtyLine::SimPtyLine(Options options, Client& client, std::mutex& clientMutex)
    : options_(std::move(options))
    , client_(client)
    , clientMutex_(clientMutex)
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

SimPtyLine::~SimPtyLine()
{
    stop();
    ::close(wakeFd_);
}

std::filesystem::path SimPtyLine::linkPath() const
{
    if (options_.programFolder.empty())
        return {};
    return options_.programFolder / "ports" / options_.portName;
}

void SimPtyLine::start()
{
    std::lock_guard life(lifeMutex_);
    if (thread_.joinable())
        return;
    if (!options_.programFolder.empty()) {
        try {
            pty_.linkAs(linkPath());
        } catch (const std::exception& e) {
            throw std::runtime_error("cannot link " + linkPath().string() + " to "
                                     + slavePath() + ": " + e.what());
        }
        linked_ = true;
    }
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    running_ = true;
}

void SimPtyLine::stop()
{
    std::lock_guard life(lifeMutex_);
    if (thread_.joinable()) {
        running_ = false;
        stopping_ = true;
        wake();
        thread_.join();
        due_.clear();
        writing_.clear();
        written_ = 0;
    }
    if (linked_) {
        // Remove the link only while it still leads to this line's slave.
        std::error_code ec;
        if (std::filesystem::read_symlink(linkPath(), ec) == slavePath() && !ec)
            std::filesystem::remove(linkPath(), ec);
        linked_ = false;
    }
}

void SimPtyLine::hangUpNow(std::string text)
{
    {
        std::lock_guard lock(clientMutex_);
        due_.push_back({Clock::now(), {}, std::move(text), true, {}, {}});
        std::stable_sort(due_.begin(), due_.end(), [](const Due& x, const Due& y) { return x.at < y.at; });
    }
    wake();
}

void SimPtyLine::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

// Called with the client's mutex held.
void SimPtyLine::writeDue(Clock::time_point now)
{
    auto firstLater = std::find_if(due_.begin(), due_.end(), [&](const Due& d) { return d.at > now; });
    for (auto it = due_.begin(); it != firstLater; ++it)
        writing_.push_back(std::move(*it));
    due_.erase(due_.begin(), firstLater);

    while (!writing_.empty()) {
        Due& d = writing_.front();
        if (d.hangUp) {
            pty_.closeMaster();
            hungUp_ = true;
            client_.hungUp(std::move(d.text), now);
            writing_.clear();
            due_.clear();
            written_ = 0;
            return;
        }
        const ssize_t n = ::write(pty_.masterFd(), d.bytes.data() + written_, d.bytes.size() - written_);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the line is full: poll for room
        if (n > 0)
            written_ += static_cast<std::size_t>(n);
        if (n < 0 || written_ == d.bytes.size()) {
            std::string text = n < 0 ? std::string("write failed: ") + std::strerror(errno) : std::move(d.text);
            if (n >= 0 && !d.then.empty()) {
                const Due second {Clock::now() + d.gap, std::move(d.then), "second part", false, {}, {}};
                due_.insert(std::upper_bound(due_.begin(), due_.end(), second,
                                             [](const Due& x, const Due& y) { return x.at < y.at; }),
                            second);
            }
            client_.wrote(std::move(d.bytes), std::move(text), now);
            writing_.pop_front();
            written_ = 0;
        }
    }
}

// Called with the client's mutex held.
int SimPtyLine::pollTimeout(Clock::time_point now) const
{
    std::optional<Clock::time_point> next = client_.deadline();
    if (!due_.empty() && (!next || due_.front().at < *next))
        next = due_.front().at;
    if (!next)
        return -1;
    if (*next <= now)
        return 0;
    // Round up, so the wait never ends just before the moment and spins.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now);
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(ms.count(), 60000));
}

void SimPtyLine::run()
{
    bool masterHungUp = false;
    while (!stopping_) {
        int timeout;
        short masterEvents = POLLIN;
        {
            std::lock_guard lock(clientMutex_);
            timeout = pollTimeout(Clock::now());
            if (!writing_.empty())
                masterEvents |= POLLOUT;
        }
        if (masterHungUp && (timeout < 0 || timeout > 10))
            timeout = 10; // a hung-up master polls as ready at once: look again shortly
        const int master = masterHungUp ? -1 : pty_.masterFd(); // -1 once closed: not polled
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {master, masterEvents, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        masterHungUp = false;

        std::string chunk;
        if (fds[1].revents & POLLIN) {
            char buf[4096];
            for (;;) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n <= 0)
                    break;
                chunk.append(buf, static_cast<std::size_t>(n));
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            masterHungUp = true;
        }
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard lock(clientMutex_);
            Writes out;
            client_.received(chunk, now, out);
            if (!out.added_.empty()) {
                for (Due& d : out.added_)
                    due_.push_back(std::move(d));
                std::stable_sort(due_.begin(), due_.end(),
                                 [](const Due& x, const Due& y) { return x.at < y.at; });
            }
            writeDue(Clock::now());
        }
        client_.roundDone();
    }
}
