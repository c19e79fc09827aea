#pragma once

#include "engine/CodexDesktop.h"
#include "engine/InstallProtocol.h"
#include "platform/Bundle.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>

namespace ZunoInstaller {

enum class InstallerScreen { ready, prerequisite, progress, error, complete };

QString rawValue(InstallerScreen screen);
std::optional<InstallerScreen> installerScreen(const QString& rawValue);

// The window content's measures in points, the same for the view and the
// window around it: one width, and a height that follows the screen.
inline constexpr int contentWidth = 667;
double contentHeight(InstallerScreen screen);

// The one observable state of the installer. Main thread only: the install run
// works on a pool thread and reaches the model through queued calls.
//
// Every assignment to a published field (screen, stage, detail, copied,
// failureCode) notifies, also when the value does not change: the value is
// stored, then the field's signal carries the new value, then changed() is
// emitted. Storing first lets a slot on either signal read a consistent model.
class InstallerModel : public QObject {
    Q_OBJECT
public:
    explicit InstallerModel(const Bundle& bundle = Bundle::main(),
                            const std::filesystem::path& home = currentUserHome(), QObject* parent = nullptr);

    InstallerScreen screen() const { return m_screen; }
    std::optional<InstallStage> stage() const { return m_stage; }
    QString detail() const { return m_detail; }
    bool copied() const { return m_copied; }
    QString failureCode() const { return m_failureCode; }
    QString version() const { return m_version; }
    std::filesystem::path package() const { return m_package; }
    std::optional<std::filesystem::path> codex() const { return m_codex; }
    double contentHeight() const;

    // Freezes checkPrerequisite() and install(); nothing in the application sets it.
    bool fixture = false;

    void checkPrerequisite();
    void install();
    void copyError();

    // Published fields are settable, as previews and screenshots need.
    void setScreen(InstallerScreen screen);
    void setStage(std::optional<InstallStage> stage);
    void setDetail(const QString& detail);
    void setCopied(bool copied);
    void setFailureCode(const QString& failureCode);

Q_SIGNALS:
    void changed(); // after every assignment to a published field
    void screenChanged(ZunoInstaller::InstallerScreen screen);
    void stageChanged(std::optional<ZunoInstaller::InstallStage> stage);
    void detailChanged(const QString& detail);
    void copiedChanged(bool copied);
    void failureCodeChanged(const QString& failureCode);

private:
    void complete(const InstallResult& result); // a run's end, on the main thread
    QString summary(const InstallResult& result) const;

    InstallerScreen m_screen = InstallerScreen::ready;
    std::optional<InstallStage> m_stage;
    QString m_detail;
    bool m_copied = false;
    QString m_failureCode = QStringLiteral("CHECK_FAILED");
    QString m_version;
    std::filesystem::path m_package;
    std::optional<std::filesystem::path> m_codex;
    std::filesystem::path m_home;
    // True from a run's start until its completion has been applied. The
    // progress screen is the guard the user sees; this one also holds when a
    // caller moves the screen away from progress by hand during a run.
    bool m_running = false;
};

} // namespace ZunoInstaller

Q_DECLARE_METATYPE(ZunoInstaller::InstallerScreen)
Q_DECLARE_METATYPE(std::optional<ZunoInstaller::InstallStage>)
