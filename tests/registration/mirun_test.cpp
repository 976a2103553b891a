// Registration with the sticky-note program, against a stand-in that plays
// the program inside the test: what it sees at each message, and how the
// launcher copes with a missing, old, strange or silent program.
#include "registration/mirun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/interprocess.h"
#include "platform/ui/headless.h"
#include "support/fake_clock.h"

namespace kumoya {
namespace {

// The program's side: one block, one window (handle 0x1234); each posted
// message is recorded with a copy of the block, and answered by setting the
// command word to 0 unless told to stay silent.
class StandIn : public platform::InterProcess {
public:
    static constexpr std::uint32_t kWindow = 0x1234;
    std::vector<std::uint8_t> block = std::vector<std::uint8_t>(kMirunBlockSize, 0);
    std::vector<std::vector<std::uint8_t>> received;
    bool answers = true;
    bool windowExists = true;
    int opened = 0;
    testsupport::FakeClock* clock = nullptr;

    void Publish(const std::string& version) {
        std::int32_t window = kWindow;
        std::memcpy(block.data(), &window, 4);
        std::memset(block.data() + kMirunTextOffset, 0, kMirunAreaSize);
        std::memcpy(block.data() + kMirunTextOffset, version.data(), std::min(version.size(), kMirunAreaSize));
    }
    std::int32_t Int(const std::vector<std::uint8_t>& b, std::size_t offset) const {
        std::int32_t v;
        std::memcpy(&v, b.data() + offset, 4);
        return v;
    }

    std::unique_ptr<platform::SharedMemory> OpenSharedMemory(std::string_view name, std::size_t size) override {
        EXPECT_EQ("Mirun", name);
        EXPECT_EQ(520u, size);
        ++opened;
        struct View : platform::SharedMemory {
            std::vector<std::uint8_t>& b;
            explicit View(std::vector<std::uint8_t>& bytes) : b(bytes) {}
            std::uint8_t* Data() override { return b.data(); }
            std::size_t Size() const override { return b.size(); }
        };
        return std::make_unique<View>(block);
    }
    bool PostWindowMessage(std::uint32_t window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override {
        EXPECT_EQ(0x591u, message);
        EXPECT_EQ(0u, wParam);
        EXPECT_EQ(0, lParam);
        if (window != kWindow || !windowExists) return false;
        received.push_back(block);
        if (answers) std::memset(block.data() + 4, 0, 4);
        return true;
    }
    void WaitBriefly(std::uint32_t milliseconds) override {
        if (clock) clock->AdvanceTicks(milliseconds);
    }
};

class Mirun : public ::testing::Test {
protected:
    ui::HeadlessUi ui;
    StandIn program;
    platform::ScopedService<platform::InterProcess> use{program};
    testsupport::FakeClock clock{45000.0};
    const std::string path = "C:\\Program Files\\ソフト\\Zelkova.exe";
    static constexpr std::uintptr_t kWizard = 0xABCD;

