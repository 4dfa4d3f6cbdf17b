#pragma once

#include "SioClasses.h"
#include "SioCommError.h"
#include "SioDcb.h"
#include "SioObjects.h"
#include "SioPrst.h"
#include "SioTypes.h"
#include "SioUtils.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class OwnerDispatcher;
class SioOsCalls;
class TSioComm;
class TSioCommEventThread;
class TSioCommWriteQueue;
class TSioCommWriteThread;

// The counts GetComStat reports.
struct TSioComStat {
    std::uint32_t Flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// A receiver of what the port delivers, registered with TSioComm::AddClient. Runs on the
// owner's thread. A client that is destroyed while registered leaves the list.
class TSioCommClient {
public:
    virtual ~TSioCommClient();
    virtual void RxBuf(const char* buffer, int count) = 0;
    virtual void Events(std::uint32_t mask) = 0;

    bool Active = true;
    TSioComm* Comm() const { return comm_; }

private:
    friend class TSioComm;
    TSioComm* comm_ = nullptr;
};

// A serial port: opens a terminal device by port name or path, configures it from its
// properties, writes (directly or through a write thread), reads what has arrived without
// waiting, purges and closes. Every failure of the system raises ESioCommError. While the
// port is open an event thread watches the line and hands its events to the owner's thread
// through the dispatcher given at construction; handlers and clients run there.
//
// Thread use: the owner's thread configures, opens and closes; Write, Read, WriteText,
// WriteChar, ReadText, InQueCount, GetComStat and the purges may be called from any thread.
// The read lock guards reading, the state operations and Close; the write lock guards the
// direct write and the queue. A holder of the read lock may take the write lock, never the
// reverse.
class TSioComm {
public:
    using TNotifyEvent = std::function<void(TSioComm& sender)>;
    using TSioCommErrorEvent = std::function<void(TSioComm& sender, std::uint32_t errors)>;
    using TSioCommRxCharEvent = std::function<void(TSioComm& sender, int count)>;
    using TSioCommRxBufEvent = std::function<void(TSioComm& sender, const char* buffer, int count)>;

    // os: the system calls to make, the real ones when none is given.
    explicit TSioComm(OwnerDispatcher& owner, SioOsCalls* os = nullptr);
    // Closes the port, without OnClose.
    ~TSioComm();
    TSioComm(const TSioComm&) = delete;
    TSioComm& operator=(const TSioComm&) = delete;

    // After the owner has set the properties: opens when AutoOpen is set.
    void Loaded();

    // --- port ---
    void Open();
    void Close();
    bool Active() const { return handle_.load() >= 0; }
    // The descriptor, -1 while closed.
    int Handle() const { return handle_.load(); }
    void CheckClosed() const;
    // DeviceName with its first "%d" replaced by PortNum.
    std::string GetDeviceName() const;
    // Where the links "COMn" live (the program's ports/ folder); empty: none.
    void SetPortsFolder(const std::filesystem::path& folder) { portsFolder_ = folder; }
    const std::filesystem::path& PortsFolder() const { return portsFolder_; }

    // --- input and output ---
    // The bytes written: 0 when closed or when a direct write did not complete in time. A
    // direct write is complete once its bytes have left the driver's output queue.
    int Write(const void* buffer, int count);
    // The bytes read, never waiting: 0 when closed or when nothing has arrived.
    int Read(void* buffer, int count);
    bool WriteText(std::string_view text);
    bool WriteChar(char c);
    // Exactly the bytes queued now and read; empty when none (or closed).
    std::string ReadText();
    int InQueCount();
    void GetComStat(std::uint32_t& errors, TSioComStat& status);
    bool CheckLineErrors();
    // An output clear takes only what the driver still holds: bytes that have left are kept.
    void Purge(std::uint32_t flags);
    void PurgeRead() { Purge(PURGE_RXABORT | PURGE_RXCLEAR); }
    void PurgeReadWrite() { Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR); }

