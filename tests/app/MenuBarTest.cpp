#include "app/MenuBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
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

// Qt's Cocoa menu bar titles the application menu's quit entry from its
// translations of "Quit %1"; while the menu bar exists they give "quit".
TEST(MenuBar, AnswersQtsQuitTitleAndNothingElse)
{
    const auto translate = [](const char* context, const char* text) { return QCoreApplication::translate(context, text); };
    {
        const MenuBar menu(InstallerCopy({QStringLiteral("tr-TR")}, testBundle()));
        const QString quit = QStringLiteral("Zuno Yükleyici'den Çık");
        EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Quit %1"), quit);
        EXPECT_EQ(translate("QMenuBar", "Quit %1"), quit);
        EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Hide %1"), QStringLiteral("Hide %1"));
        EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Services"), QStringLiteral("Services"));
        EXPECT_EQ(translate("QShortcut", "Quit %1"), QStringLiteral("Quit %1"));
    }
    EXPECT_EQ(translate("MAC_APPLICATION_MENU", "Quit %1"), QStringLiteral("Quit %1"));
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
