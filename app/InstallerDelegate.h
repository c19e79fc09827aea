#pragma once

#include "state/InstallerModel.h"

#include <QObject>

#include <memory>

class QCoreApplication;

namespace ZunoInstaller {

class InstallerWindow;

// Owns the model and the window. Builds the window once the event loop runs,
// keeps its height in step with the screen, and refuses closing the window
// and quitting the application while an install is running.
class InstallerDelegate : public QObject {
    Q_OBJECT
public:
    // The model of the running application: its bundle and the user's home.
    explicit InstallerDelegate(QObject* parent = nullptr);
    explicit InstallerDelegate(std::unique_ptr<InstallerModel> model, QObject* parent = nullptr);
    ~InstallerDelegate() override;

    InstallerModel& model() const { return *m_model; }
    InstallerWindow* window() const { return m_window.get(); }

    // Becomes the application's delegate: watches its quit requests, lets the
    // last closed window end it, and launches on the loop's first turn.
    void attach(QCoreApplication& application);

    // Builds, centres and shows the window; subscribes to the model's screen.
    void applicationDidFinishLaunching();
    bool windowShouldClose() const;
    bool applicationShouldTerminate() const;
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

Q_SIGNALS:
    // The window has been built and shown.
    void launched(ZunoInstaller::InstallerWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followScreen(InstallerScreen screen);
    bool runIsGuarded() const;

    std::unique_ptr<InstallerModel> m_model;
    std::unique_ptr<InstallerWindow> m_window;
    QMetaObject::Connection m_screenObserver;
};

} // namespace ZunoInstaller
