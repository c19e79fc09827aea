#include "copy/VersionCaption.h"

namespace ZunoInstaller {

QString formatVersionCaption(const QString& format, const QString& version)
{
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
            out.append(version);
            ++placeholders;
            i += 1;
        } else if (rest.startsWith(u"1$@")) {
            out.append(version);
            ++placeholders;
            i += 3;
        } else {
            return format; // a directive we do not format
        }
    }
    return placeholders == 1 ? out : format;
}

} // namespace ZunoInstaller
