#include "app/InstallerDelegate.h"
#include "app/InstallerWindow.h"
#include "app/MenuBar.h"

#include <QApplication>
#include <QProcess>
#include <QResizeEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

using namespace ZunoInstaller;

namespace {

Bundle testBundle()
{
    return Bundle(qEnvironmentVariable("ZUNO_TEST_BUNDLE"));
}

// A home folder, with or without a stand-in Codex desktop app in ~/Applications.
struct Home {
    QTemporaryDir dir;
    explicit Home(bool withCodex)
    {
        if (!withCodex)
            return;
        const QString tool = qEnvironmentVariable("ZUNO_SOURCE_DIR") + QStringLiteral("/tools/make-standin-codex.sh");
        EXPECT_EQ(QProcess::execute(QStringLiteral("/bin/sh"), {tool, dir.path()}), 0);
    }
    std::filesystem::path path() const { return dir.path().toStdString(); }
};

std::unique_ptr<InstallerDelegate> makeDelegate(const Home& home, const QString& language = QStringLiteral("en"))
{
    replaceInstallerCopy(InstallerCopy({language}, testBundle()));
    return std::make_unique<InstallerDelegate>(std::make_unique<InstallerModel>(testBundle(), home.path()));
}

void settle()
{
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Records the content size at every resize of the window.
class ResizeLog : public QObject {
public:
    std::vector<int> heights;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            heights.push_back(static_cast<QResizeEvent*>(event)->size().height());
        return false;
    }
};

} // namespace

TEST(InstallerDelegate, LaunchWithoutCodexShowsThePrerequisiteWindow)
{
    const Home home(false);
    auto delegate = makeDelegate(home, QStringLiteral("tr-TR"));
    EXPECT_EQ(delegate->window(), nullptr);
    delegate->applicationDidFinishLaunching();
    InstallerWindow* window = delegate->window();
    ASSERT_NE(window, nullptr);
    settle();

    EXPECT_EQ(delegate->model().screen(), InstallerScreen::prerequisite);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(667, 374));
    EXPECT_EQ(window->content()->geometry(), QRect(0, 0, 667, 374));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zuno Yükleyici"));
    EXPECT_EQ(window->accessibleName(), QStringLiteral("Zuno Yükleyici"));

    // Closable and minimizable; the user cannot resize or maximize it.
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->frameGeometry().center() - available.center()).manhattanLength(), 1);
}

TEST(InstallerDelegate, ContentHeightFollowsTheScreenOnALaterTurn)
{
    const Home home(true);
    auto delegate = makeDelegate(home);
    ASSERT_EQ(delegate->model().screen(), InstallerScreen::ready);
    delegate->applicationDidFinishLaunching();
    settle();
    InstallerWindow* window = delegate->window();
    ASSERT_EQ(window->size(), QSize(667, 374));

    // Growing and shrinking keep the bottom-left corner where it was.
    const QPoint bottomLeft = window->geometry().bottomLeft();
    InstallerModel& model = delegate->model();
    model.setScreen(InstallerScreen::complete);
    EXPECT_EQ(window->height(), 374) << "resized within the assignment";
    settle();
    EXPECT_EQ(window->size(), QSize(667, 407));
    EXPECT_EQ(window->content()->size(), QSize(667, 407));
    EXPECT_EQ(window->geometry().bottomLeft(), bottomLeft);

    model.setScreen(InstallerScreen::error);
    settle();
    EXPECT_EQ(window->size(), QSize(667, 374));
    EXPECT_EQ(window->content()->size(), QSize(667, 374));
    EXPECT_EQ(window->geometry().bottomLeft(), bottomLeft);
}

TEST(InstallerDelegate, ChangesInOneTurnResizeOncePerChangeInOrder)
{
    const Home home(true);
    auto delegate = makeDelegate(home);
    delegate->applicationDidFinishLaunching();
    settle();
    InstallerWindow* window = delegate->window();
    ResizeLog log;
    window->installEventFilter(&log);

    InstallerModel& model = delegate->model();
    model.setScreen(InstallerScreen::complete);
    model.setScreen(InstallerScreen::ready);
    model.setScreen(InstallerScreen::complete);
    model.setScreen(InstallerScreen::progress);
    model.setScreen(InstallerScreen::error); // same height as progress: no resize
    model.setScreen(InstallerScreen::complete);
    settle();
    EXPECT_EQ(log.heights, (std::vector<int>{407, 374, 407, 374, 407}));
    EXPECT_EQ(window->height(), 407);
    window->removeEventFilter(&log);
}

