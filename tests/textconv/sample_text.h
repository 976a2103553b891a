// Real Japanese text for the conversion tests and benchmarks. The literals are
// Shift_JIS in the program (the compiler re-encodes them). Every line uses
// only JIS X 0208 characters and ASCII without '\' and '~' (which iconv's
// SHIFT_JIS reads as JIS-Roman yen and overline), and no half-width kana,
// so that iconv's ISO-2022-JP and EUC-JP serve as references for it.
#pragma once

#include <string>
#include <vector>

namespace kumoya::testsupport {

inline const std::vector<std::string>& JapaneseSampleLines() {
    static const std::vector<std::string> lines = {
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。",
        "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。",
        // Trail byte 0x5C: ソ 表 能 予 申 十 構 貼 ―
        "ソフトウェアの予定表は能力と申請に十分な余裕を持って構成し、貼り付けること―以上。",
        "ＡＢＣ　ａｂｃ　０１２３４５６７８９！＃＄％＆＊＠",
        "「括弧」『二重括弧』【隅付き】（丸括弧）［角括弧］｛波括弧｝〈山括弧〉《二重山括弧》",
        "記号：※→←↑↓○●◎□■△▲▽▼◇◆☆★〒♪§¶†‡",
        "ギリシャ文字αβγδεΩ、ロシア文字АБВГДЖабв",
        "罫線─│┌┐└┘├┤┬┴┼━┃",
        "第二水準の漢字：鬱蒼、鰯、薔薇、檸檬、麒麟、驫、龠、熙",
        "ASCII only, digits 12345 and symbols !\"#$%&'()*+,-./:;<=>?@[]^_`{|}",
        "混在: Kumoya は Windows 用のランチャーです。Version 1.23 (2026年12月8日)",
        "ひらがな：あいうえおかきくけこがぎぐげござじずぜぞぱぴぷぺぽぁぃぅぇぉっゃゅょゎゐゑをん",
        "カタカナ：アイウエオヴァヵヶヰヱヲンーパピプペポ",
        "ー‐…‥〃仝々〆〇～∥－￠￡￢",
        "\t件名：不具合の報告（起動時にエラーが出ます）\r",
        "",
        "設定画面の「メールアドレス」欄に user@example.jp を入力してください。",
    };
    return lines;
}

// The lines joined with "\n", repeated until the text holds at least `bytes` bytes.
inline std::string JapaneseSampleText(std::size_t bytes = 0) {
    std::string text;
    do {
        for (const std::string& line : JapaneseSampleLines()) {
            text += line;
            text += '\n';
        }
    } while (text.size() < bytes);
    return text;
}

}  // namespace kumoya::testsupport
