#pragma once

#include "engine/InstallProtocol.h"
#include "state/InstallerModel.h"

#include <QAccessible>
#include <QObject>
#include <QPointer>

#include <optional>
#include <vector>

class QWidget;

namespace ZunoInstaller {

class InstallerView;

// Tells a screen reader what changed in the view, without moving the focus:
// each screen the model is set to (its title, then what a person needs
// first: the notice where the screen has one, else the description), and each
// stage of a run as its checklist row now reads. The window's first screen is
// not announced: the reader reads the window as it opens.
//
// Where Qt has an announcement event (6.8), that is what it sends. Before
// that, it sends what a reader already speaks unasked: a notification that
// appears in a status region. Neither ever shows, so nothing changes on
// screen; each notification stays in the accessibility tree, hidden, for a
// while after it appeared, for a reader to read it.
class ScreenAnnouncer : public QObject, public QAccessible::ActivationObserver {
    Q_OBJECT
public:
    ScreenAnnouncer(InstallerView* view, InstallerModel* model);
    ~ScreenAnnouncer() override;

    void accessibilityActiveChanged(bool active) override;

    // How many announced notifications are kept.
    static constexpr std::size_t kept = 8;

    // The one message an announcement event carries (Qt 6.8 and later).
    static QString announcementText(const QString& heading, const QString& text);

Q_SIGNALS:
    // Each announcement as it is made; text may be empty.
    void announced(const QString& heading, const QString& text);

private:
    void screenSet(InstallerScreen screen);
    void stageSet(std::optional<InstallStage> stage);
    void schedule();
    void flush();
    void moveFocusAhead(InstallerScreen screen);
    void retellOpening();
    void announce(const QString& heading, const QString& text, bool urgent);

    InstallerView* m_view;
    InstallerModel* m_model;
    InstallerScreen m_shown;
    bool m_screenPending = false;
    std::vector<int> m_rowsPending; // checklist rows whose stage came, in order
    std::optional<InstallStage> m_lastStage;
    bool m_scheduled = false;
    QWidget* m_region = nullptr;
    std::vector<QPointer<QWidget>> m_notices;
};

} // namespace ZunoInstaller
