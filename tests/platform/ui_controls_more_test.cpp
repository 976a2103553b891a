// The wizard's and dialogs' controls on the headless backend: which changes
// raise events, the up-down bound to an edit, memo lines, check lists,
// bitmaps and tiling, the splitter's limits and the media player double.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/controls_more.h"
#include "platform/ui/headless_more.h"
#include "platform/ui/image_list.h"

namespace kumoya::ui {
namespace {

// A settings page in miniature: the history size typed or stepped, stored by
// the edit's change handler unless the page is filling itself.
class SettingsPage : public Form {
public:
    SettingsPage() {
        udHist.setRange(0, 100);
        udHist.setAssociate(&edHistNum);
        edHistNum.OnChange = [this] {
            ++stores;
            if (SuppressHistoryEdit) return;
            try {
                HistoryMax = std::stoi(edHistNum.text());
            } catch (const std::exception&) {
                HistoryMax = 3;
            }
        };
        lvExt.setCheckBoxes(true);
        lvExt.OnChange = [this](int index) {
            if (!Busy) changedRows.push_back(index);
        };
    }
    void Fill(int stored) {
        SuppressHistoryEdit = true;
        udHist.setPosition(stored & 0xFFFF);
        SuppressHistoryEdit = false;
    }
    Edit edHistNum{*this};
    UpDown udHist{*this};
    ListView lvExt{*this};
    ComboBox cmbExt{*this};
    PageControl pages{*this};
    TabSheet sheet1{pages};
    TabSheet sheet2{pages};
    RadioGroup rgExt{*this};
    CheckListBox clbShurui{*this};

