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
// its own English "Quit %1" (%1 the bundle name), looked up in the contexts
// "QMenuBar", then "MAC_APPLICATION_MENU"; this answers that one text with
// the table's and leaves every other text to Qt.
class QuitTitleTranslator : public QTranslator {
public:
    explicit QuitTitleTranslator(QString title)
        : m_title(std::move(title))
    {
    }

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        const bool menuContext = qstrcmp(context, "QMenuBar") == 0 || qstrcmp(context, "MAC_APPLICATION_MENU") == 0;
        return menuContext && qstrcmp(sourceText, "Quit %1") == 0 ? m_title : QString();
    }

private:
    QString m_title;
};

} // namespace

MenuBar::MenuBar(const InstallerCopy& copy)
    : m_quitTitle(std::make_unique<QuitTitleTranslator>(copy.text(QStringLiteral("quit"))))
    , m_applicationMenu(std::make_unique<QMenu>())
    , m_editMenu(std::make_unique<QMenu>(copy.text(QStringLiteral("edit"))))
{
    // Installed before the quit action exists, so that Qt's first title is ours.
    QCoreApplication::installTranslator(m_quitTitle.get());

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
