#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel::test {

// The far end of a port: a pseudo-terminal master whose slave COMn names
// through VANTREL_COM<n>. The master is non-blocking.
class PtyPeer {
  public:
    explicit PtyPeer(int portNumber);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }

    // Writes everything, waiting for room; false when `limit` ran out first.
    bool Write(std::span<const std::uint8_t> bytes,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
    // What the port has sent so far, without waiting.
    std::vector<std::uint8_t> ReadAvailable();
    // The line settings of the slave, as the port left them.
    termios SlaveSettings() const;
    // The device disappears, as when an adapter is unplugged.
    void Vanish();

  private:
    int m_master = -1;
    std::string m_slavePath;
};

// Maps VANTREL_COM<n> to `device`.
void MapPort(int portNumber, const std::string& device);

// `count` pseudo-random bytes, the same in every run.
std::vector<std::uint8_t> TestPattern(std::size_t count);

}  // namespace vantrel::test
