#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QProgressBar;

namespace ZunoInstaller {

class DisclosureButton;
class InstallerModel;
class NoticeBox;
class StepRow;

// The middle of the window, between the description and the footer: a notice,
// the progress checklist with its bar, the error's technical details, or the
// closing steps. Every piece is built once and shown or hidden per screen.
class ScreenContent : public QWidget {
    Q_OBJECT
public:
    explicit ScreenContent(QWidget* parent = nullptr);

    void refresh(const InstallerModel& model, bool detailsOpen);
    // Lays the pieces out now, innermost first, instead of on later turns of
    // the event loop: the view is then right for a grab or a test at once.
    void settle();

    NoticeBox* notice() const { return m_notice; }
    const std::array<StepRow*, 3>& steps() const { return m_steps; }
    QProgressBar* progressBar() const { return m_progressBar; }
    DisclosureButton* disclosure() const { return m_disclosure; }
    QLabel* detail() const { return m_detail; }

Q_SIGNALS:
    // The user opened or closed the technical details.
    void detailsToggled(bool open);

private:
    NoticeBox* m_notice;
    std::array<StepRow*, 3> m_steps;
    QWidget* m_progress;
    QProgressBar* m_progressBar;
    QWidget* m_details;
    DisclosureButton* m_disclosure;
    QLabel* m_detail;
};

} // namespace ZunoInstaller
