#include "copy/StringTable.h"

#include "platform/RegularFile.h"

#include <QStringDecoder>

#include <system_error>
#include <utility>

namespace ZunoInstaller {

namespace {

// Our tables are a few kilobytes; a file this large is not one of them.
constexpr qint64 maxTableSize = 16 * 1024 * 1024;

bool hasValidSurrogates(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return false;
    }
    return true;
}

std::optional<QString> decode(QByteArrayView data)
{
    auto encoding = QStringConverter::Utf8;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data = data.sliced(3);
    } else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        encoding = data.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        data = data.sliced(2);
        if (data.size() % 2 != 0)
            return std::nullopt;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(data);
    // The UTF-16 decoder lets unpaired surrogates through; they are invalid too.
    if (decoder.hasError() || !hasValidSurrogates(text) || text.contains(QChar(u'\0')))
        return std::nullopt;
    return text;
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isTokenChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
        || u == u'_' || u == u'.' || u == u'-' || u == u'$' || u == u':';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(const QString& text)
        : m_text(text)
    {
    }

    std::optional<QHash<QString, QString>> entries()
    {
        QHash<QString, QString> result;
        while (true) {
            if (!skipSpace())
                return std::nullopt;
            if (atEnd())
                return result;
            auto key = token();
            if (!key || !skipSpace() || !take(u'=') || !skipSpace())
                return std::nullopt;
            auto value = token();
            if (!value || !skipSpace() || !take(u';'))
                return std::nullopt;
            result.insert(std::move(*key), std::move(*value));
        }
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text.at(m_pos + ahead) : QChar();
    }
    bool take(QChar c)
    {
        if (atEnd() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }

    // Whitespace and comments; false on an unterminated block comment.
    bool skipSpace()
    {
        while (!atEnd()) {
            const QChar c = peek();
            if (isSpace(c)) {
                ++m_pos;
            } else if (c == u'/' && peek(1) == u'*') {
                const qsizetype end = m_text.indexOf(QStringLiteral("*/"), m_pos + 2);
                if (end < 0)
                    return false;
                m_pos = end + 2;
            } else if (c == u'/' && peek(1) == u'/') {
                while (!atEnd() && peek() != u'\n' && peek() != u'\r')
                    ++m_pos;
            } else {
                return true;
            }
        }
        return true;
    }

    std::optional<QString> token()
    {
        if (take(u'"'))
            return quoted();
        const qsizetype start = m_pos;
        while (!atEnd() && isTokenChar(peek()))
            ++m_pos;
        if (m_pos == start)
            return std::nullopt;
        return m_text.mid(start, m_pos - start);
    }

    // After the opening quote, up to and including the closing one.
    std::optional<QString> quoted()
    {
        QString out;
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos++);
            if (c == u'"')
                return out;
            if (c != u'\\') {
                out.append(c);
                continue;
            }
            if (atEnd())
                return std::nullopt;
            const QChar e = m_text.at(m_pos++);
            switch (e.unicode()) {
            case u'"': case u'\'': case u'\\': out.append(e); break;
            case u'n': out.append(u'\n'); break;
            case u't': out.append(u'\t'); break;
            case u'r': out.append(u'\r'); break;
            case u'u': case u'U':
                if (!unicodeEscape(out))
                    return std::nullopt;
                break;
            default:
                return std::nullopt;
            }
        }
        return std::nullopt; // unterminated
    }

    std::optional<char16_t> hex4()
    {
        if (m_text.size() - m_pos < 4)
            return std::nullopt;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(m_text.at(m_pos + i));
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        m_pos += 4;
        return static_cast<char16_t>(value);
    }

    // After "\u": four hex digits, and for a high surrogate the escape of its low half.
    bool unicodeEscape(QString& out)
    {
        const auto unit = hex4();
        if (!unit || *unit == 0 || QChar::isLowSurrogate(*unit))
            return false;
        out.append(QChar(*unit));
        if (!QChar::isHighSurrogate(*unit))
            return true;
        if (peek() != u'\\' || (peek(1) != u'u' && peek(1) != u'U'))
            return false;
        m_pos += 2;
        const auto low = hex4();
        if (!low || !QChar::isLowSurrogate(*low))
            return false;
        out.append(QChar(*low));
        return true;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

} // namespace

std::optional<StringTable> StringTable::open(const std::filesystem::path& lprojPath)
{
    std::error_code error;
    if (!std::filesystem::is_directory(lprojPath, error))
        return std::nullopt;
    // Missing, not a regular file, too large or unreadable: no entries.
    const auto data = readRegularFile(lprojPath / "Localizable.strings", maxTableSize);
    auto entries = data ? parse(*data) : std::nullopt;
    return StringTable(entries ? std::move(*entries) : QHash<QString, QString>());
}

std::optional<QHash<QString, QString>> StringTable::parse(const QByteArray& data)
{
    const auto text = decode(data);
    if (!text)
        return std::nullopt;
    return Parser(*text).entries();
}

StringTable::StringTable(QHash<QString, QString> entries)
    : m_entries(std::move(entries))
{
}

QString StringTable::localizedString(const QString& key, const QString& defaultValue) const
{
    const auto it = m_entries.constFind(key);
    if (it != m_entries.constEnd())
        return *it;
    return defaultValue.isEmpty() ? key : defaultValue;
}

} // namespace ZunoInstaller
