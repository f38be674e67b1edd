// Version text: arbitrary values reshaped for display, and the lookup over
// arbitrary version data.
//
// Input layout:
//   byte 0   bits 0-1: number of translations (0..3); bit 2: the first string's
//            path is made to match the path the lookup asks for
//   byte 1-2 the user's language (little-endian)
//   4 bytes per translation
//   rest     zero-separated fields: the key, then path and value pairs
// The whole input is also reshaped on its own, as a value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/VersionInfo.h"
#include "res/VersionData.h"

namespace {

void CheckShape(const std::string& value, const std::string& shown) {
    FUZZ_CHECK(shown.empty() || shown.compare(0, 2, "V ") == 0);
    // Nothing is made up: every character shown but the "V " comes from the value.
    FUZZ_CHECK(shown.empty() || shown.size() - 2 <= value.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string whole(reinterpret_cast<const char*>(data), size);
    CheckShape(whole, tolvane::ReshapeVersion(whole));

    if (size < 3) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const auto lang = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
    std::size_t at = 3;
    std::vector<std::uint32_t> translations;
    for (int i = 0; i < (flags & 3) && at + 4 <= size; ++i, at += 4) {
        std::uint32_t t;
        std::memcpy(&t, data + at, 4);
        translations.push_back(t);
    }

    std::vector<std::string> fields;
    const std::string rest = whole.substr(at);
    for (std::size_t start = 0;;) {
        const auto nul = rest.find('\0', start);
        fields.push_back(rest.substr(start, nul - start));
        if (nul == std::string::npos) {
            break;
        }
        start = nul + 1;
    }
    const std::string key = fields[0];
    if ((flags & 4) != 0 && fields.size() >= 2) {
        char path[300];
        if (translations.size() == 1) {
            const std::uint32_t t = translations[0];
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%02X%02X%02X%02X\\%s",
                          (t >> 8) & 0xFFu, t & 0xFFu, (t >> 24) & 0xFFu, (t >> 16) & 0xFFu,
                          key.c_str());
        } else {
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X04B0\\%s",
                          static_cast<unsigned>(lang), key.c_str());
        }
        fields[1] = path;
    }
    std::vector<tolvane::res::VersionString> strings;
    for (std::size_t i = 1; i + 1 < fields.size(); i += 2) {
        strings.push_back({fields[i].c_str(), fields[i + 1].c_str()});
    }
    const tolvane::res::VersionResource resource{translations, strings};

    const std::string shown = tolvane::GetVersionInfoString(key, &resource, lang);
    FUZZ_CHECK(shown.empty() || shown.compare(0, 2, "V ") == 0);
    if (key.size() > 230) {
        FUZZ_CHECK(shown.empty());
    }
    // The value found for the path asked for is the one reshaped.
    if ((flags & 4) != 0 && fields.size() >= 3 && key.size() <= 230 &&
        key.find('\0') == std::string::npos) {
        const std::string value = fields[2];
        FUZZ_CHECK(shown == tolvane::ReshapeVersion(value));
    }
    CheckShape(whole, shown);

    const std::string own = tolvane::GetVersionInfoString(key, nullptr, lang);
    FUZZ_CHECK(own.empty());
    return 0;
}
