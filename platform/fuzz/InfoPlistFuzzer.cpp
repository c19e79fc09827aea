// Feeds arbitrary bytes to the Info.plist reader. Whatever strings it accepts
// must come back unchanged from a plain property list that holds just them.

#include "platform/InfoPlist.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace ZunoInstaller;

// Markup characters and every control character as references: raw, a
// carriage return would be read back as a line feed.
QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'&' || c == u'<' || c == u'>' || c.unicode() < 0x20)
            out += QStringLiteral("&#%1;").arg(c.unicode());
        else
            out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto strings = parseInfoStrings(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!strings)
        return 0;
    QString plist = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n");
    for (auto it = strings->cbegin(); it != strings->cend(); ++it)
        plist += QStringLiteral("<key>%1</key><string>%2</string>\n").arg(escaped(it.key()), escaped(it.value()));
    plist += QStringLiteral("</dict></plist>\n");
    const auto again = parseInfoStrings(plist.toUtf8());
    if (!again || *again != *strings) {
        std::fprintf(stderr, "invariant broken: the parsed strings do not survive being written out\n");
        std::abort();
    }
    return 0;
}
