#include "app/MenuBar.h"
#include "copy/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace ZunoInstaller;

namespace {

Bundle testBundle()
{
    return Bundle(qEnvironmentVariable("ZUNO_TEST_BUNDLE"));
}

struct MenuTexts {
    int menus;
    QString applicationTitle;
    QStringList applicationEntries;
    QString editTitle;
    QStringList editEntries;
};

QStringList entries(const QMenu& menu)
{
    QStringList titles;
    for (const QAction* action : menu.actions())
        titles << action->text();
    return titles;
}

MenuTexts read(const MenuBar& menu)
{
#ifdef Q_OS_MACOS
    EXPECT_EQ(menu.bar()->actions().size(), 2);
#endif
    return {static_cast<int>(menu.menus().size()), menu.applicationMenu()->title(), entries(*menu.applicationMenu()),
            menu.editMenu()->title(), entries(*menu.editMenu())};
}

} // namespace

TEST(MenuBar, EnglishHasTwoMenusWithOneEntryEach)
{
    const MenuBar menu(InstallerCopy({QStringLiteral("en-US")}, testBundle()));
    const MenuTexts texts = read(menu);
    EXPECT_EQ(texts.menus, 2);
    EXPECT_EQ(menu.menus().at(0), menu.applicationMenu());
    EXPECT_EQ(menu.menus().at(1), menu.editMenu());
    EXPECT_EQ(texts.applicationTitle, QString());
    EXPECT_EQ(texts.applicationEntries, QStringList{QStringLiteral("Quit Zuno Installer")});
    EXPECT_EQ(texts.editTitle, QStringLiteral("Edit"));
    EXPECT_EQ(texts.editEntries, QStringList{QStringLiteral("Copy")});
}

TEST(MenuBar, TurkishTitlesWhenTurkishComesFirst)
{
    const MenuBar menu(InstallerCopy({QStringLiteral("tr-TR"), QStringLiteral("en-US")}, testBundle()));
    const MenuTexts texts = read(menu);
    EXPECT_EQ(texts.menus, 2);
    EXPECT_EQ(texts.applicationEntries, QStringList{QStringLiteral("Zuno Yükleyici'den Çık")});
    EXPECT_EQ(texts.editTitle, QStringLiteral("Düzen"));
    EXPECT_EQ(texts.editEntries, QStringList{QStringLiteral("Kopyala")});
}

TEST(MenuBar, KeysWhenTheBundleHasNoTables)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const MenuBar menu(InstallerCopy({QStringLiteral("tr-TR")}, Bundle(empty.path())));
    const MenuTexts texts = read(menu);
    EXPECT_EQ(texts.menus, 2);
    EXPECT_EQ(texts.applicationEntries, QStringList{QStringLiteral("quit")});
    EXPECT_EQ(texts.editTitle, QStringLiteral("edit"));
    EXPECT_EQ(texts.editEntries, QStringList{QStringLiteral("copy")});
}