    Mirun() { program.clock = &clock; }
};

TEST_F(Mirun, ARecentProgramGetsTheThreeCommandsAndTheClosingOne) {
    program.Publish("Ver1.50");
    ASSERT_TRUE(MirunReady());
    EXPECT_EQ(MirunResult::Registered, RegisterWithMirun(kWizard, path));

    ASSERT_EQ(4u, program.received.size());
    const auto& first = program.received[0];
    EXPECT_EQ(static_cast<std::int32_t>(kWizard), program.Int(first, 0));
    EXPECT_EQ(1, program.Int(first, 4));
    EXPECT_EQ(path, std::string(reinterpret_cast<const char*>(first.data() + 8)));
    EXPECT_EQ(0, std::memcmp(first.data() + 264, "Kumoya", 7));

    const auto& second = program.received[1];
    EXPECT_EQ(2, program.Int(second, 4));
    EXPECT_EQ(35, program.Int(second, 264));
    EXPECT_EQ(100, program.Int(second, 268));
    EXPECT_EQ(175, program.Int(second, 272));
    EXPECT_EQ(40, program.Int(second, 276));

    const auto& third = program.received[2];
    EXPECT_EQ(13, program.Int(third, 4));
    EXPECT_EQ(0, std::memcmp(third.data() + 264, "ZELKDOC", 8));

    EXPECT_EQ(0, program.Int(program.received[3], 4));
    EXPECT_TRUE(ui->messageBoxes().empty());
}

TEST_F(Mirun, VersionsAreDecimalNumbersFrom133) {
    struct Case {
        std::string text;
        MirunVersionCheck check;
    } cases[] = {
        {"Ver1.33", MirunVersionCheck::Supported}, {"Ver1.4", MirunVersionCheck::Supported},
        {"Ver2", MirunVersionCheck::Supported},    {"Ver 1.330 ", MirunVersionCheck::Supported},
        {"Ver10.0", MirunVersionCheck::Supported}, {"Ver01.33", MirunVersionCheck::Supported},
        {"Ver1.32", MirunVersionCheck::TooOld},    {"Ver1.3", MirunVersionCheck::TooOld},
        {"Ver0.99", MirunVersionCheck::TooOld},    {"Ver-5", MirunVersionCheck::TooOld},
        {"Ver1.3x", MirunVersionCheck::Unreadable}, {"Ver", MirunVersionCheck::Unreadable},
        {"Ver.", MirunVersionCheck::Unreadable},   {"Ver1..3", MirunVersionCheck::Unreadable},
        {"Ver1e3", MirunVersionCheck::Unreadable},
    };
    for (const Case& c : cases) {
        program.Publish(c.text);
        EXPECT_EQ(c.check, CheckMirunVersion(program.block.data(), program.block.size())) << c.text;
    }
    // A text that fills its whole area without a terminating zero.
    program.Publish("Ver1.5" + std::string(250, '0'));
    EXPECT_EQ(MirunVersionCheck::Unreadable, CheckMirunVersion(program.block.data(), program.block.size()));
    program.Publish("Ver1.5" + std::string(249, '0'));
    EXPECT_EQ(MirunVersionCheck::Supported, CheckMirunVersion(program.block.data(), program.block.size()));
}

TEST_F(Mirun, AnOldOrUnreadableVersionGetsTheMessageAndNothingIsSent) {
    for (const char* version : {"Ver1.32", "Ver1.3x"}) {
        program.Publish(version);
        EXPECT_EQ(MirunResult::OldVersion, RegisterWithMirun(kWizard, path)) << version;
        EXPECT_TRUE(program.received.empty());
        EXPECT_EQ(static_cast<std::int32_t>(StandIn::kWindow), program.Int(program.block, 0));
    }
    ASSERT_EQ(2u, ui->messageBoxes().size());
    for (const auto& box : ui->messageBoxes()) {
        EXPECT_EQ("vorのMirundoのVersionを1.33以上にしてください!!", box.text);
        EXPECT_EQ("vorのMirundoへの登録", box.caption);
        EXPECT_EQ(ui::MsgIcon::Error, box.icon);
    }
}

TEST_F(Mirun, NoProgramOrABusyOneIsLeftAlone) {
    EXPECT_FALSE(MirunReady());  // a new block is all zero
    EXPECT_EQ(MirunResult::NotReady, RegisterWithMirun(kWizard, path));
    program.Publish("Ver1.50");
    std::int32_t busy = 7;
    std::memcpy(program.block.data() + 4, &busy, 4);
    EXPECT_FALSE(MirunReady());
    EXPECT_EQ(MirunResult::NotReady, RegisterWithMirun(kWizard, path));
    program.Publish("ver1.50");  // the word is "Ver", exactly
    std::memset(program.block.data() + 4, 0, 4);
    EXPECT_FALSE(MirunReady());
    EXPECT_TRUE(program.received.empty());
    EXPECT_TRUE(ui->messageBoxes().empty());
}

TEST_F(Mirun, ASilentProgramIsGivenUpOnAfterTheLimit) {
    program.Publish("Ver1.50");
    program.answers = false;
    EXPECT_EQ(MirunResult::NoAnswer, RegisterWithMirun(kWizard, path, 3000));
    // Command 1 waited out, then only the closing command, without a wait.
    ASSERT_EQ(2u, program.received.size());
    EXPECT_EQ(1, program.Int(program.received[0], 4));
    EXPECT_EQ(0, program.Int(program.received[1], 4));
    EXPECT_EQ(0, program.Int(program.block, 4));
    EXPECT_GE(clock.TickCount(), 3000u);
    EXPECT_LT(clock.TickCount(), 3100u);
}

TEST_F(Mirun, AWindowThatIsGoneIsNotWaitedFor) {
    program.Publish("Ver1.50");
    program.windowExists = false;
    EXPECT_EQ(MirunResult::NoAnswer, RegisterWithMirun(kWizard, path));
    EXPECT_EQ(0u, clock.TickCount());
    EXPECT_EQ(0, program.Int(program.block, 4));
}

TEST_F(Mirun, APathTooLongForTheTextAreaIsNotSent) {
    program.Publish("Ver1.50");
    const std::vector<std::uint8_t> before = program.block;
    EXPECT_EQ(MirunResult::PathTooLong, RegisterWithMirun(kWizard, "C:\\" + std::string(253, 'a')));
    EXPECT_EQ(before, program.block);
    EXPECT_TRUE(program.received.empty());
    // 255 bytes and the zero fit exactly.
    EXPECT_EQ(MirunResult::Registered, RegisterWithMirun(kWizard, "C:\\" + std::string(252, 'a')));
    EXPECT_EQ(0, program.received[0][8 + 255]);
}

}  // namespace
}  // namespace kumoya
