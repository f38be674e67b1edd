#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/LoaderDlg.h"
#include "platform/SerialPort.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace tolvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void FillNoise(Bytes& b, std::uint32_t seed) {
    for (auto& x : b) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<std::uint8_t>(seed >> 24);
    }
}

constexpr std::size_t kRegion = 327680;
constexpr std::uint32_t kModel1 = 0x701A365A;
constexpr std::uint32_t kModel2 = 0x701C361A;
constexpr std::uint32_t kModel3 = 0x701C2C39;
constexpr std::uint32_t kPresetR13 = 0x701A365A;
constexpr std::uint32_t kPresetR15 = 0x702A3B4C;

struct Program {
    std::size_t length = kRegion;
    std::uint32_t unitId = kModel2;
    std::uint16_t version = 300;   // offset 128
    std::uint16_t firmware = 258;  // offset 132
    const char* versionString = "ABCDE";
    bool breakXor = false;  // sum still right
    bool breakSum = false;  // XOR still right
};

// A program image; when it holds the whole checksum region, its XOR is 0xFF
// and the sum of all bytes but byte 54 is 0xFF, unless a knob breaks one.
Bytes MakeProgram(const Program& p) {
    Bytes b(p.length);
    FillNoise(b, 0x5eed);
    PutLe(b, 128, p.version, 2);
    PutLe(b, 132, p.firmware, 2);
    if (b.size() >= kRegion) {
        for (std::size_t i = 0; i < 5; ++i) {
            b[65537 + i] = static_cast<std::uint8_t>(p.versionString[i]);
        }
        PutLe(b, 262016, p.unitId, 4);
        b[300] = 0x10;
        b[301] = 0x10;
        // Byte 200 balances the sum without byte 54; byte 54 then the XOR.
        b[54] = 0;
        b[200] = 0;
        std::uint8_t sum = 0;
        std::uint8_t x = 0;
        for (std::size_t i = 0; i < kRegion; ++i) {
            sum = static_cast<std::uint8_t>(sum + b[i]);
        }
        b[200] = static_cast<std::uint8_t>(0xFF - sum);
        for (std::size_t i = 0; i < kRegion; ++i) {
            x ^= b[i];
        }
        b[54] = static_cast<std::uint8_t>(x ^ 0xFF);
    }
    if (p.breakSum) {  // +2 to the sum, XOR unchanged
        b[300] = 0x11;
        b[301] = 0x11;
    }
    if (p.breakXor) {  // sum unchanged, XOR changed
        b[300] = 0x11;
        b[301] = 0x0F;
    }
    return b;
}

// A preset file: 32-byte name header, identity code at 60, data to `length`.
Bytes MakePreset(std::size_t length, std::uint32_t presetId, const std::string& name) {
    Bytes b(length);
    FillNoise(b, 0xbeef);
    for (std::size_t i = 0; i < 32; ++i) {
        b[i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
    }
    PutLe(b, 60, presetId, 4);
    return b;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) {
            ++n;
        }
        closedir(d);
    }
    return n;
}

struct FileCase {
    const char* what;
    std::string name;  // m_strFileName as chosen
    Bytes content;
    int model = 2;
    int variant = 0;
    std::string expect1002;
    std::string expect1003;
    std::optional<std::uint64_t> blocks = std::nullopt;
    int kind = -1;  // m_nFileKind afterwards; valid when >= 0
    // Other inputs.
    std::uint64_t extendTo = 0;  // sparse zeros up to this length
    std::string pathOverride;    // "-" for a file that does not exist
    bool headerValues = false;   // version 300 and firmware 258 must be stored
    std::string expectName;      // m_strFileName afterwards, when given
    std::uint32_t unitIds9 = 0;  // what lies just before m_presetIds
};

const std::string kBad = " Error in File";

