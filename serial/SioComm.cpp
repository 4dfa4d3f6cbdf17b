#include "SioComm.h"

#include "SioApplicationException.h"
#include "SioCommEventThread.h"
#include "SioCommWriteThread.h"
#include "SioOsCalls.h"
#include "SioPortName.h"
#include "SioTermios2.h"

#include <OwnerDispatcher.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

constexpr const char* kOpenMessage = "Can't perform this operation while port is open";
constexpr const char* kNotFound = "Specified device not found (%s).";
constexpr const char* kCantOpen = "Can't open specified device %s (Error %d, %s)";
constexpr const char* kDcbError = "Error writing dcb (%d), %s";
constexpr const char* kTimeoutsError = "Error setting timeouts (%d), %s";
constexpr const char* kPurgeError = "Error clearing buffers (%d), %s";
constexpr const char* kStatError = "Error retrieving statistics (%d), %s";
constexpr const char* kWriteError = "Write error (%d), %s";
constexpr const char* kReadError = "Read error (%d), %s";
constexpr const char* kQueueFull = "Output buffer is full. Please check comm status.";

// ioctls a device may simply not have (a pseudo-terminal has no modem lines or counters).
bool unsupported(int error)
{
    return error == ENOTTY || error == EINVAL;
}

SioLineSettings neutral(const termios& t)
{
    SioLineSettings s;
    s.iflag = t.c_iflag;
    s.oflag = t.c_oflag;
    s.cflag = t.c_cflag;
    s.lflag = t.c_lflag;
    s.line = t.c_line;
    static_assert(sizeof t.c_cc <= sizeof s.cc);
    std::memcpy(s.cc, t.c_cc, sizeof t.c_cc);
    return s;
}

int applyPlan(SioOsCalls& os, int fd, const TSioTermiosPlan& plan)
{
    if (plan.CustomSpeed)
        return sioSetLineWithSpeed(os, fd, neutral(plan.Settings), plan.Speed);
    return os.tcsetattr(fd, TCSANOW, &plan.Settings);
}

void setModemLine(SioOsCalls& os, int fd, TSioTermiosPlan::TLine line, int bit)
{
    if (line == TSioTermiosPlan::Keep)
        return;
    if (os.ioctl(fd, line == TSioTermiosPlan::Raise ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
        const int error = errno;
        if (!unsupported(error))
            RaiseCommError(kDcbError, error);
    }
}

} // namespace

// --- clients ---

TSioCommClient::~TSioCommClient()
{
    if (comm_)
        comm_->RemoveClient(*this);
}

// --- life ---

TSioComm::TSioComm(OwnerDispatcher& owner, SioOsCalls* os)
    : owner_(owner), os_(os ? *os : SioOsCalls::real())
{
    buffers_.SetOnChange([this](TSioPersistent&) { BuffersChanged(); });
    eventChars_.SetOnChange([this](TSioPersistent&) { ApplyDCB(); });
    flowControl_.SetOnChange([this](TSioPersistent&) { ApplyDCB(); });
}

TSioComm::~TSioComm()
{
    destroying_ = true;
    try {
        Close();
    } catch (...) {
        SioHandleException(std::current_exception());
    }
    RemoveAllClients();
}

void TSioComm::Loaded()
{
    if (autoOpen_)
        Open();
}

// --- port ---

void TSioComm::CheckClosed() const
{
    if (Active())
        throw ESioCommError(kOpenMessage);
}

std::string TSioComm::GetDeviceName() const
{
    return SioFormatDeviceName(deviceName_, portNum_);
}

void TSioComm::Open()
{
    {
        std::lock_guard read(readLock_);
        CheckClosed();
        CreateHandle();
        try {
            ResetLineErrorCounts();
            ApplyDCB();
            SetupBuffers();
            SetTimeouts();
            UpdateEventMask();
            CreateThreads();
        } catch (...) {
            DestroyThreads();
            std::lock_guard write(writeLock_);
            DestroyHandle();
            throw;
        }
    }
    DoOpen();
}

