#pragma once

#include "engine/CodexDesktop.h"
#include "engine/InstallProtocol.h"
#include "platform/Bundle.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>

namespace ZunoInstaller {

enum class InstallerScreen { ready, prerequisite, progress, error, complete };

QString rawValue(InstallerScreen screen);
std::optional<InstallerScreen> installerScreen(const QString& rawValue);

// The one observable state of the installer. Main thread only: the install run
// reaches it through queued calls.
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
    InstallerScreen m_screen = InstallerScreen::ready;
    std::optional<InstallStage> m_stage;
    QString m_detail;
    bool m_copied = false;
    QString m_failureCode = QStringLiteral("CHECK_FAILED");
    QString m_version;
    std::filesystem::path m_package;
    std::optional<std::filesystem::path> m_codex;
    std::filesystem::path m_home;
};

} // namespace ZunoInstaller
