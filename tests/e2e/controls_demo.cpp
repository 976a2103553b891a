// The wizard's and dialogs' controls on real windows: a tiled background with
// a navy bold italic title, a group box, a radio group, an edit with arrows,
// a check list, a list with check boxes, a memo with both scroll bars, speed
// buttons with glyphs, a progress bar, the file-copy animation, a splitter
// between two panels and, in a strip at the top, a clip played through the
// media player until its end-of-play notification.
//
//   controls_demo.exe WORK_DIR [CLIP]
//
// It writes its clip (unless CLIP names another) and bitmaps into WORK_DIR (a Windows path), prints one
// line per event (CLIP_END, ...), "READY" once the clip has ended, and closes
// when the file "done" appears in WORK_DIR.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../platform/avi_writer.h"
#include "platform/codec.h"
#include "platform/ui/application.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace ui = kumoya::ui;

namespace {

void Say(const std::string& sjisLine) {
    auto utf8 = kumoya::platform::SjisToUtf8(sjisLine);
    std::fputs((utf8 ? *utf8 : std::string("(not Shift_JIS)")).c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A .bmp with a diagonal two-colour pattern (colours 0x00RRGGBB).
std::vector<std::uint8_t> PatternBmp(int width, int height, std::uint32_t a, std::uint32_t b) {
    int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> out(54 + static_cast<std::size_t>(stride * height), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    out[26] = 1;
    out[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t c = ((x + y) / 4) % 2 ? a : b;
            std::size_t at = 54 + static_cast<std::size_t>(y * stride + x * 3);
            out[at] = static_cast<std::uint8_t>(c);
            out[at + 1] = static_cast<std::uint8_t>(c >> 8);
            out[at + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
    return out;
}

std::string Write(const std::string& dir, const char* name, const std::vector<std::uint8_t>& bytes) {
    std::string path = dir + "\\" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

const char* NotifyName(ui::NotifyValue v) {
    switch (v) {
        case ui::NotifyValue::Successful: return "Successful";
        case ui::NotifyValue::Superseded: return "Superseded";
        case ui::NotifyValue::Aborted: return "Aborted";
        case ui::NotifyValue::Failure: return "Failure";
    }
    return "?";
}

class Demo : public ui::Form {
public:
    Demo(std::string dir, std::string clip) : dir_(std::move(dir)), clip_(std::move(clip)) {
        setCaption("コントロール見本");
        setClientSize(620, 440);
        setBorderStyle(ui::BorderStyle::Single);
        setPosition(ui::FormPosition::ScreenCenter);

        Panel1.setBounds(0, 0, 620, 57);
        Panel1.setColor(12648447);
        Panel1.setBevel(ui::Bevel::None);

        pnlMain.setBounds(0, 57, 250, 383);
        pnlMain.setBevel(ui::Bevel::None);
        imBack.setBounds(0, 0, 250, 383);
        imWork_ = ui::Bitmap::FromFile(Write(dir_, "tile.bmp", PatternBmp(24, 24, 0xE8E8FF, 0xD0D8F8)));
        imBack.tile(imWork_);
        lbTitle.setBounds(16, 16, 200, 24);
        lbTitle.setCaption("Kumoya");
        ui::Font big;
        big.name = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
        big.height = 19;
        big.bold = true;
        lbTitle.setFont(big);
        lbNo.setBounds(16, 56, 220, 20);
        lbNo.setCaption("ショートカットの作成");
        ui::Font title;
        title.bold = true;
        title.italic = true;
        title.height = 14;
        title.color = 0x800000;  // navy
        lbNo.setFont(title);

        gbJouken.setBounds(262, 65, 160, 66);
        gbJouken.setCaption("条件");
        cbSubFolder.setBounds(10, 18, 140, 18);
        cbSubFolder.setCaption("サブフォルダも検索する");
        cbSubFolder.setChecked(true);
        cbListClear.setBounds(10, 40, 140, 18);
        cbListClear.setCaption("リストをクリアする");

        rgExt.setBounds(432, 65, 176, 66);
        rgExt.setCaption("拡張子の関連付け");
        rgExt.setItems({"関連付けをする", "関連付けを止める"});
        rgExt.setItemIndex(0);

        lbHistNum.setBounds(262, 142, 80, 16);
        lbHistNum.setCaption("履歴の最大数");
        edHistNum.setBounds(346, 140, 40, 20);
        udHist.setBounds(386, 140, 15, 20);
        udHist.setRange(0, 100);
        udHist.setAssociate(&edHistNum);
        udHist.setPosition(10);
        sbExtUp.setBounds(420, 138, 23, 22);
        sbExtUp.setGlyph(ui::Bitmap::FromBytes(PatternBmp(16, 16, 0x008000, 0xFF00FF)));
        sbExtDown.setBounds(446, 138, 23, 22);
        sbExtDown.setGlyph(ui::Bitmap::FromBytes(PatternBmp(16, 16, 0x000080, 0xFF00FF)));
        ProgressBar1.setBounds(480, 140, 128, 16);
        ProgressBar1.setPosition(60);

        clbShurui.setBounds(262, 168, 120, 90);
        for (const char* name : {"エディタ", "ツール", "ゲーム", "グラフィック"}) clbShurui.addItem(name);
        clbShurui.setChecked(0, true);
        clbShurui.setChecked(2, true);
        lvExt.setBounds(390, 168, 218, 90);
        lvExt.setCheckBoxes(true);
        lvExt.setRowSelect(true);
        lvExt.setReadOnly(true);
        lvExt.addColumn("拡張子", 70);
        lvExt.addColumn("名前", 130);
        for (const char* ext : {"TXT", "BMP", "HTM"}) {
            int i = lvExt.addItem(ext);
            lvExt.addSubItem(i, std::string(ext) + " ファイル");
            lvExt.setItemChecked(i, i != 1);
        }
        lvExt.setSelected(0);

        pnlLeft.setBounds(262, 266, 150, 96);
        pnlLeft.setBevel(ui::Bevel::Lowered);
        pnlLeft.setCaption("左");
        bar.setBounds(412, 266, 4, 96);
        pnlRight.setBounds(416, 266, 192, 96);
        pnlRight.setBevel(ui::Bevel::None);
        bar.setControls(pnlLeft, pnlRight);
        mmMail.setBounds(0, 0, 192, 96);
        mmMail.setScrollBars(ui::Memo::ScrollBars::Both);
        mmMail.setLines({"【使用OS】", "WIN98/WINNT/WIN2000 とても長い一行が横に流れます", "IE Ver ", "【不具合画面】", " ",
                         "【どのような状況ですか？】", " "});

        Animate1.setBounds(262, 370, 272, 60);
        Animate1.setCommonAvi(ui::Animate::CommonAvi::FileCopy);
        Animate1.setActive(true);

        mpCm.OnNotify = [this] {
            Say(std::string("CLIP_END ") + NotifyName(mpCm.notifyValue()));
            mpCm.close();
            Say("READY");
        };
        OnShow = [this] { FormShow(); };
    }

    ui::Panel Panel1{*this};
    ui::MediaPlayer mpCm{Panel1};
    ui::Panel pnlMain{*this};
    ui::Image imBack{pnlMain};
    ui::Label lbTitle{pnlMain};
    ui::Label lbNo{pnlMain};
    ui::GroupBox gbJouken{*this};
    ui::CheckBox cbSubFolder{gbJouken};
    ui::CheckBox cbListClear{gbJouken};
    ui::RadioGroup rgExt{*this};
    ui::Label lbHistNum{*this};
    ui::Edit edHistNum{*this};
    ui::UpDown udHist{*this};
    ui::SpeedButton sbExtUp{*this};
    ui::SpeedButton sbExtDown{*this};
    ui::ProgressBar ProgressBar1{*this};
    ui::CheckListBox clbShurui{*this};
    ui::ListView lvExt{*this};
    ui::Panel pnlLeft{*this};
    ui::Splitter bar{*this};
    ui::Panel pnlRight{*this};
    ui::Memo mmMail{pnlRight};
    ui::Animate Animate1{*this};

private:
    void FormShow() {
        Say(std::string("ANIMATION ") + (ui::win32::AnimationShown(Animate1) ? "shown" : "absent"));
        std::string clip = clip_.empty() ? Write(dir_, "CM.AVI", kumoya::testing::MakeAvi(160, 40, 20, 10)) : clip_;
        try {
            mpCm.setFileName(clip);
            mpCm.setDisplay(&Panel1);
            mpCm.setDisplayRect({230, 8, 160, 40});
            mpCm.open();
            mpCm.setNotify(true);
            Say("CLIP_LENGTH " + std::to_string(mpCm.length()));
            mpCm.play();
            Say("CLIP_PLAYING");
        } catch (const ui::MediaError& e) {
            Say(std::string("CLIP_FAILED ") + e.what());
            Say("READY");
        }
        // The script's "done" file ends the demo.
        std::string done = dir_ + "\\done";
        std::thread([done, this] {
            while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(100);
            ui::Backend().post([this] { close(); });
        }).detach();
    }

    std::string dir_;
    std::string clip_;
    ui::Bitmap imWork_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: controls_demo.exe WORK_DIR\n", stderr);
        return 2;
    }
    auto dir = kumoya::platform::win32::FromWide(argv[1]);
    if (!dir) return 2;
    std::string clip;
    if (argc >= 3) {
        auto given = kumoya::platform::win32::FromWide(argv[2]);
        if (!given) return 2;
        clip = *given;
    }
    return ui::Application::Protect([&] {
        ui::App().setTitle("Kumoya");
        Demo demo(*dir, clip);
        ui::App().run(demo);
        Say("END");
    });
}
