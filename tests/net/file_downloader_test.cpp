// The HTTP downloader against real servers on 127.0.0.1 (tests/net/servers.py):
// the exact request, direct and through a proxy, the body on disk, the events,
// and servers that misbehave.
#include "net/file_downloader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "net/test_servers.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/ui/application.h"
#include "support/scratch_folder.h"

namespace kumoya::net {
namespace {

using testsupport::PatternBytes;
using testsupport::ServerLog;
using testsupport::TestServers;

std::string Read(const std::string& path) {
    auto bytes = platform::ReadFileBytes(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileBytes(path, platform::Bytes(text.begin(), text.end())));
}

std::string Request(const std::string& line, const std::string& host, bool proxy) {
    return line + "\r\n" + (proxy ? "Proxy-Connection: Keep-Alive\r\n" : "") + "Host: " + host +
           "\r\n"
           "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
           "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
           "Content-type: application/x-www-form-urlencoded\r\n"
           "\r\n";
}

class FileDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestServers().problem.empty()) FAIL() << TestServers().problem;
        origin = "127.0.0.1:" + std::to_string(TestServers().http);
        target = scratch / "update.net";
        Write(target, "previous contents");
        http.InputFileMode = true;
        http.Body = target;
        http.OnIdle = [this] { ++idles; };
        http.OnPacketRecvd = [this] { progress.emplace_back(http.BytesRecvd(), http.BytesTotal()); };
        http.OnFailure = [this](int kind) { failures.push_back(kind); };
        http.OnSuccess = [this](int kind) { successes.push_back(kind); };
    }
    std::string Url(const std::string& path) const { return "http://" + origin + path; }
    bool TemporaryLeft() const { return platform::FileExists(target + ".part"); }

    testsupport::ScratchFolder scratch;
    std::string origin, target;
    FileDownloader http;
    int idles = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::vector<int> failures, successes;
    bool posted = false;
};

TEST_F(FileDownloaderTest, SendsTheExactRequestAndStreamsTheBodyToTheTarget) {
    const std::size_t size = 3 * 1000 * 1000 + 17;
    http.Get(Url("/bytes/" + std::to_string(size)));

    EXPECT_EQ(ServerLog("http"), Request("GET /bytes/3000017 HTTP/1.0", origin, false));
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_TRUE(http.BodyStored());
    EXPECT_EQ(Read(target), PatternBytes(size));
    EXPECT_FALSE(TemporaryLeft());
    EXPECT_EQ(http.BytesTotal(), static_cast<std::int64_t>(size));
    EXPECT_EQ(http.BytesRecvd(), static_cast<std::int64_t>(size));
    ASSERT_GE(progress.size(), 2u);  // a 3 MB body comes in several pieces
    for (std::size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1].first, progress[i].first);
    EXPECT_EQ(progress.back().first, static_cast<std::int64_t>(size));
    EXPECT_EQ(progress.back().second, static_cast<std::int64_t>(size));
    EXPECT_EQ(successes, std::vector<int>{CmdGet});
    EXPECT_TRUE(failures.empty());
}

TEST_F(FileDownloaderTest, ThroughAProxyTheRequestLineCarriesTheWholeAddress) {
    // By name: the look-up may also give ::1, where nobody listens, before
    // 127.0.0.1; the next address is tried.
    http.Proxy = "localhost";
    http.ProxyPort = TestServers().proxy;
    http.Get(Url("/bytes/1000"));

    EXPECT_EQ(ServerLog("proxy"), Request("GET " + Url("/bytes/1000") + " HTTP/1.0", origin, true));
    EXPECT_EQ(Read(target), PatternBytes(1000));
    EXPECT_EQ(http.StatusCode(), 200);

    // Without a proxy name the connection goes to the address's own host again.
    http.Proxy = "";
    http.ProxyPort = 0;
    http.Get(Url("/bytes/10"));
    EXPECT_EQ(ServerLog("http"), Request("GET /bytes/10 HTTP/1.0", origin, false));
}

TEST_F(FileDownloaderTest, AnErrorStatusRaisesTheFailureEventAndLeavesTheTargetAlone) {
    for (int status : {404, 500}) {
        failures.clear();
        EXPECT_NO_THROW(http.Get(Url("/status/" + std::to_string(status))));
        EXPECT_EQ(http.StatusCode(), status);
        EXPECT_EQ(failures, std::vector<int>{CmdGet});
        EXPECT_FALSE(http.BodyStored());
        EXPECT_EQ(Read(target), "previous contents");
        EXPECT_FALSE(TemporaryLeft());
    }
    EXPECT_TRUE(successes.empty());
}

TEST_F(FileDownloaderTest, ARedirectIsNotFollowedAndStoresNothing) {
    EXPECT_NO_THROW(http.Get(Url("/redirect")));
    EXPECT_EQ(http.StatusCode(), 302);
    EXPECT_FALSE(http.BodyStored());
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(Read(target), "previous contents");
    EXPECT_EQ(ServerLog("http"), Request("GET /redirect HTTP/1.0", origin, false));
}

TEST_F(FileDownloaderTest, BodiesWithoutOrWithAShortLengthEndWhereTheyShould) {
    http.Get(Url("/nolength/70000"));  // ends with the orderly close
    EXPECT_EQ(Read(target), PatternBytes(70000));
    EXPECT_EQ(http.BytesTotal(), 0);
    EXPECT_EQ(http.BytesRecvd(), 70000);

    http.Get(Url("/short-length"));  // 2000 bytes follow a length of 1000
    EXPECT_EQ(Read(target), PatternBytes(1000));
}

