#include <array>
#include <cstdio>
#include <cstring>

#include "app/LoaderDlg.h"
#include "image/FileErrors.h"
#include "image/ModelCatalogue.h"
#include "res/Resource.h"

namespace tolvane {

namespace {

// Verdict texts of an accepted file; the leading blanks belong to them.
constexpr const char* kFirmwareFormat = " Firmware: %i";
constexpr const char* kVersionFormat = " Version: %s \\ %i";
constexpr const char* kPresetFile = " Preset File";

constexpr int kKindProgram = 0;
constexpr int kKindPreset = 1;

// Both kinds: the bytes read first, and the least a file must hold.
constexpr int kHeaderBytes = 150;

// Program file layout (byte offsets, little-endian numbers).
constexpr std::uint64_t kChecksumRegion = 0x50000;  // 327,680 bytes, 1280 chunks of 256
constexpr std::size_t kSumByteOffset = 54;
constexpr std::size_t kFileVersionOffset = 128;
constexpr std::size_t kFirmwareOffset = 132;
constexpr std::uint64_t kVersionStringOffset = 0x10001;  // 5 characters
constexpr std::size_t kVersionStringLength = 5;
constexpr std::uint64_t kUnitIdOffset = 0x3FF80;  // 4 bytes

// Preset file layout: a 32-byte name header, then the data the load sends.
constexpr std::size_t kPresetHeaderBytes = 32;
constexpr std::size_t kPresetIdOffset = 60;

constexpr std::uint64_t kBlockBytes = 128;
// A block frame addresses 24 bits of the unit's memory; blocks beyond that
// would wrap around to address 0. Preset loads start at block 3072.
constexpr std::uint64_t kAddressableBytes = std::uint64_t{1} << 24;
constexpr std::uint64_t kPresetFirstBlock = 3072;
constexpr std::uint64_t kMaxProgramBlocks = kAddressableBytes / kBlockBytes;       // 131,072
constexpr std::uint64_t kMaxPresetBlocks = kMaxProgramBlocks - kPresetFirstBlock;  // 128,000

std::uint32_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t Le32(const std::uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

// Blocks the load sends for `bytes` of image, a short last block included.
std::uint64_t BlocksSent(std::uint64_t bytes) {
    return (bytes + kBlockBytes - 1) / kBlockBytes;
}

// The checksum region is read in pieces of this size, not in 256-byte
// chunks: the verdict is the same (any short piece fails the scan), with far
// fewer system calls.
constexpr std::size_t kScanPiece = 64 * 1024;
static_assert(kChecksumRegion % kScanPiece == 0 && kScanPiece % 32 == 0);

// Sixteen bytes side by side; + and ^ work on each byte on its own, so a
// byte-wise sum is already a sum modulo 256.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

// Folds n bytes (a multiple of 32) into the running XOR and the running sum
// modulo 256.
void Accumulate(const std::uint8_t* p, std::size_t n, std::uint8_t& xorAll, std::uint8_t& sumAll) {
    Bytes16 x0{}, x1{}, s0{}, s1{};
    for (std::size_t at = 0; at < n; at += 32) {
        Bytes16 a, b;
        std::memcpy(&a, p + at, sizeof a);
        std::memcpy(&b, p + at + 16, sizeof b);
        x0 ^= a;
        x1 ^= b;
        s0 += a;
        s1 += b;
    }
    x0 ^= x1;
    s0 += s1;
    for (int i = 0; i < 16; ++i) {
        xorAll = static_cast<std::uint8_t>(xorAll ^ x0[i]);
        sumAll = static_cast<std::uint8_t>(sumAll + s0[i]);
    }
}

}  // namespace

void LoaderDlg::CheckImageFile() {
    int kind = -1;
    std::string firmwareText;
    std::string versionText;
    char versionString[kVersionStringLength + 1] = {};

    // The error code of the file, 0 when it is accepted.
    const int error = [&]() -> int {
        if (m_strFileName.empty()) {
            return kErrNothingSelected;
        }

        for (char& c : m_strFileName) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        if (m_strFileName.size() >= 7) {
            if (m_strFileName[6] == 'M') {
                kind = kKindProgram;
            } else if (m_strFileName[6] == 'R') {
                kind = kKindPreset;
            }
        }

        if (m_strFileName.substr(0, 6) != GetFilePrefix(m_nModel - 1, kind) && m_nVariant != 9) {
            return kErrIncorrectType;
        }

        if (!m_file.Open(m_strFilePath)) {
            return kErrNotFound;
        }

        // A program file's first read already takes the first piece of the
        // checksum region; the header is the same either way. A failed read
        // returns a short count, like the end of the file.
        std::array<std::uint8_t, kScanPiece> piece;
        const int firstRead = m_file.Read(
            piece.data(), kind == kKindProgram ? static_cast<int>(kScanPiece) : kHeaderBytes);
        if (firstRead < kHeaderBytes) {
            m_file.Close();
            return kErrSize;
        }
        std::memcpy(m_txBuf.data(), piece.data(), kHeaderBytes);

        // A name that is neither a program nor a preset file has no format to check.
        if (kind != kKindProgram && kind != kKindPreset) {
            m_file.Close();
            return kErrIncorrectType;
        }

        // A length below what has just been read cannot be told or has changed
        // under us; the block count would be wrong (for presets, wrap around).
        const std::uint64_t length = m_file.GetLength();
        if (length < static_cast<std::uint64_t>(firstRead)) {
            m_file.Close();
            return kErrSize;
        }

        if (kind == kKindProgram) {
            m_nFileVersion = Le16(&m_txBuf[kFileVersionOffset]);
            m_nFileFirmware = Le16(&m_txBuf[kFirmwareOffset]);
            char text[64];
            std::snprintf(text, sizeof text, kFirmwareFormat, static_cast<int>(m_nFileFirmware));
            firmwareText = text;

            const std::uint8_t sumByte = m_txBuf[kSumByteOffset];
            m_nBlocks = length / kBlockBytes;

            std::uint8_t xorAll = 0;
            std::uint8_t sumAll = 0;
            std::uint32_t unitId = 0;
            bool scanned = true;
            for (std::uint64_t pos = 0; pos < kChecksumRegion; pos += kScanPiece) {
                const int got =
                    pos == 0 ? firstRead : m_file.Read(piece.data(), static_cast<int>(kScanPiece));
                if (got < static_cast<int>(kScanPiece)) {
                    scanned = false;
                    break;
                }
                Accumulate(piece.data(), kScanPiece, xorAll, sumAll);
                if (pos <= kVersionStringOffset &&
                    kVersionStringOffset + kVersionStringLength <= pos + kScanPiece) {
                    std::memcpy(versionString, &piece[kVersionStringOffset - pos],
                                kVersionStringLength);
                }
                if (pos <= kUnitIdOffset && kUnitIdOffset + 4 <= pos + kScanPiece) {
                    unitId = Le32(&piece[kUnitIdOffset - pos]);
                }
            }
            m_file.Close();

            if (!scanned) {
                return kErrChecksum;
            }
            int code = 0;
            if (xorAll != 0xFF) {
                code = kErrChecksum;
            }
            if (sumAll != static_cast<std::uint8_t>(sumByte - 1)) {
                code = kErrChecksum;
            }
            if (m_nModel != 0 && m_nVariant != 9) {
                const bool known = m_nModel >= 1 && m_nModel < static_cast<int>(m_unitIds.size());
                if (unitId != kGenericCode1C &&
                    !(known && unitId == m_unitIds[static_cast<std::size_t>(m_nModel)])) {
                    code = kErrIncorrectType;
                }
            }
            if (code == 0 && BlocksSent(length) > kMaxProgramBlocks) {
                code = kErrSize;
            }
            if (code == 0) {
                char shown[64];
                std::snprintf(shown, sizeof shown, kVersionFormat, versionString,
                              static_cast<int>(m_nFileVersion));
                versionText = shown;
            }
            return code;
        }

        // Preset file.
        firmwareText = kPresetFile;
        const auto* name = reinterpret_cast<const char*>(m_txBuf.data());
        versionText.assign(name, strnlen(name, kPresetHeaderBytes));
        m_nBlocks = (length - kPresetHeaderBytes) / kBlockBytes;
        m_file.Close();

        // Only catalogue models have a preset identity code.
        const bool known = m_nModel >= 1 && m_nModel < static_cast<int>(m_presetIds.size());
        if (!known ||
            Le32(&m_txBuf[kPresetIdOffset]) != m_presetIds[static_cast<std::size_t>(m_nModel)]) {
            return kErrIncorrectPreset;
        }
        if (BlocksSent(length - kPresetHeaderBytes) > kMaxPresetBlocks) {
            return kErrSize;
        }
        return 0;
    }();

    if (error != 0) {
        firmwareText = kErrorInFile;
        versionText = kFileErrorTexts[error];
        m_bFileValid = 0;
        m_nFileKind = -1;
    } else {
        m_bFileValid = 1;
        m_nFileKind = kind;
    }
    m_wnd.SetItemText(res::IDC_FILE_FIRM, firmwareText);
    m_wnd.SetItemText(res::IDC_FILE_VERSION, versionText);
}

}  // namespace tolvane
