#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/LoaderApp.h"
#include "support/ImageFiles.h"
#include "support/PortDouble.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPresetBase = 3072 * 128;

std::size_t NonErasedBlocks(const Bytes& data) {
    std::size_t n = 0;
    for (std::size_t at = 0; at < data.size(); at += 128) {
        const auto end = data.begin() + static_cast<long>(std::min(data.size(), at + 128));
        if (std::any_of(data.begin() + static_cast<long>(at), end,
                        [](std::uint8_t b) { return b != 0xFF; })) {
            ++n;
        }
    }
    return n;
}

std::uint32_t Address(const Bytes& frame) {
    return static_cast<std::uint32_t>(frame[1]) << 16 | static_cast<std::uint32_t>(frame[2]) << 8 |
           frame[3];
}

// An R15 unit (version 5) and a program file for it.
struct LoadBench : test::SimBench {
    explicit LoadBench(const sim::UnitConfig& config = {}, test::ProgramImage image = {})
        : test::SimBench(config), program(test::MakeProgramImage(image)) {
        path = dir.Write("BRNR15M_V6.BIN", program);
        dlg->m_strFilePath = path;
        dlg->m_strFileName = "BRNR15M_V6.BIN";
    }
    void SelectPreset(const Bytes& file) {
        preset = file;
        dlg->m_strFilePath = dir.Write("BRNR15R_HALL.BIN", file);
        dlg->m_strFileName = "BRNR15R_HALL.BIN";
    }
    void ExpectFailedLoadState() {
        EXPECT_EQ(wnd.GetItemText(1011), "Load Failed");
        EXPECT_EQ(wnd.GetItemText(1006), "No Connection");
        EXPECT_EQ(wnd.GetItemText(1009), "Load Now");
        EXPECT_TRUE(wnd.IsItemEnabled(1009));
        for (int id : {1004, 1005, 1001, 1}) {
            EXPECT_FALSE(wnd.IsItemEnabled(id)) << id;
        }
        EXPECT_EQ(dlg->m_nMsPerByte, 0u);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(dlg->m_file.IsOpen());
        EXPECT_FALSE(wnd.ended);
        EXPECT_TRUE(unit.Snapshot().endFrame.empty()) << "no end frame after a failure";
    }
    test::TempDir dir;
    Bytes program;
    Bytes preset;
    std::string path;
};

TEST(Load, ProgramLoadWritesTheFileAndEndsTheDialog) {
    LoadBench b;
    ASSERT_TRUE(b.started);
    b.dlg->OnConnectLoad();

    ASSERT_TRUE(b.unit.WaitForEndFrame(2000));
    const sim::Received got = b.unit.Snapshot();
    EXPECT_EQ(b.unit.MemoryImage(0, b.program.size()), b.program);
    ASSERT_EQ(got.startFrames.size(), 1u);
    EXPECT_EQ(got.startFrames[0], (Bytes{0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}));
    EXPECT_EQ(got.blockFrames.size(), NonErasedBlocks(b.program));
    EXPECT_EQ(got.badChecksums, 0);
    EXPECT_EQ(got.outOfSequence, 0);
    // 327,680 bytes are whole blocks: the end frame carries 128 x FF.
    Bytes end = {0xF0, 0xFF, 0xFF, 0xFF};
    end.resize(132, 0xFF);
    end.push_back(0x7D);
    EXPECT_EQ(got.endFrame, end);

    EXPECT_EQ(b.wnd.questions, std::vector<std::string>{"Confirm Load New Program"});
    EXPECT_EQ(b.wnd.GetItemText(1011), "All Done");
    EXPECT_TRUE(b.wnd.ended);
    EXPECT_EQ(b.wnd.endResult, 0);
    for (int id : {1009, 1004, 1005, 1001, 1}) {
        EXPECT_TRUE(b.wnd.IsItemEnabled(id)) << id;
    }
    const auto texts = b.wnd.TextsOf(1011);
    ASSERT_GE(texts.size(), 2562u);
    EXPECT_EQ(texts[texts.size() - 2562], "Good Response");
    EXPECT_EQ(texts[texts.size() - 2561], "Writing Block 1 of 2560");
    EXPECT_EQ(texts[texts.size() - 2], "Writing Block 2560 of 2560");
    EXPECT_EQ(b.wnd.progressLog.size(), 2561u);
    EXPECT_EQ(b.wnd.progressLog[2559], 2559);
    EXPECT_EQ(b.wnd.progressLog.back(), 0);
    EXPECT_EQ(b.wnd.Item(1010).rangeHigh, 2560);
    EXPECT_EQ(b.wnd.dispatchCount, 2561) << "events are let through once per pass";
    EXPECT_EQ(b.wnd.repaintCount, 2560);
}

