#pragma once

namespace ZunoInstaller {

// Gives the window's painted pieces their roles for assistive technology:
// texts as static text or a heading, notices and step rows as static text
// named by what they say, the header link as a link, the view as a pane.
// Qt keeps the interface it made for a widget the first time it was asked,
// so each of these widgets installs the factory before it sets a name.
// Installing more than once is harmless.
void installAccessibleFactory();

} // namespace ZunoInstaller