    // --- properties ---
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    TSioBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TSioBaudrate value);
    TSioParity Parity() const { return parity_; }
    void SetParity(TSioParity value);
    TSioDatabits Databits() const { return databits_; }
    void SetDatabits(TSioDatabits value);
    TSioStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TSioStopbits value);
    TSioCommOptions Options() const { return options_; }
    void SetOptions(TSioCommOptions value);
    std::int32_t UserBaudrate() const { return userBaudrate_; }
    void SetUserBaudrate(std::int32_t value);
    // The sub-objects may be changed in place; a change is applied as the setters do.
    TSioEventChars& EventChars() { return eventChars_; }
    const TSioEventChars& EventChars() const { return eventChars_; }
    void SetEventChars(const TSioEventChars& value) { eventChars_.Assign(value); }
    TSioFlowControl& FlowControl() { return flowControl_; }
    const TSioFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TSioFlowControl& value) { flowControl_.Assign(value); }
    TSioBuffers& Buffers() { return buffers_; }
    const TSioBuffers& Buffers() const { return buffers_; }
    void SetBuffers(const TSioBuffers& value);
    std::int32_t PortNum() const { return portNum_; }
    void SetPortNum(std::int32_t value);
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value);
    TSioCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TSioCommEvents value);
    bool DirectWrite() const { return directWrite_; }
    void SetDirectWrite(bool value);
    bool UpdateDCB() const { return updateDcb_; }
    void SetUpdateDCB(bool value);
    TThreadPriority EventPriority() const { return eventPriority_; }
    void SetEventPriority(TThreadPriority value);
    TThreadPriority WritePriority() const { return writePriority_; }
    void SetWritePriority(TThreadPriority value);
    bool ClientsEnabled() const { return clientsEnabled_; }
    // The event bits computed by the last UpdateEventMask.
    std::uint32_t EventMask() const { return eventMask_.load(); }
    // The tick the time-outs are measured with; empty: CLOCK_MONOTONIC.
    void SetTickSource(TSioTickSource tick) { tick_ = std::move(tick); }

    // The record ApplyDCB writes, from the current properties.
    TSioDcb BuildDcb() const;

    // --- clients ---
    void AddClient(TSioCommClient& client);
    void RemoveClient(TSioCommClient& client);
    void RemoveAllClients();

    // --- handlers, run on the owner's thread ---
    TNotifyEvent OnOpen, OnClose, OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
    TSioCommErrorEvent OnError;
    TSioCommRxCharEvent OnRxChar;
    TNotifyEvent OnRxFlag;
    TSioCommRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;

protected:
    virtual void CreateHandle();
    virtual void CreateThreads();
    virtual void HandleRxChar();
    virtual void HandleEvents(std::uint32_t mask);
    virtual void NotifyClientsEvents(std::uint32_t mask);
    virtual void HandleRxBuf(const char* buffer, int count);

    void DestroyHandle();
    void DestroyThreads();
    void ApplyDCB();
    void SetupBuffers();
    void SetTimeouts();
    void UpdateEventMask();
    void DoOpen();
    void DoClose();

private:
    friend class TSioCommEventThread;
    friend class TSioCommWriteThread;

    // Hand-over targets, on the owner's thread. Exceptions go to the exception hook.
    void DoEvents(std::uint32_t mask);
    void DoTxEmpty();
    void DoWriteError();

    void BuffersChanged();
    int WriteDirect(const void* buffer, int count);
    int WriteQueued(const void* buffer, int count);
    bool WaitWritable(int fd, const TSioTimeout& timeout);
    // Waits until the driver's output queue is empty, until the time-out or until Close:
    // true once it is. Looks every SentPollMs.
    bool WaitSent(int fd, const TSioTimeout& timeout);
    static constexpr std::uint32_t SentPollMs = 2;
    void ResetLineErrorCounts();

    OwnerDispatcher& owner_;
    SioOsCalls& os_;
    std::atomic<int> handle_ {-1};
    std::atomic<bool> closing_ {false};   // Close waits for the write lock
    mutable TSioCriticalSection writeLock_;
    mutable TSioCriticalSection readLock_;
    TSioWaitEvent txWritten_;
    std::atomic<std::uint64_t> rxConsumed_ {0};   // bytes Read has taken, for the event thread   // a direct write happened: the event thread watches the drain
    std::unique_ptr<TSioCommEventThread> eventThread_;
    std::unique_ptr<TSioCommWriteThread> writeThread_;
    std::shared_ptr<TSioCommWriteQueue> writeQueue_;   // under the write lock
    std::atomic<std::uint32_t> eventMask_ {0};
    bool autoOpen_ = false;
    std::int32_t portNum_ = 0;
    std::string deviceName_ = "COM%d";
    TSioCommEvents monitorEvents_ {ceError, ceRxChar, ceTxEmpty};
    TSioBuffers buffers_;
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHighest;
    bool directWrite_ = false;
    bool clientsEnabled_ = true;
    std::vector<TSioCommClient*> clients_;
    TSioBaudrate baudrate_ = br1200;
    TSioParity parity_ = paNone;
    TSioDatabits databits_ = db8;
    TSioStopbits stopbits_ = sb1;
    TSioCommOptions options_;
    TSioFlowControl flowControl_;
    TSioEventChars eventChars_;
    bool updateDcb_ = true;
    std::int32_t userBaudrate_ = 0;
    std::filesystem::path portsFolder_;
    TSioTickSource tick_;
    bool destroying_ = false;
    // Line-error counters at the last GetComStat (under the read lock).
    bool haveCounts_ = false;
    std::uint32_t counts_[5] = {};
};
