// tolvane-sim: the simulated unit on a pseudo-terminal, for demos and scripts.

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SampleImages.h"
#include "sim/SimUnit.h"

namespace {

using tolvane::sim::Received;
using tolvane::sim::SimUnit;
using tolvane::sim::UnitConfig;

constexpr std::uint32_t kPresetBase = 3072 * 128;  // 0x60000, where preset loads begin
constexpr std::size_t kPresetHeaderLen = 32;
constexpr std::size_t kBlockLen = 128;

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitDiffers = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoEndFrame = 3;

constexpr const char* kHelp =
    R"(Usage: tolvane-sim [OPTION]...
Runs the simulated unit on a new pseudo-terminal pair and prints its device path as
  TOLVANE_COM1=/dev/pts/N
on the first line of standard output, for a script to export. At the end it prints
what the unit received.

Unit identity:
  --model r13|r15|r15s|generic
                        identity code and a matching firmware number:
                          r13      0x701A365A, firmware 150, version text R13v01
                          r15      0x701C361A, firmware 148, version text R15v01 (default)
                          r15s     0x701C2C39, firmware 148, version text R15Sv1
                          generic  0x701C7F7F, firmware 148, version text GENv01
  --code HEX            identity code (overrides the model's), e.g. 701C361A
  --firmware N          firmware number (overrides the model's)
  --version N           version number (default 5)
  --version-text TEXT   six characters of the version reply (shorter is zero-padded)
  --short 78|10         answer with the short identity reply of that type byte

Faults:
  --silent              never answer anything
  --no-start-ack        do not answer the start frame
  --wrong-ack BLOCK:TRY answer try TRY (1 = first) of block number BLOCK with 0xFB
                        instead of 0xFA (the block is then not stored); repeatable
  --garbage N           send N junk bytes (55 FA 00 FB E8 AA, repeated) before every reply
  --delay-ms N          send every reply N milliseconds late
  --close-after N       close the line when a block frame arrives after N block frames
                        were acknowledged (0: at the first block frame)
  --pace BAUD           model the wire at BAUD bit/s, 10 bits per byte, both ways

Ending and checking:
  --exit-after-end      exit as soon as the end frame has arrived
  --timeout-s N         give up after N seconds
  --compare FILE        check that the memory written equals the program FILE, written
                        from address 0 (0xFF where the loader skipped a block)
  --compare-preset FILE check that the memory written equals the preset FILE: its
                        32-byte header skipped, written from address 0x60000
                        (with both compares, nothing may be written outside the two files)
  --write-sample FILE   write a valid program image for the model (file version one
                        above the unit's) to FILE and exit, without opening a line
  --help                show this text

Without --exit-after-end the unit serves any number of loads until SIGINT or SIGTERM
(or the timeout).

Exit status:
  0  done; with a compare: the memory equals the file(s)
  1  a compare was asked and the memory differs
  2  bad command line, or the pseudo-terminal could not be opened
  3  --exit-after-end without a compare, and no end frame arrived before the timeout
)";

struct Options {
    UnitConfig config;
    std::string model = "r15";
    std::optional<std::uint32_t> code;
    std::optional<int> firmware;
    std::optional<std::string> versionText;
    bool exitAfterEnd = false;
    long timeoutS = 0;
    std::string compareProgram;
    std::string comparePreset;
    std::string writeSample;
};

bool ParseLong(std::string_view text, int base, long& out) {
    const std::string s(text);
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, base);
    if (errno != 0 || end == nullptr || *end != '\0') {
        return false;
    }
    out = v;
    return true;
}

bool ParseCount(std::string_view text, int& out) {
    long v = 0;
    if (!ParseLong(text, 10, v) || v < 0 || v > 1'000'000'000) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// Returns false with a message on stderr; `help` is set for --help.
bool ParseArgs(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool inlineValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        auto next = [&](std::string_view& v) {
            if (inlineValue) {
                v = value;
                return true;
            }
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tolvane-sim: %s needs a value\n", argv[i]);
                return false;
            }
            v = argv[++i];
            return true;
        };
        auto bad = [&](std::string_view v) {
            std::fprintf(stderr, "tolvane-sim: bad value for %.*s: %.*s\n",
                         static_cast<int>(arg.size()), arg.data(), static_cast<int>(v.size()),
                         v.data());
            return false;
        };
        std::string_view v;
        UnitConfig& c = o.config;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        } else if (arg == "--silent") {
            c.silent = true;
        } else if (arg == "--no-start-ack") {
            c.silentOnStart = true;
        } else if (arg == "--exit-after-end") {
            o.exitAfterEnd = true;
        } else if (arg == "--model") {
            if (!next(v)) {
                return false;
            }
            if (v != "r13" && v != "r15" && v != "r15s" && v != "generic") {
                return bad(v);
            }
            o.model = v;
        } else if (arg == "--code") {
            long n = 0;
            if (!next(v)) {
                return false;
            }
            if (v.starts_with("0x") || v.starts_with("0X")) {
                v.remove_prefix(2);
            }
            if (!ParseLong(v, 16, n) || n < 0 || n > 0xFFFFFFFFL) {
                return bad(v);
            }
            o.code = static_cast<std::uint32_t>(n);
        } else if (arg == "--firmware") {
            int n = 0;
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, n)) {
                return bad(v);
            }
            o.firmware = n;
        } else if (arg == "--version") {
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, c.version)) {
                return bad(v);
            }
        } else if (arg == "--version-text") {
            if (!next(v)) {
                return false;
            }
            o.versionText = std::string(v.substr(0, 6));
        } else if (arg == "--short") {
            if (!next(v)) {
                return false;
            }
            if (v != "78" && v != "10") {
                return bad(v);
            }
            c.shortReply = true;
            c.shortType = v == "78" ? 0x78 : 0x10;
        } else if (arg == "--wrong-ack") {
            if (!next(v)) {
                return false;
            }
            const auto colon = v.find(':');
            int block = 0;
            int attempt = 0;
            if (colon == std::string_view::npos || !ParseCount(v.substr(0, colon), block) ||
                !ParseCount(v.substr(colon + 1), attempt) || attempt < 1) {
                return bad(v);
            }
            c.wrongAckTries[static_cast<std::uint32_t>(block)].insert(attempt);
        } else if (arg == "--garbage") {
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, c.garbageBeforeReply)) {
                return bad(v);
            }
        } else if (arg == "--delay-ms") {
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, c.replyDelayMs)) {
                return bad(v);
            }
        } else if (arg == "--close-after") {
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, c.closeAfterBlocks)) {
                return bad(v);
            }
        } else if (arg == "--pace") {
            int baud = 0;
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, baud) || baud < 1) {
                return bad(v);
            }
            c.paceBaud = static_cast<std::uint32_t>(baud);
        } else if (arg == "--timeout-s") {
            int n = 0;
            if (!next(v)) {
                return false;
            }
            if (!ParseCount(v, n) || n < 1) {
                return bad(v);
            }
            o.timeoutS = n;
        } else if (arg == "--compare") {
            if (!next(v)) {
                return false;
            }
            o.compareProgram = v;
        } else if (arg == "--write-sample") {
            if (!next(v)) {
                return false;
            }
            o.writeSample = v;
        } else if (arg == "--compare-preset") {
            if (!next(v)) {
                return false;
            }
            o.comparePreset = v;
        } else {
            std::fprintf(stderr, "tolvane-sim: unknown option %s (see --help)\n", argv[i]);
            return false;
        }
    }

    // The model gives defaults; explicit options win whatever their order.
    struct Model {
        const char* name;
        std::uint32_t code;
        int firmware;  // low 7 bits: 22 for codes with 0x1A in bits 16..23, else 20
        const char* versionText;
    };
    constexpr Model kModels[] = {
        {"r13", 0x701A365A, 150, "R13v01"},
        {"r15", 0x701C361A, 148, "R15v01"},
        {"r15s", 0x701C2C39, 148, "R15Sv1"},
        {"generic", 0x701C7F7F, 148, "GENv01"},
    };
    for (const Model& m : kModels) {
        if (o.model == m.name) {
            o.config.identityCode = o.code.value_or(m.code);
            o.config.firmware = o.firmware.value_or(m.firmware);
            o.config.versionText = o.versionText.value_or(m.versionText);
        }
    }
    return true;
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    std::string s;
    char b[4];
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%s%02X", s.empty() ? "" : " ", bytes[i]);
        s += b;
    }
    return s;
}

