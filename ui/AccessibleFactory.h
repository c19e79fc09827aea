#pragma once

namespace ZunoInstaller {

// Gives the window's painted pieces their roles for assistive technology:
// texts as static text or a heading, notices and step rows as static text
// named by what they say. Installing more than once is harmless.
void installAccessibleFactory();

} // namespace ZunoInstaller
