#pragma once

#include "copy/InstallerCopy.h"

#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace ZunoInstaller {

// The main menu: an untitled application menu holding "quit" and the Edit menu
// holding "copy". The bar has no parent, which makes it the global menu bar on
// macOS. Elsewhere it is not shown, so the window content keeps its exact size;
// attach() gives its two entries' keys to the window instead.
class MenuBar {
public:
    explicit MenuBar(const InstallerCopy& copy);
    ~MenuBar();
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    QMenuBar* bar() const { return m_bar.get(); }
    QMenu* applicationMenu() const { return m_applicationMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QAction* quitAction() const { return m_quit; }
    QAction* copyAction() const { return m_copy; }

    // Without a global menu bar, makes the entries' keys work in window.
    void attach(QWidget& window) const;

    // Copies from whatever has the keyboard focus: the selection of a
    // selectable label, or the widget's own copy() (line and text edits).
    static void copyFromFocus();

private:
    std::unique_ptr<QMenuBar> m_bar;
    QMenu* m_applicationMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_copy = nullptr;
};

} // namespace ZunoInstaller
