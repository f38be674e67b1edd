#include "support/ImageFiles.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace tolvane::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/tolvane-test-XXXXXX";
    if (const char* made = mkdtemp(pattern)) {
        m_path = made;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) {
        std::filesystem::remove_all(m_path, ec);
    }
}

std::string TempDir::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = m_path + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace tolvane::test
