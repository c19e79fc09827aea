#include "StateTestSupport.h"

#include "copy/InstallerCopy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSemaphore>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <memory>

namespace ZunoInstaller {
namespace {

using namespace Test;

QString exitText()
{
    return installerCopy().text(QStringLiteral("exit"));
}

// Built from UTF-8 bytes, independently of how the model spells the pieces.
QString summary(const char* version, const char* code, const char* status)
{
    return QString::fromUtf8(QByteArray("Vexa Zuno ") + version + " \xC2\xB7 " + code + " \xC2\xB7 ") + exitText()
        + QString::fromUtf8(QByteArray(" ") + status);
}

QByteArray event(const QByteArray& json)
{
    return "printf '%s\\n' '" + json + "'\n";
}

// A successful run that stops after its first stage until the test opens the gate.
QByteArray gatedSuccess()
{
    return event(R"({"event":"progress","stage":"validated"})") + waitForGate
        + event(R"({"event":"progress","stage":"registered"})") + event(R"({"event":"progress","stage":"checking"})")
        + event(R"({"event":"complete","version":"1.4.0"})");
}

int runsStarted(const TestBundle& bundle)
{
    return int(bundle.readPayloadFile(QStringLiteral("runs.log")).count("started"));
}

class InstallFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Codex.app", "ChatGPT.app"}) {
            if (std::filesystem::exists(std::filesystem::path("/Applications") / name))
                GTEST_SKIP() << "a Codex desktop app is installed in /Applications";
        }
        home.installCodex();
        ASSERT_FALSE(exitText().isEmpty());
    }
    void TearDown() override { drainRuns(); }

    TestBundle bundle;
    TestHome home;
};

TEST_F(InstallFlowTest, SuccessfulRunReportsEachStageBeforeItsCompletion)
{
    bundle.writeScript(successLines("1.4.0") + "printf '%s' \"$ZUNO_CODEX_BIN\" > codex.txt\n");
    InstallerModel model(bundle.bundle(), home.home());
    Recorder recorder(model);
    model.install();
    EXPECT_EQ(model.screen(), InstallerScreen::progress); // the run goes on in the background
    ASSERT_TRUE(waitForCompletion(model));

    const QString detail = summary("1.4.0", "OK", "0");
    const QStringList expected{
        QStringLiteral("screen=ready"),          QStringLiteral("changed"), // checked again first
        QStringLiteral("screen=progress"),       QStringLiteral("changed"),
        QStringLiteral("stage=none"),            QStringLiteral("changed"),
        QStringLiteral("copied=false"),          QStringLiteral("changed"),
        QStringLiteral("stage=validated"),       QStringLiteral("changed"),
        QStringLiteral("stage=registered"),      QStringLiteral("changed"),
        QStringLiteral("stage=checking"),        QStringLiteral("changed"),
        QStringLiteral("failureCode=OK"),        QStringLiteral("changed"),
        QStringLiteral("detail=") + detail,      QStringLiteral("changed"),
        QStringLiteral("screen=complete"),       QStringLiteral("changed"),
    };
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(recorder.offThread, 0);
    EXPECT_EQ(model.stage(), InstallStage::checking);
    EXPECT_EQ(model.contentHeight(), 407.0);
    // The run got the tool found in the model's own home.
    EXPECT_EQ(bundle.readPayloadFile(QStringLiteral("codex.txt")).toStdString(), home.tool().string());
}

