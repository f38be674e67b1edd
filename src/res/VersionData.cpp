#include "res/VersionData.h"

#include <cstring>

namespace tolvane::res {

namespace {

// Language 0x0409 (U.S. English), code page 0x04E4 (1252).
constexpr std::uint32_t kTranslations[] = {0x04E40409u};

constexpr VersionString kStrings[] = {
    {"\\StringFileInfo\\040904E4\\CompanyName", "Brennic"},
    {"\\StringFileInfo\\040904E4\\FileDescription", "Brennic Tolvane program and preset loader"},
    {"\\StringFileInfo\\040904E4\\FileVersion", "1.5.0.0"},
    {"\\StringFileInfo\\040904E4\\InternalName", "tolvane"},
    {"\\StringFileInfo\\040904E4\\ProductName", "Brennic Tolvane"},
    {"\\StringFileInfo\\040904E4\\ProductVersion", "1.5.0.0"},
};

constexpr VersionResource kProgram{kTranslations, kStrings};

}  // namespace

const VersionResource* ProgramVersionResource() {
    return &kProgram;
}

bool VerQueryValue(const VersionResource& res, const char* path, const void** value,
                   unsigned* length) {
    if (std::strcmp(path, "\\VarFileInfo\\Translation") == 0) {
        if (res.translations.empty()) {
            return false;
        }
        *value = res.translations.data();
        *length = static_cast<unsigned>(res.translations.size_bytes());
        return true;
    }
    for (const auto& s : res.strings) {
        if (std::strcmp(s.path, path) == 0) {
            *value = s.value;
            *length = static_cast<unsigned>(std::strlen(s.value) + 1);
            return true;
        }
    }
    return false;
}

}  // namespace tolvane::res
