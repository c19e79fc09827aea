#pragma once

#include <QString>

namespace ZunoInstaller {

// Puts the version into the "versionCaption" text. The text must hold exactly
// one placeholder, "%@" or "%1$@"; "%%" stands for "%". Any other text (no
// placeholder, two of them, or any other '%' directive such as "%s" or "%n")
// comes back unchanged, to be shown as it stands: table texts are never
// handed to a printf-style formatter.
QString formatVersionCaption(const QString& format, const QString& version);

} // namespace ZunoInstaller
