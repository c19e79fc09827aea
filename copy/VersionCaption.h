#pragma once

#include <QString>

namespace ZunoInstaller {

// The most of a version that the caption shows. Every real version fits (a
// version with pre-release and build parts runs to some 45 characters); a
// longer one (Info.plist may hold megabytes) shows its start and an ellipsis,
// so that the caption stays one line beside the footer's button.
inline constexpr qsizetype captionVersionLength = 48;

// Puts the version into the "versionCaption" text. The text must hold exactly
// one placeholder, "%@" or "%1$@"; "%%" stands for "%". Any other text (no
// placeholder, two of them, or any other '%' directive such as "%s" or "%n")
// comes back unchanged, to be shown as it stands: table texts are never
// handed to a printf-style formatter. A version longer than
// captionVersionLength is cut there, between two characters as a reader sees
// them, and ends in "…".
QString formatVersionCaption(const QString& format, const QString& version);

} // namespace ZunoInstaller
