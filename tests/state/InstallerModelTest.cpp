#include "StateTestSupport.h"

#include <QCoreApplication>
#include <QList>

#include <gtest/gtest.h>

#include <filesystem>

namespace ZunoInstaller {
namespace {

using namespace Test;

const std::vector<InstallerScreen> allScreens{InstallerScreen::ready, InstallerScreen::prerequisite,
                                              InstallerScreen::progress, InstallerScreen::error,
                                              InstallerScreen::complete};

// The model always looks in /Applications first; a Codex app there would
// make "no app" impossible to arrange.
bool systemCodexPresent()
{
    for (const char* name : {"Codex.app", "ChatGPT.app"}) {
        if (std::filesystem::exists(std::filesystem::path("/Applications") / name / "Contents/Resources/codex-cli/bin/codex"))
            return true;
    }
    return false;
}

class InstallerModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (systemCodexPresent())
            GTEST_SKIP() << "a Codex desktop app is installed in /Applications";
    }
    TestBundle bundle;
    TestHome home;
};

TEST_F(InstallerModelTest, ConstructionReadsTheBundleAndChecksForCodex)
{
    home.installCodex();
    InstallerModel model(bundle.bundle(), home.home());
    EXPECT_EQ(model.version(), QStringLiteral("1.4.0"));
    EXPECT_EQ(model.package(), std::filesystem::path(QFile::encodeName(bundle.payload()).toStdString()));
    EXPECT_EQ(model.screen(), InstallerScreen::ready);
    EXPECT_EQ(model.codex(), home.tool());
    // Nothing has run yet.
    EXPECT_EQ(model.failureCode(), QStringLiteral("CHECK_FAILED"));
    EXPECT_TRUE(model.detail().isEmpty());
    EXPECT_FALSE(model.copied());
    EXPECT_FALSE(model.stage());
    EXPECT_FALSE(model.fixture);

    InstallerModel without(bundle.bundle(), TestHome().home());
    EXPECT_EQ(without.screen(), InstallerScreen::prerequisite);
    EXPECT_FALSE(without.codex());
}

TEST_F(InstallerModelTest, VersionFallsBackToEmDashUnlessItIsAString)
{
    const QString emDash = QString::fromUtf8("\xE2\x80\x94");
    TestBundle withoutKey(std::nullopt);
    EXPECT_EQ(InstallerModel(withoutKey.bundle(), home.home()).version(), emDash);
    TestBundle number(QStringLiteral("<integer>140</integer>"));
    EXPECT_EQ(InstallerModel(number.bundle(), home.home()).version(), emDash);
    ASSERT_TRUE(std::filesystem::remove(bundle.bundle().bundlePath() / "Contents" / "Info.plist"));
    EXPECT_EQ(InstallerModel(bundle.bundle(), home.home()).version(), emDash);
    // A string is taken as it stands, spaces and all.
    TestBundle spaced(QStringLiteral("<string> 2.0 beta </string>"));
    EXPECT_EQ(InstallerModel(spaced.bundle(), home.home()).version(), QStringLiteral(" 2.0 beta "));
}

TEST_F(InstallerModelTest, CheckPrerequisiteFollowsTheAppFromEveryScreen)
{
    home.installCodex();
    InstallerModel model(bundle.bundle(), home.home());
    for (InstallerScreen from : allScreens) {
        model.setScreen(from);
        model.checkPrerequisite();
        EXPECT_EQ(model.screen(), InstallerScreen::ready) << text(from).toStdString();
    }

    home.removeCodex();
    for (InstallerScreen from : allScreens) {
        model.setScreen(from);
        Recorder recorder(model);
        model.checkPrerequisite();
        EXPECT_EQ(model.screen(), InstallerScreen::prerequisite) << text(from).toStdString();
        EXPECT_FALSE(model.codex());
        EXPECT_EQ(recorder.events, QStringList({QStringLiteral("screen=prerequisite"), QStringLiteral("changed")}));
    }

    // Installed later: found again, in the home the model was built with.
    home.installCodex();
    Recorder recorder(model);
    model.checkPrerequisite();
    EXPECT_EQ(model.screen(), InstallerScreen::ready);
    EXPECT_EQ(model.codex(), home.tool());
    // Unchanged screens are announced too.
    model.checkPrerequisite();
    EXPECT_EQ(recorder.events, QStringList({QStringLiteral("screen=ready"), QStringLiteral("changed"),
                                            QStringLiteral("screen=ready"), QStringLiteral("changed")}));
}

TEST_F(InstallerModelTest, ContentHeightIsTallerOnlyWhenComplete)
{
    InstallerModel model(bundle.bundle(), home.home());
    for (InstallerScreen screen : allScreens) {
        model.setScreen(screen);
        EXPECT_EQ(model.contentHeight(), screen == InstallerScreen::complete ? 407.0 : 374.0)
            << text(screen).toStdString();
    }
}