TEST(InstallerDelegate, CloseIsRefusedOnlyWhileARunIsUnderWay)
{
    const Home home(true);
    for (const InstallerScreen screen : {InstallerScreen::ready, InstallerScreen::prerequisite, InstallerScreen::error,
                                         InstallerScreen::complete, InstallerScreen::progress}) {
        for (const bool fixture : {false, true}) {
            auto delegate = makeDelegate(home);
            delegate->applicationDidFinishLaunching();
            settle();
            delegate->model().fixture = fixture;
            delegate->model().setScreen(screen);
            settle();
            const bool refused = screen == InstallerScreen::progress && !fixture;
            InstallerWindow* window = delegate->window();
            EXPECT_EQ(window->close(), !refused) << rawValue(screen).toStdString() << " fixture " << fixture;
            EXPECT_EQ(window->isVisible(), refused);
            EXPECT_EQ(delegate->windowShouldClose(), !refused);
            EXPECT_EQ(delegate->applicationShouldTerminate(), !refused);
        }
    }
}

// Quitting needs a running event loop: QCoreApplication::quit() does nothing
// outside exec(). Each case runs the loop with a queue of steps; a step after
// a refused quit only runs if the loop survived it.
class QuitGuard : public testing::Test {
protected:
    Home home{true};
    std::unique_ptr<InstallerDelegate> delegate = makeDelegate(home);
    MenuBar menu{InstallerCopy({QStringLiteral("en")}, testBundle())};

    void SetUp() override
    {
        QObject::connect(delegate.get(), &InstallerDelegate::launched, delegate.get(),
                         [this](InstallerWindow* window) { menu.attach(*window); });
        delegate->attach(*QCoreApplication::instance());
        settle(); // runs the queued launch
        ASSERT_NE(delegate->window(), nullptr);
        delegate->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(delegate->window()));
    }

    // Runs the loop until something quits it; 0 when quit, 1 when the watchdog fired.
    static int run(const std::vector<std::function<void()>>& steps)
    {
        for (const auto& step : steps)
            QMetaObject::invokeMethod(qApp, step, Qt::QueuedConnection);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        return QCoreApplication::exec();
    }
};

TEST_F(QuitGuard, QuitIsRefusedDuringARunThenAllowed)
{
    bool survived = false;
    const int status = run({
        [&] { delegate->model().setScreen(InstallerScreen::progress); },
        [] { QCoreApplication::quit(); },
        [&] {
            survived = true;
            EXPECT_TRUE(delegate->window()->isVisible());
            delegate->model().setScreen(InstallerScreen::complete);
        },
        [] { QCoreApplication::quit(); },
    });
    EXPECT_TRUE(survived);
    EXPECT_EQ(status, 0);
}

TEST_F(QuitGuard, QuitKeyIsRefusedDuringARun)
{
    bool survived = false;
    const int status = run({
        [&] { delegate->model().setScreen(InstallerScreen::progress); },
        [&] { QTest::keyClick(delegate->window(), Qt::Key_Q, Qt::ControlModifier); },
        [&] {
            survived = true;
            delegate->model().setScreen(InstallerScreen::error);
        },
        [&] { QTest::keyClick(delegate->window(), Qt::Key_Q, Qt::ControlModifier); },
    });
    EXPECT_TRUE(survived);
    EXPECT_EQ(status, 0) << "the quit key did not quit on the error screen";
}

TEST_F(QuitGuard, FixtureAllowsQuittingDuringARun)
{
    const int status = run({
        [&] {
            delegate->model().fixture = true;
            delegate->model().setScreen(InstallerScreen::progress);
        },
        [] { QCoreApplication::quit(); },
    });
    EXPECT_EQ(status, 0);
}

TEST_F(QuitGuard, ClosingTheWindowEndsTheProgram)
{
    bool survived = false;
    const int status = run({
        [&] { delegate->model().setScreen(InstallerScreen::progress); },
        [&] { delegate->window()->close(); },
        [&] {
            survived = true;
            delegate->model().setScreen(InstallerScreen::ready);
        },
        [&] { delegate->window()->close(); },
    });
    EXPECT_TRUE(survived);
    EXPECT_EQ(status, 0);
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
