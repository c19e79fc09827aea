#include "app/MenuBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace ZunoInstaller {

MenuBar::MenuBar(const InstallerCopy& copy)
    : m_applicationMenu(std::make_unique<QMenu>())
    , m_editMenu(std::make_unique<QMenu>(copy.text(QStringLiteral("edit"))))
{
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