TEST_F(InstallerModelTest, FixtureFreezesCheckAndInstall)
{
    home.installCodex();
    InstallerModel model(bundle.bundle(), home.home());
    model.fixture = true;
    model.setScreen(InstallerScreen::error);
    home.removeCodex();
    Recorder recorder(model);
    model.checkPrerequisite();
    model.install();
    EXPECT_EQ(model.screen(), InstallerScreen::error);
    EXPECT_EQ(model.codex(), home.tool());
    EXPECT_TRUE(recorder.events.isEmpty()) << recorder.events.join(QLatin1Char(' ')).toStdString();

    home.installCodex();
    model.setScreen(InstallerScreen::ready);
    model.install();
    drainRuns();
    EXPECT_EQ(model.screen(), InstallerScreen::ready);
    EXPECT_TRUE(bundle.readPayloadFile(QStringLiteral("runs.log")).isEmpty());
}

// Each assignment stores first, then hands the new value to the field's
// signal, then announces the change; equal values included.
TEST_F(InstallerModelTest, EveryAssignmentAnnouncesTheStoredValue)
{
    InstallerModel model(bundle.bundle(), home.home());
    QStringList seen; // what a slot reads from the model while the signal is delivered
    QObject::connect(&model, &InstallerModel::screenChanged, &model,
                     [&](InstallerScreen v) { seen << QString::number(v == model.screen()); });
    QObject::connect(&model, &InstallerModel::stageChanged, &model,
                     [&](std::optional<InstallStage> v) { seen << QString::number(v == model.stage()); });
    QObject::connect(&model, &InstallerModel::detailChanged, &model,
                     [&](const QString& v) { seen << QString::number(v == model.detail()); });
    QObject::connect(&model, &InstallerModel::copiedChanged, &model,
                     [&](bool v) { seen << QString::number(v == model.copied()); });
    QObject::connect(&model, &InstallerModel::failureCodeChanged, &model,
                     [&](const QString& v) { seen << QString::number(v == model.failureCode()); });
    Recorder recorder(model);

    for (int round = 0; round < 2; ++round) { // the second round stores equal values
        model.setScreen(InstallerScreen::error);
        model.setStage(InstallStage::registered);
        model.setDetail(QStringLiteral("d"));
        model.setCopied(true);
        model.setFailureCode(QStringLiteral("INSTALL_FAILED"));
    }
    model.setStage(std::nullopt);
    model.setDetail(model.detail()); // the model's own value handed back

    const QStringList once{QStringLiteral("screen=error"),           QStringLiteral("changed"),
                           QStringLiteral("stage=registered"),       QStringLiteral("changed"),
                           QStringLiteral("detail=d"),               QStringLiteral("changed"),
                           QStringLiteral("copied=true"),            QStringLiteral("changed"),
                           QStringLiteral("failureCode=INSTALL_FAILED"), QStringLiteral("changed")};
    const QStringList last{QStringLiteral("stage=none"), QStringLiteral("changed"), QStringLiteral("detail=d"),
                           QStringLiteral("changed")};
    EXPECT_EQ(recorder.events, once + once + last);
    EXPECT_EQ(seen, QStringList(12, QStringLiteral("1")));
    EXPECT_EQ(recorder.offThread, 0);
}

// The delegate follows screenChanged on a later turn of the event loop, and
// stage reports travel the same way; both argument types must survive a queue.
TEST_F(InstallerModelTest, SignalsTravelThroughQueuedConnections)
{
    InstallerModel model(bundle.bundle(), home.home());
    QList<InstallerScreen> screens;
    QList<std::optional<InstallStage>> stages;
    QObject::connect(&model, &InstallerModel::screenChanged, &model,
                     [&](InstallerScreen v) { screens << v; }, Qt::QueuedConnection);
    QObject::connect(&model, &InstallerModel::stageChanged, &model,
                     [&](std::optional<InstallStage> v) { stages << v; }, Qt::QueuedConnection);
    model.setScreen(InstallerScreen::complete);
    model.setStage(InstallStage::checking);
    model.setStage(std::nullopt);
    EXPECT_TRUE(screens.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(screens, QList<InstallerScreen>{InstallerScreen::complete});
    EXPECT_EQ(stages, (QList<std::optional<InstallStage>>{InstallStage::checking, std::nullopt}));
}

TEST(InstallerScreenTest, RawValuesRoundTripAndUnknownTextGivesNone)
{
    for (InstallerScreen screen : allScreens)
        EXPECT_EQ(installerScreen(rawValue(screen)), screen);
    EXPECT_EQ(rawValue(InstallerScreen::prerequisite), QStringLiteral("prerequisite"));
    EXPECT_FALSE(installerScreen(QStringLiteral("Ready")));
    EXPECT_FALSE(installerScreen(QString()));
}

} // namespace
} // namespace ZunoInstaller
