#include "serial/comm.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/stop_signal.h"
#include "serial/device_name.h"
#include "serial/exclusive_open.h"
#include "serial/kernel_serial.h"
#include "serial/line_events.h"
#include "serial/line_settings.h"
#include "serial/line_wait.h"
#include "serial/modem_lines.h"
#include "serial/timed_write.h"

namespace vantrel {

CComm::CComm(UiThreadCalls& ui)
    : m_ui(ui), m_gate(ui), m_handOverChunk([this] {
          if (CommOwner* owner = m_owner.load()) {
              owner->OnCommData({m_receiveBuffer.data(), m_receiveCount});
          }
      }) {
    m_gate.Close();
}

CComm::~CComm() {
    ClosePort();
}

int CComm::OpenPort(const PortSettings& settings) {
    return OpenPort(settings,
                    PortDevice{DevicePathForPort(settings.portNumber), DeviceSource::kDefault, {}});
}

int CComm::OpenPort(const PortSettings& settings, const PortDevice& device) {
    ClosePort();
    m_lastOpenError = OpenError{};
    m_lastOpenError.portNumber = settings.portNumber;
    m_portNumber = settings.portNumber;
    // COM0 is refused here too: VANTREL_COM0 must not make it a port.
    if (settings.portNumber == 0 || settings.portNumber > kMaxPortNumber) {
        return RefuseOpen(OpenErrorKind::kPortNumberRefused, 0);
    }
    m_portDevice = device;
    m_lastOpenError.device = m_portDevice.path;
    m_lastOpenError.source = m_portDevice.source;
    m_lastOpenError.sourceDetail = m_portDevice.detail;

    DeviceOpenResult opened = OpenDeviceExclusive(m_portDevice.path);
    if (!opened.device.IsValid()) {
        m_lastOpenError.holder = std::move(opened.holder);
        return RefuseOpen(opened.failure, opened.error);
    }
    UniqueFd stop = CreateStopSignal();
    if (!stop.IsValid()) {
        return RefuseOpen(OpenErrorKind::kReaderNotStarted, errno);
    }
    {
        std::lock_guard lock(m_writeMutex);
        m_device = std::move(opened.device);
        m_stop = std::move(stop);
    }
    RequestLowLatency(m_device.Get());
    if (ApplySettings(settings) == 0) {
        ReleaseDevice();
        return 0;
    }
    RaiseModemLines(m_device.Get());
    ::tcflush(m_device.Get(), TCIOFLUSH);

    m_connected.store(1);
    m_gate.Open();
    try {
        m_reader = std::thread(&CComm::CommReaderThread, this, m_device.Get(), m_stop.Get());
    } catch (const std::system_error& failure) {
        m_connected.store(0);
        m_gate.Close();
        ReleaseDevice();
        return RefuseOpen(OpenErrorKind::kReaderNotStarted, failure.code().value());
    }
    return 1;
}

int CComm::ApplySettings(const PortSettings& settings) {
    const int device = m_device.Get();
    termios wanted{};
    if (::tcgetattr(device, &wanted) != 0) {
        return RefuseSettings(SettingsFault::kDriverRefused, settings, errno);
    }
    if (const SettingsFault fault = ConfigureTermios(settings, wanted);
        fault != SettingsFault::kNone) {
        return RefuseSettings(fault, settings, 0);
    }
    if (::tcsetattr(device, TCSANOW, &wanted) != 0) {
        return RefuseSettings(SettingsFault::kDriverRefused, settings, errno);
    }
    // tcsetattr succeeds when the driver took any part of the request.
    termios actual{};
    if (::tcgetattr(device, &actual) != 0 ||
        !DriverKeptSettings(wanted, actual, IsPseudoTerminal(device))) {
        return RefuseSettings(SettingsFault::kDriverChanged, settings, 0);
    }
    return 1;
}

int CComm::RefuseOpen(OpenErrorKind kind, int error) {
    m_lastOpenError.kind = kind;
    m_lastOpenError.error = error;
    return 0;
}

int CComm::RefuseSettings(SettingsFault fault, const PortSettings& settings, int error) {
    m_lastOpenError.fault = fault;
    m_lastOpenError.settings = settings;
    return RefuseOpen(OpenErrorKind::kSettingsRefused, error);
}

void CComm::SetOwner(CommOwner* owner) {
    m_owner.store(owner);
}

int CComm::IsConnected() const {
    return m_connected.load();
}

int CComm::WriteBytes(const std::uint8_t* data, std::uint32_t length) {
    WriteResult result;
    {
        std::lock_guard lock(m_writeMutex);
        if (!m_device.IsValid() || data == nullptr) {
            return 1;
        }
        result = WriteWithin(m_device.Get(), m_stop.Get(), {data, length}, kWriteTimeout);
    }
    // Reported outside the lock: a handler that closes the port must not
    // wait for this writer.
    if (result.outcome == WriteOutcome::kDeviceError) {
        m_ui.Call(m_gate, [this] {
            if (CommOwner* owner = m_owner.load()) {
                owner->OnCommWriteError();
            }
        });
    }
    return 1;
}

int CComm::ClosePort() {
    m_connected.store(0);
    m_gate.Close();  // a reader or writer waiting for the UI thread gives up
    if (m_stop.IsValid()) {
        RaiseStopSignal(m_stop.Get());
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
    ReleaseDevice();
    return 1;
}

void CComm::ReleaseDevice() {
    std::lock_guard lock(m_writeMutex);
    if (m_device.IsValid()) {
        // The last frame written (a cancel, say) goes out before the line
        // drops; only output the line could not send in time is purged.
        const bool drained = WaitForOutputDrained(m_device.Get(), kCloseDrainLimit);
        DropModemLines(m_device.Get());
        ::tcflush(m_device.Get(), drained ? TCIFLUSH : TCIOFLUSH);
    }
    m_device.Reset();
    m_stop.Reset();
}

void CComm::CommReaderThread(int device, int stop) {
    std::array<std::uint8_t, kChunkCapacity> chunk;
    std::optional<LineCounters> counters = ReadLineCounters(device);
    for (;;) {
        const LineWaitResult wait = WaitForLine(device, stop);
        switch (wait.what) {
            case LineWait::kStopped:
                return;
            case LineWait::kHungUp:
                ReportLoss(Loss(LossReason::kHangUp, 0));
                return;
            case LineWait::kFailed:
                ReportLoss(Loss(LossReason::kReadError, wait.error));
                return;
            case LineWait::kReadable:
                break;
        }
        LineEvents events = kEventRxChar;
        if (counters) {
            if (const std::optional<LineCounters> now = ReadLineCounters(device)) {
                events |= EventsBetween(*counters, *now);
                counters = now;
            }
        }
        if (PassSkipsRead(events)) {
            continue;  // the queued bytes make the next wait return at once
        }
        // One read takes what the line holds; a longer burst goes out as
        // several full chunks, one per pass.
        std::optional<PortLoss> loss;
        const std::uint32_t total = ReadBytes(device, chunk.data(), kChunkCapacity, loss);
        if (total > 0) {
            DeliverChunk(chunk.data(), total);
        }
        if (loss) {
            ReportLoss(*loss);
            return;
        }
    }
}

std::uint32_t CComm::ReadBytes(int device, std::uint8_t* buffer, std::uint32_t capacity,
                               std::optional<PortLoss>& loss) {
    // The device is non-blocking: a read returns what is queued, up to
    // `capacity`, or EAGAIN when nothing is.
    const ssize_t n = ::read(device, buffer, capacity);
    if (n > 0) {
        return static_cast<std::uint32_t>(n);
    }
    if (n == 0) {
        loss = Loss(LossReason::kHangUp, 0);  // end of file on a terminal: it hung up
    } else if (errno != EAGAIN && errno != EINTR) {
        loss = Loss(errno == EIO ? LossReason::kHangUp : LossReason::kReadError, errno);
    }
    return 0;
}

int CComm::DeliverChunk(const std::uint8_t* bytes, std::uint32_t count) {
    m_receiveCount = std::min(count, kChunkCapacity);
    std::copy_n(bytes, m_receiveCount, m_receiveBuffer.begin());
    return m_ui.Call(m_gate, m_handOverChunk) ? 1 : 0;
}

PortLoss CComm::Loss(LossReason reason, int error) const {
    return PortLoss{m_portNumber, m_portDevice.path, reason, error};
}

// Posted, not waited for: the reader has nothing left to do, and the
// handler may close the port, which joins this thread.
void CComm::ReportLoss(const PortLoss& loss) {
    m_connected.store(0);
    m_ui.Post(m_gate, [this, loss] {
        if (CommOwner* owner = m_owner.load()) {
            owner->OnCommLost(loss);
        }
    });
}

}  // namespace vantrel
