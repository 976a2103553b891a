// Starting programs and recording the launch: the operations of TNFile that
// the menus, the file arguments and the management window use.
#include "catalogue/launch.h"

#include "catalogue/nfile.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace kumoya {

const char* const kDefaultParamTemplate = "\"%1\"";

std::optional<std::string> ExpandParams(std::string_view templ, std::optional<std::string_view> file) {
    std::string out(templ);
    if (file) {
        std::size_t percent = out.find('%');
        if (percent == std::string::npos) {
            out += ' ';
            out += *file;
        } else {
            out.replace(percent, 2, *file);
        }
    } else if (std::size_t quote = out.find("\"%"); quote != std::string::npos) {
        out.erase(quote, 4);
    } else if (std::size_t percent = out.find('%'); percent != std::string::npos) {
        out.erase(percent, 2);
    }
    if (out.size() > kMaxParamsBytes) return std::nullopt;
    return out;
}

int RunProgram(TProg& prog, std::optional<std::string_view> file, std::uintptr_t ownerWindow) {
    auto params = ExpandParams(prog.Params, file);
    if (!params) return -1;  // a cut file name would open the wrong file
    // What the shell makes of it is not known here; the launch counts.
    platform::SystemShell().Open(prog.Path, *params, "", true, ownerWindow);
    ++prog.TodayCount;
    prog.TotalCount = prog.TotalCount == 2147483647 ? 0 : prog.TotalCount + 1;
    prog.LastLaunch = platform::SystemClock().Now();
    return 0;
}

std::string TNFile::TemplateFor(const TProg& prog, std::string_view key) const {
    THist* entry = nullptr;
    if (ExtParams.FindByProg(prog.Id, entry) != 0) return kDefaultParamTemplate;
    int i = entry->IndexOfItem(key);
    if (i < 0 || !entry->ItemAt(i).Param) return kDefaultParamTemplate;
    return entry->ItemAt(i).Param->Text;
}

int TNFile::OpenWithRegistered(std::string_view path) {
    paramsTooLong_ = nullptr;
    auto stored = platform::StoredName(path);
    if (!stored) return -1;
    std::string key = ExtensionKey(*stored);
    TExt* ext = nullptr;
    if (key.empty() || Extensions.FindByName(key, ext) != 0 || ext->ProgCount() == 0) {
        platform::SystemShell().Open(path, "", "", true, 0);
        return 0;
    }
    if (ext->MenuFlag != 0 && ext->ProgCount() != 1) return 1;
    TProg* prog = nullptr;
    if (Progs.FindById(ext->CopyProgIds().front(), prog) != 0) return -1;
    prog->Params = TemplateFor(*prog, key);
    if (!ExpandParams(prog->Params, path)) {
        paramsTooLong_ = prog;
        return -1;
    }
    CheckNewDay();
    RunProgram(*prog, path, OwnerWindow);
    AddHistory(path, *prog);
    return 0;
}

int TNFile::Launch(std::optional<std::string_view> file, TProg& prog) {
    paramsTooLong_ = nullptr;
    if (!file) {
        if (!ExpandParams(prog.Params, std::nullopt)) {
            paramsTooLong_ = &prog;
            return -1;
        }
        CheckNewDay();
        RunProgram(prog, std::nullopt, OwnerWindow);
        return 0;
    }
    auto stored = platform::StoredName(*file);
    if (!stored) return -1;
    std::string key = ExtensionKey(*stored);
    TExt* ext = nullptr;
    bool registered = !key.empty() && Extensions.FindByName(key, ext) == 0;
    prog.Params = registered ? TemplateFor(prog, key) : kDefaultParamTemplate;
    if (!ExpandParams(prog.Params, *file)) {
        paramsTooLong_ = &prog;
        return -1;
    }
    CheckNewDay();
    if (!registered) {
        // An unregistered file enters the history first, then starts.
        AddHistory(*file, prog);
        RunProgram(prog, *file, OwnerWindow);
    } else {
        RunProgram(prog, *file, OwnerWindow);
        AddHistory(*file, prog);
    }
    return 0;
}

}  // namespace kumoya
