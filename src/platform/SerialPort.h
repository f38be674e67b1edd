#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

// The line settings the loader changes; everything else the port had when it
// was read (flow control included) is written back unchanged.
struct LineSettings {
    std::uint32_t baudRate = 0;
    int byteSize = 8;
    int parity = 0;    // 0: no parity
    int stopBits = 0;  // 0: one stop bit
};

// One serial port, used by one thread, every operation blocking.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Opens the device for exclusive use; false with ErrorText() set when the
    // device is missing, not permitted, or held by another opener.
    virtual bool Open(const std::string& device) = 0;
    virtual bool IsOpen() const = 0;
    // Releases the port without waiting for output; the line settings found
    // at open are put back.
    virtual void Close() = 0;

    virtual bool GetState(LineSettings& settings) = 0;
    virtual bool SetState(const LineSettings& settings) = 0;

    // Throws away received bytes not yet read.
    virtual void PurgeRx() = 0;
    // True while sending waits for CTS: CTS flow control is on and CTS is low.
    virtual bool CtsHold() = 0;
    // Writes n bytes, blocking; returns the count written.
    virtual int Write(const std::uint8_t* data, int n) = 0;
    // Returns once the last byte written has left the transmitter.
    virtual void WaitTxEmpty() = 0;
    // Returns after all buffered output has been sent.
    virtual void Flush() = 0;
    // Reads up to n bytes; returns when n have arrived or timeoutMs after the
    // call began (monotonic clock), with the count that arrived.
    virtual int Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) = 0;

    // The OS error of the last failed operation (errno and its text), for diagnostics.
    virtual int ErrorNumber() const = 0;
    virtual const std::string& ErrorText() const = 0;
    // The device path of the last Open, for diagnostics.
    virtual const std::string& DevicePath() const = 0;
};

}  // namespace tolvane
