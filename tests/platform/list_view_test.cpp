// In-place edits on the model: a handler that reloads the list takes the
// edited row away, and the edit then applies to nothing.
#include <gtest/gtest.h>

#include "platform/ui/headless.h"

namespace kumoya::ui {
namespace {

TEST(ListViewEdit, AHandlerThatReloadsTheListTakesTheEditedRowAway) {
    HeadlessUi ui;
    Form form;
    ListView list(form);
    list.setEditLabels(true);
    for (const char* t : {"a", "b", "c", "d"}) list.addItem(t);
    int calls = 0;
    // Shorter: the edited row (the last) is past the end afterwards.
    list.OnEdited = [&](int, std::string&) {
        ++calls;
        list.clearItems();
        list.addItem("x");
    };
    list.userEdit(3, "edited");
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(list.itemCount(), 1);
    EXPECT_EQ(list.item(0).caption, "x");

    // As long: the reloaded caption stands, not the edit.
    list.OnEdited = [&](int, std::string&) {
        list.clearItems();
        for (const char* t : {"p", "q"}) list.addItem(t);
    };
    list.addItem("y");
    list.userEdit(1, "edited");
    EXPECT_EQ(list.item(1).caption, "q");

    // A removal before the edited row moves it: nothing is renamed.
    list.OnEdited = [&](int, std::string&) { list.deleteItem(0); };
    list.userEdit(1, "edited");
    ASSERT_EQ(list.itemCount(), 1);
    EXPECT_EQ(list.item(0).caption, "q");

    // A handler that only changes the text: the edit applies.
    list.OnEdited = [](int, std::string& text) { text.resize(2); };
    list.userEdit(0, "edited");
    EXPECT_EQ(list.item(0).caption, "ed");
}

}  // namespace
}  // namespace kumoya::ui
