// Finding programs for the first-run wizard: the programs that the system's
// file types open, and the programs behind the shortcuts on the desktop; the
// registration of the rows the user keeps ticked, and the default categories.
//
// The wizard shows a scan's rows in its list (caption, sub-items, icon, every
// row ticked), lets the user untick some, and hands the rows back with their
// ticks to the matching registration:
//
//   rows = ScanRegistry(pump);          ... RegisterRegistryRows(file, rows);
//   rows = ScanDesktop(SCMake1, pump);  ... RegisterDesktopRows(file, rows);
//   for each ticked box of DefaultCategories(): MakeDefaultCategory(file, c.Name, c.Extensions);
//
// Nothing here shows a message: what cannot be read is passed over.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/nfile.h"
#include "platform/icon.h"

namespace kumoya {

class TSCMake;

// One row of the scan list.
//   registry scan: Caption = the extension as the registry spells it (".txt"),
//     SubItems = {display name of the file type, program path in upper case,
//     parameter template};
//   desktop scan: Caption = shortcut name (file name without ".lnk"),
//     SubItems = {target path in upper case}.
struct ScanRow {
    std::string Caption;
    std::vector<std::string> SubItems;
    platform::Icon Icon;  // the shell's small icon, the file's first icon, or the default picture
    bool Checked = true;
};

// Called once for each item a scan looks at, so that the window can handle
// its pending messages during a long scan.
using ScanPump = std::function<void()>;

inline constexpr char kDesktopCategory[] = "デスクトップ";

// The program and parameter template of a file type's open command. 0 with
// both filled, or -1 when no usable program comes out of it. A program that
// is no ".EXE" is replaced by the program the shell associates with the
// extension, asked with an empty file "Def" + `extension` created for the
// moment in `probeFolder` ("" = the launcher's folder; where that cannot be
// written, the temporary folder).
int ParseOpenCommand(std::string_view extension, std::string_view command, std::string& program,
                     std::string& params, std::string_view probeFolder = {});

// The programs that the file types under the classes root open, one row per
// extension (in case-insensitive order), for types that have a display name.
std::vector<ScanRow> ScanRegistry(const ScanPump& pump = {});

// The programs behind the desktop's shortcuts: existing ".EXE" targets other
// than the launcher itself, one row per target (the first shortcut listed
// wins). Reads each shortcut with `links` (its properties are left as the
// last one read set them).
std::vector<ScanRow> ScanDesktop(TSCMake& links, const ScanPump& pump = {});

// Registers the ticked rows of a registry scan: each extension, each program
// (or a new title for one already registered: the last row's name wins), the
// template for program and extension unless one is stored already, and the
// program last in the extension's priority order. Answers the number of rows
// registered.
int RegisterRegistryRows(TNFile& file, const std::vector<ScanRow>& rows);

// Registers the ticked rows of a desktop scan and puts each program in the
// category "デスクトップ" (created, shown in the menu, when missing).
int RegisterDesktopRows(TNFile& file, const std::vector<ScanRow>& rows);

// Finds or creates the category (shown in the menu) and adds to it every
// program of the named extensions that the catalogue holds, in priority order.
int MakeDefaultCategory(TNFile& file, std::string_view name, const std::vector<std::string>& extensionNames);

struct DefaultCategory {
    std::string Name;  // also the caption of its check box
    std::vector<std::string> Extensions;
    bool TickedAtStart = true;
};
// The six default categories, in check-box order.
const std::vector<DefaultCategory>& DefaultCategories();

}  // namespace kumoya
