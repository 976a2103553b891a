#include "registration/scans.h"

#include <algorithm>
#include <set>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/long_path.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "registration/scmake.h"

namespace kumoya {
namespace {

using platform::RegistryRoot;

constexpr std::size_t npos = std::string_view::npos;

// Extensions whose files are programs or links themselves; compared exactly.
constexpr const char* kExcludedExtensions[] = {".bat", ".exe", ".scr", ".lnk", ".com",
                                               ".pif", ".bfc", ".cmd", ".scf", ".cdf"};

// The launcher's own file type.
constexpr char kOwnFileType[] = "Zelkdoc";
constexpr char kOwnProgramName[] = "ZELKOVA.EXE";
constexpr std::size_t kTitleBytes = kTitleWidth - 1;

bool IsExcluded(std::string_view extension) {
    return std::any_of(std::begin(kExcludedExtensions), std::end(kExcludedExtensions),
                       [&](const char* e) { return extension == e; });
}

std::string_view TrimRightBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return TrimRightBlanks(s);
}

// The start of the character that ends just before `pos`.
std::size_t PreviousCharStart(std::string_view text, std::size_t pos) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < pos; i += sjis::CharLength(text, i)) start = i;
    return start;
}

// `count` characters from `pos` (fewer at the end of the text).
std::string_view Characters(std::string_view text, std::size_t pos, int count) {
    std::size_t end = pos;
    for (int n = 0; n < count && end < text.size(); ++n) end += sjis::CharLength(text, end);
    return text.substr(pos, end - pos);
}

void AppendToTemplate(std::string& params, std::string_view piece) {
    if (!params.empty()) params += ' ';
    params += piece;
}

// Characters a file name cannot hold; an extension with one of them is no
// name for a file of ours (a "/" could even lead out of the folder).
bool UsableInFileName(std::string_view extension) {
    if (extension.empty()) return false;
    for (unsigned char c : extension) {
        if (c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != npos) return false;
    }
    return true;
}

// The program the shell associates with the extension, asked for an empty
// file of that extension. A file of the name that exists already is asked
// about as it is and left in place.
std::optional<std::string> AskShellForProgram(std::string_view extension, std::string_view probeFolder) {
    if (!UsableInFileName(extension)) return std::nullopt;
    std::string own = probeFolder.empty() ? platform::ProgramFolder() : std::string(probeFolder);
    if (!own.empty() && sjis::LastSeparator(own) != own.size() - 1) own += '\\';
    for (const std::string& folder : {own, platform::TempFolder()}) {
        if (folder.empty()) continue;
        std::string probe = folder + "Def" + std::string(extension);
        if (platform::FileExists(probe)) return platform::SystemShell().ProgramFor(probe);
        if (!platform::CreateNewEmptyFile(probe)) continue;
        auto program = platform::SystemShell().ProgramFor(probe);
        platform::DeleteFileAt(probe);
        return program;
    }
    return std::nullopt;
}

platform::Icon ProgramIcon(std::string_view path) {
    platform::Icon icon = platform::SystemShell().SmallIcon(path);
    if (icon.Empty()) icon = platform::SystemShell().FirstIcon(path);
    if (icon.Empty()) icon = platform::DefaultApplicationIcon();
    return icon;
}

std::string ReadText(RegistryRoot root, std::string_view key, std::string_view name = {}) {
    // Values of another type count as absent.
    return platform::SystemRegistry().ReadString(root, key, name).value_or(std::string());
}

// The registered program of that path with the new title, or a new program.
TProg* RegisterProgram(TNFile& file, const std::string& path, std::string_view title) {
    TProg* prog = nullptr;
    if (file.Progs.FindByPath(path, prog) == 0) {
        prog->Title = std::string(title);
        return prog;
    }
    // TitleIndex stays "none" (-1): these programs are not matched against
    // the title database here; its next conversion assigns them.
    TProg record;
    record.Path = path;
    record.Title = std::string(title);
    if (file.Progs.AddNew(record) != 0) return nullptr;
    return file.Progs.FindById(record.Id, prog) == 0 ? prog : nullptr;
}

