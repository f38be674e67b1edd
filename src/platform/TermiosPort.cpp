#include "platform/TermiosPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Tick.h"

namespace tolvane {

namespace {

struct SpeedEntry {
    std::uint32_t baud;
    speed_t code;
};

// Rate in bit/s, termios constant.
constexpr SpeedEntry kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

std::uint32_t BaudFor(speed_t code) {
    for (const auto& s : kSpeeds) {
        if (s.code == code) {
            return s.baud;
        }
    }
    return 0;
}

// Owns a descriptor until released; closes it on every early return.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

}  // namespace

TermiosPort::~TermiosPort() {
    Close();
}

speed_t TermiosPort::SpeedFor(std::uint32_t baud) {
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            return s.code;
        }
    }
    return B0;
}

void TermiosPort::Fail(int err, const char* what) {
    m_errno = err;
    m_errorText = std::string(what) + ": " + m_device + ": " + std::strerror(err);
}

bool TermiosPort::Open(const std::string& device) {
    Close();
    m_device = device;
    m_errno = 0;
    m_errorText.clear();
    if (device.empty()) {
        Fail(ENOENT, "open");
        return false;
    }
    // Non-blocking so that the open does not wait for carrier; every transfer
    // below waits with poll instead.
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        Fail(errno, "open");
        return false;
    }
    if (!isatty(fd.get())) {
        Fail(ENOTTY, "open");
        return false;
    }
    // TIOCEXCL stops other openers except root; the lock stops a second loader
    // run as root too.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        Fail(errno == EWOULDBLOCK ? EBUSY : errno, "lock");
        return false;
    }
    if (ioctl(fd.get(), TIOCEXCL) != 0) {
        Fail(errno, "exclusive");
        return false;
    }
    termios found{};
    if (tcgetattr(fd.get(), &found) == 0) {
        m_saved = found;
        m_haveSaved = true;
    }
    // USB serial adapters hold received bytes for up to 16 ms before passing
    // them on; with one acknowledgement byte per block that would more than
    // double a load. Best effort: devices without the setting are left alone.
    serial_struct serial{};
    if (ioctl(fd.get(), TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        m_lowLatencySet = ioctl(fd.get(), TIOCSSERIAL, &serial) == 0;
    }
    m_fd = fd.release();
    return true;
}

void TermiosPort::Close() {
    if (m_fd < 0) {
        return;
    }
    if (m_haveSaved) {
        tcsetattr(m_fd, TCSANOW, &m_saved);
    }
    serial_struct serial{};
    if (m_lowLatencySet && ioctl(m_fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags &= ~ASYNC_LOW_LATENCY;
        ioctl(m_fd, TIOCSSERIAL, &serial);
    }
    m_lowLatencySet = false;
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);  // also drops the lock
    m_fd = -1;
    m_haveSaved = false;
}

bool TermiosPort::GetState(LineSettings& settings) {
    termios t{};
    if (m_fd < 0 || tcgetattr(m_fd, &t) != 0) {
        Fail(m_fd < 0 ? EBADF : errno, "get settings");
        return false;
    }
    settings.baudRate = BaudFor(cfgetospeed(&t));
    settings.byteSize = ((t.c_cflag & CSIZE) == CS8) ? 8 : ((t.c_cflag & CSIZE) == CS7) ? 7 : 6;
    settings.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    settings.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool TermiosPort::SetState(const LineSettings& settings) {
    termios t{};
    if (m_fd < 0 || tcgetattr(m_fd, &t) != 0) {
        Fail(m_fd < 0 ? EBADF : errno, "get settings");
        return false;
    }
    const speed_t speed = SpeedFor(settings.baudRate);
    if (speed == B0 || settings.byteSize != 8 || settings.parity != 0 || settings.stopBits != 0) {
        Fail(EINVAL, "set settings");
        return false;
    }
    // Binary line: no line editing, echo, character translation or software
    // flow control, which would eat or change bytes of the frames. Hardware
    // flow control (CRTSCTS) stays as found.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(m_fd, TCSANOW, &t) != 0) {
        Fail(errno, "set settings");
        return false;
    }
    return true;
}

void TermiosPort::PurgeRx() {
    if (m_fd >= 0) {
        tcflush(m_fd, TCIFLUSH);
    }
}

bool TermiosPort::CtsHold() {
    if (m_fd < 0) {
        return false;
    }
    termios t{};
    if (tcgetattr(m_fd, &t) != 0 || (t.c_cflag & CRTSCTS) == 0) {
        return false;
    }
    int lines = 0;
    // A device without modem lines (a pseudo-terminal) never holds.
    if (ioctl(m_fd, TIOCMGET, &lines) != 0) {
        return false;
    }
    return (lines & TIOCM_CTS) == 0;
}

int TermiosPort::Write(const std::uint8_t* data, int n) {
    if (m_fd < 0 || n <= 0) {
        return 0;
    }
    int total = 0;
    while (total < n) {
        const ssize_t put = ::write(m_fd, data + total, static_cast<size_t>(n - total));
        if (put > 0) {
            total += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{m_fd, POLLOUT, 0};
            // The output queue drains at line speed; a line that takes no byte
            // for 5 s is gone.
            const int r = poll(&p, 1, 5000);
            if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) {
                continue;
            }
            if (r < 0 && errno == EINTR) {
                continue;
            }
            Fail(r == 0 ? ETIMEDOUT : EIO, "write");
            break;
        }
        Fail(put < 0 ? errno : EIO, "write");
        break;
    }
    return total;
}

void TermiosPort::WaitTxEmpty() {
    if (m_fd >= 0) {
        tcdrain(m_fd);
    }
}

void TermiosPort::Flush() {
    WaitTxEmpty();
}

int TermiosPort::Read(std::uint8_t* data, int n, std::uint32_t timeoutMs) {
    if (m_fd < 0 || n <= 0) {
        return 0;
    }
    const std::uint32_t deadline = GetTickCount() + timeoutMs;
    int total = 0;
    bool hungUp = false;
    while (total < n) {
        // With no byte waiting the read gives 0 (no minimum count is set) or EAGAIN.
        const ssize_t got = ::read(m_fd, data + total, static_cast<size_t>(n - total));
        if (got > 0) {
            total += static_cast<int>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(errno, "read");
            break;
        }
        if (hungUp) {
            // The line is gone (hang-up, device removed) and nothing was left to read.
            Fail(EIO, "read");
            break;
        }
        const std::uint32_t now = GetTickCount();
        if (TickReached(now, deadline)) {
            break;
        }
        pollfd p{m_fd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(deadline - now));
        if (r < 0 && errno != EINTR) {
            Fail(errno, "read");
            break;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            hungUp = true;  // read once more: bytes that came before the hang-up still count
        }
    }
    return total;
}

}  // namespace tolvane
