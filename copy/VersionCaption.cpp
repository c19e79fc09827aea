#include "copy/VersionCaption.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace ZunoInstaller {

namespace {

QString shownVersion(const QString& version)
{
    if (version.size() <= captionVersionLength)
        return version;
    // Whether a grapheme ends at the cut depends on the characters either
    // side of it, not on the megabytes after.
    const QString head = version.left(captionVersionLength + 1);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, head);
    graphemes.setPosition(captionVersionLength);
    const qsizetype cut = graphemes.isAtBoundary() ? captionVersionLength : graphemes.toPreviousBoundary();
    return head.left(std::max<qsizetype>(cut, 0)) + QChar(0x2026);
}

} // namespace

QString formatVersionCaption(const QString& format, const QString& version)
{
    const QString shown = shownVersion(version);
    QString out;
    int placeholders = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out.append(c);
            continue;
        }
        const QStringView rest = QStringView(format).mid(i + 1);
        if (rest.startsWith(u'%')) {
            out.append(u'%');
            i += 1;
        } else if (rest.startsWith(u'@')) {
            out.append(shown);
            ++placeholders;
            i += 1;
        } else if (rest.startsWith(u"1$@")) {
            out.append(shown);
            ++placeholders;
            i += 3;
        } else {
            return format; // a directive we do not format
        }
    }
    return placeholders == 1 ? out : format;
}

} // namespace ZunoInstaller
