#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace ZunoInstaller {

// The string values of the top-level dictionary of an XML property list.
// Values of other types are skipped; a document that is not well-formed, or
// whose shape is not <plist><dict>key/value pairs</dict></plist>, gives none.
// QXmlStreamReader never fetches external entities or DTDs, and caps the
// expansion of internal ones.
std::optional<QHash<QString, QString>> parseInfoStrings(const QByteArray& data);

} // namespace ZunoInstaller
