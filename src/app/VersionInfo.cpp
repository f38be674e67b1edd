#include "app/VersionInfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "res/VersionData.h"

namespace tolvane {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) {
        ++i;
    }
    return s.substr(i);
}

std::string Trim(const std::string& s) {
    std::string t = TrimLeft(s);
    while (!t.empty() && IsSpace(t.back())) {
        t.pop_back();
    }
    return t;
}

}  // namespace

std::string ReshapeVersion(const std::string& value) {
    if (value.empty()) {
        return {};
    }
    std::string text = Trim(value);
    size_t i = text.find('.');
    if (text.empty() || i == std::string::npos) {
        return {};
    }
    std::string result = "V " + text.substr(0, i) + ".";
    for (int pass = 0; pass < 2; ++pass) {
        std::string rest = TrimLeft(text.substr(i + 1));
        const size_t dot = rest.find('.');
        if (rest.empty() || dot == std::string::npos) {
            result += rest;
            break;
        }
        result += rest.substr(0, dot);
        text = rest;
        i = dot;
    }
    return result;
}

std::string GetVersionInfoString(const std::string& key, const res::VersionResource* resource,
                                 std::uint16_t userLangId) {
    std::string value;
    // The path buffer holds 256 characters; the longest prefix is 25.
    if (resource != nullptr && key.size() <= 230) {
        char path[256];
        const void* data = nullptr;
        unsigned length = 0;
        if (res::VerQueryValue(*resource, "\\VarFileInfo\\Translation", &data, &length) &&
            length == 4) {
            std::uint32_t t = 0;
            std::memcpy(&t, data, 4);
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%02X%02X%02X%02X\\%s",
                          (t >> 8) & 0xFFu, t & 0xFFu, (t >> 24) & 0xFFu, (t >> 16) & 0xFFu,
                          key.c_str());
        } else {
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X04B0\\%s",
                          static_cast<unsigned>(userLangId), key.c_str());
        }
        if (res::VerQueryValue(*resource, path, &data, &length)) {
            value = static_cast<const char*>(data);
        }
    }
    return ReshapeVersion(value);
}

std::string GetVersionInfoString(const std::string& key) {
    return GetVersionInfoString(key, res::ProgramVersionResource(), GetUserDefaultLangID());
}

std::uint16_t GetUserDefaultLangID() {
    struct LangEntry {
        const char* locale;  // language_TERRITORY prefix
        std::uint16_t id;
    };
    // Locale prefix, language number (0x0409 for U.S. English).
    static constexpr LangEntry kLangs[] = {
        {"en_US", 0x0409}, {"en_GB", 0x0809}, {"de_DE", 0x0407}, {"fr_FR", 0x040C},
        {"it_IT", 0x0410}, {"es_ES", 0x0C0A}, {"nl_NL", 0x0413}, {"ja_JP", 0x0411},
        {"en", 0x0409},    {"de", 0x0407},    {"fr", 0x040C},    {"it", 0x0410},
        {"es", 0x0C0A},    {"nl", 0x0413},    {"ja", 0x0411},
    };
    const char* locale = nullptr;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v != nullptr && *v != '\0') {
            locale = v;
            break;
        }
    }
    if (locale != nullptr) {
        for (const auto& l : kLangs) {
            if (std::strncmp(locale, l.locale, std::strlen(l.locale)) == 0) {
                return l.id;
            }
        }
    }
    return 0x0409;
}

}  // namespace tolvane
