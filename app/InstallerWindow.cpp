#include "app/InstallerWindow.h"

#include "platform/DarkAppearance.h"
#include "state/InstallerModel.h"
#include "ui/InstallerView.h"

#include <QAccessibleWidget>
#include <QCloseEvent>

#include <cmath>
#include <mutex>

namespace ZunoInstaller {

namespace {
// A plain top-level widget reads as an unnamed container; this one is the frame.
QAccessibleInterface* accessibleWindow(const QString&, QObject* object)
{
    if (auto* window = qobject_cast<InstallerWindow*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}
} // namespace

InstallerWindow::InstallerWindow(InstallerModel& model, std::function<bool()> shouldClose, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowMinimizeButtonHint)
    , m_shouldClose(std::move(shouldClose))
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&accessibleWindow); });
    // The dark palette also fills the window before the content's first paint.
    setPalette(darkPalette());
    setAutoFillBackground(true);
    m_content = new InstallerView(&model, this);
    m_content->move(0, 0);
    setContentHeight(static_cast<int>(std::lround(model.contentHeight())));
}

void InstallerWindow::setContentHeight(int height)
{
    // A resize keeps the top-left corner where Qt is concerned; this window
    // keeps its bottom-left corner instead, so it grows and shrinks at the top.
    // Before it is first shown it has no place of its own yet.
    const bool placed = isVisible() && height != this->height();
    const QPoint bottomLeft = geometry().bottomLeft();
    setFixedSize(contentWidth, height);
    m_content->resize(contentWidth, height);
    if (placed)
        setGeometry(QRect(bottomLeft - QPoint(0, height - 1), QSize(contentWidth, height)));
}

void InstallerWindow::closeEvent(QCloseEvent* event)
{
    if (m_shouldClose && !m_shouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace ZunoInstaller