TEST(Load, PresetLoadSkipsTheHeaderAndWritesFromBlock3072) {
    LoadBench b;
    ASSERT_TRUE(b.started);
    // Three data blocks, the second all 0xFF.
    Bytes file = test::MakePresetFile("Hall", 0x702A3B4C, 3 * 128);
    std::fill(file.begin() + 32 + 128, file.begin() + 32 + 256, 0xFF);
    b.SelectPreset(file);
    b.dlg->m_nLoadWhat = 2;
    b.dlg->OnConnectLoad();

    ASSERT_TRUE(b.unit.WaitForEndFrame(2000));
    const sim::Received got = b.unit.Snapshot();
    ASSERT_EQ(got.blockFrames.size(), 2u);
    EXPECT_EQ(Address(got.blockFrames[0]), 0x060000u);
    EXPECT_EQ(Address(got.blockFrames[1]), 0x060100u);
    EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 3 * 128), Bytes(file.begin() + 32, file.end()));
    EXPECT_EQ(got.endFrame.size(), 133u);
    EXPECT_EQ(got.endFrame.back(), 0x7D);

    EXPECT_EQ(b.wnd.questions, std::vector<std::string>{"Confirm Load Presets"});
    const auto texts = b.wnd.TextsOf(1011);
    const std::vector<std::string> tail = {"Writing Block 3073 of 3075",
                                           "Writing Block 3074 of 3075",
                                           "Writing Block 3075 of 3075", "All Done"};
    ASSERT_GE(texts.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end()), tail);
    EXPECT_EQ(b.wnd.progressLog, (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(b.wnd.Item(1010).rangeHigh, 3);
    EXPECT_EQ(b.wnd.endResult, 0);
}

TEST(Load, ShortLastBlockIsPaddedAndRepeatedInTheEndFrame) {
    test::ProgramImage image;
    image.length = 327683;
    LoadBench b({}, image);
    ASSERT_TRUE(b.started);
    b.program[327680] = 0x01;
    b.program[327681] = 0x02;
    b.program[327682] = 0x03;
    b.dir.Write("BRNR15M_V6.BIN", b.program);
    b.dlg->OnConnectLoad();
    ASSERT_TRUE(b.unit.WaitForEndFrame(2000));
    const sim::Received got = b.unit.Snapshot();
    Bytes last = {0xF0, 0x05, 0x00, 0x00, 0x01, 0x02, 0x03};
    last.resize(132, 0xFF);
    last.push_back(0x8E);
    EXPECT_EQ(got.blockFrames.back(), last);
    Bytes end = {0xF0, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03};
    end.resize(132, 0xFF);
    end.push_back(0x86);
    EXPECT_EQ(got.endFrame, end);
    EXPECT_EQ(b.wnd.TextsOf(1011).end()[-2], "Writing Block 2561 of 2560");
}

TEST(Load, OneWrongAcknowledgementResendsTheSameFrameAndGoesOn) {
    sim::UnitConfig config;
    config.wrongAckTries[5] = {1};
    LoadBench b(config);
    ASSERT_TRUE(b.started);
    b.dlg->OnConnectLoad();
    ASSERT_TRUE(b.unit.WaitForEndFrame(2000));
    const sim::Received got = b.unit.Snapshot();
    int sentOfBlock5 = 0;
    for (std::size_t i = 0; i < got.blockFrames.size(); ++i) {
        if (Address(got.blockFrames[i]) == 5 * 128) {
            ++sentOfBlock5;
            if (sentOfBlock5 == 2) {
                EXPECT_EQ(got.blockFrames[i], got.blockFrames[i - 1]);
            }
        }
    }
    EXPECT_EQ(sentOfBlock5, 2);
    EXPECT_EQ(b.unit.MemoryImage(0, b.program.size()), b.program);
    EXPECT_EQ(b.wnd.GetItemText(1011), "All Done");
}

TEST(Load, TwoWrongAcknowledgementsFailAndTheNextPressLoadsFromTheStart) {
    sim::UnitConfig config;
    config.wrongAckTries[5] = {1, 2};
    LoadBench b(config);
    ASSERT_TRUE(b.started);
    b.dlg->OnConnectLoad();
    b.ExpectFailedLoadState();
    const Bytes before5(b.program.begin(), b.program.begin() + 5 * 128);
    const std::size_t firstLoad = NonErasedBlocks(before5) + 2;
    EXPECT_EQ(b.unit.Snapshot().blockFrames.size(), firstLoad)
        << "blocks up to 4, then block 5 twice";

    // The next press reconnects, checks the file again and loads it whole.
    b.wnd.questions.clear();
    b.dlg->OnCommand(1009, 0);
    ASSERT_TRUE(b.unit.WaitForEndFrame(2000));
    const sim::Received got = b.unit.Snapshot();
    EXPECT_EQ(got.startFrames.size(), 2u);
    EXPECT_EQ(got.identityRequests, 2);
    ASSERT_GT(got.blockFrames.size(), firstLoad);
    EXPECT_EQ(Address(got.blockFrames[firstLoad]), 0u)
        << "the second load starts at the first block";
    EXPECT_EQ(b.unit.MemoryImage(0, b.program.size()), b.program);
    EXPECT_EQ(b.wnd.questions, std::vector<std::string>{"Confirm Load New Program"});
    EXPECT_EQ(b.wnd.GetItemText(1011), "All Done");
}

TEST(Load, SilenceOnTheStartFrameFailsAfterItsTimeLimit) {
    sim::UnitConfig config;
    config.silentOnStart = true;
    LoadBench b(config);
    ASSERT_TRUE(b.started);
    const auto t0 = std::chrono::steady_clock::now();
    b.dlg->OnConnectLoad();
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(took, std::chrono::milliseconds(10009));
    b.ExpectFailedLoadState();
    EXPECT_TRUE(b.unit.Snapshot().blockFrames.empty());
}

TEST(Load, VersionQuestionsAndConsent) {
    struct Case {
        std::uint16_t fileVersion;
        std::deque<bool> answers;
        std::vector<std::string> questions;
        const char* mainStatus;
        bool loaded;
    };
    const std::string later = "Unit has later Version.\n Load OLD? (Not Recomended!)";
    const Case cases[] = {
        {5, {true, true}, {"Identical Versions", "Confirm Load New Program"}, "All Done", true},
        {5, {false}, {"Identical Versions"}, "", false},
        {4, {true, true}, {later, "Confirm Load New Program"}, "All Done", true},
        {4, {false}, {later}, "", false},
        {6, {true}, {"Confirm Load New Program"}, "All Done", true},
        {6, {false}, {"Confirm Load New Program"}, "User Aborted Operation", false},
        {5,
         {true, false},
         {"Identical Versions", "Confirm Load New Program"},
         "User Aborted Operation",
         false},
    };
    for (const auto& c : cases) {
        test::ProgramImage image;
        image.fileVersion = c.fileVersion;
        LoadBench b({}, image);
        ASSERT_TRUE(b.started);
        b.wnd.messageAnswers = c.answers;
        b.dlg->OnConnectLoad();
        EXPECT_EQ(b.wnd.questions, c.questions) << c.fileVersion;
        EXPECT_EQ(b.wnd.GetItemText(1011), c.mainStatus) << c.fileVersion;
        EXPECT_EQ(b.wnd.ended, c.loaded);
        const sim::Received got = b.unit.Snapshot();
        EXPECT_EQ(got.startFrames.size(), c.loaded ? 1u : 0u) << c.fileVersion;
        if (!c.loaded) {
            EXPECT_TRUE(b.wnd.IsItemEnabled(1009));
            EXPECT_TRUE(b.wnd.IsItemEnabled(1004));
            EXPECT_FALSE(b.dlg->m_file.IsOpen());
            EXPECT_EQ(b.dlg->m_bConnected, 1) << "the unit stays connected";
        }
    }
}

// The whole automatic mode: the command line names the file, the start
// timer connects and loads without asking for consent, and the dialog ends.
TEST(Load, AutomaticModeLoadsWithoutConsentButStillAsksAboutVersions) {
    for (const std::uint16_t fileVersion : {std::uint16_t{6}, std::uint16_t{5}}) {
        test::ProgramImage image;
        image.fileVersion = fileVersion;
        LoadBench b({}, image);
        ASSERT_TRUE(b.started);
        test::MemoryWindow wnd;
        TermiosPort port;
        int status = -1;
        LoaderApp::InitInstance("- c1 s0 f" + b.path, wnd, port, &status);
        port.Close();
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(wnd.ended);
        EXPECT_EQ(wnd.endResult, 0);
        EXPECT_EQ(wnd.GetItemText(1000), "BRNR15M_V6.BIN");
        EXPECT_EQ(wnd.GetItemText(1011), "All Done");
        EXPECT_EQ(wnd.loadWhatRuns, 0);
        EXPECT_TRUE(wnd.fileRequests.empty());
        const std::vector<std::string> asked = fileVersion == 5
                                                   ? std::vector<std::string>{"Identical Versions"}
                                                   : std::vector<std::string>{};
        EXPECT_EQ(wnd.questions, asked);
        EXPECT_EQ(b.unit.MemoryImage(0, b.program.size()), b.program);
    }
}

TEST(Load, ThePresetFileNamedOnTheCommandLineIsLoadedAsPresets) {
    LoadBench b;
    ASSERT_TRUE(b.started);
    const Bytes file = test::MakePresetFile("Club", 0x702A3B4C, 5 * 128);
    b.SelectPreset(file);
    test::MemoryWindow wnd;
    TermiosPort port;
    LoaderApp::InitInstance("- f" + b.dlg->m_strFilePath, wnd, port);
    port.Close();
    EXPECT_EQ(wnd.GetItemText(1011), "All Done");
    const sim::Received got = b.unit.Snapshot();
    ASSERT_FALSE(got.blockFrames.empty());
    EXPECT_EQ(Address(got.blockFrames[0]), 0x060000u);
    EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 5 * 128), Bytes(file.begin() + 32, file.end()));
    EXPECT_EQ(b.unit.MemoryImage(0, 128), Bytes(128, 0xFF))
        << "nothing written at the program's place";
}

