#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace ZunoInstaller {

// One language folder's default string table (Localizable.strings), read once.
// A folder whose table is missing or cannot be parsed opens with no entries.
class StringTable {
public:
    // none when the folder does not exist.
    static std::optional<StringTable> open(const QString& lprojPath);
    // Parses Apple's strings-file format; none when the data is not a valid table.
    static std::optional<QHash<QString, QString>> parse(const QByteArray& utf8);

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
