#pragma once

class QApplication;

namespace ZunoInstaller {

// The installer's start-up and event loop on an existing application object:
// the delegate (model and prerequisite check), the menu bar, whose first text
// lookup fixes the interface language, then the loop. Returns the exit status.
int runInstallerApp(QApplication& application);

} // namespace ZunoInstaller