TEST_F(InstallFlowTest, EachFailureCodeLeadsToItsScreenWithItsSummary)
{
    struct Case {
        QByteArray script;
        const char* code;
        const char* status;
        InstallerScreen screen;
        std::optional<InstallStage> stage;
    };
    const Case cases[] = {
        {event(R"({"event":"error","code":"INSTALL_FAILED"})") + "exit 3\n", "INSTALL_FAILED", "3",
         InstallerScreen::error, std::nullopt},
        {event(R"({"event":"progress","stage":"validated"})") + event(R"({"event":"error","code":"RUNTIME_UNAVAILABLE"})")
             + "exit 1\n",
         "RUNTIME_UNAVAILABLE", "1", InstallerScreen::error, InstallStage::validated},
        {successLines("1.4.1"), "CHECK_FAILED", "0", InstallerScreen::error, InstallStage::checking},
        {"exit 255\n", "CHECK_FAILED", "255", InstallerScreen::error, std::nullopt},
        {event(R"({"event":"error","code":"CODEX_MISSING"})") + "exit 4\n", "CODEX_MISSING", "4",
         InstallerScreen::prerequisite, std::nullopt},
    };
    InstallerModel model(bundle.bundle(), home.home());
    Recorder recorder(model);
    for (const Case& c : cases) { // each run starts from where the last one left the model
        SCOPED_TRACE(c.code);
        bundle.writeScript(c.script);
        model.install();
        ASSERT_EQ(model.screen(), InstallerScreen::progress);
        ASSERT_TRUE(waitForCompletion(model));
        EXPECT_EQ(model.screen(), c.screen);
        EXPECT_EQ(model.failureCode(), QString::fromLatin1(c.code));
        EXPECT_EQ(model.detail(), summary("1.4.0", c.code, c.status));
        EXPECT_EQ(model.stage(), c.stage);
        EXPECT_FALSE(model.copied());
        EXPECT_EQ(model.contentHeight(), 374.0);
    }
    // After CODEX_MISSING the tool found at the start is still known.
    EXPECT_EQ(model.codex(), home.tool());
    EXPECT_EQ(runsStarted(bundle), 5);
    EXPECT_EQ(recorder.offThread, 0);
}

TEST_F(InstallFlowTest, MissingPayloadFailsToStartWithMinusOne)
{
    TestBundle versionless(std::nullopt);
    versionless.removePayload();
    InstallerModel model(versionless.bundle(), home.home());
    Recorder recorder(model);
    model.install();
    ASSERT_TRUE(waitForCompletion(model));
    EXPECT_EQ(model.screen(), InstallerScreen::error);
    EXPECT_EQ(model.failureCode(), QStringLiteral("START_FAILED"));
    EXPECT_EQ(model.detail(), summary("\xE2\x80\x94", "START_FAILED", "-1"));
    EXPECT_FALSE(model.stage());
    EXPECT_EQ(recorder.events.filter(QStringLiteral("stage=")), QStringList{QStringLiteral("stage=none")});
}

TEST_F(InstallFlowTest, InstallDuringARunIsIgnored)
{
    bundle.writeScript(gatedSuccess());
    InstallerModel model(bundle.bundle(), home.home());
    model.install();
    ASSERT_TRUE(waitUntil([&] { return model.stage() == InstallStage::validated; }));

    Recorder recorder(model);
    model.install();
    EXPECT_TRUE(recorder.events.isEmpty());
    // Even with the screen moved away from progress by hand, the run in flight
    // keeps a second one from starting.
    model.checkPrerequisite();
    model.install();
    EXPECT_EQ(recorder.events, QStringList({QStringLiteral("screen=ready"), QStringLiteral("changed")}));

    bundle.openGate();
    ASSERT_TRUE(waitUntil([&] { return model.screen() == InstallerScreen::complete; }));
    drainRuns();
    EXPECT_EQ(runsStarted(bundle), 1);
    EXPECT_EQ(model.failureCode(), QStringLiteral("OK"));
}

TEST_F(InstallFlowTest, RetryKeepsTheLastResultUntilTheNewRunCompletes)
{
    bundle.writeScript(event(R"({"event":"progress","stage":"validated"})")
                       + event(R"({"event":"error","code":"INSTALL_FAILED"})") + "exit 3\n");
    InstallerModel model(bundle.bundle(), home.home());
    model.install();
    ASSERT_TRUE(waitForCompletion(model));
    model.copyError();
    const QString failed = summary("1.4.0", "INSTALL_FAILED", "3");
    ASSERT_EQ(model.detail(), failed);

    bundle.writeScript(gatedSuccess());
    Recorder recorder(model);
    model.install();
    EXPECT_EQ(model.screen(), InstallerScreen::progress);
    EXPECT_FALSE(model.stage());
    EXPECT_FALSE(model.copied());
    ASSERT_TRUE(waitUntil([&] { return model.stage() == InstallStage::validated; }));
    EXPECT_EQ(model.failureCode(), QStringLiteral("INSTALL_FAILED"));
    EXPECT_EQ(model.detail(), failed);

    bundle.openGate();
    ASSERT_TRUE(waitForCompletion(model));
    EXPECT_EQ(model.screen(), InstallerScreen::complete);
    EXPECT_EQ(model.failureCode(), QStringLiteral("OK"));
    EXPECT_EQ(model.detail(), summary("1.4.0", "OK", "0"));
    EXPECT_EQ(recorder.offThread, 0);
}

