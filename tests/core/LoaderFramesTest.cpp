#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "load/LoaderFrames.h"

namespace tolvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Payload(std::initializer_list<std::uint8_t> head, std::uint8_t fill) {
    Bytes p(head);
    p.resize(128, fill);
    return p;
}

Bytes Counting() {
    Bytes p(128);
    for (int i = 0; i < 128; ++i) {
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    return p;
}

TEST(LoaderFrames, BlockFramesCarryAddressPayloadAndChecksum) {
    struct Case {
        std::uint32_t block;
        Bytes payload;
        std::array<std::uint8_t, 4> head;  // F0 and the address
        std::uint8_t checksum;
    };
    const Case cases[] = {
        {0, Bytes(128, 0x00), {0xF0, 0x00, 0x00, 0x00}, 0x00},
        {1, Bytes(128, 0x00), {0xF0, 0x00, 0x00, 0x80}, 0x80},
        {511, Bytes(128, 0x00), {0xF0, 0x00, 0xFF, 0x80}, 0x7F},
        {512, Bytes(128, 0x00), {0xF0, 0x01, 0x00, 0x00}, 0x01},
        {3072, Bytes(128, 0x00), {0xF0, 0x06, 0x00, 0x00}, 0x06},
        {3073, Bytes(128, 0x00), {0xF0, 0x06, 0x00, 0x80}, 0x86},
        {0, Counting(), {0xF0, 0x00, 0x00, 0x00}, 0xC0},
        // The short last block of a 327,683-byte image, filled up with 0xFF.
        {2560, Payload({0x01, 0x02, 0x03}, 0xFF), {0xF0, 0x05, 0x00, 0x00}, 0x8E},
        // The highest block whose address fits 24 bits, and the first one past it wraps.
        {131071, Bytes(128, 0x00), {0xF0, 0xFF, 0xFF, 0x80}, 0x7E},
        {131072, Bytes(128, 0x00), {0xF0, 0x00, 0x00, 0x00}, 0x00},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 133> frame{};
        const std::uint8_t sum = BuildBlockFrame(
            frame, c.block, std::span<const std::uint8_t, 128>(c.payload.data(), 128));
        EXPECT_EQ(sum, c.checksum) << "block " << c.block;
        EXPECT_EQ(frame[132], c.checksum) << "block " << c.block;
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), frame.begin())) << "block " << c.block;
        EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), frame.begin() + 4))
            << "block " << c.block;
    }
}

TEST(LoaderFrames, EndFrameCarriesWhatTheLastPassLeftInPlace) {
    struct Case {
        Bytes left;  // the 128 bytes the last block left in the frame
        std::uint8_t checksum;
    };
    const Case cases[] = {
        {Payload({0x01, 0x02, 0x03}, 0xFF), 0x86},
        {Bytes(128, 0xFF), 0x7D},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 133> frame{};
        BuildBlockFrame(frame, 2560, std::span<const std::uint8_t, 128>(c.left.data(), 128));
        EXPECT_EQ(SealEndFrame(frame), c.checksum);
        const std::array<std::uint8_t, 4> head = {0xF0, 0xFF, 0xFF, 0xFF};
        EXPECT_TRUE(std::equal(head.begin(), head.end(), frame.begin()));
        EXPECT_TRUE(std::equal(c.left.begin(), c.left.end(), frame.begin() + 4));
        EXPECT_EQ(frame[132], c.checksum);
    }
}

TEST(LoaderFrames, StartFrameTypeFollowsTheUnit) {
    // Entries 1..3 as the catalogue fills them.
    const std::array<std::uint32_t, 10> ids = {0, 0x701A365A, 0x701C361A, 0x701C2C39};
    struct Case {
        bool type10, type78;
        int model;
        std::array<std::uint8_t, 8> frame;
    };
    const Case cases[] = {
        {true, false, 2, {0xF0, 0x00, 0x07, 0x10, 0x01, 0x2A, 0x2C, 0x5E}},
        {true, true, 1, {0xF0, 0x00, 0x07, 0x10, 0x01, 0x2A, 0x2C, 0x5E}},
        {false, true, 1, {0xF0, 0x00, 0x07, 0x78, 0x01, 0x2A, 0x2C, 0x46}},
        {false, false, 1, {0xF0, 0x00, 0x07, 0x6E, 0x01, 0x2A, 0x2C, 0x3C}},
        {false, false, 2, {0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}},
        {false, false, 3, {0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}},
        {false, false, 0, {0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}},
        {false, false, -1, {0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}},
        {false, false, 4, {0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 8> frame{};
        BuildStartFrame(frame, StartFrameType(c.type10, c.type78, c.model, 3, ids));
        EXPECT_EQ(frame, c.frame) << c.type10 << c.type78 << " model " << c.model;
    }
}

TEST(LoaderFrames, OnlyABlockOfAllFFIsErased) {
    const Bytes allFF(128, 0xFF);
    Bytes oneFE(128, 0xFF);
    oneFE[127] = 0xFE;
    EXPECT_TRUE(IsErasedBlock(std::span<const std::uint8_t, 128>(allFF.data(), 128)));
    EXPECT_FALSE(IsErasedBlock(std::span<const std::uint8_t, 128>(oneFE.data(), 128)));
}

}  // namespace
}  // namespace tolvane