void TSioComm::Close()
{
    {
        std::lock_guard read(readLock_);
        if (!Active())
            return;
        // The threads are woken and joined before the descriptor goes: its number is reused
        // at once by the next descriptor the process opens.
        DestroyThreads();
        // A direct write waiting for its bytes to leave gives up instead of holding the
        // write lock for the rest of its time-out.
        closing_ = true;
        std::lock_guard write(writeLock_);
        DestroyHandle();
        closing_ = false;
    }
    DoClose();
}

void TSioComm::CreateHandle()
{
    const std::string name = GetDeviceName();
    const std::optional<std::string> path = ResolveSerialPortName(name, portsFolder_);
    if (!path)
        throw ESioCommError(SioFillMessage(kNotFound, {name}));
    const int fd = os_.open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            throw ESioCommError(SioFillMessage(kNotFound, {name}));
        throw ESioCommError(SioFillMessage(kCantOpen, {name, std::to_string(error), SioErrorText(error)}));
    }
    // Not shared: an exclusive lock that goes with the descriptor. (TIOCEXCL binds nobody
    // running as root and outlives our close.)
    if (os_.flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        os_.close(fd);
        throw ESioCommError(SioFillMessage(kCantOpen, {name, std::to_string(error), SioErrorText(error)}));
    }
    handle_.store(fd);
}

void TSioComm::DestroyHandle()
{
    const int fd = handle_.exchange(-1);
    // The result is of no use: a descriptor that the caller closed already is tolerated.
    if (fd >= 0)
        os_.close(fd);
}

void TSioComm::CreateThreads()
{
    const std::uint32_t mask = eventMask_.load();
    if (mask != 0) {
        txWritten_.ResetEvent();
        TSioCommEventThread::TConfig c;
        c.Os = &os_;
        c.Fd = handle_.load();
        c.Mask = mask;
        c.ReadSize = buffers_.ReadSize();
        c.TxWritten = directWrite_ ? &txWritten_ : nullptr;
        c.RxConsumed = &rxConsumed_;
        c.Priority = eventPriority_;
        eventThread_ = std::make_unique<TSioCommEventThread>(*this, owner_, c);
    }
    if (!directWrite_) {
        TSioCommWriteThread::TConfig c;
        c.Os = &os_;
        c.Fd = handle_.load();
        c.Capacity = static_cast<std::size_t>(buffers_.WriteSize());
        c.WriteTimeoutMs = static_cast<std::uint32_t>(buffers_.WriteTimeout());
        c.Priority = writePriority_;
        auto thread = std::make_unique<TSioCommWriteThread>(*this, owner_, writeLock_, c);
        std::lock_guard write(writeLock_);
        writeQueue_ = thread->Queue();
        writeThread_ = std::move(thread);
    }
}

void TSioComm::DestroyThreads()
{
    if (writeThread_) {
        std::lock_guard write(writeLock_);
        // Writers still waiting for room wake and give 0: the port is closing.
        writeQueue_->IsClosed = true;
        writeQueue_->Room.notify_all();
        writeQueue_.reset();
    }
    if (eventThread_)
        eventThread_->Stop();
    if (writeThread_)
        writeThread_->Stop();
    eventThread_.reset();
    writeThread_.reset();
}

void TSioComm::DoOpen()
{
    if (!OnOpen)
        return;
    try {
        OnOpen(*this);
    } catch (...) {
        SioHandleException(std::current_exception());
    }
}

void TSioComm::DoClose()
{
    if (OnClose && !destroying_)
        OnClose(*this);
}

// --- device set-up ---

TSioDcb TSioComm::BuildDcb() const
{
    TSioLineConfig c;
    c.Baudrate = baudrate_;
    c.UserBaudrate = userBaudrate_;
    c.Parity = parity_;
    c.Databits = databits_;
    c.Stopbits = stopbits_;
    c.Options = options_;
    c.FlowControl = &flowControl_;
    c.EventChars = &eventChars_;
    c.Buffers = &buffers_;
    return ::BuildDcb(c);
}

