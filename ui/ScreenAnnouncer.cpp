#include "ui/ScreenAnnouncer.h"

#include "ui/ActionButton.h"
#include "ui/Footer.h"
#include "ui/HeaderRow.h"
#include "ui/InstallerView.h"
#include "ui/LinkButton.h"
#include "ui/NoticeBox.h"
#include "ui/ScreenContent.h"
#include "ui/StepRow.h"
#include "ui/TextBlock.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QWidget>

#include <mutex>
#include <utility>

namespace ZunoInstaller {

namespace {

// The checklist row that a stage fills in.
int rowOf(InstallStage stage)
{
    switch (stage) {
    case InstallStage::validated:
        return 0;
    case InstallStage::registered:
        return 1;
    case InstallStage::checking:
        return 2;
    }
    return 0;
}

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// A widget that is never shown and exists only for assistive technology, in
// the role it plays there.
class Unseen : public QWidget {
public:
    Unseen(QAccessible::Role played, const QString& name, QWidget* parent) : QWidget(parent), role(played)
    {
        installFactory();
        hide();
        setAccessibleName(name);
    }

    const QAccessible::Role role;

private:
    static void installFactory()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
                if (auto* unseen = dynamic_cast<Unseen*>(object))
                    return new QAccessibleWidget(unseen, unseen->role);
                return nullptr;
            });
        });
    }
};
#endif

} // namespace

ScreenAnnouncer::ScreenAnnouncer(InstallerView* view, InstallerModel* model)
    : QObject(view), m_view(view), m_model(model), m_shown(model->screen()), m_lastStage(model->stage())
{
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // A reader speaks a notification that appears in a status region as it
    // comes, wherever the focus is, and without saying "notification".
    m_region = new Unseen(QAccessible::StatusBar, QString(), view);
#endif
    connect(model, &InstallerModel::screenChanged, this, &ScreenAnnouncer::screenSet);
    connect(model, &InstallerModel::stageChanged, this, &ScreenAnnouncer::stageSet);
    QAccessible::installActivationObserver(this);
}

ScreenAnnouncer::~ScreenAnnouncer()
{
    QAccessible::removeActivationObserver(this);
}

// On Linux the link to the accessibility bus comes up a little after the
// program starts, sometimes only once the window is already active: a reader
// then never hears the window open. Tell it again, as the window would have,
// once the link is up (the bridge tells of it before it can send anything).
void ScreenAnnouncer::accessibilityActiveChanged(bool active)
{
#ifndef Q_OS_MACOS
    if (active)
        QTimer::singleShot(0, this, &ScreenAnnouncer::retellOpening);
#else
    Q_UNUSED(active);
#endif
}

void ScreenAnnouncer::retellOpening()
{
    QWidget* window = m_view->window();
    if (!window->isActiveWindow())
        return; // its activation is still to come, and is told as usual
    QAccessible::State activated;
    activated.active = true;
    QAccessibleStateChangeEvent opened(window, activated);
    QAccessible::updateAccessibility(&opened);
    if (QWidget* focused = window->focusWidget()) {
        QAccessibleEvent focus(focused, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void ScreenAnnouncer::screenSet(InstallerScreen screen)
{
    // The model tells of the screen before the view shows it.
    if (screen != m_shown)
        moveFocusAhead(screen);
    m_shown = screen;
    // Also when the screen stays: "check again" that finds nothing says so.
    m_screenPending = true;
    schedule();
}

void ScreenAnnouncer::stageSet(std::optional<InstallStage> stage)
{
    if (stage == m_lastStage)
        return; // each stage once
    m_lastStage = stage;
    if (!stage)
        return;
    m_rowsPending.push_back(rowOf(*stage));
    schedule();
}

// On the next turn of the event loop: the view shows the model by then, and
// of several screens set in one turn (ready, then progress, when a run
// starts) only the last is announced.
void ScreenAnnouncer::schedule()
{
    if (std::exchange(m_scheduled, true))
        return;
    QTimer::singleShot(0, this, &ScreenAnnouncer::flush);
}

void ScreenAnnouncer::flush()
{
    m_scheduled = false;
    const std::vector<int> rows = std::exchange(m_rowsPending, {});
    if (std::exchange(m_screenPending, false)) {
        const NoticeBox* notice = m_view->content()->notice();
        announce(m_view->title()->text(),
                 notice->isVisibleTo(m_view) ? notice->message() : m_view->description()->text(), true);
        return;
    }
    if (m_model->screen() != InstallerScreen::progress)
        return;
    // Rows only ever fill in during a run, so each reads now as when its stage came.
    for (const int row : rows)
        announce(m_view->content()->steps()[std::size_t(row)]->text(), QString(), false);
}

// Every control but the header link belongs to a screen: a change of screen
// hides it, or gives it another meaning. Hidden with the focus on it, Qt
// passes the focus along the Tab chain, hidden control after hidden control,
// and a reader speaks each. Moved here first, once, the focus goes to what a
// keyboard user would press next: the new screen's primary action, or on the
// progress screen, which has none, the header link, where Tab would take it.
// The header link and the view itself are on every screen and keep it.
void ScreenAnnouncer::moveFocusAhead(InstallerScreen screen)
{
    QWidget* focused = m_view->window()->focusWidget();
    LinkButton* link = m_view->header()->link();
    if (!focused || focused == m_view || focused == link || !m_view->isAncestorOf(focused))
        return;
    QWidget* next = screen == InstallerScreen::progress ? static_cast<QWidget*>(link)
                                                        : static_cast<QWidget*>(m_view->footer()->primary());
    next->setFocus(Qt::OtherFocusReason);
}

// Heading and text as a reader would join them: a full stop only where the
// heading has no closing mark of its own.
QString ScreenAnnouncer::announcementText(const QString& heading, const QString& text)
{
    if (heading.isEmpty() || text.isEmpty())
        return heading + text;
    return heading + (heading.back().isLetterOrNumber() ? QStringLiteral(". ") : QStringLiteral(" ")) + text;
}

void ScreenAnnouncer::announce(const QString& heading, const QString& text, bool urgent)
{
    Q_EMIT announced(heading, text);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(m_view, announcementText(heading, text));
    event.setPoliteness(urgent ? QAccessible::AnnouncementPoliteness::Assertive
                               : QAccessible::AnnouncementPoliteness::Polite);
    QAccessible::updateAccessibility(&event);
#else
    Q_UNUSED(urgent);
    // The heading names the notification and the text is a label inside it:
    // a reader says the name, pauses, then reads the label.
    auto* notice = new Unseen(QAccessible::Notification, heading, m_region);
    if (!text.isEmpty())
        new Unseen(QAccessible::StaticText, text, notice);
    QAccessibleEvent shown(notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    m_notices.emplace_back(notice);
    while (m_notices.size() > kept) {
        delete m_notices.front();
        m_notices.erase(m_notices.begin());
    }
#endif
}

} // namespace ZunoInstaller
