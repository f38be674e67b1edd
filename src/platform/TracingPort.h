#pragma once

#include <cstdio>

#include "platform/SerialPort.h"

namespace tolvane {

// Passes every operation to another port and writes a timestamped hex line
// for every request sent and every reply read to `out` (standard error).
class TracingPort final : public SerialPort {
  public:
    TracingPort(SerialPort& inner, std::FILE* out) : m_inner(inner), m_out(out) {}

    // True when TOLVANE_TRACE asks for a trace (set and not "0").
    static bool Wanted();

    bool Open(const std::string& device) override;
    bool IsOpen() const override { return m_inner.IsOpen(); }
    void Close() override;
    bool GetState(LineSettings& settings) override { return m_inner.GetState(settings); }
    bool SetState(const LineSettings& settings) override;
    void PurgeRx() override { m_inner.PurgeRx(); }
    bool CtsHold() override { return m_inner.CtsHold(); }
    int Write(const std::uint8_t* data, int n) override;
    void WaitTxEmpty() override { m_inner.WaitTxEmpty(); }
    void Flush() override { m_inner.Flush(); }
    int Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) override;
    int ErrorNumber() const override { return m_inner.ErrorNumber(); }
    const std::string& ErrorText() const override { return m_inner.ErrorText(); }
    const std::string& DevicePath() const override { return m_inner.DevicePath(); }

  private:
    void Line(const char* direction, const std::uint8_t* data, int n, const std::string& note);

    SerialPort& m_inner;
    std::FILE* m_out;
};

}  // namespace tolvane