void TSioComm::ApplyDCB()
{
    std::lock_guard read(readLock_);
    if (!Active() || !updateDcb_)
        return;
    const int fd = handle_.load();
    const TSioDcb dcb = BuildDcb();
    termios current {};
    CheckResult(os_.tcgetattr(fd, &current) == 0, kDcbError);
    TSioTermiosPlan plan = DcbToTermios(dcb, current);
    // Speed 0 (B0) would hang up the line: refuse it and leave the device as it is.
    if (!plan.SpeedValid)
        RaiseCommError(kDcbError, EINVAL);
    if (applyPlan(os_, fd, plan) != 0) {
        const int error = errno;
        // A pseudo-terminal keeps neither parity nor character size, and refuses a request
        // that differs from what it holds only there. It has no modem lines: TIOCMGET fails
        // with ENOTTY where tcgetattr works. Apply again with the bits it holds.
        int lines = 0;
        termios held {};
        const bool pty = error == EINVAL && os_.ioctl(fd, TIOCMGET, &lines) != 0 && errno == ENOTTY
            && os_.tcgetattr(fd, &held) == 0;
        if (!pty)
            RaiseCommError(kDcbError, error);
        const tcflag_t kept = PARENB | CSIZE;
        plan.Settings.c_cflag = (plan.Settings.c_cflag & ~kept) | (held.c_cflag & kept);
        if (applyPlan(os_, fd, plan) != 0)
            RaiseCommError(kDcbError, errno);
    }
    setModemLine(os_, fd, plan.Dtr, TIOCM_DTR);
    setModemLine(os_, fd, plan.Rts, TIOCM_RTS);
}

void TSioComm::SetupBuffers()
{
    // The driver's buffer sizes cannot be set on Linux; WriteSize sizes the write queue when
    // the write thread starts.
}

void TSioComm::SetTimeouts()
{
    if (!Active())
        return;
    // Reads return at once with what is queued: O_NONBLOCK with VMIN 0 and VTIME 0.
    const int fd = handle_.load();
    termios t {};
    CheckResult(os_.tcgetattr(fd, &t) == 0, kTimeoutsError);
    if (t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0)
        return;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    CheckResult(os_.tcsetattr(fd, TCSANOW, &t) == 0, kTimeoutsError);
}

void TSioComm::UpdateEventMask()
{
    std::uint32_t mask = 0;
    for (int m = ceBreak; m <= ceEvent2; ++m)
        if (monitorEvents_.Contains(static_cast<TSioCommEvent>(m)))
            mask |= kSioEventBits[m];
    // The write thread reports an emptied queue itself.
    if (!directWrite_)
        mask &= ~EV_TXEMPTY;
    // The event thread takes the mask when it starts.
    eventMask_.store(mask);
}

void TSioComm::ResetLineErrorCounts()
{
    serial_icounter_struct c {};
    haveCounts_ = os_.ioctl(handle_.load(), TIOCGICOUNT, &c) == 0;
    const std::uint32_t now[5] = {static_cast<std::uint32_t>(c.frame), static_cast<std::uint32_t>(c.overrun),
                                  static_cast<std::uint32_t>(c.parity), static_cast<std::uint32_t>(c.brk),
                                  static_cast<std::uint32_t>(c.buf_overrun)};
    std::copy(std::begin(now), std::end(now), std::begin(counts_));
}

// --- input and output ---

int TSioComm::Write(const void* buffer, int count)
{
    if (count <= 0 || !Active())
        return 0;
    return directWrite_ ? WriteDirect(buffer, count) : WriteQueued(buffer, count);
}

bool TSioComm::WaitWritable(int fd, const TSioTimeout& timeout)
{
    for (;;) {
        const std::uint32_t left = TimeoutRemaining(timeout);
        if (left == 0)
            return false;
        pollfd p {fd, POLLOUT, 0};
        const int r = os_.poll(&p, 1, static_cast<int>(std::min<std::uint32_t>(left, 0x7FFFFFFF)));
        if (r < 0 && errno != EINTR)
            return false;
        // Hang-up and errors count as ready: the next write reports them.
        if (r > 0)
            return true;
    }
}

