// The network page of the management window: the update button and the
// mail to the maker (a problem report, an impression, a wish...), with the
// advertisement statistics sent along on request.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "manager/main_form.h"
#include "net/maker_settings.h"
#include "online/cmdata.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/dialogs.h"

namespace kumoya {

namespace {

constexpr int kPanelColor = 12648447;

std::string TrimmedBlanks(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The header lines the message's content declaration is built from.
const std::string kPlainAscii = "Content-Type: text/plain;" + std::string(24, ' ') + "charset=us-ascii";
const std::string kPlainJis = "Content-Type: text/plain; charset=\"iso-2022-jp\"";
const std::string kSevenBit = "Content-Transfer-Encoding: 7bit";

}  // namespace

void TfrmMain::BuildNetworkPage() {
    pnlNetLeft.setBounds(0, 0, 116, 269);
    pnlNetLeft.setColor(kPanelColor);
    pnlNetLeft.setBevel(ui::Bevel::None);
    Splitter1.setBounds(116, 0, 4, 269);
    Splitter1.setControls(pnlNetLeft, pnlNetRight);
    Splitter1.setMinSize(60);
    pnlNetRight.setBounds(120, 0, 428, 269);
    pnlNetRight.setColor(kPanelColor);
    pnlNetRight.setBevel(ui::Bevel::None);

    btCheck.setBounds(8, 8, 100, 25);
    btCheck.setCaption("KumoUpdate");
    btCheck.OnClick = [this] { btCheckClick(); };

    lbMail.setBounds(8, 10, 100, 14);
    lbMail.setCaption("メール送信");
    cbMailSubject.setStyle(ui::ComboBox::Style::DropDown);
    cbMailSubject.setBounds(8, 28, 250, 20);
    cbMailSubject.setItems({"不具合を報告します", "使用した感想", "要望があります", "広告掲載希望",
                            "タイトルファイル追加希望"});
    cbMailSubject.OnClick = [this] { cbMailSubjectClick(); };
    cbCMData.setBounds(8, 54, 260, 17);
    cbCMData.setCaption("広告データもいっしょに送信する");
    cbCMData.setHint("広告ゾーン表示時間や、広告クリック回数が送信されます。");
    cbCMData.setChecked(true);
    btSendMail.setBounds(316, 26, 100, 25);
    btSendMail.setCaption("メールの送信");
    btSendMail.OnClick = [this] { btSendMailClick(); };
    mmMail.setBounds(8, 78, 410, 182);
    mmMail.setScrollBars(ui::Memo::ScrollBars::Both);
    mmMail.setWordWrap(false);

    // The mail component: the maker's fixed addresses and port, plain text.
    const net::MakerSettings& maker = net::Maker();
    nmMail.Port = maker.SmtpPort;
    nmMail.ToList = {maker.MailTo};
    nmMail.BCCList.clear();
    if (!maker.MailBcc.empty()) nmMail.BCCList.push_back(maker.MailBcc);
    nmMail.OnSendStart = [this] { nmMailSendStart(); };
    nmMail.OnAuthenticationFailed = [this](bool& handled) { nmMailAuthenticationFailed(handled); };
    PzConv1.JisByteCodeType = btAscii;
    PzConv1.JisKanaConvType = ktZenWithDaku;
}

void TfrmMain::cbMailSubjectClick() {
    // A template only for a text area that is completely empty.
    if (!mmMail.text().empty()) return;
    switch (cbMailSubject.itemIndex()) {
        case 0:
            mmMail.setLines({"【使用OS】", "WIN98/WINNT/WIN2000 ", "IE Ver ", "【不具合画面】", " ",
                             "【どのような状況ですか？】", " "});
            break;
        case 4:
            mmMail.setLines({"【ファイル名】", " ", "【タイトル】", " ", "【対応拡張子】", " ", "【サポートHP】",
                             "http://"});
            break;
        default: break;
    }
}

std::vector<std::string> TfrmMain::AdvertisementStatistics() {
    std::vector<std::string> lines;
    for (const std::string& folder : FindAdvertisementFolders()) {
        TCMData record;
        if (record.LoadRecord(context_.ProgramFolder() + folder + "\\zelkova.cm") != TCMData::kLoaded) continue;
        // Whole seconds; a time that is no number or below zero counts as none.
        const double seconds = record.DisplayMs * 0.001;
        const std::int64_t t =
            std::isnan(seconds) || seconds < 1 ? 0 : seconds >= 9.0e15 ? 9000000000000000 : static_cast<std::int64_t>(seconds);
        lines.insert(lines.begin(), record.AdName + "," + std::to_string(record.ClickCount) + "回," +
                                        std::to_string(t / 3600) + "時間" + std::to_string(t % 3600 / 60) + "分" +
                                        std::to_string(t % 60) + "秒");
    }
    return lines;
}

void TfrmMain::btSendMailClick() {
    THead& head = nfile().Head;
    std::string typedAddress;
    bool askedAddress = false;
    if (TrimmedBlanks(head.MailAddress).empty()) {
        std::string value;
        if (!ui::InputQuery("メールアドレス", "あなたのメールアドレスを入力してください：", value)) return;
        head.MailAddress = value;
        typedAddress = value;
        askedAddress = true;
    }
    if (TrimmedBlanks(head.SmtpHost).empty()) {
        // The server is offered from the address just typed: what follows
        // its first "@", or all of it.
        std::string value;
        if (askedAddress) {
            const std::size_t at = sjis::Find(typedAddress, "@");
            value = at == std::string::npos ? typedAddress : typedAddress.substr(at + 1);
        }
        if (!ui::InputQuery("メールサーバー", "メールサーバー名を入力してください：", value)) return;
        head.SmtpHost = value;
    }
    const std::string subject = cbMailSubject.text();
    if (TrimmedBlanks(subject).empty()) {
        ui::App().messageBox("題名が入力されていません。", "メールの送信", ui::MsgIcon::Information);
        return;
    }
    if (!cbCMData.checked() && TrimmedBlanks(mmMail.text()).empty()) {
        ui::App().messageBox("本文が入力されていません。", "メールの送信", ui::MsgIcon::Information);
        return;
    }

    btSendMail.setEnabled(false);
    nmMail.Host = head.SmtpHost;
    nmMail.UserID = head.SmtpUser;
    bool sent = false;
    try {
        nmMail.Connect();
        nmMail.FromAddress = head.MailAddress;
        // Mail readers expect a subject beyond ASCII as an encoded word.
        if (IsAscii(subject)) {
            nmMail.Subject = subject;
        } else {
            nmMail.Subject = PzConv1.MIMEHeaderEncode(subject);
            // Half-width kana alone are no double-byte text to the encoder.
            if (nmMail.Subject == subject) {
                nmMail.Subject = "=?ISO-2022-JP?B?" + PzConv1.B64Encode(PzConv1.SJisToJis(subject)) + "?=";
            }
        }
        std::vector<std::string> lines = mmMail.lines();
        if (cbCMData.checked()) {
            std::vector<std::string> statistics = AdvertisementStatistics();
            lines.insert(lines.begin(), statistics.begin(), statistics.end());
        }
        nmMail.Body.clear();
        // A line of blanks goes as one blank, so that no mail system takes
        // it for the end of something.
        for (const std::string& line : lines) nmMail.Body.push_back(PzConv1.SJisToJis(TrimmedBlanks(line).empty() ? " " : line));
        nmMail.Send();
        sent = true;
        try {
            nmMail.Disconnect();
        } catch (const net::NetError&) {
            // The server has the mail; a lost goodbye does not undo it.
        }
    } catch (const net::NetError&) {
        sent = false;
    }
    if (sent) {
        ui::App().messageBox("送信終了しました。", "メールの送信", ui::MsgIcon::Information);
    } else {
        ui::App().messageBox("送信に失敗しました。", "メールの送信", ui::MsgIcon::Error);
    }
    ui::App().processMessages();
    btSendMail.setEnabled(true);
}

void TfrmMain::nmMailSendStart() {
    std::vector<std::string>& header = nmMail.FinalHeader;
    std::size_t p = 0;
    auto ascii = std::find(header.begin(), header.end(), kPlainAscii);
    if (ascii != header.end()) {
        p = static_cast<std::size_t>(ascii - header.begin());
        header.erase(ascii);
    }
    if (std::find(header.begin(), header.end(), kPlainJis) != header.end()) return;
    header.insert(header.begin() + static_cast<std::ptrdiff_t>(p), kPlainJis);
    header.insert(header.begin() + static_cast<std::ptrdiff_t>(p) + 1, kSevenBit);
}

void TfrmMain::nmMailAuthenticationFailed(bool& handled) {
    std::string value;
    if (!ui::InputQuery("認証が必要です。", "ユーザーIDを入力してください：", value)) return;
    handled = true;
    nmMail.UserID = value;
    nfile().Head.SmtpUser = value;
}

}  // namespace kumoya
