#pragma once

#include <QWidget>

#include <functional>

namespace ZunoInstaller {

class InstallerModel;

// The installer's one window: titled, closable and minimizable, never
// resizable by the user. Its whole client area is the content, an
// InstallerView placed without a layout so that only setContentHeight()
// changes the window's size.
class InstallerWindow : public QWidget {
    Q_OBJECT
public:
    // shouldClose answers each close request; false leaves the window as it is.
    InstallerWindow(InstallerModel& model, std::function<bool()> shouldClose, QWidget* parent = nullptr);

    // Gives the content area contentWidth x height at once.
    void setContentHeight(int height);
    QWidget* content() const { return m_content; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* m_content = nullptr;
    std::function<bool()> m_shouldClose;
};

} // namespace ZunoInstaller
