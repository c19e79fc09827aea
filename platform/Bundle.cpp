#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#include <vector>
#endif

namespace ZunoInstaller {

namespace {

// An Info.plist is a few kilobytes; anything this large is not one of ours.
constexpr qint64 maxInfoPlistSize = 4 * 1024 * 1024;

bool isPlistValue(QStringView name)
{
    return name == u"string" || name == u"integer" || name == u"real" || name == u"true"
        || name == u"false" || name == u"date" || name == u"data" || name == u"array"
        || name == u"dict";
}

// The text of a <string> element. An entity the reader could not resolve
// (an external one: nothing is ever fetched) makes the value unreadable
// rather than silently empty.
std::optional<QString> readString(QXmlStreamReader& xml)
{
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters: text += xml.text(); break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction: break;
        case QXmlStreamReader::EndElement: return text;
        default: return std::nullopt; // markup or an unresolved entity
        }
    }
    return std::nullopt;
}

// The string values of the top-level dictionary of an XML property list.
// Values of other types are skipped; a document that is not well-formed, or
// whose shape is not <plist><dict>key/value pairs</dict></plist>, gives none.
// QXmlStreamReader never fetches external entities or DTDs, and caps the
// expansion of internal ones.
std::optional<QHash<QString, QString>> readInfoStrings(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    // The reader drops references to external entities without a word; a
    // value with a silently missing piece is no value, so refuse them.
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        if (xml.tokenType() != QXmlStreamReader::DTD)
            continue;
        const auto entities = xml.entityDeclarations();
        for (const auto& entity : entities) {
            if (!entity.systemId().isEmpty() || !entity.publicId().isEmpty())
                return std::nullopt;
        }
    }
    if (xml.hasError() || xml.tokenType() != QXmlStreamReader::StartElement || xml.name() != u"plist")
        return std::nullopt;
    if (!xml.readNextStartElement() || xml.name() != u"dict")
        return std::nullopt;

    QHash<QString, QString> strings;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"key")
            return std::nullopt;
        const QString key = xml.readElementText();
        if (xml.hasError() || !xml.readNextStartElement())
            return std::nullopt; // a key without a value
        if (xml.name() == u"string") {
            auto value = readString(xml);
            if (!value)
                return std::nullopt;
            strings.insert(key, *value); // a repeated key: the last one counts
        } else if (isPlistValue(xml.name())) {
            strings.remove(key);
            xml.skipCurrentElement();
        } else {
            return std::nullopt;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    if (xml.readNextStartElement())
        return std::nullopt; // a second top-level value
    while (!xml.atEnd())
        xml.readNext(); // the rest must still be well-formed
    if (xml.hasError())
        return std::nullopt;
    return strings;
}

std::optional<QHash<QString, QString>> readInfoPlist(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxInfoPlistSize)
        return std::nullopt;
    const QByteArray data = file.read(maxInfoPlistSize + 1);
    if (data.size() > maxInfoPlistSize)
        return std::nullopt;
    return readInfoStrings(data);
}

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
#if defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0)
        return QFileInfo(QFileInfo(QString::fromUtf8(buffer.data())).canonicalFilePath()).absolutePath();
#else
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!exe.isEmpty())
        return QFileInfo(exe).absolutePath();
#endif
    return QDir::currentPath();
}

} // namespace

Bundle::Bundle(const QString& bundlePath)
    : m_path(bundlePath)
    , m_info(std::make_shared<InfoCache>())
{
}

Bundle Bundle::main()
{
    // The executable lives in <bundle>/Contents/MacOS.
    return Bundle(QDir::cleanPath(executableDirectory() + QStringLiteral("/../..")));
}

std::optional<QString> Bundle::infoString(const QString& key) const
{
    std::call_once(m_info->once, [this] {
        m_info->strings = readInfoPlist(QDir(m_path).filePath(QStringLiteral("Contents/Info.plist")));
    });
    if (!m_info->strings)
        return std::nullopt;
    const auto it = m_info->strings->constFind(key);
    if (it == m_info->strings->constEnd())
        return std::nullopt;
    return *it;
}

QString Bundle::resourcePath() const
{
    return QDir(m_path).filePath(QStringLiteral("Contents/Resources"));
}

std::optional<QString> Bundle::pathForResource(const QString& name, const QString& type) const
{
    // A resource is a direct child of the resource directory, never a path.
    if (name.isEmpty() || name.contains(u'/') || type.contains(u'/'))
        return std::nullopt;
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    if (fileName == u"." || fileName == u"..")
        return std::nullopt;
    const QString path = QDir(resourcePath()).filePath(fileName);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

} // namespace ZunoInstaller
