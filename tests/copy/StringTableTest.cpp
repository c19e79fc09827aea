#include "copy/StringTable.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>

using namespace ZunoInstaller;

namespace {

using Entries = QHash<QString, QString>;

std::optional<Entries> parse(const char* utf8) { return StringTable::parse(QByteArray(utf8)); }

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(StringTableParse, CommentsSpacingAndTokens)
{
    const auto entries = parse("\xEF\xBB\xBF/* header\n * \"not\" = \"an entry\"; */\n"
                               "\"a\"=\"1\";// trailing comment\n"
                               "  \t\"b\"\r\n  =\n\n \"two words\"  ;\n"
                               "plain_key.v2 = token-value$:1;\n"
                               "\"c\" = \"// and /* kept */\"; /**/ // last line without newline");
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries, (Entries{{u("a"), u("1")},
                                 {u("b"), u("two words")},
                                 {u("plain_key.v2"), u("token-value$:1")},
                                 {u("c"), u("// and /* kept */")}}));
    EXPECT_EQ(parse(""), Entries());
    EXPECT_EQ(parse(" /* only */ // comments\n"), Entries());
}

TEST(StringTableParse, EscapesAndUnicode)
{
    const auto entries = parse(R"("q" = "say \"hi\" \'x\' back\\slash";)"
                               R"("ws" = "a\nb\tc\rd";)"
                               R"("u" = "\u00E7\U0131\ud83d\ude00";)"
                               "\"raw\" = \"line one\nç ı ş\";");
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->value(u("q")), u("say \"hi\" 'x' back\\slash"));
    EXPECT_EQ(entries->value(u("ws")), u("a\nb\tc\rd"));
    EXPECT_EQ(entries->value(u("u")), u("çı\xF0\x9F\x98\x80"));
    EXPECT_EQ(entries->value(u("raw")), u("line one\nç ı ş"));
}

