// The HTTP reply header reader on arbitrary bytes. The first byte chooses a
// piece size; the rest is fed once whole and once in pieces, and both runs
// must agree on the outcome, the status, the length and where the body starts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/http_reply.h"

namespace {

using kumoya::net::HttpReplyHead;

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Outcome {
    HttpReplyHead::State state;
    int status;
    std::int64_t length;
    std::size_t used;
};

Outcome Run(const char* data, std::size_t size, std::size_t piece) {
    HttpReplyHead head(64, 16);  // small limits, so the fuzzer reaches them
    std::size_t used = 0;
    while (used < size && head.state() == HttpReplyHead::State::Incomplete) {
        std::size_t n = piece < size - used ? piece : size - used;
        std::size_t took = head.Feed(data + used, n);
        Check(took <= n);
        if (head.state() == HttpReplyHead::State::Incomplete) Check(took == n);
        used += took;
    }
    // A finished reader takes nothing more.
    Check(head.state() == HttpReplyHead::State::Incomplete || head.Feed("x\n", 2) == 0);
    if (head.state() == HttpReplyHead::State::Complete) {
        Check(head.statusCode() >= 0 && head.statusCode() <= 999);
        Check(head.contentLength() >= -1);
        Check(used >= 2 && data[used - 1] == '\n');
    }
    if (head.state() == HttpReplyHead::State::Failed) Check(!head.error().empty());
    return {head.state(), head.statusCode(), head.contentLength(), used};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    std::size_t piece = bytes[0] % 17 + 1;
    const char* data = reinterpret_cast<const char*>(bytes + 1);
    Outcome whole = Run(data, size - 1, size);
    Outcome pieces = Run(data, size - 1, piece);
    Check(whole.state == pieces.state);
    if (whole.state == HttpReplyHead::State::Complete) {
        Check(whole.status == pieces.status && whole.length == pieces.length && whole.used == pieces.used);
    }
    return 0;
}
