// The catalogue as one object: the settings and the five lists, the file they
// live in, and the questions the windows ask of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/records.h"
#include "platform/files.h"

namespace kumoya {

// The catalogue file of this computer: the program's folder, the computer
// name, ".dat" (C:\Apps\Kumoya\OFFICE1.dat).
std::string CatalogueFile();

class TNFile {
public:
    static constexpr int kLoaded = 0;
    static constexpr int kNoFile = 1;
    static constexpr int kDamaged = 2;     // not in the stored layout
    static constexpr int kUnreadable = 3;  // there, but it could not be read now

    TNFile();
    explicit TNFile(std::string fileName);  // a catalogue elsewhere (tools, tests)

    THead Head;
    TProgList Progs;
    TExtList Categories;
    TExtList Extensions;
    THistList History{3};
    THistList ExtParams{100};

    const std::string& FileName() const { return fileName_; }

    // 0 read, 1 no file, 2 damaged, 3 unreadable (held open by another
    // program, access denied, a folder in its place, its share gone; see
    // LoadFailure()). A damaged or unreadable file leaves every member at its
    // default and is never overwritten by Save while it is still there.
    int Load();
    // 0 written, -1 when the file could not be written (the old file stays
    // as it was). See SaveError().
    int Save();
    // The same from and to memory, without touching any file.
    int LoadFromBytes(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> SaveToBytes() const;

    const std::string& LoadError() const { return loadError_; }
    const std::string& SaveError() const { return saveError_; }
    // Why the last Load answered 3, and why the last Save answered -1
    // (None when it refused to replace a file that could not be loaded).
    platform::FileFailure LoadFailure() const { return loadFailure_; }
    platform::FileFailure SaveFailure() const { return saveFailure_; }

    int TitlesOf(const TExt& ext, std::vector<std::string>& out) const;
    int PathsOf(const TExt& ext, std::vector<std::string>& out) const;
    int ProgsOf(const TExt& ext, std::vector<TProg*>& out) const;
    int TitlesForFile(std::string_view fileName, std::vector<std::string>& out) const;
    int PathsForFile(std::string_view fileName, std::vector<std::string>& out) const;
    int ProgsForFile(std::string_view fileName, std::vector<TProg*>& out) const;
    int DeleteCategory(std::string_view name);
    int DeleteExtension(std::string_view name);
    int CheckNewDay();
    int AddHistory(std::string_view file, const TProg& prog);

    // Opens a file with the priority-1 program of its extension: 0 done (or
    // handed to the system's own association), -1 no such file or program,
    // 1 the user must choose among the extension's programs.
    int OpenWithRegistered(std::string_view path);
    // Starts `prog`, with a file or without: 0 started, -1 no such file (or
    // parameters too long to pass on).
    int Launch(std::optional<std::string_view> file, TProg& prog);
    // The program whose last Launch or OpenWithRegistered was refused because
    // its parameters would exceed 511 bytes once the file is put in; nullptr
    // when the last one was not refused for that.
    const TProg* ParamsTooLong() const { return paramsTooLong_; }
    // The program's parameter template for an extension key, or the default.
    std::string TemplateFor(const TProg& prog, std::string_view key) const;

    // The native window that owns what a launch shows (0 for none).
    std::uintptr_t OwnerWindow = 0;

private:
    void ResetToDefaults();
    TExt* FindExtensionFor(std::string_view fileName) const;
    template <class F>
    void ForEachProg(const TExt& ext, F f) const;

    std::string fileName_;
    const TProg* paramsTooLong_ = nullptr;
    std::string loadError_;
    std::string saveError_;
    platform::FileFailure loadFailure_ = platform::FileFailure::None;
    platform::FileFailure saveFailure_ = platform::FileFailure::None;
    bool keepStoredFile_ = false;
};

}  // namespace kumoya
