// Feeds arbitrary bytes to the string table parser. Whatever it accepts must
// come back unchanged when its entries are written out again as a table.

#include "copy/StringTable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace ZunoInstaller;

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto entries = StringTable::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!entries)
        return 0;
    QString table;
    for (auto it = entries->cbegin(); it != entries->cend(); ++it)
        table += quoted(it.key()) + QStringLiteral(" = ") + quoted(it.value()) + QStringLiteral(";\n");
    const auto again = StringTable::parse(table.toUtf8());
    if (!again || *again != *entries) {
        std::fprintf(stderr, "invariant broken: the parsed entries do not survive being written out\n");
        std::abort();
    }
    return 0;
}
