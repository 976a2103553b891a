// A run that meets an unexpected exception: in a handler the user sees the
// exception box and goes on working; one that ends the run leaves the
// catalogue file as it was.
#include <gtest/gtest.h>

#include <stdexcept>

#include "launcher/program.h"
#include "launcher/title_form.h"
#include "manager/main_form.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/headless.h"
#include "registration/wizard_form.h"
#include "support/fake_clock.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;

namespace {

// Opens until told to fail; then throws as a broken system component would.
class FailingShell : public testsupport::RecordingShell {
public:
    int opensBeforeFailure = 0;
    bool Open(std::string_view file, std::string_view parameters, std::string_view directory, bool showNormal,
              std::uintptr_t ownerWindow) override {
        if (opensBeforeFailure-- <= 0) throw std::runtime_error("shell component failed");
        return RecordingShell::Open(file, parameters, directory, showNormal, ownerWindow);
    }
};

struct ProgramRunTest : ::testing::Test {
    ProgramRunTest()
        : clock(EncodeDateTime({2026, 12, 8, 10, 0, 0, 0})), useShell(shell), useRegistry(registry),
          file(dir / "PC.dat") {
        for (const char* name : {"a.log", "b.log"}) platform::WriteFileBytes(dir / name, {});
        TNFile nf(file);
        TProg editor;
        editor.Path = dir / "edit.exe";
        editor.Title = "Editor";
        nf.Progs.AddNew(editor);
        TExt tools;
        tools.Name = "Tools";
        tools.MenuFlag = 1;
        tools.AddProg(editor.Id);
        nf.Categories.AddNew(tools);
        TExt log;
        log.Name = "LOG";
        log.AddProg(editor.Id);
        nf.Extensions.AddNew(log);
        nf.Head.MenuAtStart = 0;
        nf.Head.CategoryIndex = 0;
        // Yesterday: the first launch of today resets the day's counters.
        nf.Head.CountDate = EncodeDateTime({2026, 12, 7, 10, 0, 0, 0});
        EXPECT_EQ(nf.Save(), 0);
        onDisk = *platform::ReadFileBytes(file);
    }

    ui::HeadlessUi ui;
    testsupport::FakeClock clock;
    FailingShell shell;
    platform::ScopedService<platform::Shell> useShell;
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry;
    testsupport::ScratchFolder dir;
    std::string file;
    platform::Bytes onDisk;
};

}  // namespace

TEST_F(ProgramRunTest, AnExceptionThatEndsTheRunLeavesTheCatalogueFileAsItWas) {
    // The first file is opened and counted; opening the second one fails.
    shell.opensBeforeFailure = 1;
    EXPECT_EQ(ProgramMain({dir / "a.log", dir / "b.log"}, file), 1);
    ASSERT_EQ(shell.opens.size(), 1u);
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "shell component failed");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(platform::ReadFileBytes(file), onDisk);

    // An orderly run saves as always.
    ui::App().reset();
    shell.opensBeforeFailure = 1;
    ui->answerMessageBox(ui::DialogResult::No);  // the new day's update question
    EXPECT_EQ(ProgramMain({dir / "a.log"}, file), 0);
    EXPECT_NE(platform::ReadFileBytes(file), onDisk);
}

TEST_F(ProgramRunTest, AnExceptionInAHandlerIsShownAndTheWindowGoesOn) {
    auto title = std::make_unique<TfrmTitle>(std::vector<std::string>{}, file);
    ui::App().run(*title);
    ASSERT_TRUE(title->MainForm);
    TfrmMain& main = *title->MainForm;
    main.lvShurui.userSelect(0);
    ui->choosePopupEntry({"起動(&K)"});
    main.lvShurui.userContextMenu({10, 10});
    EXPECT_NO_THROW(ui::App().processMessages());
    ASSERT_EQ(ui->messageBoxes().size(), 1u);
    EXPECT_EQ(ui->messageBoxes()[0].text, "shell component failed");
    EXPECT_EQ(ui->messageBoxes()[0].icon, ui::MsgIcon::Error);
    EXPECT_TRUE(main.visible());
    EXPECT_FALSE(ui::App().terminated());

    // The user goes on and ends the run normally: the catalogue is saved.
    main.chkVisMenu.userClick();
    main.mnuEnd->userClick();
    ui::App().processMessages();
    EXPECT_TRUE(ui::App().terminated());
    title.reset();
    TNFile saved(file);
    ASSERT_EQ(saved.Load(), 0);
    EXPECT_EQ(saved.Categories.At(0).MenuFlag, 0);
}

namespace {

// A user without administrator rights: HKEY_LOCAL_MACHINE cannot be written.
class UserRegistry : public platform::MemoryRegistry {
public:
    bool CreateKey(platform::RegistryRoot root, std::string_view key) override {
        return root != platform::RegistryRoot::LocalMachine && MemoryRegistry::CreateKey(root, key);
    }
    bool WriteValue(platform::RegistryRoot root, std::string_view key, std::string_view name,
                    const platform::RegistryValue& value) override {
        return root != platform::RegistryRoot::LocalMachine && MemoryRegistry::WriteValue(root, key, name, value);
    }
};

}  // namespace

TEST_F(ProgramRunTest, AFirstRunWithoutAdministratorRightsRecordsThePathForTheUser) {
    UserRegistry userRegistry;
    platform::DeleteFileAt(file);
    // The user leaves both first runs' wizards at once.
    auto leaveWizard = [](TfrmWizard& wizard) { ui::Click(wizard.btCancel); };
    ui->onNextModal<TfrmWizard>(leaveWizard);
    ui->onNextModal<TfrmWizard>(leaveWizard);
    {
        platform::ScopedService<platform::Registry> use(userRegistry);
        TfrmTitle title({}, file);
        ui::App().run(title);
    }
    const char* key = "SOFTWARE\\vor\\zelkova";
    EXPECT_FALSE(userRegistry.ReadString(platform::RegistryRoot::LocalMachine, key, "Path"));
    EXPECT_EQ(userRegistry.ReadString(platform::RegistryRoot::CurrentUser, key, "Path"), platform::ProgramPath());

    // With the rights, the value stays where it always was, and only there.
    platform::DeleteFileAt(file);
    {
        TfrmTitle title({}, file);
        ui::App().run(title);
    }
    EXPECT_EQ(registry.ReadString(platform::RegistryRoot::LocalMachine, key, "Path"), platform::ProgramPath());
    EXPECT_FALSE(registry.ReadString(platform::RegistryRoot::CurrentUser, key, "Path"));
}
