#pragma once

#include <cstdint>
#include <span>

namespace tolvane::res {

// One value of a version table, found by its full path, e.g.
// "\StringFileInfo\040904E4\ProductVersion".
struct VersionString {
    const char* path;
    const char* value;
};

// The program's version data: the translation list (low 16 bits language,
// high 16 bits code page) and the string tables.
struct VersionResource {
    std::span<const std::uint32_t> translations;
    std::span<const VersionString> strings;
};

// The program's own version data; null would mean none is embedded.
const VersionResource* ProgramVersionResource();

// Looks a path up: "\VarFileInfo\Translation" gives the translation list as
// bytes; a string path gives its text. False when the path has no value.
bool VerQueryValue(const VersionResource& res, const char* path, const void** value,
                   unsigned* length);

}  // namespace tolvane::res
