#include "StateTestSupport.h"

#include "state/HandOver.h"
#include "state/InstallRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#if defined(ZUNO_THREAD_SANITIZER)
// QtCore is not instrumented: what it reads and writes through libc (memcpy,
// realloc and the like, under its own futex-based mutexes, which TSan cannot
// see) is not checked, while its pthread-level synchronisation still counts.
// TSAN_OPTIONS given at run time come on top of this.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
#endif

namespace ZunoInstaller::Test {

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

// One GUI application for the whole run (the clipboard needs it); every run
// a test started ends before it goes away.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "state_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QGuiApplication(argc, argv);
    }
    void TearDown() override
    {
        drainRuns();
        delete m_app;
        m_app = nullptr;
    }

private:
    QGuiApplication* m_app = nullptr;
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace

TestBundle::TestBundle(const std::optional<QString>& versionValue)
{
    QString dict;
    if (versionValue)
        dict = QStringLiteral("<key>CFBundleShortVersionString</key>") + *versionValue;
    writeFile(m_dir.filePath(QStringLiteral("Contents/Info.plist")),
              (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>CFBundleName</key><string>Test</string>")
               + dict + QStringLiteral("</dict></plist>\n"))
                  .toUtf8());
    writeFile(m_dir.filePath(QStringLiteral("Contents/Resources/en.lproj/Localizable.strings")),
              "\"exit\" = \"exit\";\n");
    writeScript("exit 0\n");
}

Bundle TestBundle::bundle() const
{
    return Bundle(m_dir.path());
}

QString TestBundle::payload() const
{
    return m_dir.filePath(QStringLiteral("Contents/Resources/payload"));
}

void TestBundle::writeScript(const QByteArray& body) const
{
    writeFile(payload() + QStringLiteral("/Install.command"), "echo started >> runs.log\n" + body);
}

void TestBundle::removePayload() const
{
    ASSERT_TRUE(QDir(payload()).removeRecursively());
}

void TestBundle::openGate() const
{
    writeFile(payload() + QStringLiteral("/gate"), "");
}

QByteArray TestBundle::readPayloadFile(const QString& name) const
{
    QFile file(payload() + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TestHome::TestHome() = default;

std::filesystem::path TestHome::home() const
{
    return std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString());
}

std::filesystem::path TestHome::tool() const
{
    return home() / "Applications/Codex.app/Contents/Resources/codex-cli/bin/codex";
}

void TestHome::installCodex() const
{
    const QString path = QFile::decodeName(tool().c_str());
    writeFile(path, "#!/bin/sh\necho codex-cli 0.0.0-test\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestHome::removeCodex() const
{
    std::filesystem::remove_all(home() / "Applications");
}

QByteArray successLines(const QByteArray& version)
{
    return "printf '%s\\n' '{\"event\":\"progress\",\"stage\":\"validated\"}'\n"
           "printf '%s\\n' '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
           "printf '%s\\n' '{\"event\":\"progress\",\"stage\":\"checking\"}'\n"
           "printf '%s\\n' '{\"event\":\"complete\",\"version\":\""
        + version + "\"}'\n";
}

QString text(InstallerScreen screen)
{
    return rawValue(screen);
}

QString text(std::optional<InstallStage> stage)
{
    return stage ? QString::fromLatin1(rawValue(*stage).data(), qsizetype(rawValue(*stage).size()))
                 : QStringLiteral("none");
}

Recorder::Recorder(InstallerModel& model)
{
    auto* m = &model;
    QObject::connect(m, &InstallerModel::screenChanged, &m_context, [this](InstallerScreen value) {
        events << QStringLiteral("screen=") + text(value);
    });
    QObject::connect(m, &InstallerModel::stageChanged, &m_context, [this](std::optional<InstallStage> value) {
        events << QStringLiteral("stage=") + text(value);
    });
    QObject::connect(m, &InstallerModel::detailChanged, &m_context,
                     [this](const QString& value) { events << QStringLiteral("detail=") + value; });
    QObject::connect(m, &InstallerModel::copiedChanged, &m_context, [this](bool value) {
        events << QStringLiteral("copied=") + (value ? QStringLiteral("true") : QStringLiteral("false"));
    });
    QObject::connect(m, &InstallerModel::failureCodeChanged, &m_context,
                     [this](const QString& value) { events << QStringLiteral("failureCode=") + value; });
    QObject::connect(
        m, &InstallerModel::changed, &m_context,
        [this, m] {
            events << QStringLiteral("changed");
            if (QThread::currentThread() != m->thread())
                ++offThread;
        },
        Qt::DirectConnection);
}

bool waitUntil(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 60000);
}

bool waitForCompletion(const InstallerModel& model)
{
    return waitUntil([&] { return model.screen() != InstallerScreen::progress; });
}

void drainRuns()
{
    InstallRun::waitForRuns();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ZunoInstaller::Test
