#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <filesystem>
#include <optional>

namespace ZunoInstaller {

// One language folder's default string table (Localizable.strings), read once.
// A folder whose table is missing, not a regular file, or cannot be parsed
// opens with no entries.
//
// The accepted format, a strict subset of Apple's strings files:
// - encoding: UTF-8, with or without a byte order mark; UTF-16 only with a
//   byte order mark. Invalid encoding or a raw NUL makes the table unparseable.
// - entries: `key = value;`, any number, separated by ASCII whitespace and
//   comments (`/* ... */`, not nested, and `// ...` to the end of the line).
// - key and value: a quoted string, or an unquoted token of ASCII letters,
//   digits and `_ . - $ :`.
// - escapes in quoted strings: \" \' \\ \n \t \r, and \uXXXX or \UXXXX with
//   exactly four hex digits (a surrogate pair as two escapes). Raw line breaks
//   are kept. Any other escape, \u0000 or a lone surrogate is an error.
// - a repeated key: the last entry counts.
// Anything else (a missing '=' or ';', an unterminated string or comment,
// stray characters) makes the whole table unparseable.
class StringTable {
public:
    // none when the folder does not exist.
    static std::optional<StringTable> open(const std::filesystem::path& lprojPath);
    // none when the data is not a valid table.
    static std::optional<QHash<QString, QString>> parse(const QByteArray& data);

    explicit StringTable(QHash<QString, QString> entries = {});

    // The entry for key; when absent, defaultValue, or the key itself when
    // defaultValue is empty.
    QString localizedString(const QString& key, const QString& defaultValue) const;
    bool contains(const QString& key) const { return m_entries.contains(key); }
    const QHash<QString, QString>& entries() const { return m_entries; }

private:
    QHash<QString, QString> m_entries;
};

} // namespace ZunoInstaller
