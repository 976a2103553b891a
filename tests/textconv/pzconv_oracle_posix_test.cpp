// The converter against independent references: iconv for JIS and EUC-JP,
// nkf for the widening of half-width kana, base64(1) and Python's
// email.header for MIME words.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "textconv/pzconv.h"
#include "textconv/sample_text.h"

namespace fs = std::filesystem;
using kumoya::TPzConv;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1) {
        lines.push_back(text.substr(start, at - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

class TextConvOracle : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("kumoya-textconv-" + std::to_string(seed()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs the shell command `command` with `input` on its standard input and
    // answers its standard output; a failing command fails the test.
    std::string Filter(const std::string& command, std::string_view input, bool mustSucceed = true) {
        const fs::path in = dir_ / "in", out = dir_ / "out";
        WriteAll(in, input);
        const std::string line = command + " < '" + in.string() + "' > '" + out.string() + "' 2>/dev/null";
        const int status = std::system(line.c_str());
        if (mustSucceed) {
            EXPECT_EQ(status, 0) << line;
        }
        return ReadAll(out);
    }

    std::string WriteScript(const std::string& name, const std::string& text) {
        const fs::path path = dir_ / name;
        WriteAll(path, text);
        return "'" + path.string() + "'";
    }

    // The sample text with half-width kana added (ｶﾞｿﾘﾝ, ﾊﾟｿｺﾝ, ｳﾞｧｲｵﾘﾝ, a lone
    // ﾞ, ｱﾞ, ﾜﾞ, and the kana punctuation ｡｢｣､･ｰ).
    static std::string TextWithHalfWidthKana() {
        return kumoya::testsupport::JapaneseSampleText() +
               "\xB6\xDE\xBF\xDE\xD8\xDD\xCA\xDF\xBF\xBA\xDD\n"
               "\xB3\xDE\xA7\xB2\xB5\xD8\xDD \xDE \xB1\xDE \xDC\xDE\n"
               "\xA1\xA2\xA3\xA4\xA5\xB0 漢字\xCB\xDF\xCC\xDE\xCD\xDF\xCE\xDE\n";
    }

    fs::path dir_;
};

// Every code of the JIS X 0208 area of Shift_JIS, one per line.
std::vector<std::string> AllDoubleByteCodes() {
    std::vector<std::string> codes;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    return codes;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

TEST_F(TextConvOracle, JisMatchesIconvOnText) {
    TPzConv conv;
    const std::string text = kumoya::testsupport::JapaneseSampleText();
    const std::string reference = Filter("iconv -f SHIFT_JIS -t ISO-2022-JP", text);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(conv.SJisToJis(text), reference);
    EXPECT_EQ(conv.JisToSJis(reference), text);
    EXPECT_EQ(Filter("iconv -f ISO-2022-JP -t SHIFT_JIS", conv.SJisToJis(text)), text);
}

// Each character on its own line, so that the escapes close at every line
// end; iconv -c skips the codes it does not know.
TEST_F(TextConvOracle, JisAndEucMatchIconvForEveryCharacter) {
    TPzConv conv;
    const std::vector<std::string> codes = AllDoubleByteCodes();
    const std::string all = JoinLines(codes);
    const std::vector<std::string> jis = SplitLines(Filter("iconv -c -f SHIFT_JIS -t ISO-2022-JP", all, false));
    const std::vector<std::string> euc = SplitLines(Filter("iconv -c -f SHIFT_JIS -t EUC-JP", all, false));
    ASSERT_EQ(jis.size(), codes.size());
    ASSERT_EQ(euc.size(), codes.size());
    int known = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        // For a code it does not know, iconv -c may keep a stray trail byte.
        if (jis[i].rfind("\x1B$B", 0) != 0) continue;
        ASSERT_EQ(euc[i].size(), 2u) << i;
        ++known;
        ASSERT_EQ(conv.SJisToJis(codes[i]), jis[i]) << i;
        ASSERT_EQ(conv.SJisToEuc(codes[i]), euc[i]) << i;
        ASSERT_EQ(conv.JisToSJis(jis[i]), codes[i]) << i;
        ASSERT_EQ(conv.EucToSJis(euc[i]), codes[i]) << i;
    }
    // JIS X 0208 has 6879 characters.
    EXPECT_GE(known, 6879);
}

TEST_F(TextConvOracle, EucMatchesIconv) {
    TPzConv conv;
    const std::string text = kumoya::testsupport::JapaneseSampleText();
    const std::string reference = Filter("iconv -f SHIFT_JIS -t EUC-JP", text);
    EXPECT_EQ(conv.SJisToEuc(text), reference);
    EXPECT_EQ(conv.EucToSJis(reference), text);

    // Without the kana treatment, half-width kana become 0x8E pairs, as in iconv.
    conv.JisKanaConvType = kumoya::ktNone;
    const std::string kana = TextWithHalfWidthKana();
    const std::string kanaEuc = Filter("iconv -f SHIFT_JIS -t EUC-JP", kana);
    EXPECT_EQ(conv.SJisToEuc(kana), kanaEuc);
    EXPECT_EQ(conv.EucToSJis(kanaEuc), kana);
    EXPECT_EQ(Filter("iconv -f EUC-JP -t SHIFT_JIS", conv.SJisToEuc(kana)), kana);
}

// iconv keeps half-width kana as they are (or refuses them for ISO-2022-JP);
// we widen them first, the way nkf does by default.
TEST_F(TextConvOracle, WideningMatchesNkf) {
    TPzConv conv;
    std::string singles, voiced, semiVoiced;
    for (int b = 0xA1; b <= 0xDF; ++b) {
        singles += {static_cast<char>(b), '\n'};
        voiced += {static_cast<char>(b), '\xDE', '\n'};
        semiVoiced += {static_cast<char>(b), '\xDF', '\n'};
    }
    for (const std::string& input : {singles, voiced, semiVoiced, TextWithHalfWidthKana()}) {
        EXPECT_EQ(conv.HanToZen(input), Filter("nkf -S -s", input));
    }

    // The same widening ahead of JIS and EUC output.
    const std::string kana = TextWithHalfWidthKana();
    const std::string widened = Filter("nkf -S -s", kana);
    EXPECT_EQ(conv.SJisToJis(kana), Filter("iconv -f SHIFT_JIS -t ISO-2022-JP", widened));
    EXPECT_EQ(conv.SJisToEuc(kana), Filter("iconv -f SHIFT_JIS -t EUC-JP", widened));
}

TEST_F(TextConvOracle, Base64MatchesCoreutils) {
    TPzConv conv;
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::string> inputs = {kumoya::testsupport::JapaneseSampleText(), std::string(7, '\0')};
    for (std::size_t n : {1u, 2u, 3u, 4u, 5u, 100u, 4097u}) {
        std::string data;
        for (std::size_t i = 0; i < n; ++i) data.push_back(static_cast<char>(byte(rng)));
        inputs.push_back(data);
    }
    for (const std::string& data : inputs) {
        const std::string encoded = conv.B64Encode(data);
        EXPECT_EQ(encoded, Filter("base64 -w0", data));
        EXPECT_EQ(Filter("base64 -d", encoded), data);
        EXPECT_EQ(conv.B64Decode(Filter("base64 -w0", data)), data);
    }
}

// Python's email.header decodes our words, and encodes words that we decode.
TEST_F(TextConvOracle, MimeWordsAgreeWithPythonEmailHeader) {
    TPzConv conv;
    const std::string decoder = WriteScript("decode.py", R"(
import sys
from email.header import decode_header
for line in sys.stdin.buffer.read().decode('ascii').split('\n')[:-1]:
    out = b''
    for part, charset in decode_header(line):
        if isinstance(part, str):
            part = part.encode('ascii')
        if charset:
            part = part.decode(charset).encode('shift_jis')
        out += part
    sys.stdout.buffer.write(out + b'\n')
)");
    const std::string encoder = WriteScript("encode.py", R"(
import sys
from email.header import Header
for line in sys.stdin.buffer.read().split(b'\n')[:-1]:
    text = line.decode('shift_jis')
    word = Header(text, 'iso-2022-jp').encode(maxlinelen=100000)
    sys.stdout.buffer.write(word.encode('ascii') + b'\n')
)");

    std::vector<std::string> subjects;
    for (const std::string& line : kumoya::testsupport::JapaneseSampleLines()) {
        // Header lines carry no control bytes; ASCII-only lines are not words.
        if (line.find_first_of("\t\r") != std::string::npos) continue;
        subjects.push_back(line);
    }
    subjects.push_back("Re: 起動しない");

    std::string ours;
    for (const std::string& subject : subjects) ours += conv.MIMEHeaderEncode(subject) + "\n";
    EXPECT_EQ(SplitLines(Filter("python3 " + decoder, ours)), subjects);

    std::vector<std::string> japanese;
    for (const std::string& subject : subjects) {
        if (conv.MIMEHeaderEncode(subject) != subject) japanese.push_back(subject);
    }
    ASSERT_GE(japanese.size(), 10u);
    const std::vector<std::string> words = SplitLines(Filter("python3 " + encoder, JoinLines(japanese)));
    ASSERT_EQ(words.size(), japanese.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        ASSERT_EQ(words[i].rfind("=?iso-2022-jp?b?", 0), 0u) << words[i];
        EXPECT_EQ(conv.MIMEHeaderDecode(words[i]), japanese[i]) << words[i];
    }
}
