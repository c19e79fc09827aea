#include "app/InstallerDelegate.h"

#include "app/InstallerWindow.h"
#include "platform/DarkAppearance.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWindow>

namespace ZunoInstaller {

InstallerDelegate::InstallerDelegate(QObject* parent)
    : InstallerDelegate(std::make_unique<InstallerModel>(), std::nullopt, parent)
{
}

InstallerDelegate::InstallerDelegate(std::unique_ptr<InstallerModel> model, std::optional<InstallerCopy> copy,
                                     QObject* parent)
    : QObject(parent)
    , m_model(std::move(model))
    , m_copy(std::move(copy))
{
}

InstallerDelegate::~InstallerDelegate()
{
    QObject::disconnect(m_screenObserver);
}

void InstallerDelegate::attach(QCoreApplication& application)
{
    application.installEventFilter(this);
    QGuiApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    QMetaObject::invokeMethod(this, &InstallerDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
}

void InstallerDelegate::applicationDidFinishLaunching()
{
    QObject::disconnect(m_screenObserver);
    m_window = std::make_unique<InstallerWindow>(*m_model, [this] { return windowShouldClose(); });
    const QString title = text(QStringLiteral("appTitle"));
    m_window->setWindowTitle(title);
    m_window->setAccessibleName(title);

    // The observer runs on a later turn for every assigned value, in order,
    // and uses the delivered value; the current one comes first.
    m_screenObserver = connect(m_model.get(), &InstallerModel::screenChanged, this,
                               &InstallerDelegate::followScreen, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this, [this, screen = m_model->screen()] { followScreen(screen); }, Qt::QueuedConnection);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->winId(); // the native window must exist for its appearance
    if (QWindow* handle = m_window->windowHandle())
        applyDarkAppearance(*handle);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool InstallerDelegate::windowShouldClose() const
{
    return !runIsGuarded();
}

bool InstallerDelegate::applicationShouldTerminate() const
{
    return !runIsGuarded();
}

bool InstallerDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // Every quit (the menu entry, its key, done, the platform's own request and
    // the last window closing) reaches the application as QEvent::Quit, which
    // is refused by ignoring it.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !applicationShouldTerminate()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void InstallerDelegate::followScreen(InstallerScreen screen)
{
    if (m_window)
        m_window->setContentHeight(contentHeight(screen));
}

bool InstallerDelegate::runIsGuarded() const
{
    return m_model->screen() == InstallerScreen::progress && !m_model->fixture;
}

QString InstallerDelegate::text(const QString& key) const
{
    return m_copy ? m_copy->text(key) : installerCopy().text(key);
}

} // namespace ZunoInstaller
