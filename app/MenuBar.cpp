#include "app/MenuBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace ZunoInstaller {

namespace {

void useAsShortcut(QAction& action, const QKeySequence& keys)
{
    action.setShortcut(keys);
#ifndef Q_OS_MACOS
    // Without a global menu bar the hidden bar's entries belong to no window;
    // an application-wide context keeps their keys working in the installer window.
    action.setShortcutContext(Qt::ApplicationShortcut);
#endif
}

} // namespace

MenuBar::MenuBar(const InstallerCopy& copy)
    : m_bar(std::make_unique<QMenuBar>())
{
    // Qt::CTRL is the Command key on macOS.
    m_applicationMenu = m_bar->addMenu(QString());
    m_quit = m_applicationMenu->addAction(copy.text(QStringLiteral("quit")));
    m_quit->setMenuRole(QAction::QuitRole);
    useAsShortcut(*m_quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Quitting goes through QEvent::Quit, which the delegate may refuse.
    QObject::connect(m_quit, &QAction::triggered, qApp, &QCoreApplication::quit);

    m_editMenu = m_bar->addMenu(copy.text(QStringLiteral("edit")));
    m_copy = m_editMenu->addAction(copy.text(QStringLiteral("copy")));
    m_copy->setMenuRole(QAction::NoRole);
    useAsShortcut(*m_copy, QKeySequence(Qt::CTRL | Qt::Key_C));
    QObject::connect(m_copy, &QAction::triggered, m_copy, &MenuBar::copyFromFocus);
}

MenuBar::~MenuBar() = default;

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
