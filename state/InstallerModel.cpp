#include "state/InstallerModel.h"

#include "copy/InstallerCopy.h"
#include "platform/StartupTrace.h"
#include "state/InstallRun.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <array>

namespace ZunoInstaller {

namespace {

constexpr std::array<std::pair<InstallerScreen, const char*>, 5> screenNames{{
    {InstallerScreen::ready, "ready"},
    {InstallerScreen::prerequisite, "prerequisite"},
    {InstallerScreen::progress, "progress"},
    {InstallerScreen::error, "error"},
    {InstallerScreen::complete, "complete"},
}};

// Queued connections (the delegate follows screenChanged on a later turn of
// the event loop) need the argument types registered by name as well.
void registerMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<InstallerScreen>("ZunoInstaller::InstallerScreen");
        qRegisterMetaType<std::optional<InstallStage>>("std::optional<ZunoInstaller::InstallStage>");
        return true;
    }();
    (void)registered;
}

} // namespace

QString rawValue(InstallerScreen screen)
{
    for (const auto& [value, name] : screenNames) {
        if (value == screen)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<InstallerScreen> installerScreen(const QString& rawValue)
{
    for (const auto& [value, name] : screenNames) {
        if (rawValue == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

InstallerModel::InstallerModel(const Bundle& bundle, const std::filesystem::path& home, QObject* parent)
    : QObject(parent),
      m_version(bundle.infoString(QStringLiteral("CFBundleShortVersionString")).value_or(QString(QChar(0x2014)))),
      // No resource folder, no payload: a run then fails to start.
      m_package(bundle.resourcePath().empty() ? std::filesystem::path() : bundle.resourcePath() / "payload"),
      m_home(home)
{
    markStartup("bundle and Info.plist");
    registerMetaTypes();
    markStartup("model");
    checkPrerequisite();
    markStartup("discovery");
}

double contentHeight(InstallerScreen screen)
{
    return screen == InstallerScreen::complete ? 407.0 : 374.0;
}

double InstallerModel::contentHeight() const
{
    return ZunoInstaller::contentHeight(m_screen);
}

void InstallerModel::checkPrerequisite()
{
    if (fixture)
        return;
    m_codex = findCodexDesktop(m_home);
    setScreen(m_codex ? InstallerScreen::ready : InstallerScreen::prerequisite);
}

void InstallerModel::install()
{
    if (fixture || m_screen == InstallerScreen::progress || m_running)
        return;
    checkPrerequisite();
    if (!m_codex)
        return;
    setScreen(InstallerScreen::progress);
    setStage(std::nullopt);
    setCopied(false);
    m_running = true;
    // Both handlers run on this thread, and only while the model exists.
    InstallRun::start(
        *this, {m_package, *m_codex, m_version.toStdString()}, [this](InstallStage stage) { setStage(stage); },
        [this](const InstallResult& result) { complete(result); });
}

void InstallerModel::complete(const InstallResult& result)
{
    m_running = false;
    setFailureCode(QString::fromStdString(result.code));
    setDetail(summary(result));
    switch (resultScreen(result)) {
    case ResultScreen::complete:
        setScreen(InstallerScreen::complete);
        break;
    case ResultScreen::prerequisite:
        setScreen(InstallerScreen::prerequisite);
        break;
    case ResultScreen::error:
        setScreen(InstallerScreen::error);
        break;
    }
}

QString InstallerModel::summary(const InstallResult& result) const
{
    const QString separator = QStringLiteral(" \u00B7 ");
    return QStringLiteral("Vexa Zuno ") + m_version + separator + QString::fromStdString(result.code) + separator +
           installerCopy().text(QStringLiteral("exit")) + QLatin1Char(' ') + QString::number(result.exitCode);
}

void InstallerModel::copyError()
{
    // Plain text alone, replacing whatever the clipboard held. Without a GUI
    // application there is no clipboard; the write is not examined either way.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        auto* data = new QMimeData;
        data->setText(m_detail);
        QGuiApplication::clipboard()->setMimeData(data);
    }
    setCopied(true);
}

void InstallerModel::setScreen(InstallerScreen screen)
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_screen = screen;
    Q_EMIT screenChanged(screen);
    Q_EMIT changed();
}

void InstallerModel::setStage(std::optional<InstallStage> stage)
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_stage = stage;
    Q_EMIT stageChanged(stage);
    Q_EMIT changed();
}

void InstallerModel::setDetail(const QString& detail)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QString value = detail; // detail may be m_detail itself
    m_detail = value;
    Q_EMIT detailChanged(value);
    Q_EMIT changed();
}

void InstallerModel::setCopied(bool copied)
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_copied = copied;
    Q_EMIT copiedChanged(copied);
    Q_EMIT changed();
}

void InstallerModel::setFailureCode(const QString& failureCode)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QString value = failureCode;
    m_failureCode = value;
    Q_EMIT failureCodeChanged(value);
    Q_EMIT changed();
}

} // namespace ZunoInstaller
