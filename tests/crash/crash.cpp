// The crash test: a writer saves in a loop and is killed at random moments
// (SIGKILL on Linux, TerminateProcess on Windows); after every kill its file
// must be the one it replaced or the one it was writing, byte for byte.
//
//   kumoya_crash drive KIND FOLDER KILLS [--tool PATH] [--port P] [--seed N]
//   kumoya_crash child KIND FOLDER [--port P] [--gen N]
//
// KIND is what is written:
//   catalogue  a catalogue of 10,000 programs, saved by TNFile::Save; after
//              each kill `kumoya-catalog check` (--tool) must call it sound
//   advert     an advertisement file with its clip, loaded and saved back by
//              TCMData as the advertisement strip does; after each kill it
//              must read as a whole advertisement
//   download   a file replaced by FileDownloader from the test server on
//              127.0.0.1 (tests/net/servers.py, its HTTP port as --port)
// FOLDER is a Windows path (Z:\tmp\... on Linux too). `drive` starts `child`
// (this same program) KILLS times and kills it after a random time of up to
// about two writes, measured first.
//
// The writer says "next HASH SIZE" before each write and "saved" when the
// write has returned, so after a kill the driver knows the two files that may
// be there: the last one saved (or none yet) and the one announced after it.
// Anything else is a fault: the file is kept as FOLDER\fault-N and the test
// fails. The last line sums up what the kills met.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "catalogue/nfile.h"
#include "crash/child_process.h"
#include "net/file_downloader.h"
#include "online/cmdata.h"
#include "platform/files.h"
#include "platform/socket.h"

using namespace kumoya;

