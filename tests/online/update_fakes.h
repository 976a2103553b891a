// Stand-ins for the update form and the HTTP download, so that an update run
// can be played through without a window or a network.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "online/update.h"
#include "platform/files.h"

namespace kumoya::testsupport {

// What the fake site answers for one address.
struct FakeReply {
    std::vector<std::uint8_t> body;
    int status = 200;
    bool transferred = true;     // false: the connection fails before anything arrives
    bool announceLength = true;  // send a Content-Length
    std::size_t cutAfter = SIZE_MAX;  // the connection drops after this many body bytes
};

class FakeDownloader : public UpdateDownloader {
public:
    struct Call {
        std::string address, target;
        ProxySetting proxy;
    };
    std::map<std::string, FakeReply> replies;  // an address without a reply: 404
    std::vector<Call> calls;

    DownloadOutcome Download(std::string_view address, std::string_view target, const ProxySetting& proxy,
                             const Progress& progress) override {
        calls.push_back({std::string(address), std::string(target), proxy});
        auto it = replies.find(std::string(address));
        FakeReply reply = it != replies.end() ? it->second : FakeReply{{'n', 'o'}, 404};
        DownloadOutcome out;
        if (!reply.transferred) return out;
        std::size_t sent = std::min(reply.cutAfter, reply.body.size());
        std::vector<std::uint8_t> body(reply.body.begin(), reply.body.begin() + static_cast<std::ptrdiff_t>(sent));
        platform::WriteFileBytes(target, body);
        out.status = reply.status;
        out.total = reply.announceLength ? static_cast<std::int64_t>(reply.body.size()) : -1;
        // Progress in two packets, the way a server's reply arrives.
        std::int64_t reported = out.total < 0 ? 0 : out.total;
        progress(static_cast<std::int64_t>(sent / 2), reported);
        progress(static_cast<std::int64_t>(sent), reported);
        out.received = static_cast<std::int64_t>(sent);
        out.transferred = reply.cutAfter >= reply.body.size();
        return out;
    }
    std::vector<std::string> Addresses() const {
        std::vector<std::string> a;
        for (const Call& c : calls) a.push_back(c.address);
        return a;
    }
};

// Records what the procedure showed, one line per event, into a log that
// outlives the form.
class FakeUpdateWindow : public UpdateWindow {
public:
    struct Log {
        std::vector<std::string> events;
        int created = 0, destroyed = 0;
        bool answerYes = true;
        std::vector<std::string> Messages() const {
            std::vector<std::string> m;
            for (const std::string& e : events)
                if (e.rfind("message:", 0) == 0) m.push_back(e.substr(8));
            return m;
        }
        std::vector<int> Progress() const {
            std::vector<int> p;
            for (const std::string& e : events)
                if (e.rfind("progress:", 0) == 0) p.push_back(std::stoi(e.substr(9)));
            return p;
        }
        bool Has(const std::string& event) const {
            for (const std::string& e : events)
                if (e == event) return true;
            return false;
        }
    };

    explicit FakeUpdateWindow(Log& log) : log_(log) { ++log_.created; }
    ~FakeUpdateWindow() override { ++log_.destroyed; }

    void ShowAndAnimate() override { log_.events.push_back("show"); }
    void SetStep(std::string_view caption) override { log_.events.push_back("step:" + std::string(caption)); }
    void SetProgress(int percent) override { log_.events.push_back("progress:" + std::to_string(percent)); }
    void Message(std::string_view text, std::string_view caption, Icon icon) override {
        log_.events.push_back("message:" + std::string(text) + "|" + std::string(caption) + "|" +
                              (icon == Icon::Error ? "error" : "info"));
    }
    bool AskYesNo(std::string_view text, std::string_view caption) override {
        log_.events.push_back("ask:" + std::string(text) + "|" + std::string(caption));
        return log_.answerYes;
    }

    static UpdateWindowFactory Factory(Log& log) {
        return [&log] { return std::make_unique<FakeUpdateWindow>(log); };
    }

private:
    Log& log_;
};

}  // namespace kumoya::testsupport