std::vector<FileCase> Cases() {
    std::vector<FileCase> c;
    auto valid = [](const char* what, std::string name, Bytes content, int model,
                    std::uint64_t blocks) {
        FileCase f;
        f.what = what;
        f.name = std::move(name);
        f.content = std::move(content);
        f.model = model;
        f.expect1002 = " Firmware: 258";
        f.expect1003 = " Version: ABCDE \\ 300";
        f.blocks = blocks;
        f.kind = 0;
        return f;
    };
    auto bad = [](const char* what, std::string name, Bytes content, int model, const char* text) {
        FileCase f;
        f.what = what;
        f.name = std::move(name);
        f.content = std::move(content);
        f.model = model;
        f.expect1002 = kBad;
        f.expect1003 = text;
        return f;
    };
    const Bytes good = MakeProgram({});

    // Program files.
    c.push_back(valid("worked example", "BRNR15M0300.BIN", good, 2, 2560));
    {
        Bytes longer = MakeProgram({.length = kRegion + 20});
        c.push_back(valid("20 bytes past the region take no part", "BRNR15M.BIN", longer, 2, 2560));
    }
    c.push_back(valid("generic code, model 1", "BRNR13M.BIN", MakeProgram({.unitId = 0x701C7F7F}),
                      1, 2560));
    c.push_back(valid("generic code, model 2", "BRNR15M.BIN", MakeProgram({.unitId = 0x701C7F7F}),
                      2, 2560));
    c.push_back(valid("generic code, model 3", "BRN15SM.BIN", MakeProgram({.unitId = 0x701C7F7F}),
                      3, 2560));
    c.push_back(valid("model 1", "BRNR13M.BIN", MakeProgram({.unitId = kModel1}), 1, 2560));
    c.push_back(valid("model 3", "BRN15SM.BIN", MakeProgram({.unitId = kModel3}), 3, 2560));
    for (int model = 1; model <= 3; ++model) {
        const char* names[] = {"", "BRNR13M.BIN", "BRNR15M.BIN", "BRN15SM.BIN"};
        c.push_back(bad("other generic code", names[model], MakeProgram({.unitId = 0x701A7F7F}),
                        model, " Incorrect Type"));
    }
    c.push_back(bad("model 1's code for model 2", "BRNR15M.BIN", MakeProgram({.unitId = kModel1}),
                    2, " Incorrect Type"));
    c.push_back(
        bad("149 bytes", "BRNR15M.BIN", Bytes(good.begin(), good.begin() + 149), 2, " Size"));
    c.push_back(bad("empty file", "BRNR15M.BIN", Bytes{}, 2, " Size"));
    for (std::size_t len : {std::size_t{150}, kRegion - 1}) {
        FileCase f = bad("shorter than the region", "BRNR15M.BIN", MakeProgram({.length = len}), 2,
                         " Checksum");
        f.blocks = len / 128;
        f.headerValues = true;
        c.push_back(f);
    }
    c.push_back(bad("XOR wrong, sum right", "BRNR15M.BIN", MakeProgram({.breakXor = true}), 2,
                    " Checksum"));
    {
        FileCase f = bad("sum wrong, XOR right", "BRNR15M.BIN", MakeProgram({.breakSum = true}), 2,
                         " Checksum");
        f.blocks = 2560;
        f.headerValues = true;
        c.push_back(f);
    }
    c.push_back(bad("sum and identity wrong", "BRNR15M.BIN",
                    MakeProgram({.unitId = 0x701A7F7F, .breakSum = true}), 2, " Incorrect Type"));
    c.push_back(bad("short and wrong identity", "BRNR15M.BIN",
                    MakeProgram({.length = kRegion - 1, .unitId = 0x701A7F7F}), 2, " Checksum"));

    // Names, models and the variant.
    c.push_back(bad("empty name", "", good, 2, " Nothing Selected"));
    {
        FileCase f = valid("lower case", "brnr15m0300.bin", good, 2, 2560);
        f.expectName = "BRNR15M0300.BIN";
        c.push_back(f);
    }
    c.push_back(bad("program prefix of another model", "BRNR13M.BIN", good, 2, " Incorrect Type"));
    c.push_back(bad("model 3 program named with the preset prefix", "BRNR15M.BIN",
                    MakeProgram({.unitId = kModel3}), 3, " Incorrect Type"));
    c.push_back(bad("model 3 preset named with the program prefix", "BRN15SR.BIN",
                    MakePreset(150, kPresetR15, "P"), 3, " Incorrect Type"));
    c.push_back(bad("generic unit: no prefix fits", "BRNR15M.BIN",
                    MakeProgram({.unitId = 0x701C7F7F}), 0, " Incorrect Type"));
    for (int model : {-1, 0, 2}) {
        FileCase f = valid("variant 9: any name, no identity test", "ANYNAMM.BIN",
                           MakeProgram({.unitId = 0x12345678}), model, 2560);
        f.variant = 9;
        c.push_back(f);
    }
    {
        FileCase f = bad("variant 9 keeps the checksums", "ANYNAMM.BIN",
                         MakeProgram({.breakXor = true}), 2, " Checksum");
        f.variant = 9;
        c.push_back(f);
        f = bad("variant 9 keeps the preset identity", "ANYNAMR.BIN",
                MakePreset(150, kPresetR13, "P"), 2, " Incorrect Preset File");
        f.variant = 9;
        c.push_back(f);
    }
    {
        FileCase f = bad("missing file", "BRNR15M.BIN", {}, 2, " Not Found");
        f.pathOverride = "-";
        c.push_back(f);
    }

    // Preset files.
    {
        FileCase f;
        f.what = "preset of 150 bytes";
        f.name = "BRNR15R01.BIN";
        f.content = MakePreset(150, kPresetR15, "Studio Set");
        f.expect1002 = " Preset File";
        f.expect1003 = "Studio Set";
        f.blocks = 0;
        f.kind = 1;
        c.push_back(f);

        f.what = "preset, model 3";
        f.model = 3;
        c.push_back(f);

        f.what = "preset, model 1";
        f.model = 1;
        f.name = "BRNR13R.BIN";
        f.content = MakePreset(32 + 3 * 128 + 5, kPresetR13, "Studio Set");
        f.blocks = 3;
        c.push_back(f);

        f.what = "preset name with a zero byte at 5";
        f.model = 2;
        f.name = "BRNR15R.BIN";
        std::string name = "ABCDE";
        name += '\0';
        name += "FGHIJ";
        f.content = MakePreset(200, kPresetR15, name);
        f.expect1003 = "ABCDE";
        f.blocks = 1;
        c.push_back(f);

        f.what = "preset name of 32 characters without a zero";
        f.content = MakePreset(200, kPresetR15, "0123456789abcdefghijklmnopqrstuv");
        f.expect1003 = "0123456789abcdefghijklmnopqrstuv";
        c.push_back(f);
    }
    {
        FileCase f =
            bad("wrong preset identity", "BRNR15R.BIN",
                MakePreset(32 + 3 * 128 + 5, kPresetR13, "P"), 2, " Incorrect Preset File");
        f.blocks = 3;
        c.push_back(f);
        f = bad("preset of 149 bytes", "BRNR15R.BIN", MakePreset(149, kPresetR15, "P"), 2, " Size");
        c.push_back(f);
    }
    // No catalogue model, no preset identity code: even a file carrying what
    // lies in the unused entry 0, or just before the array, is refused.
    for (int model : {0, -1}) {
        FileCase f = bad("preset for a unit without a model", "ANYNAMR.BIN",
                         MakePreset(150, model == 0 ? 0u : 0xCAFEF00Du, "P"), model,
                         " Incorrect Preset File");
        f.variant = 9;
        f.unitIds9 = 0xCAFEF00D;
        c.push_back(f);
    }

    // Names that are neither program nor preset files: opened and read like
    // any other, then refused.
    c.push_back(bad("seventh character X", "BRNR15X.BIN", good, 2, " Incorrect Type"));
    c.push_back(bad("name of six characters", "BRNR15", good, 2, " Incorrect Type"));
    c.push_back(bad("neither kind, 149 bytes", "BRNR15X.BIN",
                    Bytes(good.begin(), good.begin() + 149), 2, " Size"));
    {
        FileCase f = bad("neither kind, variant 9", "ANY.BIN", good, 2, " Incorrect Type");
        f.variant = 9;
        c.push_back(f);
        f = bad("neither kind, missing", "BRNR15X.BIN", {}, 2, " Not Found");
        f.pathOverride = "-";
        c.push_back(f);
    }

    // Images past the 24-bit block address would wrap to the unit's address 0.
    {
        FileCase f = valid("program of 2^24 bytes", "BRNR15M.BIN", good, 2, 131072);
        f.extendTo = std::uint64_t{1} << 24;
        c.push_back(f);
        f = bad("program one byte past 2^24", "BRNR15M.BIN", good, 2, " Size");
        f.extendTo = (std::uint64_t{1} << 24) + 1;
        f.blocks = 131072;
        c.push_back(f);
        f = bad("program past 2^24 with a wrong sum", "BRNR15M.BIN",
                MakeProgram({.breakSum = true}), 2, " Checksum");
        f.extendTo = std::uint64_t{1} << 25;
        c.push_back(f);
        f = bad("program past 2^24 for another model", "BRNR15M.BIN",
                MakeProgram({.unitId = kModel1}), 2, " Incorrect Type");
        f.extendTo = std::uint64_t{1} << 25;
        c.push_back(f);

        FileCase p;
        p.what = "preset of 128,000 blocks";
        p.name = "BRNR15R.BIN";
        p.content = MakePreset(150, kPresetR15, "Big");
        p.extendTo = 32 + 128000 * 128;
        p.expect1002 = " Preset File";
        p.expect1003 = "Big";
        p.blocks = 128000;
        p.kind = 1;
        c.push_back(p);
        p = bad("preset one byte past 128,000 blocks", "BRNR15R.BIN",
                MakePreset(150, kPresetR15, "Big"), 2, " Size");
        p.extendTo = 32 + 128000 * 128 + 1;
        c.push_back(p);
        p = bad("preset past 128,000 blocks with a wrong identity", "BRNR15R.BIN",
                MakePreset(150, kPresetR13, "Big"), 2, " Incorrect Preset File");
        p.extendTo = 32 + 128000 * 128 + 1;
        c.push_back(p);
    }

    // Files the platform cannot read or size: a read fails (EIO), or the
    // length reads 0 although the bytes are there.
    for (const char* name : {"BRNR15M.BIN", "BRNR15R.BIN"}) {
        FileCase f = bad("read fails", name, {}, 2, " Size");
        f.pathOverride = "/proc/self/mem";
        c.push_back(f);
        f = bad("length cannot be told", name, {}, 2, " Size");
        f.pathOverride = "/proc/self/status";
        c.push_back(f);
    }
    return c;
}

