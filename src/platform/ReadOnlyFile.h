#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

// A file opened for reading only. Closed by Close() or when destroyed.
class ReadOnlyFile {
  public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens an existing file; a file already open is closed first.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // Reads up to n bytes from the current position. Returns fewer only at the
    // end of the file or when a read fails (then ErrorNumber() tells why); never negative.
    int Read(void* buffer, int n);
    bool SeekToBegin();
    // Length in bytes; 0 when it cannot be told.
    std::uint64_t GetLength();
    void Close();
    int ErrorNumber() const { return m_errno; }

  private:
    int m_fd = -1;
    int m_errno = 0;
};

}  // namespace tolvane
