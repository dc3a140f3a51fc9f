#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/ui_thread_call.h"
#include "platform/unique_fd.h"
#include "serial/comm_owner.h"
#include "serial/open_error.h"
#include "serial/port_device.h"
#include "serial/port_loss.h"
#include "serial/port_settings.h"

namespace vantrel {

// One serial port: opened exclusively with a PortSettings record, set up as
// a raw line, read by its own thread that hands every burst to the owner on
// the UI thread, written in whole buffers with a time limit, and closed by
// dropping DTR and RTS.
//
// Threads: OpenPort, SetOwner, IsConnected, ClosePort, LastOpenError and the
// destructor belong to the UI thread, the one that runs `ui`'s calls.
// WriteBytes belongs to one writing thread at a time and may run while the
// reader reads. A thread that waits for a writer to end must close the port
// first, or the writer may wait for the UI thread in OnCommWriteError.
class CComm {
  public:
    static constexpr std::uint32_t kChunkCapacity = 2048;
    static constexpr std::chrono::milliseconds kWriteTimeout{1000};
    // How long closing waits for written bytes to leave the line.
    static constexpr std::chrono::milliseconds kCloseDrainLimit{500};

    explicit CComm(UiThreadCalls& ui);
    ~CComm();
    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // Non-zero when the device is open, set up and its reader runs. Lets go
    // of a port that is still open or was lost first. On failure
    // LastOpenError() tells why. The device is COMn's own: VANTREL_COM<n>
    // or /dev/ttyS<n-1>.
    int OpenPort(const PortSettings& settings);
    // The same with the device the caller decided for COMn; a number
    // outside COM1 to COM4 is refused all the same, without touching it.
    int OpenPort(const PortSettings& settings, const PortDevice& device);

    // May be called before OpenPort, so that no early chunk is dropped; with
    // no owner, received chunks are dropped.
    void SetOwner(CommOwner* owner);

    // The device of the last open attempt and where it was chosen.
    const PortDevice& Device() const { return m_portDevice; }

    // 1 from a successful OpenPort until ClosePort or the loss of the device.
    int IsConnected() const;

    // Writes all bytes within kWriteTimeout. Always 1: a short write shows
    // only as OnCommWriteError, and only when the device failed it.
    int WriteBytes(const std::uint8_t* data, std::uint32_t length);

    // Ends the reader (aborting a delivery it waits in), drops DTR and RTS,
    // empties both queues and closes the device. Always 1.
    int ClosePort();

    const OpenError& LastOpenError() const { return m_lastOpenError; }

  private:
    int ApplySettings(const PortSettings& settings);
    int RefuseOpen(OpenErrorKind kind, int error);
    int RefuseSettings(SettingsFault fault, const PortSettings& settings, int error);
    void ReleaseDevice();

    void CommReaderThread(int device, int stop);
    std::uint32_t ReadBytes(int device, std::uint8_t* buffer, std::uint32_t capacity,
                            std::optional<PortLoss>& loss);
    int DeliverChunk(const std::uint8_t* bytes, std::uint32_t count);
    PortLoss Loss(LossReason reason, int error) const;
    void ReportLoss(const PortLoss& loss);

    UiThreadCalls& m_ui;
    CallGate m_gate;  // closed while the port is closed: nothing waits on a closed port
    std::atomic<CommOwner*> m_owner{nullptr};
    std::atomic<int> m_connected{0};

    std::mutex m_writeMutex;  // keeps the device open while a write runs
    UniqueFd m_device;        // changed by the UI thread only, under m_writeMutex
    UniqueFd m_stop;          // raised by ClosePort: ends the reader's and a writer's wait
    std::thread m_reader;
    int m_portNumber = 0;
    PortDevice m_portDevice;
    OpenError m_lastOpenError;

    // The chunk being handed over; the reader fills it and waits while the
    // owner's handler reads it.
    std::array<std::uint8_t, kChunkCapacity> m_receiveBuffer{};
    std::uint32_t m_receiveCount = 0;
    const std::function<void()> m_handOverChunk;
};

}  // namespace vantrel
