#include "SioCommEventThread.h"

#include "SioComm.h"
#include "SioOsCalls.h"

#include <OwnerDispatcher.h>

#include <algorithm>
#include <cerrno>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>

namespace {

bool sameErrorCounts(const serial_icounter_struct& a, const serial_icounter_struct& b)
{
    return a.frame == b.frame && a.overrun == b.overrun && a.parity == b.parity
        && a.buf_overrun == b.buf_overrun;
}

std::uint32_t modemEvents(int changed)
{
    std::uint32_t events = 0;
    if (changed & TIOCM_CTS)
        events |= EV_CTS;
    if (changed & TIOCM_DSR)
        events |= EV_DSR;
    if (changed & TIOCM_CD)
        events |= EV_RLSD;
    if (changed & TIOCM_RI)
        events |= EV_RING;
    return events;
}

} // namespace

TSioCommEventThread::TSioCommEventThread(TSioComm& owner, OwnerDispatcher& dispatcher,
                                         const TConfig& config)
    : owner_(owner), dispatcher_(dispatcher), config_(config), priority_(config.Priority)
{
    thread_ = std::thread([this] { Execute(stopSource_.get_token()); });
}

TSioCommEventThread::~TSioCommEventThread()
{
    Stop();
    Join();
}

void TSioCommEventThread::Stop()
{
    stopSource_.request_stop();
    stopEvent_.SetEvent();
}

void TSioCommEventThread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void TSioCommEventThread::Execute(std::stop_token stop)
{
    SioOsCalls& os = *config_.Os;
    const int fd = config_.Fd;
    const std::uint32_t mask = config_.Mask;

    const bool watchInput = (mask & (EV_RXCHAR | EV_RX80FULL)) != 0;
    const bool watchTx = (mask & EV_TXEMPTY) != 0 && config_.TxWritten;
    // 80 % of the input buffer, for EV_RX80FULL.
    const long fullMark = config_.ReadSize > 0 ? static_cast<long>(config_.ReadSize) * 8 / 10 : 0;

    // A pseudo-terminal has no modem lines and no error counters (ENOTTY): nothing to watch.
    int modem = 0;
    bool watchModem = (mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) != 0
        && os.ioctl(fd, TIOCMGET, &modem) == 0;
    serial_icounter_struct counts {};
    bool watchCounts = (mask & (EV_ERR | EV_BREAK)) != 0 && os.ioctl(fd, TIOCGICOUNT, &counts) == 0;

    long inputSeen = 0;              // FIONREAD at the last look
    // Bytes arrived at the last look; EV_RXCHAR when it grew.
    std::uint64_t arrivedSeen = config_.RxConsumed ? config_.RxConsumed->load() : 0;
    bool txPending = false;   // written and not yet drained
    bool deviceGone = false;  // hang-up or error: the descriptor stays ready, stop polling it

    while (!stop.stop_requested()) {
        pollfd fds[3];
        int n = 0;
        fds[n++] = {stopEvent_.Handle(), POLLIN, 0};
        int txIndex = -1;
        int fdIndex = -1;
        if (watchTx && !deviceGone) {
            txIndex = n;
            fds[n++] = {config_.TxWritten->Handle(), POLLIN, 0};
        }
        if (!deviceGone) {
            // POLLIN is level-triggered: while input waits unread it is watched by interval.
            fdIndex = n;
            fds[n++] = {fd, static_cast<short>(watchInput && inputSeen == 0 ? POLLIN : 0), 0};
        }
        const bool watching = !deviceGone
            && ((watchInput && inputSeen > 0) || txPending || watchModem || watchCounts);
        const int r = os.poll(fds, static_cast<unsigned long>(n), watching ? WatchIntervalMs : -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            deviceGone = true;
            continue;
        }
        if (fds[0].revents != 0 || stop.stop_requested())
            break;
        if (txIndex >= 0 && (fds[txIndex].revents & POLLIN)) {
            config_.TxWritten->ResetEvent();
            txPending = true;
        }
        if (fdIndex >= 0 && (fds[fdIndex].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            deviceGone = true;
            continue;
        }

        std::uint32_t events = 0;
        if (watchInput) {
            // The consumed count first: a read between the two looks then hides an arrival
            // only until the next look, which comes while bytes are queued.
            const std::uint64_t consumed = config_.RxConsumed ? config_.RxConsumed->load() : 0;
            int queued = 0;
            if (os.ioctl(fd, FIONREAD, &queued) == 0) {
                const std::uint64_t arrived = consumed + static_cast<std::uint64_t>(std::max(queued, 0));
                if (arrived > arrivedSeen && queued > 0)
                    events |= EV_RXCHAR;
                arrivedSeen = arrived;
                if (fullMark > 0 && queued >= fullMark && inputSeen < fullMark)
                    events |= EV_RX80FULL;
                inputSeen = queued;
            } else {
                deviceGone = true;
            }
        }
        if (txPending) {
            int outQueue = 0;
            if (os.ioctl(fd, TIOCOUTQ, &outQueue) != 0 || outQueue == 0) {
                events |= EV_TXEMPTY;
                txPending = false;
            }
        }
        if (watchModem) {
            int now = 0;
            if (os.ioctl(fd, TIOCMGET, &now) == 0) {
                events |= modemEvents(now ^ modem);
                modem = now;
            } else {
                watchModem = false;
            }
        }
        if (watchCounts) {
            serial_icounter_struct now {};
            if (os.ioctl(fd, TIOCGICOUNT, &now) == 0) {
                if (!sameErrorCounts(now, counts))
                    events |= EV_ERR;
                if (now.brk != counts.brk)
                    events |= EV_BREAK;
                counts = now;
            } else {
                watchCounts = false;
            }
        }
        events &= mask;
        if (events == 0)
            continue;
        // The mask goes by value: the call may still run after this thread object is gone.
        TSioComm* owner = &owner_;
        dispatcher_.runOnOwner([owner, events] { owner->DoEvents(events); }, stop);
    }
}