QByteArray utf16(const QString& text, bool littleEndian)
{
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (QChar c : text) {
        const char low = char(c.unicode() & 0xFF), high = char(c.unicode() >> 8);
        out.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return out;
}

TEST(StringTableParse, Utf16WithByteOrderMark)
{
    const QString text = u("\"k\" = \"değer\";");
    EXPECT_EQ(StringTable::parse(utf16(text, true)), (Entries{{u("k"), u("değer")}}));
    EXPECT_EQ(StringTable::parse(utf16(text, false)), (Entries{{u("k"), u("değer")}}));
    EXPECT_EQ(StringTable::parse(utf16(text, true).chopped(1)), std::nullopt); // odd length
    const QString loneSurrogate = u("\"k\" = \"") + QChar(0xD800) + u("x\";");
    EXPECT_EQ(StringTable::parse(utf16(loneSurrogate, true)), std::nullopt);
    EXPECT_EQ(StringTable::parse(utf16(loneSurrogate, false)), std::nullopt);
}

TEST(StringTableParse, RepeatedKeyLastWins)
{
    EXPECT_EQ(parse("\"k\" = \"old\"; \"k\" = \"new\";"), (Entries{{u("k"), u("new")}}));
}

TEST(StringTableParse, BrokenTablesAreRejectedWhole)
{
    const char* broken[] = {
        "\"a\" = \"1\"; \"b\" = \"2\"",      // missing semicolon
        "\"a\" = \"1\"",                     // missing semicolon at the end
        "\"a\" \"1\";",                      // missing '='
        "\"a\" = ;",                         // missing value
        "= \"1\";",                          // missing key
        "\"a\";",                            // key alone
        "\"a\" = \"1\";;",                   // stray semicolon
        "\"a\" = \"unterminated;",           // unterminated string
        "\"a\" = \"1\"; /* unterminated",    // unterminated comment
        "\"a\" = \"1\"; / \"b\" = \"2\";",   // lone slash
        "\"a\" = \"1\" \"2\";",              // two values
        "\"a\" = \"\\x41\";",                // unknown escape
        "\"a\" = \"\\0\";",                  // NUL escape
        "\"a\" = \"\\u0000\";",              // NUL by code point
        "\"a\" = \"\\u12\";",                // short \u
        "\"a\" = \"\\ud83d\";",              // lone high surrogate
        "\"a\" = \"\\ude00\";",              // lone low surrogate
        "\"a\" = \"1\\",                     // escape at the end
        "key with spaces = \"1\";",          // unquoted token with spaces
        "\"a\" = caf\xC3\xA9;",              // non-ASCII unquoted token
        "\"a\" = \"\xC3\";",                 // invalid UTF-8
        "\"a\" = \"\xED\xA0\x80\";",         // UTF-8 encoded surrogate
        "\"a\" = \"1\";\xC2\xA0",            // no-break space outside a string
        "{ \"a\" = \"1\"; }",                // old-style plist dictionary
        "bplist00",                          // binary plist
    };
    for (const char* text : broken)
        EXPECT_EQ(parse(text), std::nullopt) << text;
    EXPECT_EQ(StringTable::parse(QByteArray("\"a\" = \"1\x00\";", 11)), std::nullopt); // raw NUL
}

// Every prefix of a valid table, and every single-byte corruption, parses to
// nothing or to entries of the full table; none of them crashes (run under ASan).
TEST(StringTableParse, TruncatedAndCorruptedTablesNeverCrash)
{
    const QByteArray valid = "\xEF\xBB\xBF/* c */ \"a\" = \"x\\\"y\\u00E7\";\n// note\n"
                             "b = c; \"ç\" = \"ş\\ud83d\\ude00\\n\"; \"d\"=\"\";";
    const auto full = StringTable::parse(valid);
    ASSERT_TRUE(full);
    ASSERT_EQ(full->size(), 4);
    for (qsizetype n = 0; n <= valid.size(); ++n) {
        const auto part = StringTable::parse(valid.left(n));
        if (!part)
            continue;
        for (auto it = part->cbegin(); it != part->cend(); ++it)
            EXPECT_EQ(full->value(it.key()), it.value()) << "prefix " << n;
    }
    for (qsizetype i = 0; i < valid.size(); ++i) {
        for (char c : {'"', '\\', '/', '*', ';', '=', 'u', '\0', '\xFF', '\xD8'}) {
            QByteArray corrupt = valid;
            corrupt[i] = c;
            (void)StringTable::parse(corrupt);
        }
    }
}

TEST(StringTableOpen, FolderAndFileStates)
{
    QTemporaryDir dir;
    const QString lproj = dir.filePath(QStringLiteral("tr.lproj"));
    const std::filesystem::path path(QFile::encodeName(lproj).toStdString());
    EXPECT_FALSE(StringTable::open(path)); // no folder

    QDir().mkpath(lproj);
    const auto empty = StringTable::open(path); // folder without a table
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->entries().isEmpty());

    QFile file(lproj + QStringLiteral("/Localizable.strings"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"k\" = \"v\"; \"broken\" = ");
    file.close();
    const auto broken = StringTable::open(path);
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->entries().isEmpty());

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("\"k\" = \"v\";");
    file.close();
    EXPECT_EQ(StringTable::open(path)->entries(), (Entries{{u("k"), u("v")}}));
}

TEST(StringTableLookup, DefaultsAndTheEmptyDefaultRule)
{
    const StringTable table(Entries{{u("k"), u("v")}, {u("empty"), QString()}});
    EXPECT_EQ(table.localizedString(u("k"), u("fallback")), u("v"));
    EXPECT_EQ(table.localizedString(u("empty"), u("fallback")), QString());
    EXPECT_EQ(table.localizedString(u("missing"), u("fallback")), u("fallback"));
    EXPECT_EQ(table.localizedString(u("missing"), QString()), u("missing"));
}

} // namespace
