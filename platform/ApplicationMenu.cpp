#include "platform/ApplicationMenu.h"

namespace ZunoInstaller {

#ifndef __APPLE__
void withholdSystemEditEntries() {}
void keepOnlyQuitInApplicationMenu() {}
#endif

} // namespace ZunoInstaller