bool TSioComm::WaitSent(int fd, const TSioTimeout& timeout)
{
    for (;;) {
        int queued = 0;
        if (os_.ioctl(fd, TIOCOUTQ, &queued) != 0) {
            // A device that cannot tell hands its bytes on at once; any other failure (a
            // hang-up) leaves them undelivered.
            return unsupported(errno);
        }
        if (queued <= 0)
            return true;
        if (closing_.load())
            return false;
        const std::uint32_t left = TimeoutRemaining(timeout);
        if (left == 0)
            return false;
        os_.poll(nullptr, 0, static_cast<int>(std::min<std::uint32_t>(left, SentPollMs)));
    }
}

int TSioComm::WriteDirect(const void* buffer, int count)
{
    std::lock_guard write(writeLock_);
    const int fd = handle_.load();
    if (fd < 0)
        return 0;
    TSioTimeout timeout;
    timeout.Tick = tick_;
    TimeoutStart(timeout, static_cast<std::uint32_t>(buffers_.WriteTimeout()));
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    const auto total = static_cast<std::size_t>(count);
    while (done < total) {
        const ssize_t n = os_.write(fd, bytes + done, total - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK)
            RaiseCommError(kWriteError, error);
        if (!WaitWritable(fd, timeout)) {
            // Not sent in time: what is still queued must not go out later as half a frame.
            os_.tcflush(fd, TCOFLUSH);
            return 0;
        }
    }
    // The write is complete once its bytes have left the driver: a purge before then would
    // cut them, and a wait for the answer would start before the far end has the frame.
    if (!WaitSent(fd, timeout)) {
        os_.tcflush(fd, TCOFLUSH);
        return 0;
    }
    if (eventMask_.load() & EV_TXEMPTY)
        txWritten_.SetEvent();
    return count;
}

int TSioComm::WriteQueued(const void* buffer, int count)
{
    std::unique_lock write(writeLock_);
    const std::shared_ptr<TSioCommWriteQueue> queue = writeQueue_;
    if (!queue || !Active())
        return 0;
    switch (queue->Write(write, buffer, static_cast<std::size_t>(count),
                         static_cast<std::uint32_t>(buffers_.WriteTimeout()), tick_)) {
    case TSioCommWriteQueue::Queued:
        return count;
    case TSioCommWriteQueue::Closed:
        return 0;
    case TSioCommWriteQueue::Full:
        break;
    }
    write.unlock();
    throw ESioCommError(kQueueFull);
}

