#include <gtest/gtest.h>

#include "app/VersionInfo.h"
#include "res/VersionData.h"

namespace tolvane {
namespace {

TEST(VersionInfo, ReshapesADottedVersionForDisplay) {
    struct Case {
        const char* value;
        const char* shown;
    };
    const Case cases[] = {
        {"1.5.0.0", "V 1.50"}, {"2", ""},
        {"1.2", "V 1.2"},      {"1.2.3", "V 1.23"},
        {"1.2.3.4", "V 1.23"}, {"10.20.30.40", "V 10.2030"},
        {"1.", "V 1."},        {".5", "V .5"},
        {"1..2", "V 1.2"},     {"1. 5. 0", "V 1.50"},
        {" 1.5 ", "V 1.5"},    {"1.2.3 beta", "V 1.23 beta"},
        {"1, 5, 0, 0", ""},    {"", ""},
        {"   ", ""},           {"\t1.5.0.0\r\n", "V 1.50"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReshapeVersion(c.value), c.shown) << '"' << c.value << '"';
    }
}

TEST(VersionInfo, TheProgramsOwnVersionIsV150) {
    EXPECT_EQ(GetVersionInfoString("ProductVersion"), "V 1.50");
    EXPECT_EQ(GetVersionInfoString("ProductVersion", res::ProgramVersionResource(), 0x0407),
              "V 1.50")
        << "the translation list decides, not the user's language";
}

TEST(VersionInfo, MissingValuesAndOtherLanguagesGiveEmptyText) {
    // A string table only for German (0407) in code page 1200 (04B0).
    constexpr res::VersionString kGerman[] = {
        {"\\StringFileInfo\\040704B0\\ProductVersion", "2.1.0.0"}};
    const res::VersionResource noTranslation{{}, kGerman};
    EXPECT_EQ(GetVersionInfoString("ProductVersion", &noTranslation, 0x0407), "V 2.10");
    EXPECT_EQ(GetVersionInfoString("ProductVersion", &noTranslation, 0x0409), "");

    // A translation entry that is not exactly one 4-byte entry counts as none.
    constexpr std::uint32_t kTwo[] = {0x04E40409u, 0x04B00407u};
    const res::VersionResource twoTranslations{kTwo, kGerman};
    EXPECT_EQ(GetVersionInfoString("ProductVersion", &twoTranslations, 0x0407), "V 2.10");

    EXPECT_EQ(GetVersionInfoString("FileDescriptionMissing"), "");
    EXPECT_EQ(GetVersionInfoString("ProductVersion", nullptr, 0x0409), "");
    EXPECT_EQ(GetVersionInfoString(std::string(231, 'K')), "")
        << "a key longer than the path buffer";
}

}  // namespace
}  // namespace tolvane
