#include "platform/TracingPort.h"

#include <time.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace tolvane {

namespace {

// Seconds since the first trace line, on the monotonic clock.
double Since() {
    static timespec start = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t;
    }();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

}  // namespace

bool TracingPort::Wanted() {
    const char* v = std::getenv("TOLVANE_TRACE");
    return v != nullptr && *v != '\0' && std::strcmp(v, "0") != 0;
}

void TracingPort::Line(const char* direction, const std::uint8_t* data, int n,
                       const std::string& note) {
    std::string hex;
    hex.reserve(static_cast<std::size_t>(n) * 3);
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < n; ++i) {
        hex += kDigits[data[i] >> 4];
        hex += kDigits[data[i] & 0x0F];
        if (i + 1 < n) {
            hex += ' ';
        }
    }
    std::fprintf(m_out, "[%11.6f] %s %s%s\n", Since(), direction, hex.c_str(), note.c_str());
    std::fflush(m_out);
}

bool TracingPort::Open(const std::string& device) {
    const bool ok = m_inner.Open(device);
    std::fprintf(m_out, "[%11.6f] open %s: %s\n", Since(), device.c_str(),
                 ok ? "ok" : m_inner.ErrorText().c_str());
    return ok;
}

void TracingPort::Close() {
    if (m_inner.IsOpen()) {
        std::fprintf(m_out, "[%11.6f] close %s\n", Since(), m_inner.DevicePath().c_str());
    }
    m_inner.Close();
}

bool TracingPort::SetState(const LineSettings& settings) {
    const bool ok = m_inner.SetState(settings);
    std::fprintf(m_out, "[%11.6f] line %u bit/s, %d data bits: %s\n", Since(), settings.baudRate,
                 settings.byteSize, ok ? "ok" : m_inner.ErrorText().c_str());
    return ok;
}

int TracingPort::Write(const std::uint8_t* data, int n) {
    const int written = m_inner.Write(data, n);
    Line("->", data, written,
         written == n ? "" : " (" + std::to_string(written) + " of " + std::to_string(n) + ")");
    return written;
}

int TracingPort::Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) {
    const double t0 = Since();
    const int got = m_inner.Read(data, n, timeoutMs);
    char note[96];
    std::snprintf(note, sizeof note, "%s(%d of %d bytes in %.1f ms, limit %u ms)",
                  got > 0 ? "  " : "", got, n, (Since() - t0) * 1000.0, timeoutMs);
    Line("<-", data, got, note);
    return got;
}

}  // namespace tolvane