namespace {

constexpr int kPrograms = 10000;

struct Options {
    std::string kind, folder, tool;
    int port = 0;
    long long seed = -1;
    long long gen = 0;
};

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint64_t h = 1469598103934665603ull) {
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

std::string Target(const Options& o) {
    if (o.kind == "catalogue") return o.folder + "\\CRASH.dat";
    if (o.kind == "advert") return o.folder + "\\001\\zelkova.cm";
    return o.folder + "\\zelkova.net";
}

// ---- the writer -----------------------------------------------------------

[[noreturn]] void Die(const std::string& why) {
    std::printf("error %s\n", why.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

void Announce(std::uint64_t hash, std::size_t size) {
    std::printf("next %016" PRIx64 " %zu\n", hash, size);
    std::fflush(stdout);
}

void BuildCatalogue(TNFile& cat) {
    for (int c = 0; c < 20; ++c) {
        TExt e;
        e.Name = "Category " + std::to_string(c);
        e.MenuFlag = 1;
        cat.Categories.AddNew(e);
    }
    for (int x = 0; x < 200; ++x) {
        TExt e;
        e.Name = "X" + std::to_string(x);
        cat.Extensions.AddNew(e);
    }
    cat.Progs.Reserve(kPrograms);
    for (int i = 0; i < kPrograms; ++i) {
        TProg p;
        p.Path = "C:\\Program Files\\Vendor " + std::to_string(i) + "\\program" + std::to_string(i) + ".exe";
        p.Title = "Program " + std::to_string(i);
        p.TotalCount = i % 97;
        cat.Progs.AddNew(p);
        cat.Categories.At(i % 20).AddProg(p.Id);
        cat.Extensions.At(i % 200).AddProg(p.Id);
        cat.Extensions.At((i + 7) % 200).AddProg(p.Id);
        if (i % 10 == 0) {
            THist entry;
            entry.ProgId = p.Id;
            entry.AddItemWithParam(100, "X" + std::to_string(i % 200), "-open \"%1\"");
            cat.ExtParams.AddEntry(entry);
        }
    }
}

// A change of every kind a run makes: counts, a title, categories come and go
// (so that the size changes too).
void Change(TNFile& cat, long long gen) {
    TProg& p = cat.Progs.At(static_cast<int>(gen % cat.Progs.Count()));
    p.TotalCount += 1;
    p.TodayCount = static_cast<std::int32_t>(gen % 1000);
    p.Title = "Program " + std::to_string(gen);
    if (cat.Categories.Count() >= 26) {
        while (cat.Categories.Count() > 20) cat.Categories.Delete(cat.Categories.Count() - 1);
    } else {
        TExt e;
        e.Name = "Generation " + std::to_string(gen);
        for (int i = 0; i < static_cast<int>(gen % 500); ++i) e.AddProg(cat.Progs.At(i).Id);
        cat.Categories.AddNew(e);
    }
}

void WriteCatalogue(TNFile& cat) {
    auto bytes = cat.SaveToBytes();
    Announce(Fnv1a(bytes.data(), bytes.size()), bytes.size());
    if (cat.Save() != 0) Die("Save: " + cat.SaveError());
    Say("saved");
}

void CatalogueWriter(const Options& o) {
    TNFile cat(Target(o));
    int loaded = cat.Load();
    if (loaded == TNFile::kNoFile) {
        BuildCatalogue(cat);
        WriteCatalogue(cat);
    } else if (loaded != TNFile::kLoaded) {
        Die("Load answered " + std::to_string(loaded) + ": " + cat.LoadError());
    }
    Say("ready");
    for (long long gen = o.gen;; ++gen) {
        Change(cat, gen);
        WriteCatalogue(cat);
    }
}

// A clip of a size and content of its own for each generation.
platform::Bytes Clip(long long gen) {
    platform::Bytes clip(200000 + static_cast<std::size_t>(gen % 5) * 37003);
    std::uint64_t x = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(gen);
    for (auto& b : clip) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<std::uint8_t>(x);
    }
    return clip;
}

void WriteAdvert(TCMData& cm, const std::string& path, long long gen) {
    platform::Bytes clip = Clip(gen);
    if (!platform::WriteFileBytes(cm.ClipPath, clip)) Die("clip: " + platform::LastError());
    cm.ClipSize = static_cast<std::int32_t>(clip.size());
    auto record = cm.RecordBytes();
    Announce(Fnv1a(clip.data(), clip.size(), Fnv1a(record.data(), record.size())), record.size() + clip.size());
    if (cm.SaveWithClip(path) != 0) Die("SaveWithClip: " + platform::LastError());
    Say("saved");
}

void AdvertWriter(const Options& o) {
    const std::string path = Target(o);
    const std::string clipPath = o.folder + "\\CM.AVI";
    TCMData cm;
    if (!platform::FileExists(path)) {
        if (!platform::CreateDirectories(o.folder + "\\001")) Die("folder: " + platform::LastError());
        cm.AdName = "Crash test";
        cm.LinkCount = 1;
        cm.LinkUrl1 = "http://127.0.0.1/crash";
        cm.PauseSeconds = 2;
        cm.ClipPath = clipPath;
        WriteAdvert(cm, path, o.gen);
    }
    Say("ready");
    for (long long gen = o.gen + 1;; ++gen) {
        int loaded = cm.LoadWithClip(path, clipPath);
        if (loaded != TCMData::kLoaded) Die("LoadWithClip answered " + std::to_string(loaded));
        cm.ClickCount += 1;
        cm.DisplayMs += 250;
        WriteAdvert(cm, path, gen);
    }
}

// What the test server sends for /seeded/S/N: its test pattern with S added
// to every byte, so that two neighbouring generations differ in every byte.
platform::Bytes Seeded(std::size_t n, int s) {
    platform::Bytes body(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t j = i % 65521;
        body[i] = static_cast<std::uint8_t>(j * 7 + j / 251 + static_cast<std::size_t>(s));
    }
    return body;
}

void DownloadWriter(const Options& o) {
    if (o.port <= 0) Die("download needs --port");
    net::FileDownloader http;
    http.InputFileMode = true;
    http.Body = Target(o);
    http.OnIdle = nullptr;
    http.TimeoutMs = 10000;
    Say("ready");
    for (long long gen = o.gen;; ++gen) {
        int s = static_cast<int>(gen % 255) + 1;
        std::size_t n = 150000 + static_cast<std::size_t>(gen % 7) * 50021;
        platform::Bytes body = Seeded(n, s);
        Announce(Fnv1a(body.data(), body.size()), body.size());
        try {
            http.Get("http://127.0.0.1:" + std::to_string(o.port) + "/seeded/" + std::to_string(s) + "/" +
                     std::to_string(n));
        } catch (const net::NetError& e) {
            Die(std::string("Get: ") + e.what());
        }
        if (!http.BodyStored()) Die("Get: status " + std::to_string(http.StatusCode()));
        Say("saved");
    }
}

// ---- the driver -----------------------------------------------------------

struct Version {
    bool present = false;
    std::uint64_t hash = 0;
    std::size_t size = 0;
    bool operator==(const Version&) const = default;
    std::string Describe() const {
        if (!present) return "no file";
        char text[64];
        std::snprintf(text, sizeof text, "%016" PRIx64 " (%zu bytes)", hash, size);
        return text;
    }
};

struct Tally {
    int kills = 0, old = 0, fresh = 0, duringWrite = 0, leftovers = 0;
    long long writes = 0;
};

class Driver {
public:
    explicit Driver(Options o) : o_(std::move(o)), path_(Target(o_)) {}

    int Run(int kills) {
        std::uint64_t seed = o_.seed >= 0 ? static_cast<std::uint64_t>(o_.seed) : platform::MonotonicMs();
        std::mt19937_64 random(seed);
        // The first writer runs three writes untouched: how long one takes.
        double period = Calibrate();
        if (period < 0) return 1;
        t_ = Tally{};
        const int window = static_cast<int>(period * 2) + 1;
        for (int k = 1; k <= kills; ++k) {
            int delay = static_cast<int>(random() % static_cast<std::uint64_t>(window + 1));
            if (!Cycle(k, delay)) {
                // The line above says why: a file that is neither version,
                // or a writer that could not be started or misbehaved.
                std::printf("%s: stopped at kill %d (seed %" PRIu64 ")\n", o_.kind.c_str(), k, seed);
                return 1;
            }
            if (k % 100 == 0 && k < kills) Report(seed, period);
        }
        Report(seed, period);
        return 0;
    }

private:
    void Report(std::uint64_t seed, double period) {
        std::printf(
            "%s: %d kills: old file %d, new file %d; %d kills during a write; %lld writes completed; "
            "a temporary file left by %d kills; no fault (seed %" PRIu64 ", one write about %.0f ms)\n",
            o_.kind.c_str(), t_.kills, t_.old, t_.fresh, t_.duringWrite, t_.writes, t_.leftovers, seed, period);
        std::fflush(stdout);
    }

    bool StartChild(crashtest::ChildProcess& child, long long gen) {
        std::vector<std::string> args{crashtest::OwnProgram(), "child", o_.kind, o_.folder,
                                      "--gen", std::to_string(gen)};
        if (o_.port > 0) args.insert(args.end(), {"--port", std::to_string(o_.port)});
        std::string error;
        if (!child.Start(args, error)) {
            std::printf("cannot start the writer: %s\n", error.c_str());
            return false;
        }
        return true;
    }

    // Takes one line of the writer's; false on a protocol fault or its error.
    bool Take(const std::string& line) {
        if (line.rfind("next ", 0) == 0) {
            Version v{true, 0, 0};
            if (std::sscanf(line.c_str() + 5, "%" SCNx64 " %zu", &v.hash, &v.size) != 2) return Bad(line);
            pending_ = v;
            havePending_ = true;
        } else if (line == "saved") {
            if (!havePending_) return Bad(line);
            committed_ = pending_;
            havePending_ = false;
            ++t_.writes;
        } else if (line != "ready") {
            return Bad(line);
        }
        return true;
    }
    bool Bad(const std::string& line) {
        std::printf("writer: %s\n", line.c_str());
        return false;
    }

    // Reads lines until "ready" (true) or the writer fails.
    bool AwaitReady(crashtest::ChildProcess& child) {
        for (;;) {
            auto line = child.ReadLine(120000);
            if (!line) {
                std::printf("the writer never became ready\n");
                return false;
            }
            if (!Take(*line)) return false;
            if (*line == "ready") return true;
        }
    }

    double Calibrate() {
        crashtest::ChildProcess child;
        if (!StartChild(child, 0) || !AwaitReady(child)) return -1;
        std::uint64_t start = platform::MonotonicMs();
        long long before = t_.writes;
        while (t_.writes < before + 3) {
            auto line = child.ReadLine(120000);
            if (!line || !Take(*line)) {
                std::printf("the writer did not write three times\n");
                return -1;
            }
        }
        double period = static_cast<double>(platform::MonotonicMs() - start) / 3;
        child.Kill();
        return Verify(child, 0) ? period : -1;
    }

    bool Cycle(int k, int delayMs) {
        crashtest::ChildProcess child;
        if (!StartChild(child, static_cast<long long>(k) * 100000) || !AwaitReady(child)) return false;
        platform::SleepMs(delayMs);
        child.Kill();
        ++t_.kills;
        return Verify(child, k);
    }

    // After a kill: what the writer said last, then the file itself.
    bool Verify(crashtest::ChildProcess& child, int k) {
        while (auto line = child.ReadLine(10000)) {
            if (!Take(*line)) return false;
        }
        if (!child.OutputEnded()) {
            std::printf("the killed writer's output did not end\n");
            return false;
        }
        if (havePending_) ++t_.duringWrite;
        Version found;
        auto bytes = platform::ReadFileBytes(path_);
        if (bytes) {
            found = {true, Fnv1a(bytes->data(), bytes->size()), bytes->size()};
        } else if (platform::LastFileFailure() != platform::FileFailure::Absent) {
            std::printf("cannot read %s: %s\n", path_.c_str(), platform::LastError().c_str());
            return false;
        }
        if (found == committed_) {
            ++t_.old;
        } else if (havePending_ && found == pending_) {
            ++t_.fresh;
            committed_ = pending_;
        } else {
            std::printf("after kill %d the file is %s; it may only be the last saved, %s, or the one being written, %s\n",
                        k, found.Describe().c_str(), committed_.Describe().c_str(),
                        havePending_ ? pending_.Describe().c_str() : "(none)");
            if (bytes) platform::WriteFileBytes(o_.folder + "\\fault-" + std::to_string(k), *bytes);
            return false;
        }
        havePending_ = false;
        for (const char* suffix : {".new", ".part"})
            if (platform::FileExists(path_ + suffix)) {
                ++t_.leftovers;
                break;
            }
        return !found.present || Readable(k);
    }

    // The file as its own reader sees it.
    bool Readable(int k) {
        if (o_.kind == "catalogue") {
            if (o_.tool.empty()) return true;
            crashtest::ChildProcess tool;
            std::string error;
            if (!tool.Start({o_.tool, "check", path_}, error)) {
                std::printf("cannot start %s: %s\n", o_.tool.c_str(), error.c_str());
                return false;
            }
            std::string said;
            while (auto line = tool.ReadLine(60000)) said += *line + "\n";
            int rc = tool.Wait(60000);
            if (rc != 0) std::printf("after kill %d, kumoya-catalog check answered %d: %s", k, rc, said.c_str());
            return rc == 0;
        }
        if (o_.kind == "advert") {
            TCMData cm;
            auto size = platform::ReadFileBytes(path_)->size();
            if (cm.LoadRecord(path_) != TCMData::kLoaded || cm.ClipSize < 0 ||
                size != cmfile::kRecordSize + static_cast<std::size_t>(cm.ClipSize)) {
                std::printf("after kill %d the advertisement is no whole record and clip\n", k);
                return false;
            }
        }
        return true;
    }

    Options o_;
    std::string path_;
    Version committed_;  // the file as last saved (none at first)
    Version pending_;    // announced, not yet saved
    bool havePending_ = false;
    Tally t_;
};

int Usage() {
    std::fputs("usage: kumoya_crash drive KIND FOLDER KILLS [--tool PATH] [--port P] [--seed N]\n"
               "       kumoya_crash child KIND FOLDER [--port P] [--gen N]\n"
               "KIND: catalogue, advert, download\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    std::string role = argv[1];
    Options o;
    o.kind = argv[2];
    o.folder = argv[3];
    if (o.kind != "catalogue" && o.kind != "advert" && o.kind != "download") return Usage();
    int first = role == "drive" ? 5 : 4;
    if (role == "drive" && argc < 5) return Usage();
    for (int i = first; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--tool") o.tool = value;
        else if (name == "--port") o.port = std::atoi(value.c_str());
        else if (name == "--seed") o.seed = std::atoll(value.c_str());
        else if (name == "--gen") o.gen = std::atoll(value.c_str());
        else return Usage();
    }
    if (role == "child") {
        if (o.kind == "catalogue") CatalogueWriter(o);
        if (o.kind == "advert") AdvertWriter(o);
        DownloadWriter(o);
    }
    if (role != "drive") return Usage();
    int kills = std::atoi(argv[4]);
    if (kills < 1) return Usage();
    return Driver(o).Run(kills);
}
