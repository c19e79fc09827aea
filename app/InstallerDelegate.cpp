#include "app/InstallerDelegate.h"

#include "app/InstallerWindow.h"
#include "copy/InstallerCopy.h"
#include "platform/DarkAppearance.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace ZunoInstaller {

InstallerDelegate::InstallerDelegate(QObject* parent)
    : InstallerDelegate(std::make_unique<InstallerModel>(), parent)
{
}

InstallerDelegate::InstallerDelegate(std::unique_ptr<InstallerModel> model, QObject* parent)
    : QObject(parent)
    , m_model(std::move(model))
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
    const QString title = installerCopy().text(QStringLiteral("appTitle"));
    m_window->setWindowTitle(title);
    m_window->setAccessibleName(title);

    // The observer runs on a later turn for every assigned value, in order,
    // and uses the delivered value; the current one comes first.
    m_screenObserver = connect(m_model.get(), &InstallerModel::screenChanged, this,
                               &InstallerDelegate::followScreen, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this, [this, screen = m_model->screen()] { followScreen(screen); }, Qt::QueuedConnection);

    m_window->winId(); // the native window must exist for its appearance and frame
    if (QWindow* handle = m_window->windowHandle())
        applyDarkAppearance(*handle);
    // move() places the frame, so the frame is what gets centred.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), m_window->frameSize());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    Q_EMIT launched(m_window.get());
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
        m_window->setContentHeight(static_cast<int>(std::lround(contentHeight(screen))));
}

bool InstallerDelegate::runIsGuarded() const
{
    return m_model->screen() == InstallerScreen::progress && !m_model->fixture;
}

} // namespace ZunoInstaller
