#include "state/InstallerModel.h"

#include "platform/StartupTrace.h"

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

double InstallerModel::contentHeight() const
{
    return m_screen == InstallerScreen::complete ? 407.0 : 374.0;
}

void InstallerModel::checkPrerequisite()
{
    if (fixture)
        return;
    m_codex = findCodexDesktop(m_home);
    setScreen(m_codex ? InstallerScreen::ready : InstallerScreen::prerequisite);
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
