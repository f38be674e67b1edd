#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace tolvane::test {

// A SerialPort that records every call and answers from a script: for what a
// pseudo-terminal cannot show (CTS held, a short write, the transmitter wait).
class PortDouble : public SerialPort {
  public:
    // Script.
    bool openSucceeds = true;
    bool ctsHeld = false;
    int writeLimit = -1;                            // at most this many bytes are written; -1: all
    std::deque<std::vector<std::uint8_t>> replies;  // one per Read, cut to n
    bool getStateSucceeds = true;
    bool setStateSucceeds = true;

    // Record.
    std::vector<std::string> calls;  // "open", "purge", "cts", "write", "txempty", "read", ...
    std::vector<std::vector<std::uint8_t>> written;
    std::vector<std::uint32_t> readTimeouts;
    LineSettings lastSet{};

    bool Open(const std::string& device) override {
        calls.push_back("open");
        m_device = device;
        m_open = openSucceeds;
        return m_open;
    }
    bool IsOpen() const override { return m_open; }
    void Close() override {
        calls.push_back("close");
        m_open = false;
    }
    bool GetState(LineSettings& s) override {
        calls.push_back("getstate");
        s = LineSettings{9600, 7, 2, 2};
        return getStateSucceeds;
    }
    bool SetState(const LineSettings& s) override {
        calls.push_back("setstate");
        lastSet = s;
        return setStateSucceeds;
    }
    void PurgeRx() override { calls.push_back("purge"); }
    bool CtsHold() override {
        if (calls.empty() || calls.back() != "cts") {
            calls.push_back("cts");
        }
        return ctsHeld;
    }
    int Write(const std::uint8_t* data, int n) override {
        calls.push_back("write");
        const int count = writeLimit >= 0 && writeLimit < n ? writeLimit : n;
        written.emplace_back(data, data + count);
        return count;
    }
    void WaitTxEmpty() override { calls.push_back("txempty"); }
    void Flush() override { calls.push_back("flush"); }
    int Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) override {
        calls.push_back("read");
        readTimeouts.push_back(timeoutMs);
        if (replies.empty()) {
            return 0;
        }
        std::vector<std::uint8_t> r = replies.front();
        replies.pop_front();
        const int count = static_cast<int>(r.size()) < n ? static_cast<int>(r.size()) : n;
        for (int i = 0; i < count; ++i) {
            data[i] = r[static_cast<std::size_t>(i)];
        }
        return count;
    }
    int ErrorNumber() const override { return 0; }
    const std::string& ErrorText() const override { return m_error; }
    const std::string& DevicePath() const override { return m_device; }

  private:
    bool m_open = false;
    std::string m_device;
    std::string m_error;
};

}  // namespace tolvane::test