class TempFolder {
  public:
    TempFolder() {
        char templ[] = "/tmp/tolvane-check-XXXXXX";
        const char* made = mkdtemp(templ);
        m_path = made != nullptr ? made : "";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

TEST(CheckImageFile, GivesTheVerdictOfEachFile) {
    TempFolder dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::vector<FileCase> cases = Cases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const FileCase& c = cases[i];
        SCOPED_TRACE(std::string(c.what) + " [" + c.name + "], model " + std::to_string(c.model));

        std::string path = dir.Path() + "/file" + std::to_string(i);
        if (c.pathOverride == "-") {
            path += ".missing";
        } else if (!c.pathOverride.empty()) {
            path = c.pathOverride;
        } else {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(c.content.data()),
                      static_cast<std::streamsize>(c.content.size()));
            out.close();
            if (c.extendTo != 0) {
                ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(c.extendTo)), 0);
            }
        }

        test::MemoryWindow wnd(102);
        test::PortDouble port;
        LoaderDlg dlg(wnd, port);
        dlg.DoDataExchange();
        dlg.InitModelCatalogue();
        dlg.m_nModel = c.model;
        dlg.m_nVariant = c.variant;
        dlg.m_unitIds[9] = c.unitIds9;
        dlg.m_strFileName = c.name;
        dlg.m_strFilePath = path;
        // Left over from an earlier verdict: every call must write afresh.
        dlg.m_bFileValid = c.kind >= 0 ? 0 : 1;
        dlg.m_nFileKind = c.kind >= 0 ? -1 : 0;
        dlg.m_nFileVersion = 0;
        dlg.m_nFileFirmware = 0;
        dlg.m_nBlocks = 77;

        const int fdsBefore = OpenDescriptors();
        dlg.CheckImageFile();
        EXPECT_EQ(OpenDescriptors(), fdsBefore);
        EXPECT_FALSE(dlg.m_file.IsOpen());

        EXPECT_EQ(wnd.GetItemText(1002), c.expect1002);
        EXPECT_EQ(wnd.GetItemText(1003), c.expect1003);
        EXPECT_EQ(dlg.m_bFileValid, c.kind >= 0 ? 1 : 0);
        EXPECT_EQ(dlg.m_nFileKind, c.kind);
        if (c.blocks) {
            EXPECT_EQ(dlg.m_nBlocks, *c.blocks);
        }
        if (c.headerValues || c.kind == 0) {
            EXPECT_EQ(dlg.m_nFileVersion, 300u);
            EXPECT_EQ(dlg.m_nFileFirmware, 258u);
        }
        if (!c.expectName.empty()) {
            EXPECT_EQ(dlg.m_strFileName, c.expectName);
        }
        std::remove(path.c_str());
    }
}

TEST(CheckImageFile, UpperCasesOnlyAsciiLetters) {
    test::MemoryWindow wnd(102);
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    dlg.DoDataExchange();
    dlg.InitModelCatalogue();
    dlg.m_nModel = 2;
    dlg.m_strFileName = "brnr15m_\xe9\xb5-z.bin";
    dlg.m_strFilePath = "/nonexistent/tolvane/x";
    dlg.CheckImageFile();
    EXPECT_EQ(dlg.m_strFileName, "BRNR15M_\xe9\xb5-Z.BIN");
    EXPECT_EQ(wnd.GetItemText(1003), " Not Found");
}

}  // namespace
}  // namespace tolvane