void PrintReport(const Received& r) {
    std::printf("identity requests: %d\n", r.identityRequests);
    std::printf("version requests: %d\n", r.versionRequests);
    std::printf("start frames: %zu\n", r.startFrames.size());
    for (const auto& f : r.startFrames) {
        std::printf("  %s\n", Hex(f, 0, f.size()).c_str());
    }
    std::printf("block frames: %zu (blocks stored: %zu", r.blockFrames.size(), r.memory.size());
    if (!r.memory.empty()) {
        std::printf(", addresses %06X to %06X", r.memory.begin()->first, r.memory.rbegin()->first);
    }
    std::printf(")\n");
    std::printf("bad checksums: %d\n", r.badChecksums);
    std::printf("out of sequence: %d\n", r.outOfSequence);
    std::printf("junk bytes: %d\n", r.junkBytes);
    std::printf("incomplete requests: %d\n", r.incompleteRequests);
    if (r.endFrame.empty()) {
        std::printf("end frame: none\n");
        return;
    }
    const auto& e = r.endFrame;
    unsigned sum = 0;
    bool allFF = true;
    for (std::size_t i = 1; i + 1 < e.size(); ++i) {
        sum += e[i];
        allFF = allFF && (i < 4 || e[i] == 0xFF);
    }
    const bool sumGood = static_cast<std::uint8_t>(sum) == e.back();
    std::printf("end frame: %s, payload %s, checksum %02X (%s)\n", Hex(e, 0, 4).c_str(),
                allFF ? "128 x FF" : (Hex(e, 4, 12) + " ...").c_str(), e.back(),
                sumGood ? "correct" : "wrong");
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

struct Region {
    std::uint32_t base;
    std::vector<std::uint8_t> data;  // padded with 0xFF to whole blocks, as the loader sends them
};

// Prints the verdict and its reason; true when memory holds exactly the regions.
bool CompareMemory(const SimUnit& unit, const Received& r, const std::vector<Region>& regions) {
    for (const Region& g : regions) {
        const std::vector<std::uint8_t> image = unit.MemoryImage(g.base, g.data.size());
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (image[i] != g.data[i]) {
                std::printf("memory equals file: no\n");
                std::printf("  first difference at address %06zX: memory %02X, file %02X\n",
                            g.base + i, image[i], g.data[i]);
                return false;
            }
        }
    }
    for (const auto& entry : r.memory) {
        const std::uint32_t address = entry.first;
        bool inside = false;
        for (const Region& g : regions) {
            inside = inside || (address >= g.base && address - g.base < g.data.size());
        }
        if (!inside) {
            std::printf("memory equals file: no\n");
            std::printf("  block written at address %06X, outside the file\n", address);
            return false;
        }
    }
    std::printf("memory equals file: yes\n");
    return true;
}