TEST_F(InstallFlowTest, AppGoneAtInstallShowsPrerequisiteAndRunsNothing)
{
    bundle.writeScript(event(R"({"event":"progress","stage":"validated"})") + "exit 2\n");
    InstallerModel model(bundle.bundle(), home.home());
    model.install();
    ASSERT_TRUE(waitForCompletion(model));
    model.copyError();

    home.removeCodex();
    Recorder recorder(model);
    model.install();
    EXPECT_EQ(recorder.events, QStringList({QStringLiteral("screen=prerequisite"), QStringLiteral("changed")}));
    EXPECT_FALSE(model.codex());
    // The last run's record stays.
    EXPECT_EQ(model.failureCode(), QStringLiteral("CHECK_FAILED"));
    EXPECT_EQ(model.detail(), summary("1.4.0", "CHECK_FAILED", "2"));
    EXPECT_EQ(model.stage(), InstallStage::validated);
    EXPECT_TRUE(model.copied());
    drainRuns();
    EXPECT_EQ(runsStarted(bundle), 1);
}

TEST_F(InstallFlowTest, CopyErrorPutsTheSummaryAloneOnTheClipboard)
{
    InstallerModel model(bundle.bundle(), home.home());
    model.setDetail(QString::fromUtf8("Vexa Zuno \xE2\x80\x94 \xC2\xB7 START_FAILED \xC2\xB7 exit -1"));
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* previous = new QMimeData;
    previous->setHtml(QStringLiteral("<b>old</b>"));
    previous->setText(QStringLiteral("old"));
    clipboard->setMimeData(previous);

    Recorder recorder(model);
    model.copyError();
    EXPECT_EQ(clipboard->mimeData()->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(clipboard->text(), model.detail());
    EXPECT_TRUE(model.copied());

    clipboard->setText(QStringLiteral("something else"));
    model.copyError();
    EXPECT_EQ(clipboard->text(), model.detail());
    EXPECT_EQ(recorder.events, QStringList({QStringLiteral("copied=true"), QStringLiteral("changed"),
                                            QStringLiteral("copied=true"), QStringLiteral("changed")}));
}

// The run outlives a model deleted under it; it must neither touch the model
// nor leave anything behind.
TEST_F(InstallFlowTest, ModelDeletedDuringARunIsLeftAlone)
{
    bundle.writeScript(event(R"({"event":"progress","stage":"validated"})") + waitForGate
                       + event(R"({"event":"progress","stage":"registered"})") + "echo finished >> runs.log\n");
    auto model = std::make_unique<InstallerModel>(bundle.bundle(), home.home());
    model->install();
    ASSERT_TRUE(waitUntil([&] { return model->stage() == InstallStage::validated; }));
    model.reset();
    bundle.openGate();
    drainRuns();
    EXPECT_TRUE(bundle.readPayloadFile(QStringLiteral("runs.log")).contains("finished"));
}

// A run holds its thread for as long as its script runs. Runs must start at
// once even while Qt's shared pool is saturated with other work, and several
// runs (of several models) must not queue behind each other.
TEST_F(InstallFlowTest, RunsNeverQueueBehindOtherWork)
{
    QThreadPool* shared = QThreadPool::globalInstance();
    QSemaphore release;
    const int busy = shared->maxThreadCount();
    for (int i = 0; i < busy; ++i)
        shared->start([&release] { release.acquire(); });

    std::vector<std::unique_ptr<TestBundle>> bundles;
    std::vector<std::unique_ptr<InstallerModel>> models;
    for (int i = 0; i < busy + 2; ++i) {
        bundles.push_back(std::make_unique<TestBundle>());
        bundles.back()->writeScript(gatedSuccess());
        models.push_back(std::make_unique<InstallerModel>(bundles.back()->bundle(), home.home()));
        models.back()->install();
    }
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(models.begin(), models.end(),
                           [](const auto& m) { return m->stage() == InstallStage::validated; });
    }));
    for (const auto& b : bundles)
        b->openGate();
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(models.begin(), models.end(),
                           [](const auto& m) { return m->screen() == InstallerScreen::complete; });
    }));
    release.release(busy);
    shared->waitForDone();
}

} // namespace
} // namespace ZunoInstaller
