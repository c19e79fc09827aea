#include "platform/InfoPlist.h"

#include <QXmlStreamReader>

namespace ZunoInstaller {

namespace {

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

} // namespace

std::optional<QHash<QString, QString>> parseInfoStrings(const QByteArray& data)
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

} // namespace ZunoInstaller
