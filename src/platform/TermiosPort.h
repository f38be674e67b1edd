#pragma once

#include <termios.h>

#include <string>

#include "platform/SerialPort.h"

namespace tolvane {

// SerialPort over a POSIX terminal device.
class TermiosPort final : public SerialPort {
  public:
    TermiosPort() = default;
    ~TermiosPort() override;
    TermiosPort(const TermiosPort&) = delete;
    TermiosPort& operator=(const TermiosPort&) = delete;

    bool Open(const std::string& device) override;
    bool IsOpen() const override { return m_fd >= 0; }
    void Close() override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;
    void PurgeRx() override;
    bool CtsHold() override;
    int Write(const std::uint8_t* data, int n) override;
    void WaitTxEmpty() override;
    void Flush() override;
    int Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) override;
    int ErrorNumber() const override { return m_errno; }
    const std::string& ErrorText() const override { return m_errorText; }
    const std::string& DevicePath() const override { return m_device; }

    // Termios speed constant for a rate in bit/s; B0 when the rate has none.
    static speed_t SpeedFor(std::uint32_t baud);

  private:
    void Fail(int err, const char* what);

    int m_fd = -1;
    bool m_haveSaved = false;
    termios m_saved{};  // the settings found at open, put back at close
    bool m_lowLatencySet =
        false;  // low-latency mode was switched on by us and is switched off at close
    int m_errno = 0;
    std::string m_errorText;
    std::string m_device;
};

}  // namespace tolvane
