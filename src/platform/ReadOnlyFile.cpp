#include "platform/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane {

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    m_errno = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        m_errno = errno;
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        m_errno = (errno != 0) ? errno : EISDIR;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

int ReadOnlyFile::Read(void* buffer, int n) {
    if (m_fd < 0 || n <= 0) {
        return 0;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    int total = 0;
    while (total < n) {
        const ssize_t got = ::read(m_fd, out + total, static_cast<size_t>(n - total));
        if (got > 0) {
            total += static_cast<int>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            m_errno = errno;
            break;
        }
    }
    return total;
}

bool ReadOnlyFile::SeekToBegin() {
    if (m_fd < 0) {
        return false;
    }
    if (::lseek(m_fd, 0, SEEK_SET) != 0) {
        m_errno = errno;
        return false;
    }
    return true;
}

std::uint64_t ReadOnlyFile::GetLength() {
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || st.st_size < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

void ReadOnlyFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace tolvane
