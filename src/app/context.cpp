#include "app/context.h"

#include "platform/files.h"

namespace kumoya {

AppContext::AppContext(const Parts& parts)
    : parts_(parts), programPath_(platform::ProgramPath()), programFolder_(platform::ProgramFolder()) {}

}  // namespace kumoya
