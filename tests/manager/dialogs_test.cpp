#include <gtest/gtest.h>

#include "manager/input_form.h"
#include "manager/property_form.h"
#include "platform/ui/headless.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;

TEST(InputFormTest, OkGivesTheTextAndTheFlagCancelLeavesTheFlagAlone) {
    ui::HeadlessUi ui;
    {
        TfrmInput input;
        ui->onNextModal<TfrmInput>([](TfrmInput& f) {
            EXPECT_TRUE(f.cbPopUp.visible());
            EXPECT_EQ(f.cbPopUp.caption(), "選ぶ");
            EXPECT_EQ(f.edValue.text(), "TXT");
            EXPECT_EQ(f.focusedControl(), &f.edValue);
            ui::Click(f.cbPopUp);
            ui::Type(f.edValue, "DOC");
            ui::Click(f.btOk);
        });
        std::string value;
        bool flag = false;
        EXPECT_EQ(input.Ask("拡張子", "追加", value, &flag, "選ぶ", "TXT"), "DOC");
        EXPECT_EQ(value, "DOC");
        EXPECT_TRUE(flag);
        EXPECT_FALSE(input.Cancelled);
        EXPECT_EQ(input.caption(), "追加");
        EXPECT_EQ(input.lbTitle.caption(), "拡張子");
    }
    {
        TfrmInput input;
        ui->onNextModal<TfrmInput>([](TfrmInput& f) {
            ui::Click(f.cbPopUp);
            ui::Type(f.edValue, "DOC");
            ui::Click(f.btCancel);
        });
        std::string value = "old";
        bool flag = false;
        EXPECT_EQ(input.Ask("拡張子", "追加", value, &flag, "選ぶ"), "");
        EXPECT_EQ(value, "");
        EXPECT_FALSE(flag);
        EXPECT_TRUE(input.Cancelled);
    }
    {
        // No key cancels: Escape is an ordinary key in the field.
        TfrmInput input;
        EXPECT_FALSE(input.borderIcons().systemMenu);
        ui->onNextModal<TfrmInput>([](TfrmInput& f) {
            EXPECT_TRUE(ui::PressKey(f.edValue, ui::kKeyEscape));
            EXPECT_EQ(f.modalResult(), ui::DialogResult::None);
            EXPECT_FALSE(ui::PressKey(f.edValue, ui::kKeyReturn));
        });
        std::string value;
        input.Ask("p", "c", value);
        EXPECT_FALSE(input.Cancelled);
        EXPECT_EQ(ui->unusedScript(), "");
    }
}

TEST(PropertyFormTest, ExtensionParameterComesFromTheProgramsParameterStore) {
    TNFile nf("unused.dat");
    TProg prog;
    prog.Path = "C:\\a.exe";
    nf.Progs.AddNew(prog);
    THist params;
    params.ProgId = prog.Id;
    params.AddItemWithParam(100, "BMP", "-v %1");
    params.AddItem(100, "TXT");
    nf.ExtParams.AddEntry(params);
    EXPECT_EQ(ExtensionParameter(nf, prog, "BMP"), "-v %1");
    EXPECT_EQ(ExtensionParameter(nf, prog, "TXT"), "") << "an extension without a parameter";
    EXPECT_EQ(ExtensionParameter(nf, prog, "DOC"), "");
    TProg other;
    other.Id = prog.Id + 1;
    EXPECT_EQ(ExtensionParameter(nf, other, "BMP"), "");
}