bool LoadRegion(const std::string& path, std::uint32_t base, std::size_t skip,
                std::vector<Region>& regions) {
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(path, bytes)) {
        std::fprintf(stderr, "tolvane-sim: cannot read %s\n", path.c_str());
        return false;
    }
    Region g{base, {}};
    if (bytes.size() > skip) {
        g.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
    }
    g.data.resize((g.data.size() + kBlockLen - 1) / kBlockLen * kBlockLen, 0xFF);
    regions.push_back(std::move(g));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    if (!ParseArgs(argc, argv, o, help)) {
        return kExitUsage;
    }
    if (help) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (!o.writeSample.empty()) {
        tolvane::sim::ProgramImage image;
        image.identityCode = o.config.identityCode;
        image.firmware = static_cast<std::uint16_t>(o.config.firmware);
        image.fileVersion = static_cast<std::uint16_t>(o.config.version + 1);
        const auto bytes = tolvane::sim::MakeProgramImage(image);
        std::ofstream out(o.writeSample, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "tolvane-sim: cannot write %s\n", o.writeSample.c_str());
            return kExitUsage;
        }
        std::printf("wrote %s: %zu bytes, identity code %08X, file version %u\n",
                    o.writeSample.c_str(), bytes.size(), o.config.identityCode,
                    static_cast<unsigned>(image.fileVersion));
        return kExitOk;
    }
    // Files are read before the unit starts so that a wrong path fails at once.
    std::vector<Region> regions;
    if ((!o.compareProgram.empty() && !LoadRegion(o.compareProgram, 0, 0, regions)) ||
        (!o.comparePreset.empty() &&
         !LoadRegion(o.comparePreset, kPresetBase, kPresetHeaderLen, regions))) {
        return kExitUsage;
    }

    // Blocked before the unit's thread exists, so that it inherits the mask and the
    // signals are taken here, synchronously.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimUnit unit(o.config);
    if (!unit.Start()) {
        std::fprintf(stderr, "tolvane-sim: cannot open a pseudo-terminal pair\n");
        return kExitUsage;
    }
    std::printf("TOLVANE_COM1=%s\n", unit.DevicePath().c_str());
    std::fflush(stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.timeoutS);
    bool timedOut = false;
    for (;;) {
        const timespec slice{0, 100'000'000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &slice);
        if (sig == SIGINT || sig == SIGTERM) {
            break;
        }
        if (o.exitAfterEnd && unit.WaitForEndFrame(0)) {
            break;
        }
        if (o.timeoutS > 0 && std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            break;
        }
    }
    unit.Stop();

    const Received r = unit.Snapshot();
    if (timedOut) {
        std::printf("timed out after %ld s\n", o.timeoutS);
    }
    PrintReport(r);
    int status = kExitOk;
    if (!regions.empty()) {
        status = CompareMemory(unit, r, regions) ? kExitOk : kExitDiffers;
    } else if (o.exitAfterEnd && r.endFrame.empty()) {
        status = kExitNoEndFrame;
    }
    std::fflush(stdout);
    return status;
}
