// Catalogue bytes built field by field at the documented offsets, without
// the program's own writer, as another program following the layout would.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kumoya::testsupport {

class LayoutWriter {
public:
    LayoutWriter& I32(std::int32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
        return *this;
    }
    LayoutWriter& F64(double d) {
        std::uint8_t raw[8];
        std::memcpy(raw, &d, 8);
        b.insert(b.end(), raw, raw + 8);
        return *this;
    }
    LayoutWriter& Text(const std::string& s, std::size_t width, std::uint8_t fill = 0) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
        b.insert(b.end(), width - s.size() - 1, fill);
        return *this;
    }
    LayoutWriter& Fill(std::size_t n, std::uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
    LayoutWriter& Header(int historyMax = 5) {
        std::size_t start = b.size();
        I32(60).I32(historyMax).F64(45000.25).I32(2).I32(1).I32(-1).I32(0);
        Text("proxy.example", 256).I32(8080).Text("user", 24).Text("smtp.example", 256).Text("me@example", 256);
        I32(1).Fill(256, 0xAB);
        EXPECT_EQ(b.size() - start, 1088u);
        return *this;
    }
    LayoutWriter& Program(int id, const std::string& path, const std::string& title) {
        std::size_t start = b.size();
        I32(id).Text(path, 512, 0x7F).Text(title, 40).Fill(4, 0xEE);  // junk after terminators and in padding
        F64(44000.5).I32(3).I32(12).I32(-1).I32(1).I32(7).Fill(512, 0x11).Fill(4, 0xEE);
        EXPECT_EQ(b.size() - start, 1104u);
        return *this;
    }
    LayoutWriter& Ext(int id, const std::string& name, int flag, std::vector<int> progs) {
        I32(id).Text(name, 32).I32(flag).Fill(512, 0x22).I32(static_cast<int>(progs.size()));
        for (int p : progs) I32(p);
        return *this;
    }
    std::vector<std::uint8_t> b;
};

// A catalogue as it might be found: junk after text terminators and in the
// padding, a duplicate program number in a category, extensions out of order,
// a history entry holding more files than its limit.
inline std::vector<std::uint8_t> SampleFile() {
    LayoutWriter w;
    w.Header();
    w.I32(2).Program(0, "C:\\Tools\\edit.exe", "Editor").Program(4, "C:\\\x83\x5C\\v.exe", "\x83\x5C\x83\x74\x83\x67");
    w.I32(1).Ext(0, "Tools", 1, {4, 0, 4});
    w.I32(3).Ext(0, "TXT", 1, {0}).Ext(1, "BMP", 0, {4}).Ext(2, "DOC", 0, {});
    // Launch history, limit 2: program 0 stored with three files, newest first.
    w.I32(1).I32(2).I32(0).I32(3).I32(0).Text("c.txt", 512).Text("b.txt", 512).Text("a.txt", 512);
    // Parameter store, limit 100: program 4, one item with a template.
    w.I32(1).I32(100).I32(4).I32(1).I32(1).Text("BMP", 512).Text("-v %1", 80);
    return w.b;
}

}  // namespace kumoya::testsupport
