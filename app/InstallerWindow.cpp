#include "app/InstallerWindow.h"

#include "platform/DarkAppearance.h"
#include "state/InstallerModel.h"
#include "ui/InstallerView.h"

#include <QCloseEvent>

#include <cmath>

namespace ZunoInstaller {

InstallerWindow::InstallerWindow(InstallerModel& model, std::function<bool()> shouldClose, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowMinimizeButtonHint)
    , m_shouldClose(std::move(shouldClose))
{
    // The dark palette also fills the window before the content's first paint.
    setPalette(darkPalette());
    setAutoFillBackground(true);
    m_content = new InstallerView(&model, this);
    m_content->move(0, 0);
    setContentHeight(static_cast<int>(std::lround(model.contentHeight())));
}

void InstallerWindow::setContentHeight(int height)
{
    setFixedSize(contentWidth, height);
    m_content->resize(contentWidth, height);
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
