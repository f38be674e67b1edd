// Image-file validation: an arbitrary file under an arbitrary name, checked
// against an arbitrary model and variant.
//
// Input layout:
//   byte 0       length L of the file name (bytes)
//   L bytes      the file name; '/' and zero bytes become '_'
//   byte         model (-1..5, modulo 7 minus 1) in the low bits; bit 7: variant 9,
//                else variant (byte >> 3) % 10
//   byte         mode: bit 0 builds a full-size program image (see below);
//                bits 1-2 choose the unit code written into it;
//                bits 3-4 choose how many bytes follow the checksum region
//   rest         file content
// A full-size image puts the content at the start, fills the checksum region
// (327,680 bytes) with 0xFF, writes the unit code and a version text, and then
// balances XOR and sum, so that the checks past the checksum are reached.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"
#include "res/Resource.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace {

constexpr std::size_t kRegion = 327680;
constexpr std::size_t kSumByte = 54;
constexpr std::size_t kBalanceByte = 200;
constexpr std::size_t kVersionText = 0x10001;
constexpr std::size_t kUnitId = 0x3FF80;

std::string g_dir;

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

const std::string& Dir() {
    if (g_dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tolvane-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        g_dir = pattern;
        std::atexit(RemoveDir);
    }
    return g_dir;
}

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte() {
        if (n == 0) {
            return 0;
        }
        --n;
        return *p++;
    }
    std::string Take(std::size_t k) {
        k = k < n ? k : n;
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        n -= k;
        return s;
    }
};

void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::vector<std::uint8_t> FullSizeImage(const std::string& content, int codeChoice,
                                        std::size_t tail) {
    std::vector<std::uint8_t> b(kRegion + tail, 0xFF);
    std::memcpy(b.data(), content.data(), content.size() < kRegion ? content.size() : kRegion);
    const std::uint32_t codes[] = {tolvane::CatalogueEntry(0).unitId,
                                   tolvane::CatalogueEntry(1).unitId,
                                   tolvane::CatalogueEntry(2).unitId, tolvane::kGenericCode1C};
    PutLe32(b, kUnitId, codes[codeChoice]);
    std::memcpy(&b[kVersionText], "V1.23", 5);
    // The balance byte makes the sum of all bytes but the sum byte 0xFF; the
    // sum byte then makes the XOR 0xFF.
    unsigned sum = 0;
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < kRegion; ++i) {
        if (i != kSumByte && i != kBalanceByte) {
            sum += b[i];
        }
    }
    b[kBalanceByte] = static_cast<std::uint8_t>(0xFFu - sum);
    for (std::size_t i = 0; i < kRegion; ++i) {
        if (i != kSumByte) {
            x ^= b[i];
        }
    }
    b[kSumByte] = static_cast<std::uint8_t>(x ^ 0xFFu);
    return b;
}

bool WriteFile(const std::string& path, const std::uint8_t* p, std::size_t n) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0) {
            ok = false;
            break;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    ::close(fd);
    return ok;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    std::string name = in.Take(in.Byte());
    for (char& c : name) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    const std::uint8_t modelByte = in.Byte();
    const int model = (modelByte & 0x7F) % 7 - 1;
    const int variant = (modelByte & 0x80) != 0 ? 9 : (modelByte >> 3) % 10;
    const std::uint8_t mode = in.Byte();
    const std::string content = in.Take(in.n);

    // "." and ".." name folders; they stay unwritten and must fail to open.
    const std::string path = Dir() + "/" + name;
    const bool writable = !name.empty() && name != "." && name != "..";
    std::size_t fileSize = content.size();
    if (writable) {
        bool ok;
        if ((mode & 1) != 0) {
            static constexpr std::size_t kTails[] = {0, 1, 127, 128};
            const auto image = FullSizeImage(content, (mode >> 1) & 3, kTails[(mode >> 3) & 3]);
            fileSize = image.size();
            ok = WriteFile(path, image.data(), image.size());
        } else {
            ok = WriteFile(path, reinterpret_cast<const std::uint8_t*>(content.data()),
                           content.size());
        }
        if (!ok) {
            ::unlink(path.c_str());
            return 0;
        }
    }

    tolvane::test::MemoryWindow wnd(102);
    tolvane::test::PortDouble port;
    tolvane::LoaderDlg dlg(wnd, port);
    dlg.m_strFileName = name;
    dlg.m_strFilePath = path;
    dlg.m_nModel = model;
    dlg.m_nVariant = variant;
    dlg.InitModelCatalogue();
    dlg.CheckImageFile();
    if (writable) {
        ::unlink(path.c_str());
    }

    FUZZ_CHECK(!dlg.m_file.IsOpen());
    const auto firm = wnd.TextsOf(tolvane::res::IDC_FILE_FIRM);
    const auto version = wnd.TextsOf(tolvane::res::IDC_FILE_VERSION);
    FUZZ_CHECK(firm.size() == 1 && version.size() == 1);
    FUZZ_CHECK(dlg.m_bFileValid == 0 || dlg.m_bFileValid == 1);
    if (dlg.m_bFileValid == 1) {
        FUZZ_CHECK(dlg.m_nFileKind == 0 || dlg.m_nFileKind == 1);
        FUZZ_CHECK(writable);
        if (dlg.m_nFileKind == 0) {
            FUZZ_CHECK(StartsWith(firm[0], " Firmware: "));
            FUZZ_CHECK(StartsWith(version[0], " Version: "));
            // Blocks are 128 bytes and the frame addresses 24 bits.
            FUZZ_CHECK(dlg.m_nBlocks >= kRegion / 128 && dlg.m_nBlocks <= (1u << 17));
        } else {
            FUZZ_CHECK(firm[0] == " Preset File");
            FUZZ_CHECK(version[0].size() <= 32);
            FUZZ_CHECK(dlg.m_nModel >= 1 && dlg.m_nModel <= 5);
            FUZZ_CHECK(fileSize >= 150);
            FUZZ_CHECK(dlg.m_nBlocks == (fileSize - 32) / 128);
        }
    } else {
        FUZZ_CHECK(dlg.m_nFileKind == -1);
        FUZZ_CHECK(firm[0] == " Error in File");
        static const char* const kErrors[] = {" Nothing Selected", " Incorrect Type",
                                              " Not Found",        " Size",
                                              " Checksum",         " Incorrect Preset File"};
        bool known = false;
        for (const char* e : kErrors) {
            known = known || version[0] == e;
        }
        FUZZ_CHECK(known);
        FUZZ_CHECK(!name.empty() || version[0] == " Nothing Selected");
    }
    return 0;
}
