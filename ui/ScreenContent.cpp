#include "ui/ScreenContent.h"

#include "copy/InstallerCopy.h"
#include "state/InstallerModel.h"
#include "ui/DisclosureButton.h"
#include "ui/NoticeBox.h"
#include "ui/Palette.h"
#include "ui/StepRow.h"
#include "ui/Typography.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace ZunoInstaller {

namespace {
constexpr int progressBarTop = 12;
constexpr int progressBarHeight = 6;
constexpr int detailsTop = 10;
constexpr int detailTextTop = 5;

QString text(const char* key)
{
    return installerCopy().text(QString::fromLatin1(key));
}

struct ChecklistEntry {
    const char* key;
    bool done;
};

// The rows follow from the latest stage alone, not from the stages before it.
std::array<ChecklistEntry, 3> checklist(std::optional<InstallStage> stage)
{
    const bool registered = stage == InstallStage::registered || stage == InstallStage::checking;
    const bool checking = stage == InstallStage::checking;
    return {{
        {stage ? "filesVerified" : "verifyingFiles", stage.has_value()},
        {registered ? "registered" : "waitingRegistration", registered},
        {checking ? "checkingPanel" : "waitingPanel", false},
    }};
}

QVBoxLayout* column(QWidget* widget, int top)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, top, 0, 0);
    layout->setSpacing(0);
    return layout;
}
} // namespace

ScreenContent::ScreenContent(QWidget* parent)
    : QWidget(parent)
    // Built in the order they show, top to bottom: a screen reader and the
    // Tab key take the children in the order they were made.
    , m_notice(new NoticeBox(this))
    , m_steps{new StepRow(this), new StepRow(this), new StepRow(this)}
    , m_progress(new QWidget(this))
    , m_progressBar(new QProgressBar(m_progress))
    , m_details(new QWidget(this))
    , m_disclosure(new DisclosureButton(m_details))
    , m_detail(new QLabel(m_details))
{
    QVBoxLayout* layout = column(this, 0);
    layout->addWidget(m_notice);
    for (StepRow* step : m_steps)
        layout->addWidget(step);

    // An indeterminate bar: it shows activity, not a fraction.
    m_progressBar->setRange(0, 0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedHeight(progressBarHeight);
    QPalette tint = m_progressBar->palette();
    tint.setColor(QPalette::Highlight, Palette::accent());
    m_progressBar->setPalette(tint);
    column(m_progress, progressBarTop)->addWidget(m_progressBar);
    layout->addWidget(m_progress);

    m_details->setFont(systemFont(12));
    QPalette muted = m_details->palette();
    muted.setColor(QPalette::WindowText, Palette::secondaryText());
    muted.setColor(QPalette::Text, Palette::secondaryText());
    m_details->setPalette(muted);
    QVBoxLayout* details = column(m_details, detailsTop);
    details->addWidget(m_disclosure, 0, Qt::AlignLeft);
    m_detail->setFont(systemFont(12));
    m_detail->setTextFormat(Qt::PlainText);
    m_detail->setWordWrap(true);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // QLabel takes only a click's focus; Tab must reach it too, so that the
    // details can be selected and copied without a mouse.
    m_detail->setFocusPolicy(Qt::StrongFocus);
    m_detail->setContentsMargins(DisclosureButton::labelOffset(), detailTextTop, 0, 0);
    details->addWidget(m_detail);
    layout->addWidget(m_details);

    connect(m_disclosure, &QAbstractButton::toggled, this, &ScreenContent::detailsToggled);
}

void ScreenContent::refresh(const InstallerModel& model, bool detailsOpen)
{
    const InstallerScreen screen = model.screen();

    switch (screen) {
    case InstallerScreen::ready:
        m_notice->setNotice(text("readyNotice"), false);
        break;
    case InstallerScreen::prerequisite:
        m_notice->setNotice(text("prerequisiteNotice"), true);
        break;
    case InstallerScreen::error:
        m_notice->setNotice(text("errorNotice"), true);
        break;
    default:
        m_notice->hide();
        break;
    }

    if (screen == InstallerScreen::progress) {
        const auto entries = checklist(model.stage());
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            const QString position = QString::number(i + 1);
            m_steps[i]->setStep(text(entries[i].key), entries[i].done ? QStringLiteral("\u2713") : position);
        }
    } else if (screen == InstallerScreen::complete) {
        const std::array<const char*, 3> keys{"restartStep", "chatStep", "pinStep"};
        for (std::size_t i = 0; i < m_steps.size(); ++i)
            m_steps[i]->setStep(text(keys[i]), QString::number(i + 1));
    }
    const bool steps = screen == InstallerScreen::progress || screen == InstallerScreen::complete;
    for (StepRow* step : m_steps)
        step->setVisible(steps);

    m_progressBar->setAccessibleName(text("installing"));
    m_progress->setVisible(screen == InstallerScreen::progress);

    m_disclosure->setText(text("technicalDetails"));
    {
        // Showing the stored state is not a click; only the user's clicks report back.
        const QSignalBlocker quiet(m_disclosure);
        m_disclosure->setChecked(detailsOpen);
    }
    m_disclosure->update();
    m_detail->setText(model.detail());
    m_detail->setVisible(detailsOpen);
    m_details->setVisible(screen == InstallerScreen::error);
}

void ScreenContent::settle()
{
    // Activating a layout re-reads its children's sizes and tells the parent
    // when its own changed, so inner layouts go first. A hidden piece takes
    // no room: its layout waits until it is shown.
    for (QWidget* piece : {m_progress, m_details}) {
        if (piece->isVisibleTo(this))
            piece->layout()->activate();
    }
    layout()->activate();
}

} // namespace ZunoInstaller
