// kumoya-catalog: inspect, back up and repair a catalogue file.
//
//   kumoya-catalog check FILE        exit 0 when sound; else names the first fault and its offset
//   kumoya-catalog dump FILE         every section and field as JSON (UTF-8) on standard output
//   kumoya-catalog load JSON FILE    writes the catalogue described by the JSON file
//   kumoya-catalog new FILE          an empty catalogue with the default settings
//
// File names are given in the system's own form; on Windows they are taken
// as Shift_JIS, as everywhere in Kumoya.
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "catalogue/catalogue_json.h"
#include "catalogue/nfile.h"
#include "platform/files.h"

using namespace kumoya;

namespace {

int Usage() {
    std::fputs(
        "usage: kumoya-catalog check FILE\n"
        "       kumoya-catalog dump FILE\n"
        "       kumoya-catalog load JSON FILE\n"
        "       kumoya-catalog new FILE\n",
        stderr);
    return 2;
}

bool ReadImage(const std::string& file, catalogue_format::Image& image, catalogue_format::Fault& fault,
               bool& unreadable) {
    unreadable = false;
    auto bytes = platform::ReadFileBytes(file);
    if (!bytes) {
        unreadable = true;
        fault.What = platform::LastError();
        return false;
    }
    return catalogue_format::Parse(bytes->data(), bytes->size(), image, fault);
}

int Check(const std::string& file) {
    catalogue_format::Image image;
    catalogue_format::Fault fault;
    bool unreadable;
    if (!ReadImage(file, image, fault, unreadable)) {
        if (unreadable)
            std::fprintf(stderr, "%s: cannot read: %s\n", file.c_str(), fault.What.c_str());
        else
            std::fprintf(stderr, "%s: damaged at offset %zu: %s\n", file.c_str(), fault.Offset, fault.What.c_str());
        return 1;
    }
    std::printf("%s: sound (%zu programs, %zu categories, %zu extensions)\n", file.c_str(), image.Progs.size(),
                image.Categories.size(), image.Extensions.size());
    if (image.TrailingBytes)
        std::printf("%s: %zu bytes after the last section are ignored\n", file.c_str(), image.TrailingBytes);
    return 0;
}

int Dump(const std::string& file) {
    catalogue_format::Image image;
    catalogue_format::Fault fault;
    bool unreadable;
    if (!ReadImage(file, image, fault, unreadable)) {
        std::fprintf(stderr, "%s: %s%s\n", file.c_str(),
                     unreadable ? "cannot read: " : ("damaged at offset " + std::to_string(fault.Offset) + ": ").c_str(),
                     fault.What.c_str());
        return 1;
    }
    std::string text = catalogue_json::ToJson(image).Write(2);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

int Load(const std::string& jsonFile, const std::string& file) {
    auto bytes = platform::ReadFileBytes(jsonFile);
    if (!bytes) {
        std::fprintf(stderr, "%s: cannot read: %s\n", jsonFile.c_str(), platform::LastError().c_str());
        return 1;
    }
    std::string error;
    auto value = json::Parse(std::string(bytes->begin(), bytes->end()), error);
    catalogue_format::Image image;
    if (!value || !catalogue_json::FromJson(*value, image, error)) {
        std::fprintf(stderr, "%s: %s\n", jsonFile.c_str(), error.c_str());
        return 1;
    }
    if (!platform::ReplaceFileAtomically(file, catalogue_format::Serialize(image))) {
        std::fprintf(stderr, "%s: cannot write: %s\n", file.c_str(), platform::LastError().c_str());
        return 1;
    }
    return 0;
}

int New(const std::string& file) {
    if (platform::FileExists(file)) {
        std::fprintf(stderr, "%s: already exists; not overwritten\n", file.c_str());
        return 1;
    }
    TNFile catalogue(file);
    if (catalogue.Save() != 0) {
        std::fprintf(stderr, "%s\n", catalogue.SaveError().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "check") return Check(args[1]);
    if (args.size() == 2 && args[0] == "dump") return Dump(args[1]);
    if (args.size() == 3 && args[0] == "load") return Load(args[1], args[2]);
    if (args.size() == 2 && args[0] == "new") return New(args[1]);
    return Usage();
}