TExt* FindOrCreateCategory(TNFile& file, std::string_view name) {
    TExt* category = nullptr;
    if (file.Categories.FindByName(name, category) == 0) return category;
    TExt record;
    record.Name = std::string(name);
    record.MenuFlag = 1;
    if (file.Categories.AddNew(record) != 0) return nullptr;
    return file.Categories.FindByName(name, category) == 0 ? category : nullptr;
}

void Pump(const ScanPump& pump) {
    if (pump) pump();
}

}  // namespace

int ParseOpenCommand(std::string_view extension, std::string_view commandText, std::string& program,
                     std::string& params, std::string_view probeFolder) {
    program.clear();
    params.clear();
    std::string command(commandText);
    if (!command.empty()) {
        // A switch ("-x" or "/x") and everything after it is the template;
        // the character before it (normally a blank) belongs to neither.
        std::size_t sw = command.find('-');
        if (sw == npos) sw = command.find('/');
        if (sw != npos) {
            params = command.substr(sw);
            command.resize(sw == 0 ? 0 : PreviousCharStart(command, sw));
        }

        if (command.find('"') == npos) {
            static constexpr std::string_view kSystemRoot = "%SystemRoot%";
            std::size_t root = command.find(kSystemRoot);
            if (root != npos) command.replace(root, kSystemRoot.size(), platform::Folders().WindowsFolder());
            std::string_view rest = command;
            std::size_t percent = command.find('%');
            if (percent != npos) {
                AppendToTemplate(params, Characters(command, percent, 2));
                rest = rest.substr(0, percent);
            }
            program = TrimRightBlanks(rest);
        } else if (command.front() == '"') {
            std::size_t close = command.find('"', 1);
            // Without a closing quote there is no program in it.
            if (close != npos) program = command.substr(1, close - 1);
        } else {
            std::size_t quoted = command.find("\"%");
            if (quoted != npos) {
                AppendToTemplate(params, Characters(command, quoted, 4));
                program = TrimRightBlanks(std::string_view(command).substr(0, quoted));
            }
        }
    }

    if (sjis::UpperAscii(TrimBlanks(sjis::Extension(program))) != ".EXE") {
        if (auto associated = AskShellForProgram(extension, probeFolder)) program = *associated;
    }
    if (program.empty()) return -1;
    if (!sjis::FolderWithSeparator(program).empty() && !platform::FileExists(program)) return -1;
    std::string longName = platform::LongPathName(program);
    if (!longName.empty()) program = longName;
    return 0;
}