TEST(Load, TheFileDecidesTheKindWhenTheChoiceDisagrees) {
    // Presets chosen, program file selected: loaded as a program, with its version question.
    {
        test::ProgramImage image;
        image.fileVersion = 5;
        LoadBench b({}, image);
        ASSERT_TRUE(b.started);
        b.dlg->m_nLoadWhat = 2;
        b.dlg->OnConnectLoad();
        EXPECT_EQ(b.wnd.questions,
                  (std::vector<std::string>{"Identical Versions", "Confirm Load New Program"}));
        EXPECT_EQ(b.unit.MemoryImage(0, b.program.size()), b.program);
        EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 128), Bytes(128, 0xFF));
    }
    // Program chosen, preset file selected: loaded as presets.
    {
        LoadBench b;
        ASSERT_TRUE(b.started);
        const Bytes file = test::MakePresetFile("Room", 0x702A3B4C, 2 * 128);
        b.SelectPreset(file);
        b.dlg->m_nLoadWhat = 0;
        b.dlg->OnConnectLoad();
        EXPECT_EQ(b.wnd.questions, std::vector<std::string>{"Confirm Load Presets"});
        EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 2 * 128), Bytes(file.begin() + 32, file.end()));
    }
}

TEST(Load, AFileThatVanishesOrShrinksAfterTheCheckIsNotLoaded) {
    // Gone when the load opens it: nothing is sent, the file fields say why.
    {
        test::ProgramImage image;
        image.fileVersion = 5;
        LoadBench b({}, image);
        ASSERT_TRUE(b.started);
        b.wnd.onQuestion = [&b](const std::string& q) {
            if (q == "Identical Versions") {
                ::unlink(b.path.c_str());
            }
        };
        b.dlg->OnConnectLoad();
        EXPECT_EQ(b.wnd.GetItemText(1011), "Load Failed");
        EXPECT_EQ(b.wnd.GetItemText(1002), " Error in File");
        EXPECT_EQ(b.wnd.GetItemText(1003), " Not Found");
        EXPECT_TRUE(b.wnd.IsItemEnabled(1009));
        EXPECT_TRUE(b.unit.Snapshot().startFrames.empty());
        EXPECT_FALSE(b.wnd.ended);
    }
    // Cut short while the consent question is open: no end frame, no "All Done".
    {
        LoadBench b;
        ASSERT_TRUE(b.started);
        b.wnd.onQuestion = [&b](const std::string&) {
            ASSERT_EQ(::truncate(b.path.c_str(), 1000 * 128), 0);
        };
        b.dlg->OnConnectLoad();
        b.ExpectFailedLoadState();
    }
}

TEST(Load, AnAutomaticLoadThatDoesNotCompleteEndsWithStatusOne) {
    struct Case {
        const char* name;
        sim::UnitConfig unit;
        bool fileMissing;
    };
    sim::UnitConfig refusing;
    refusing.wrongAckTries[0] = {1, 2};
    const Case cases[] = {{"unit refuses the first block", refusing, false},
                          {"file missing", {}, true}};
    for (const auto& c : cases) {
        LoadBench b(c.unit);
        ASSERT_TRUE(b.started);
        test::MemoryWindow wnd;
        TermiosPort port;
        int status = -1;
        // The user quits once the failure shows.
        LoaderApp::InitInstance("- c1 s0 f" + (c.fileMissing ? b.path + ".gone" : b.path), wnd,
                                port, &status);
        port.Close();
        EXPECT_EQ(status, 1) << c.name;
        EXPECT_FALSE(wnd.ended) << c.name;
    }
    // Without a file on the command line the status is 0 however the dialog ends.
    test::MemoryWindow wnd;
    test::PortDouble port;
    int status = -1;
    LoaderApp::InitInstance("- c1", wnd, port, &status);
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tolvane