TEST_F(FileDownloaderTest, MisbehavingServersFailInBoundedTimeAndLeaveNothingHalfWritten) {
    http.TimeoutMs = 600;
    struct Case {
        const char* path;
        const char* what;
        const char* error;  // part of the error's text
        const char* orError = nullptr;
    };
    for (Case c : {Case{"/stall-head", "silence before the status line", "no answer within 600 ms"},
                   Case{"/stall-body", "silence in the middle of the body", "no answer within 600 ms"},
                   // Wine reports the reset as the end of the stream.
                   Case{"/reset", "a reset in the middle of the body", "connection lost",
                        "closed after 5000 of 100000 bytes"},
                   Case{"/long-length", "a body shorter than its length", "closed after 1000 of 2000 bytes"},
                   Case{"/long-line", "a header line of 1 MB", "longer than 8192 bytes"},
                   Case{"/many-lines", "a header of 5000 lines", "longer than 256 lines"}}) {
        SCOPED_TRACE(c.what);
        Write(target, "previous contents");
        progress.clear();
        std::uint64_t start = platform::MonotonicMs();
        try {
            http.Get(Url(c.path));
            ADD_FAILURE() << "no error";
        } catch (const NetError& e) {
            EXPECT_THAT(e.what(), ::testing::AnyOf(::testing::HasSubstr(c.error),
                                                   ::testing::HasSubstr(c.orError ? c.orError : c.error)));
        }
        http.Abort();
        EXPECT_LT(platform::MonotonicMs() - start, 5000u);
        EXPECT_FALSE(http.BodyStored());
        EXPECT_EQ(Read(target), "previous contents");
        EXPECT_FALSE(TemporaryLeft());
    }
    // Nobody listens on port 1 of this machine: the connection is refused.
    std::uint64_t start = platform::MonotonicMs();
    EXPECT_THROW(http.Get("http://127.0.0.1:1/x"), NetError);
    EXPECT_LT(platform::MonotonicMs() - start, 5000u);
    EXPECT_EQ(Read(target), "previous contents");
    EXPECT_TRUE(successes.empty());
    EXPECT_TRUE(failures.empty());
}

TEST_F(FileDownloaderTest, TheCallerKeepsRunningWhileItWaitsAndCanAbort) {
    std::thread::id caller = std::this_thread::get_id();
    bool otherThread = false;
    http.OnPacketRecvd = [&] {
        otherThread |= std::this_thread::get_id() != caller;
        progress.emplace_back(http.BytesRecvd(), http.BytesTotal());
    };
    http.OnIdle = [&] {
        otherThread |= std::this_thread::get_id() != caller;
        ++idles;
    };
    http.Get(Url("/slow/200000"));  // 20 pieces, 30 ms apart
    EXPECT_EQ(Read(target), PatternBytes(200000));
    EXPECT_GE(idles, 10);
    EXPECT_GE(progress.size(), 10u);
    EXPECT_FALSE(otherThread);

    // An abort from the idle hook ends a stalled download long before the
    // time limit would.
    http.TimeoutMs = 20000;
    int idlesBeforeAbort = 0;
    http.OnIdle = [&] {
        if (++idlesBeforeAbort == 5) http.Abort();
    };
    std::uint64_t start = platform::MonotonicMs();
    EXPECT_THROW(http.Get(Url("/stall-head")), NetError);
    EXPECT_LT(platform::MonotonicMs() - start, 3000u);

    // A second download from inside an event of the first is refused.
    http.OnIdle = nullptr;
    bool refused = false;
    http.OnPacketRecvd = [&] {
        try {
            http.Get(Url("/bytes/10"));
        } catch (const NetError&) {
            refused = true;
        }
    };
    http.Get(Url("/bytes/100"));
    EXPECT_TRUE(refused);
    EXPECT_EQ(Read(target), PatternBytes(100));
}

TEST_F(FileDownloaderTest, TheWindowsMessagesAreProcessedWhileTheBodyArrives) {
    // The component as the program has it: its idle hook is the message loop's.
    FileDownloader plain;
    plain.InputFileMode = true;
    plain.Body = target;
    std::int64_t receivedWhenRun = -1;
    plain.OnPacketRecvd = [&] {
        if (plain.BytesRecvd() > 0 && receivedWhenRun < 0 && !posted) {
            posted = true;
            ui::App().post([&] { receivedWhenRun = plain.BytesRecvd(); });
        }
    };
    plain.Get(Url("/slow/200000"));  // 20 pieces, 30 ms apart
    EXPECT_GT(receivedWhenRun, 0);
    EXPECT_LT(receivedWhenRun, 200000);
    EXPECT_EQ(Read(target), PatternBytes(200000));
}

TEST_F(FileDownloaderTest, UnusableAddressesAndTargetsAreRefused) {
    for (const std::string& address :
         {std::string("ftp://127.0.0.1/x"), Url("/a b"), Url("/a\r\nX-Injected: 1"), std::string("http:///x"),
          std::string("http://127.0.0.1:99999/x")}) {
        SCOPED_TRACE(address);
        EXPECT_THROW(http.Get(address), NetError);
        EXPECT_EQ(Read(target), "previous contents");
    }
    http.InputFileMode = false;
    EXPECT_THROW(http.Get(Url("/bytes/10")), NetError);
    http.InputFileMode = true;
    http.Body = scratch / "no-such-folder\\file.bin";
    EXPECT_THROW(http.Get(Url("/bytes/10")), NetError);
}

}  // namespace
}  // namespace kumoya::net