int TSioComm::Read(void* buffer, int count)
{
    std::lock_guard read(readLock_);
    const int fd = handle_.load();
    if (fd < 0 || count <= 0)
        return 0;
    for (;;) {
        const ssize_t n = os_.read(fd, buffer, static_cast<std::size_t>(count));
        if (n >= 0) {
            rxConsumed_ += static_cast<std::uint64_t>(n);
            return static_cast<int>(n);   // 0 after a hang-up
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return 0;
        RaiseCommError(kReadError, error);
    }
}

bool TSioComm::WriteText(std::string_view text)
{
    if (text.size() > 0x7FFFFFFF)
        return false;
    return Write(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
}

bool TSioComm::WriteChar(char c)
{
    return Write(&c, 1) == 1;
}

std::string TSioComm::ReadText()
{
    const int n = InQueCount();
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    // Fewer bytes may come than were counted (a purge in between, a hang-up).
    const int got = Read(text.data(), n);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

int TSioComm::InQueCount()
{
    if (!Active())
        return 0;
    std::uint32_t errors = 0;
    TSioComStat status;
    GetComStat(errors, status);
    return static_cast<int>(std::min<std::uint32_t>(status.cbInQue, 0x7FFFFFFF));
}

void TSioComm::GetComStat(std::uint32_t& errors, TSioComStat& status)
{
    std::lock_guard read(readLock_);
    errors = 0;
    status = TSioComStat {};
    const int fd = handle_.load();
    if (fd < 0)
        return;
    int queued = 0;
    CheckResult(os_.ioctl(fd, FIONREAD, &queued) == 0, kStatError);
    status.cbInQue = static_cast<std::uint32_t>(std::max(queued, 0));
    int outQueue = 0;
    if (os_.ioctl(fd, TIOCOUTQ, &outQueue) == 0)
        status.cbOutQue = static_cast<std::uint32_t>(std::max(outQueue, 0));
    else if (!unsupported(errno))
        RaiseCommError(kStatError, errno);

    serial_icounter_struct c {};
    if (os_.ioctl(fd, TIOCGICOUNT, &c) != 0) {
        if (!unsupported(errno))
            RaiseCommError(kStatError, errno);
        return;
    }
    const std::uint32_t now[5] = {static_cast<std::uint32_t>(c.frame), static_cast<std::uint32_t>(c.overrun),
                                  static_cast<std::uint32_t>(c.parity), static_cast<std::uint32_t>(c.brk),
                                  static_cast<std::uint32_t>(c.buf_overrun)};
    constexpr std::uint32_t bits[5] = {CE_FRAME, CE_OVERRUN, CE_RXPARITY, CE_BREAK, CE_RXOVER};
    if (haveCounts_)
        for (int i = 0; i < 5; ++i)
            if (now[i] != counts_[i])
                errors |= bits[i];
    std::copy(std::begin(now), std::end(now), std::begin(counts_));
    haveCounts_ = true;
}

bool TSioComm::CheckLineErrors()
{
    std::uint32_t errors = 0;
    TSioComStat status;
    GetComStat(errors, status);
    if (errors != 0 && OnError) {
        try {
            OnError(*this, errors);
        } catch (...) {
            SioHandleException(std::current_exception());
        }
    }
    return errors != 0;
}

void TSioComm::Purge(std::uint32_t flags)
{
    std::lock_guard read(readLock_);
    const int fd = handle_.load();
    if (fd < 0)
        return;
    if (flags != (PURGE_RXABORT | PURGE_RXCLEAR) && writeThread_)
        writeThread_->Purge();
    const bool rx = (flags & PURGE_RXCLEAR) != 0;
    bool tx = (flags & PURGE_TXCLEAR) != 0;
    // Bytes that have left the driver's queue are on their way: an output clear has nothing
    // to take then. A pseudo-terminal never reports any queued, and its clear would drop
    // what the far end has not read yet.
    int queued = 0;
    if (tx && os_.ioctl(fd, TIOCOUTQ, &queued) == 0 && queued == 0)
        tx = false;
    if (!rx && !tx)
        return;   // the abort bits (nothing is ever pending here), or nothing queued
    CheckResult(os_.tcflush(fd, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) == 0, kPurgeError);
}

// --- events, on the owner's thread ---

void TSioComm::DoEvents(std::uint32_t mask)
{
    try {
        if (TestBits(mask, EV_RXCHAR)) {
            HandleRxChar();
            mask &= ~EV_RXCHAR;
        }
        if (mask != 0)
            HandleEvents(mask);
    } catch (...) {
        SioHandleException(std::current_exception());
    }
}

void TSioComm::DoTxEmpty()
{
    try {
        HandleEvents(EV_TXEMPTY);
    } catch (...) {
        SioHandleException(std::current_exception());
    }
}

void TSioComm::DoWriteError()
{
    try {
        HandleEvents(EV_ERR);
    } catch (...) {
        SioHandleException(std::current_exception());
    }
}

void TSioComm::HandleRxChar()
{
    const int n = InQueCount();
    if (n <= 0)
        return;
    if (!clients_.empty()) {
        std::vector<char> buffer(static_cast<std::size_t>(n));
        const int got = Read(buffer.data(), n);
        if (got > 0)
            HandleRxBuf(buffer.data(), got);
    } else if (OnRxChar) {
        OnRxChar(*this, n);
    }
}

void TSioComm::HandleEvents(std::uint32_t mask)
{
    if (TestBits(mask, EV_ERR))
        CheckLineErrors();
    if (!clients_.empty())
        NotifyClientsEvents(mask);
    const std::pair<std::uint32_t, TNotifyEvent*> handlers[] = {
        {EV_RXFLAG, &OnRxFlag}, {EV_CTS, &OnCts},       {EV_DSR, &OnDsr},         {EV_RING, &OnRing},
        {EV_RLSD, &OnRlsd},     {EV_TXEMPTY, &OnTxEmpty}, {EV_BREAK, &OnBreak},   {EV_PERR, &OnPErr},
        {EV_RX80FULL, &OnRx80Full}, {EV_EVENT1, &OnEvent1}, {EV_EVENT2, &OnEvent2}};
    for (const auto& [bit, handler] : handlers)
        if (TestBits(mask, bit) && *handler)
            (*handler)(*this);
}

void TSioComm::NotifyClientsEvents(std::uint32_t mask)
{
    if (!clientsEnabled_)
        return;
    // A copy: a client may leave the list from inside its notification.
    const std::vector<TSioCommClient*> clients = clients_;
    for (TSioCommClient* c : clients)
        if (std::find(clients_.begin(), clients_.end(), c) != clients_.end() && c->Active)
            c->Events(mask);
}

void TSioComm::HandleRxBuf(const char* buffer, int count)
{
    if (clientsEnabled_) {
        const std::vector<TSioCommClient*> clients = clients_;
        for (TSioCommClient* c : clients)
            if (std::find(clients_.begin(), clients_.end(), c) != clients_.end() && c->Active)
                c->RxBuf(buffer, count);
    }
    if (OnRxBuf)
        OnRxBuf(*this, buffer, count);
}

// --- clients ---

void TSioComm::AddClient(TSioCommClient& client)
{
    if (client.comm_ == this)
        return;
    if (client.comm_)
        client.comm_->RemoveClient(client);
    client.comm_ = this;
    clients_.push_back(&client);
}

void TSioComm::RemoveClient(TSioCommClient& client)
{
    const auto it = std::find(clients_.begin(), clients_.end(), &client);
    if (it == clients_.end())
        return;
    client.comm_ = nullptr;
    clients_.erase(it);
}

void TSioComm::RemoveAllClients()
{
    while (!clients_.empty())
        RemoveClient(*clients_.back());
}

// --- properties ---

void TSioComm::SetBaudrate(TSioBaudrate value)
{
    baudrate_ = value;
    if (value != brUser)
        userBaudrate_ = 0;
    ApplyDCB();
}

void TSioComm::SetParity(TSioParity value)
{
    parity_ = value;
    ApplyDCB();
}

void TSioComm::SetDatabits(TSioDatabits value)
{
    databits_ = value;
    ApplyDCB();
}

void TSioComm::SetStopbits(TSioStopbits value)
{
    stopbits_ = value;
    ApplyDCB();
}

void TSioComm::SetOptions(TSioCommOptions value)
{
    options_ = value;
    ApplyDCB();
}

void TSioComm::SetUserBaudrate(std::int32_t value)
{
    userBaudrate_ = value;
    baudrate_ = brUser;
    ApplyDCB();
}

void TSioComm::SetBuffers(const TSioBuffers& value)
{
    CheckClosed();
    buffers_.Assign(value);
}

void TSioComm::BuffersChanged()
{
    CheckClosed();
    SetupBuffers();
    ApplyDCB();
}

void TSioComm::SetPortNum(std::int32_t value)
{
    CheckClosed();
    portNum_ = value < 0 ? 0 : value;
}

void TSioComm::SetDeviceName(const std::string& value)
{
    CheckClosed();
    deviceName_ = value;
}

void TSioComm::SetMonitorEvents(TSioCommEvents value)
{
    CheckClosed();
    monitorEvents_ = value;
}

void TSioComm::SetDirectWrite(bool value)
{
    CheckClosed();
    directWrite_ = value;
}

void TSioComm::SetUpdateDCB(bool value)
{
    CheckClosed();
    updateDcb_ = value;
}

void TSioComm::SetEventPriority(TThreadPriority value)
{
    eventPriority_ = value;
    if (eventThread_)
        eventThread_->SetPriority(value);
}

void TSioComm::SetWritePriority(TThreadPriority value)
{
    writePriority_ = value;
    if (writeThread_)
        writeThread_->SetPriority(value);
}
