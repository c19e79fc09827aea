#pragma once

#include "copy/InstallerCopy.h"

#include <QList>

#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QTranslator;
class QWidget;

namespace ZunoInstaller {

// The main menu: an untitled application menu holding "quit" and the Edit menu
// holding "copy". On macOS the two menus fill a parentless QMenuBar, which is
// the global menu bar; Qt moves the quit entry into its own application menu
// and titles it "Quit %1" through the translators, so the menu bar answers
// that text with "quit" for as long as it exists (see quitTitleForQt()), and
// keeps Qt from adding entries to the Edit menu. Elsewhere no bar is shown,
// so the window content keeps its exact size, and none is built (the first
// QMenuBar loads the image plugins for its overflow icon); attach() gives the
// entries' keys to the window.
class MenuBar {
public:
    explicit MenuBar(const InstallerCopy& copy);
    ~MenuBar();
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // The top-level menus in their order on the bar.
    QList<QMenu*> menus() const { return {m_applicationMenu.get(), m_editMenu.get()}; }
    QMenu* applicationMenu() const { return m_applicationMenu.get(); }
    QMenu* editMenu() const { return m_editMenu.get(); }
    QAction* quitAction() const { return m_quit; }
    QAction* copyAction() const { return m_copy; }
    QMenuBar* bar() const { return m_bar.get(); } // macOS only; null elsewhere

    // Without a global menu bar, makes the entries' keys work in window; with
    // it, leaves the quit entry alone in the application menu.
    void attach(QWidget& window) const;

    // Copies from whatever has the keyboard focus: the selection of a
    // selectable label, or the widget's own copy() (line and text edits).
    static void copyFromFocus();

    // What Qt is given for "Quit %1" so that filling %1 with applicationName
    // shows quitText: the text with the name in it as %1, else the text as it is.
    static QString quitTitleForQt(const QString& quitText, const QString& applicationName);

private:
    std::unique_ptr<QTranslator> m_translator; // declared first: outlives the menus
    std::unique_ptr<QMenu> m_applicationMenu;
    std::unique_ptr<QMenu> m_editMenu;
    QAction* m_quit = nullptr;
    QAction* m_copy = nullptr;
    std::unique_ptr<QMenuBar> m_bar; // declared last: goes before the menus it shows
};

} // namespace ZunoInstaller