    bool SuppressHistoryEdit = false;
    bool Busy = false;
    int HistoryMax = -1;
    int stores = 0;
    std::vector<int> changedRows;
};

TEST(UiMoreControls, ValueSettersRaiseChangeEventsAndSelectionSettersDoNot) {
    HeadlessUi ui;
    SettingsPage page;
    page.show();
    ASSERT_EQ(page.edHistNum.text(), "0");

    // The up-down's position reaches the edit, whose change handler runs: the
    // guard flag is what keeps a fill from storing.
    page.Fill(30);
    EXPECT_EQ(page.edHistNum.text(), "30");
    EXPECT_EQ(page.HistoryMax, -1);
    int before = page.stores;
    page.udHist.setPosition(40);
    EXPECT_EQ(page.HistoryMax, 40);
    page.udHist.setPosition(40);  // no change, no event
    EXPECT_EQ(page.stores, before + 1);

    // List check boxes: programmatic ticks raise OnChange per real change.
    page.Busy = true;
    for (const char* ext : {"TXT", "DOC", "BMP"}) page.lvExt.setItemChecked(page.lvExt.addItem(ext), true);
    page.Busy = false;
    EXPECT_TRUE(page.changedRows.empty());
    page.lvExt.setItemChecked(1, false);
    page.lvExt.setItemChecked(1, false);
    page.lvExt.setItemChecked(7, true);  // no such row
    ToggleCheck(page.lvExt, 2);
    EXPECT_EQ(page.changedRows, (std::vector<int>{1, 2}));
    EXPECT_FALSE(page.lvExt.itemChecked(2));

    // Selections: never from setters.
    int selections = 0;
    page.cmbExt.setItems({"A", "B"});
    page.cmbExt.OnChange = [&] { ++selections; };
    page.lvExt.OnSelectItem = [&](int, bool) { ++selections; };
    page.pages.OnChange = [&] { ++selections; };
    page.rgExt.OnClick = [&] { ++selections; };
    page.clbShurui.OnClick = [&] { ++selections; };
    page.clbShurui.OnClickCheck = [&] { ++selections; };
    page.rgExt.setItems({"on", "off"});
    page.clbShurui.setItems({"x", "y"});
    page.cmbExt.setItemIndex(1);
    page.lvExt.setSelected(2);
    page.pages.setActivePageIndex(1);
    page.rgExt.setItemIndex(1);
    page.clbShurui.setItemIndex(0);
    page.clbShurui.setChecked(1, true);  // a check list's marks are set quietly
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(page.rgExt.itemIndex(), 1);
    Choose(page.rgExt, 1);  // the user's choice fires even when it stays
    EXPECT_EQ(selections, 1);
}

TEST(UiMoreControls, UpDownArrowsStopAtTheEndsAndStartFromTheTypedNumber) {
    HeadlessUi ui;
    SettingsPage page;
    page.show();
    ClickArrow(page.udHist, false);
    EXPECT_EQ(page.edHistNum.text(), "0");  // stops at the minimum
    for (int i = 0; i < 3; ++i) ClickArrow(page.udHist, true);
    EXPECT_EQ(page.HistoryMax, 3);

    Type(page.edHistNum, "250");  // typing is not limited by the range
    EXPECT_EQ(page.HistoryMax, 250);
    ClickArrow(page.udHist, true);  // from the typed number, held to the range
    EXPECT_EQ(page.edHistNum.text(), "100");
    EXPECT_EQ(page.HistoryMax, 100);
    ClickArrow(page.udHist, true);
    EXPECT_EQ(page.udHist.position(), 100);

    Type(page.edHistNum, "57");
    ClickArrow(page.udHist, false);
    EXPECT_EQ(page.HistoryMax, 56);
    Type(page.edHistNum, "many");  // not a number: the arrows use the position
    EXPECT_EQ(page.HistoryMax, 3);
    ClickArrow(page.udHist, true);
    EXPECT_EQ(page.edHistNum.text(), "57");

    page.udHist.setWrap(true);
    page.udHist.setIncrement(50);
    page.udHist.setPosition(100);
    ClickArrow(page.udHist, true);
    EXPECT_EQ(page.udHist.position(), 0);
    ClickArrow(page.udHist, false);
    EXPECT_EQ(page.udHist.position(), 100);

    // A stored size beyond the range shows clamped, and the guard keeps it.
    page.Fill(70000);  // low 16 bits: 4464
    EXPECT_EQ(page.edHistNum.text(), "100");
    page.udHist.setEnabled(false);
    EXPECT_THROW(ClickArrow(page.udHist, true), std::logic_error);
}

TEST(UiMoreControls, MemoLinesAndTemplatesAppendedLineByLine) {
    HeadlessUi ui;
    Form form;
    Memo mmMail{form};
    mmMail.setScrollBars(Memo::ScrollBars::Both);
    int changes = 0;
    mmMail.OnChange = [&] { ++changes; };
    form.show();

    EXPECT_TRUE(mmMail.lines().empty());
    for (const char* line : {"【使用OS】", "WIN98 ", " "}) mmMail.addLine(line);
    EXPECT_EQ(mmMail.text(), "【使用OS】\r\nWIN98 \r\n \r\n");
    EXPECT_EQ(mmMail.lines(), (std::vector<std::string>{"【使用OS】", "WIN98 ", " "}));
    EXPECT_EQ(changes, 3);

    Type(mmMail, "first\r\n\r\nthird\nfourth");  // typed without a final break
    EXPECT_EQ(mmMail.lines(), (std::vector<std::string>{"first", "", "third", "fourth"}));
    mmMail.addLine("fifth");
    EXPECT_EQ(mmMail.lines().back(), "fifth");
    EXPECT_EQ(mmMail.lines().size(), 5u);
    mmMail.setLines({"a", "b"});
    EXPECT_EQ(mmMail.text(), "a\r\nb\r\n");
    mmMail.setLines({"a", "b"});  // the same text: no event
    EXPECT_EQ(changes, 6);
}

TEST(UiMoreControls, CheckListMarksFollowTheirItemsAndOnlyUserClicksReport) {
    HeadlessUi ui;
    Form form;
    CheckListBox clbExt{form};
    std::vector<bool> seen;
    clbExt.OnClickCheck = [&] { seen.push_back(clbExt.checked(clbExt.indexOf("DOC"))); };
    form.show();
    EXPECT_TRUE(clbExt.allChecked());  // an empty list counts as all marked

    clbExt.addItem("TXT", true);
    clbExt.addItem("DOC");
    clbExt.addItem("BMP", true);
    clbExt.setItemIndex(1);
    clbExt.sort();
    EXPECT_EQ(clbExt.items(), (std::vector<std::string>{"BMP", "DOC", "TXT"}));
    EXPECT_TRUE(clbExt.checked(0));
    EXPECT_FALSE(clbExt.checked(1));
    EXPECT_TRUE(clbExt.checked(2));
    EXPECT_EQ(clbExt.itemIndex(), 1);  // still on "DOC"
    EXPECT_FALSE(clbExt.allChecked());

    ToggleCheck(clbExt, 1);
    EXPECT_EQ(seen, (std::vector<bool>{true}));  // the handler sees the new mark
    EXPECT_TRUE(clbExt.allChecked());
    clbExt.setChecked(1, false);
    EXPECT_EQ(seen.size(), 1u);

    clbExt.deleteItem(0);
    EXPECT_EQ(clbExt.itemIndex(), 0);  // "DOC" moved up
    clbExt.deleteItem(0);
    EXPECT_EQ(clbExt.itemIndex(), -1);
    EXPECT_EQ(clbExt.items(), (std::vector<std::string>{"TXT"}));
    EXPECT_THROW(ToggleCheck(clbExt, 3), std::logic_error);
}

// A .bmp file of the given size, 24 bits, bottom-up unless topDown.
std::vector<std::uint8_t> MakeBmp(int width, int height, bool topDown = false) {
    int stride = (width * 3 + 3) / 4 * 4;
    std::uint32_t dataSize = static_cast<std::uint32_t>(stride * height);
    std::vector<std::uint8_t> b(54 + dataSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(topDown ? -height : height));
    b[26] = 1;
    b[28] = 24;
    put32(34, dataSize);
    return b;
}

TEST(UiMoreControls, BitmapsKnowTheirSizeAndRefuseWhatIsNoBitmap) {
    Bitmap tile = Bitmap::FromBytes(MakeBmp(30, 20), "tile");
    EXPECT_EQ(tile.width(), 30);
    EXPECT_EQ(tile.height(), 20);
    EXPECT_EQ(Bitmap::FromBytes(MakeBmp(7, 5, true)).height(), 5);

    // The old 12-byte header carries 16-bit sizes.
    std::vector<std::uint8_t> core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 9, 0, 4, 0, 1, 0, 24, 0};
    Bitmap old = Bitmap::FromBytes(core);
    EXPECT_EQ(old.width(), 9);
    EXPECT_EQ(old.height(), 4);