TEST(MenuBar, EntriesCarryTheQuitAndCopyKeys)
{
    const MenuBar menu(InstallerCopy({QStringLiteral("en")}, testBundle()));
    EXPECT_EQ(menu.quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(menu.quitAction()->menuRole(), QAction::QuitRole);
    EXPECT_EQ(menu.copyAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(menu.copyAction()->menuRole(), QAction::NoRole);
}

namespace {

// Qt's Cocoa menu bar titles the application menu's quit entry so, on every
// update of the bar: the "QMenuBar" translation of "Quit %1" where there is
// one, else the "MAC_APPLICATION_MENU" one, with %1 filled by the bundle name
// (qcocoamenuitem.mm, qcocoamenuloader.mm). On a Mac the application name is
// CFBundleName, as the language's InfoPlist.strings or Info.plist gives it.
QString quitTitleAsQtMakesIt()
{
    const QString inMenuBar = QCoreApplication::translate("QMenuBar", "Quit %1");
    const QString text =
        inMenuBar != u"Quit %1" ? inMenuBar : QCoreApplication::translate("MAC_APPLICATION_MENU", "Quit %1");
    return text.arg(QCoreApplication::applicationName());
}

// Counts QString::arg()'s complaints while it lives.
class ArgWarnings {
public:
    ArgWarnings()
    {
        s_count = 0;
        s_previous = qInstallMessageHandler(&ArgWarnings::handle);
    }
    ~ArgWarnings() { qInstallMessageHandler(s_previous); }
    int count() const { return s_count; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.startsWith(u"QString::arg"))
            ++s_count;
        else if (s_previous != nullptr)
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline int s_count = 0;
};

// The bundle name of the built bundle in one of its languages.
QString bundleName(const char* language)
{
    if (qstrcmp(language, "en") == 0)
        return testBundle().infoString(QStringLiteral("CFBundleName")).value_or(QString());
    QFile strings(QFile::decodeName(testBundle().resourcePath().c_str()) + u'/' + QString::fromLatin1(language) +
                  QStringLiteral(".lproj/InfoPlist.strings"));
    if (!strings.open(QIODevice::ReadOnly))
        return QString();
    const auto entries = StringTable::parse(strings.readAll());
    return entries ? entries->value(QStringLiteral("CFBundleName")) : QString();
}

struct NameScope {
    explicit NameScope(const QString& name) { QCoreApplication::setApplicationName(name); }
    ~NameScope() { QCoreApplication::setApplicationName(QString()); }
};

} // namespace

TEST(MenuBar, QtTitlesTheQuitEntryWithTheTableTextAndNoWarning)
{
    for (const char* language : {"en", "tr"}) {
        SCOPED_TRACE(language);
        const InstallerCopy copy({QString::fromLatin1(language)}, testBundle());
        // The menu's bold title is the window's title in the same language.
        ASSERT_EQ(bundleName(language), copy.text(QStringLiteral("appTitle")));
        const NameScope name(bundleName(language));
        const MenuBar menu(copy);
        const ArgWarnings warnings;
        EXPECT_EQ(quitTitleAsQtMakesIt(), copy.text(QStringLiteral("quit")));
        EXPECT_EQ(warnings.count(), 0);
    }
    // A text that does not hold the bundle name still shows as it is (Qt warns).
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const NameScope name(QStringLiteral("Zuno Installer"));
    const MenuBar menu(InstallerCopy({QStringLiteral("en")}, Bundle(empty.path())));
    const ArgWarnings expected;
    EXPECT_EQ(quitTitleAsQtMakesIt(), QStringLiteral("quit"));
}

TEST(MenuBar, QuitTitleForQtPutsThePlaceholderWhereTheNameIs)
{
    const QString name = QStringLiteral("Zuno Installer");
    EXPECT_EQ(MenuBar::quitTitleForQt(QStringLiteral("Quit Zuno Installer"), name), QStringLiteral("Quit %1"));
    EXPECT_EQ(MenuBar::quitTitleForQt(QStringLiteral("Zuno Installer Zuno Installer"), name),
              QStringLiteral("%1 Zuno Installer"));
    // No name, or a '%' that arg() could take for a lower placeholder: unchanged.
    for (const char* text : {"Quit", "Quit Zuno Installer %0"})
        EXPECT_EQ(MenuBar::quitTitleForQt(QString::fromLatin1(text), name), QString::fromLatin1(text)) << text;
    EXPECT_EQ(MenuBar::quitTitleForQt(QStringLiteral("Quit"), QString()), QStringLiteral("Quit"));
}

// While the menu bar exists, only the texts it means are answered.
TEST(MenuBar, AnswersQtsQuitAndEditTextsAndNothingElse)
{
    const auto translate = [](const char* context, const char* text) { return QCoreApplication::translate(context, text); };
    for (const char* language : {"en", "tr"}) {
        const MenuBar menu(InstallerCopy({QString::fromLatin1(language)}, testBundle()));
        // Qt 6.3 to 6.5.0 add Dictation and Emoji entries to the menu with this title.
        EXPECT_NE(translate("QCocoaMenu", "Edit"), menu.editMenu()->title()) << language;
        EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Hide %1"), QStringLiteral("Hide %1"));
        EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Services"), QStringLiteral("Services"));
        EXPECT_EQ(translate("QShortcut", "Quit %1"), QStringLiteral("Quit %1"));
        EXPECT_EQ(translate("QCocoaMenuBar", "Edit"), QStringLiteral("Edit"));
    }
    EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Quit %1"), QStringLiteral("Quit %1"));
    EXPECT_EQ(translate("QCocoaMenu", "Edit"), QStringLiteral("Edit"));
}

TEST(MenuBar, CopyActsOnTheFocusedWidget)
{
    const MenuBar menu(InstallerCopy({QStringLiteral("en")}, testBundle()));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* details = new QLabel(QStringLiteral("INSTALL_FAILED · exit 1 · 1.0.0"));
    details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* field = new QLineEdit(QStringLiteral("line edit text"));
    layout->addWidget(details);
    layout->addWidget(field);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QClipboard* clipboard = QGuiApplication::clipboard();

    details->setFocus();
    details->setSelection(0, 14);
    ASSERT_EQ(QApplication::focusWidget(), details);
    clipboard->setText(QStringLiteral("before"));
    menu.copyAction()->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("INSTALL_FAILED"));

    // A label without a selection copies nothing, like the platform's copy.
    details->setSelection(0, 0);
    clipboard->setText(QStringLiteral("before"));
    menu.copyAction()->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));

    field->setFocus();
    field->setSelection(5, 4);
    ASSERT_EQ(QApplication::focusWidget(), field);
    menu.copyAction()->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("edit"));

    // Nothing focused: nothing happens.
    field->clearFocus();
    clipboard->setText(QStringLiteral("kept"));
    menu.copyAction()->trigger();
    EXPECT_EQ(clipboard->text(), QStringLiteral("kept"));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