std::vector<ScanRow> ScanRegistry(const ScanPump& pump) {
    platform::Registry& registry = platform::SystemRegistry();
    std::vector<std::string> extensions;
    for (std::string& name : registry.SubKeys(RegistryRoot::ClassesRoot, ""))
        if (!name.empty() && name.front() == '.') extensions.push_back(std::move(name));
    std::stable_sort(extensions.begin(), extensions.end(),
                     [](const std::string& a, const std::string& b) { return sjis::CompareIgnoreCase(a, b) < 0; });

    std::vector<ScanRow> rows;
    for (const std::string& extension : extensions) {
        Pump(pump);
        if (IsExcluded(extension) || !registry.KeyExists(RegistryRoot::ClassesRoot, extension)) continue;
        std::string fileType = ReadText(RegistryRoot::ClassesRoot, extension);
        // Without a file type there is no display name either, so no row.
        if (fileType.empty() || sjis::EqualsIgnoreCase(fileType, kOwnFileType)) continue;
        // The row needs a display name; asking it first spares the command
        // parsing (and the shell) for the many types that have none.
        std::string displayName = ReadText(RegistryRoot::ClassesRoot, fileType);
        if (displayName.empty()) continue;
        // An extension longer than the catalogue stores could never be
        // looked up again.
        if (extension.size() - 1 >= kNameWidth) continue;

        std::string command;
        for (const char* verb : {"\\shell\\open\\command", "\\shell\\play\\command"}) {
            if (registry.KeyExists(RegistryRoot::ClassesRoot, fileType + verb)) {
                command = ReadText(RegistryRoot::ClassesRoot, fileType + verb);
                break;
            }
        }
        std::string program, params;
        if (ParseOpenCommand(extension, command, program, params) != 0) continue;
        std::string upper = sjis::UpperAscii(program);
        if (sjis::Find(upper, "RUNDLL") != npos) continue;
        if (upper.size() >= kPathWidth) continue;  // no room in the catalogue

        ScanRow row;
        row.Caption = extension;
        row.SubItems = {displayName, upper, params};
        row.Icon = ProgramIcon(program);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ScanRow> ScanDesktop(TSCMake& links, const ScanPump& pump) {
    std::vector<ScanRow> rows;
    std::string desktop = platform::Folders().DesktopFolder();
    if (desktop.empty()) return rows;
    if (sjis::LastSeparator(desktop) != desktop.size() - 1) desktop += '\\';
    std::set<std::string> taken;
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(desktop + "*.lnk")) {
        Pump(pump);
        if (entry.isDirectory || links.AnalizeLink(desktop + entry.name) != 0) continue;
        std::string target = sjis::UpperAscii(links.LinkPath);
        if (target.empty() || target.size() >= kPathWidth || taken.count(target)) continue;
        if (!platform::FileExists(target) || sjis::Extension(target) != ".EXE" ||
            sjis::FileName(target) == kOwnProgramName)
            continue;
        taken.insert(target);
        ScanRow row;
        row.Caption = links.SCName;
        row.SubItems = {target};
        row.Icon = ProgramIcon(target);
        rows.push_back(std::move(row));
    }
    return rows;
}

int RegisterRegistryRows(TNFile& file, const std::vector<ScanRow>& rows) {
    int registered = 0;
    for (const ScanRow& row : rows) {
        if (!row.Checked || row.Caption.size() < 2 || row.SubItems.size() < 3) continue;
        std::string name = sjis::UpperAscii(std::string_view(row.Caption).substr(1));
        TExt newExtension;
        newExtension.Name = name;
        newExtension.MenuFlag = 1;
        file.Extensions.AddNew(newExtension);  // one of that name stays as it is

        const std::string& path = row.SubItems[1];
        const std::string& params = row.SubItems[2];
        TProg* prog = RegisterProgram(file, path, sjis::CutToBytes(row.SubItems[0], kTitleBytes));
        if (!prog) continue;
        const std::int32_t id = prog->Id;

        if (!params.empty()) {
            THist* entry = nullptr;
            if (file.ExtParams.FindByProg(id, entry) != 0) {
                THist empty;
                empty.ProgId = id;
                file.ExtParams.AddEntry(empty);
                file.ExtParams.FindByProg(id, entry);
            }
            if (entry && entry->IndexOfItem(name) < 0) entry->AddItemWithParam(file.ExtParams.Limit, name, params);
        }
        TExt* extension = nullptr;
        if (file.Extensions.FindByName(name, extension) == 0) extension->AddProg(id);
        ++registered;
    }
    return registered;
}

int RegisterDesktopRows(TNFile& file, const std::vector<ScanRow>& rows) {
    TExt* category = FindOrCreateCategory(file, kDesktopCategory);
    int registered = 0;
    for (const ScanRow& row : rows) {
        if (!row.Checked || row.SubItems.empty()) continue;
        TProg* prog = RegisterProgram(file, row.SubItems[0], sjis::CutToBytes(row.Caption, kTitleBytes));
        if (!prog) continue;
        if (category) category->AddProg(prog->Id);
        ++registered;
    }
    return registered;
}

int MakeDefaultCategory(TNFile& file, std::string_view name, const std::vector<std::string>& extensionNames) {
    TExt* category = FindOrCreateCategory(file, name);
    if (!category) return -1;
    std::vector<TProg*> progs;
    for (const std::string& extensionName : extensionNames) {
        TExt* extension = nullptr;
        if (file.Extensions.FindByName(extensionName, extension) != 0) continue;
        file.ProgsOf(*extension, progs);
        for (TProg* prog : progs) category->AddProg(prog->Id);
    }
    return 0;
}

const std::vector<DefaultCategory>& DefaultCategories() {
    static const std::vector<DefaultCategory> categories = {
        {"エディター", {"TXT", "RTF", "WRD"}, true},
        {"画像処理", {"BMP", "JPEG", "JPG", "GIF"}, true},
        {"圧縮・解凍", {"LZH", "ZIP", "TAR", "CAB"}, true},
        {"ゲーム", {}, false},
        {"インターネット", {"HTML", "HTM"}, true},
        {"音楽・映像", {"WAV", "MID", "MP3"}, true},
    };
    return categories;
}

}  // namespace kumoya