    // Every cut of a good file either is refused or keeps its header whole.
    std::vector<std::uint8_t> good = MakeBmp(3, 2);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bitmap cut = Bitmap::FromBytes(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
        if (n < 54) {
            EXPECT_TRUE(cut.empty()) << n;
        }
    }
    std::vector<std::uint8_t> wide = MakeBmp(3, 2);
    wide[21] = 0x7F;  // width beyond any screen
    EXPECT_TRUE(Bitmap::FromBytes(wide).empty());
    std::vector<std::uint8_t> offset = MakeBmp(3, 2);
    offset[13] = 0x10;  // pixels said to lie past the end
    EXPECT_TRUE(Bitmap::FromBytes(offset).empty());
    EXPECT_TRUE(Bitmap::FromBytes({'P', 'K', 3, 4}).empty());
    EXPECT_TRUE(Bitmap::FromResource("BACK", 0, 10).empty());

    auto dir = std::filesystem::temp_directory_path() / "kumoya_bitmap_test";
    std::filesystem::create_directories(dir);
    auto path = dir / "work.bmp";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    }
    Bitmap fromFile = Bitmap::FromFile(path.string());
    EXPECT_EQ(fromFile.width(), 3);
    EXPECT_EQ(fromFile.source(), path.string());
    EXPECT_EQ(fromFile.bytes(), good);
    EXPECT_TRUE(Bitmap::FromFile((dir / "missing.bmp").string()).empty());
    std::filesystem::remove_all(dir);
}

TEST(UiMoreControls, TilingCoversTheImageEdgeToEdge) {
    HeadlessUi ui;
    Form form;
    Image imBack{form};
    imBack.setBounds(0, 0, 100, 40);
    Bitmap tile = Bitmap::FromBytes(MakeBmp(30, 20));
    imBack.tile(tile);
    // Columns 0..100/30 and rows 0..40/20, both ends included.
    ASSERT_EQ(imBack.drawings().size(), 4u * 3u);
    EXPECT_EQ(imBack.drawings().front().x, 0);
    EXPECT_EQ(imBack.drawings().back().x, 90);
    EXPECT_EQ(imBack.drawings().back().y, 40);
    EXPECT_TRUE(imBack.hasBitmaps());
    imBack.tile(Bitmap());  // nothing to draw
    EXPECT_EQ(imBack.drawings().size(), 12u);
    imBack.clearDrawings();
    EXPECT_FALSE(imBack.hasBitmaps());
}

TEST(UiMoreControls, SplitterSharesTheRoomWithinTheLimits) {
    HeadlessUi ui;
    Form form;
    Panel left{form}, right{form};
    Splitter bar{form};
    left.setBounds(0, 0, 100, 200);
    bar.setBounds(100, 0, 3, 200);
    right.setBounds(103, 0, 197, 200);
    bar.setControls(left, right);
    int moves = 0;
    bar.OnMoved = [&] { ++moves; };
    form.show();

    Drag(bar, 150);
    EXPECT_EQ(left.width(), 150);
    EXPECT_EQ(right.left(), 153);
    EXPECT_EQ(right.left() + right.width(), 300);  // the far edge stays
    EXPECT_EQ(bar.userMoveTo(1000), 300 - 30 - 3);
    EXPECT_EQ(right.width(), 30);
    EXPECT_EQ(bar.userMoveTo(-5), 30);
    EXPECT_EQ(left.width(), 30);
    EXPECT_EQ(bar.userMoveTo(30), 30);  // already there: no event
    EXPECT_EQ(moves, 3);
}

