// The file association: the catalogue's extensions tied to the launcher's
// file type "Zelkdoc" under HKEY_CLASSES_ROOT, and given back to the types
// they had before. The former type of an extension is kept in its key's
// value "vorwork". While an extension is associated, "Zelkdoc" is also listed
// under its OpenWithProgids, so that newer Explorers, which keep the user's
// own choice elsewhere, offer the launcher in "Open with".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/records.h"
#include "platform/registry.h"

namespace kumoya {

inline constexpr std::string_view kDocumentClass = "Zelkdoc";
inline constexpr std::string_view kFormerTypeValue = "vorwork";

// A write or a delete the registry refused: the association stopped there,
// and what was changed before stays changed.
struct AssociationError {
    std::string Key;  // under HKEY_CLASSES_ROOT
    bool AccessDenied = false;
    // What the user is told, Shift_JIS.
    std::string Message() const;
};
using AssociationResult = std::optional<AssociationError>;

// Writes the class's open command (programPath followed by ` "%1"`) and ties
// every extension of the list to it, in list order.
AssociationResult RegisterAssociation(platform::Registry& reg, std::string_view programPath, const TExtList& exts);
// Ties one extension (a name without the dot) to the class, keeping its
// former type; one already tied keeps the former type it has.
AssociationResult RegisterExtension(platform::Registry& reg, std::string_view name);
// Gives back every extension key under HKEY_CLASSES_ROOT that names the class.
AssociationResult UnregisterAssociation(platform::Registry& reg);
// Gives back one extension key (a key name with the dot): its former type
// returns; without one, the class key goes.
AssociationResult UnregisterExtension(platform::Registry& reg, std::string_view keyName);

}  // namespace kumoya
