#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

namespace res {
struct VersionResource;
}

// The value `key` of the program's version data, reshaped for display:
// "1.5.0.0" gives "V 1.50". Empty text when the value is missing or has no point.
std::string GetVersionInfoString(const std::string& key);

// The same lookup over given version data and user language (for tests).
std::string GetVersionInfoString(const std::string& key, const res::VersionResource* resource,
                                 std::uint16_t userLangId);

// "V " + first part + "." + second and third parts; further parts dropped.
std::string ReshapeVersion(const std::string& value);

// The user's default language as a language number (0x0409 for U.S. English), from
// LC_ALL/LC_MESSAGES/LANG.
std::uint16_t GetUserDefaultLangID();

}  // namespace tolvane