TEST(UiMoreControls, MediaDoublePlaysForItsLengthAndNotifiesFromTheLoop) {
    HeadlessUi ui;
    auto dir = std::filesystem::temp_directory_path() / "kumoya_media_test";
    std::filesystem::create_directories(dir);
    std::ofstream((dir / "CM.AVI").string()) << "RIFF";
    Form form;
    Panel Panel1{form};
    MediaPlayer mpCm{Panel1};
    std::vector<NotifyValue> notes;
    mpCm.OnNotify = [&] { notes.push_back(mpCm.notifyValue()); };
    form.show();
    MediaDouble& clip = HeadlessMedia(mpCm);
    clip.setLength(12500);

    mpCm.setFileName((dir / "missing.avi").string());
    EXPECT_THROW(mpCm.open(), MediaError);
    EXPECT_FALSE(mpCm.isOpen());
    EXPECT_THROW(mpCm.play(), MediaError);

    mpCm.setFileName((dir / "CM.AVI").string());
    mpCm.setDisplay(&Panel1);
    mpCm.open();
    EXPECT_EQ(mpCm.length(), 12500);
    mpCm.setNotify(true);
    mpCm.play();
    EXPECT_FALSE(mpCm.notify());  // it served this play
    clip.elapse(12000);
    ui->processMessages();
    EXPECT_TRUE(notes.empty());
    EXPECT_TRUE(mpCm.playing());
    clip.elapse(500);
    EXPECT_TRUE(notes.empty());  // reported from the message loop, not from inside
    ui->processMessages();
    EXPECT_EQ(notes, (std::vector<NotifyValue>{NotifyValue::Successful}));
    EXPECT_FALSE(mpCm.playing());

    // A notified play that is stopped reports Aborted; one without notify
    // reports nothing.
    mpCm.setNotify(true);
    mpCm.play();
    mpCm.stop();
    mpCm.play();
    clip.elapse(20000);
    ui->processMessages();
    EXPECT_EQ(notes, (std::vector<NotifyValue>{NotifyValue::Successful, NotifyValue::Aborted}));
    mpCm.close();
    EXPECT_FALSE(mpCm.isOpen());
    mpCm.close();  // closing twice is harmless

    clip.failNextOpen();
    EXPECT_THROW(mpCm.open(), MediaError);
    std::filesystem::remove_all(dir);
}

TEST(UiMoreControls, APlayerGoneBeforeItsNotificationIsNotCalled) {
    HeadlessUi ui;
    auto dir = std::filesystem::temp_directory_path() / "kumoya_media_gone_test";
    std::filesystem::create_directories(dir);
    std::ofstream((dir / "CM.AVI").string()) << "RIFF";
    Form form;
    int notes = 0;
    {
        MediaPlayer mpCm{form};
        mpCm.OnNotify = [&] { ++notes; };
        mpCm.setFileName((dir / "CM.AVI").string());
        mpCm.open();  // works before the form is shown, as the system's player does
        mpCm.setNotify(true);
        mpCm.play();
        HeadlessMedia(mpCm).elapse(5000);  // the end is queued ...
    }  // ... and the player goes first
    ui->processMessages();
    EXPECT_EQ(notes, 0);
    std::filesystem::remove_all(dir);
}

TEST(UiMoreControls, ProgressAndGlyphsHoldWhatTheyWereGiven) {
    HeadlessUi ui;
    Form form;
    ProgressBar ProgressBar1{form};
    ProgressBar1.setPosition(150);
    EXPECT_EQ(ProgressBar1.position(), 100);
    ProgressBar1.setRange(10, 20);
    EXPECT_EQ(ProgressBar1.position(), 20);
    ProgressBar1.setPosition(-1);
    EXPECT_EQ(ProgressBar1.position(), 10);

    ImageList imLed;
    imLed.add(platform::Icon(nullptr, "led,0"));
    SpeedButton sbShuAll{form};
    sbShuAll.setGlyph(Bitmap::FromBytes(MakeBmp(16, 16)));
    sbShuAll.setGlyph(imLed, 0);
    EXPECT_TRUE(sbShuAll.glyph().empty());
    EXPECT_EQ(sbShuAll.glyphImages(), &imLed);
    int clicks = 0;
    sbShuAll.OnClick = [&] { ++clicks; };
    form.show();
    Click(sbShuAll);
    sbShuAll.setVisible(false);
    EXPECT_THROW(Click(sbShuAll), std::logic_error);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace kumoya::ui
