// The editable combo box and the clickable panel in the control model: what
// the user types or picks is the text, picking an item raises OnClick then
// OnChange, typing OnChange alone, and the window's own changes nothing
// they should not.
#include <gtest/gtest.h>

#include "platform/ui/headless.h"

namespace kumoya::ui {
namespace {

class Page : public Form {
public:
    Page() { cbSubject.setStyle(ComboBox::Style::DropDown); }
    ComboBox cbSubject{*this};
    ComboBox cmbList{*this};
    Panel Strip{*this};
};

TEST(UiComboBox, TypedAndPickedTextsAndTheirEvents) {
    HeadlessUi ui;
    Page page;
    std::vector<std::string> events;
    page.cbSubject.OnClick = [&] { events.push_back("click " + page.cbSubject.text()); };
    page.cbSubject.OnChange = [&] { events.push_back("change " + page.cbSubject.text()); };
    page.cbSubject.setItems({"不具合を報告します", "使用した感想"});
    page.show();

    EXPECT_TRUE(page.cbSubject.editable());
    EXPECT_EQ(page.cbSubject.text(), "");
    Type(page.cbSubject, "自由な題名");
    EXPECT_EQ(page.cbSubject.text(), "自由な題名");
    EXPECT_EQ(page.cbSubject.itemIndex(), -1);
    Choose(page.cbSubject, 1);
    EXPECT_EQ(page.cbSubject.text(), "使用した感想");
    EXPECT_EQ(page.cbSubject.itemIndex(), 1);
    Type(page.cbSubject, "使用した感想 ");  // typing on from an item leaves it
    EXPECT_EQ(page.cbSubject.itemIndex(), -1);
    EXPECT_EQ(events, (std::vector<std::string>{"change 自由な題名", "click 使用した感想", "change 使用した感想",
                                                "change 使用した感想 "}));

    // The window's own changes: a new text raises OnChange (and finds its
    // item), a selection nothing.
    events.clear();
    page.cbSubject.setText("不具合を報告します");
    EXPECT_EQ(page.cbSubject.itemIndex(), 0);
    page.cbSubject.setText("不具合を報告します");
    page.cbSubject.setItemIndex(1);
    EXPECT_EQ(page.cbSubject.text(), "使用した感想");
    EXPECT_EQ(events, std::vector<std::string>{"change 不具合を報告します"});

    // A drop-down list takes no typing and shows only its item.
    page.cmbList.setItems({"a", "b"});
    EXPECT_THROW(Type(page.cmbList, "c"), ScriptError);
    EXPECT_THROW(page.cmbList.setText("c"), std::logic_error);
    page.cmbList.userSetText("c");
    EXPECT_EQ(page.cmbList.text(), "");

    int clicks = 0;
    page.Strip.OnClick = [&] { ++clicks; };
    Click(page.Strip);
    page.Strip.setVisible(false);
    EXPECT_THROW(Click(page.Strip), std::logic_error);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace kumoya::ui
