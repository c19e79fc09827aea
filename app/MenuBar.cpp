#include "app/MenuBar.h"

#include "platform/ApplicationMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTranslator>

namespace ZunoInstaller {

namespace {

// Qt's Cocoa menu bar titles the entry it merges a QuitRole action into with
// its translation of "Quit %1" (context "QMenuBar", else "MAC_APPLICATION_MENU")
// and fills %1 with the application name, CFBundleName, every time it updates
// the menu bar; a translation without %1 makes QString::arg() warn each time.
// So the table's text goes to Qt with the application name in it turned back
// into %1. Where the text does not hold the name (a bundle name of another
// language, texts shown as their keys) it goes as it is: the same on screen,
// with Qt's warning.
//
// Qt 6.3 to 6.5.0 also add their own Dictation and Emoji entries to a menu
// whose title equals the translation of "Edit" in the context "QCocoaMenu";
// answering that with a text no title can have leaves the Edit menu to AppKit,
// whose additions are turned off (withholdSystemEditEntries). Qt 6.5.1 and
// later add nothing and no longer look that text up.
class MenuTranslator : public QTranslator {
public:
    explicit MenuTranslator(QString quit)
        : m_quit(std::move(quit))
    {
    }

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(sourceText, "Quit %1") == 0
            && (qstrcmp(context, "QMenuBar") == 0 || qstrcmp(context, "MAC_APPLICATION_MENU") == 0))
            return MenuBar::quitTitleForQt(m_quit, QCoreApplication::applicationName());
        if (qstrcmp(context, "QCocoaMenu") == 0 && qstrcmp(sourceText, "Edit") == 0)
            return QString(QChar(u'\uFFFF')); // a noncharacter: never a menu title
        return QString();
    }

private:
    QString m_quit;
};

} // namespace

MenuBar::MenuBar(const InstallerCopy& copy)
    : m_translator(std::make_unique<MenuTranslator>(copy.text(QStringLiteral("quit"))))
    , m_applicationMenu(std::make_unique<QMenu>())
    , m_editMenu(std::make_unique<QMenu>(copy.text(QStringLiteral("edit"))))
{
    // Installed before the quit action exists, so that Qt's first title is ours.
    QCoreApplication::installTranslator(m_translator.get());

    // Qt::CTRL is the Command key on macOS.
    m_quit = m_applicationMenu->addAction(copy.text(QStringLiteral("quit")));
    m_quit->setMenuRole(QAction::QuitRole);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Quitting goes through QEvent::Quit, which the delegate may refuse.
    QObject::connect(m_quit, &QAction::triggered, qApp, &QCoreApplication::quit);

    m_copy = m_editMenu->addAction(copy.text(QStringLiteral("copy")));
    m_copy->setMenuRole(QAction::NoRole);
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QObject::connect(m_copy, &QAction::triggered, m_copy, &MenuBar::copyFromFocus);

#ifdef Q_OS_MACOS
    withholdSystemEditEntries();
    m_bar = std::make_unique<QMenuBar>();
    m_bar->addMenu(m_applicationMenu.get());
    m_bar->addMenu(m_editMenu.get());
#endif
}

MenuBar::~MenuBar() = default;

QString MenuBar::quitTitleForQt(const QString& quitText, const QString& applicationName)
{
    // With no other '%' in the text, %1 is the only place arg() fills.
    const qsizetype at = applicationName.isEmpty() || quitText.contains(u'%') ? -1 : quitText.indexOf(applicationName);
    if (at < 0)
        return quitText;
    return QString(quitText).replace(at, applicationName.size(), QStringLiteral("%1"));
}

void MenuBar::attach(QWidget& window) const
{
#ifdef Q_OS_MACOS
    Q_UNUSED(window); // the global menu bar already handles the key equivalents
    keepOnlyQuitInApplicationMenu();
#else
    // A shortcut only fires for an action that belongs to a visible widget of
    // the active window; the hidden bar's menus never are.
    window.addAction(m_quit);
    window.addAction(m_copy);
#endif
}

void MenuBar::copyFromFocus()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr)
        return;
    if (const auto* label = qobject_cast<QLabel*>(focus)) {
        if (label->hasSelectedText())
            QGuiApplication::clipboard()->setText(label->selectedText());
        return;
    }
    if (focus->metaObject()->indexOfMethod("copy()") >= 0)
        QMetaObject::invokeMethod(focus, "copy");
}

} // namespace ZunoInstaller
