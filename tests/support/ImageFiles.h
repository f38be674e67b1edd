#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SampleImages.h"

namespace tolvane::test {

using sim::MakePresetFile;
using sim::MakeProgramImage;
using sim::ProgramImage;

// A fresh folder under /tmp, removed with everything in it when destroyed.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    // Writes `bytes` to Path()/name and returns the full path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

  private:
    std::string m_path;
};

}  // namespace tolvane::test
