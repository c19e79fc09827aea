#include "ViewFixture.h"

#include "ui/DisclosureButton.h"
#include "ui/HeaderRow.h"
#include "ui/LinkButton.h"
#include "ui/ScreenAnnouncer.h"

#include <QAccessible>

#include <vector>

namespace ZunoInstaller {

namespace {

struct Heard {
    QString heading;
    QString text;
};

class AnnouncerTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        settle();
        listen(*view);
        QObject::connect(qApp, &QApplication::focusChanged, view.get(), [this] { ++focusMoves; });
    }

    void listen(InstallerView& v)
    {
        QObject::connect(v.findChild<ScreenAnnouncer*>(), &ScreenAnnouncer::announced, view.get(),
                         [this](const QString& heading, const QString& text) {
                             heard.push_back({heading, text});
                         });
    }

    // The announcement made index-th since the last clear: what was said, and
    // how a reader meets it in the view.
    void expectHeard(std::size_t index, const QString& heading, const QString& text) const
    {
        ASSERT_LT(index, heard.size());
        EXPECT_EQ(heard[index].heading.toStdString(), heading.toStdString());
        EXPECT_EQ(heard[index].text.toStdString(), text.toStdString());
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
        // A notification in a status region (read without its role name),
        // named by the heading, with the text as a label inside; none of it shows.
        QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(view.get());
        QAccessibleInterface* region = nullptr;
        for (int i = 0; i < pane->childCount(); ++i)
            if (pane->child(i)->role() == QAccessible::StatusBar)
                region = pane->child(i);
        ASSERT_NE(region, nullptr);
        EXPECT_TRUE(region->state().invisible);
        const int at = region->childCount() - int(heard.size() - index);
        ASSERT_GE(at, 0);
        QAccessibleInterface* notice = region->child(at);
        EXPECT_EQ(notice->role(), QAccessible::Notification);
        EXPECT_EQ(notice->text(QAccessible::Name).toStdString(), heading.toStdString());
        EXPECT_TRUE(notice->state().invisible);
        EXPECT_EQ(
            (notice->childCount() ? notice->child(0)->text(QAccessible::Name) : QString()).toStdString(),
            text.toStdString());
        EXPECT_LE(std::size_t(region->childCount()), ScreenAnnouncer::kept);
#endif
    }

    std::vector<Heard> heard;
    int focusMoves = 0;
};

class TurkishAnnouncerTest : public AnnouncerTest {
protected:
    QString language() const override { return QStringLiteral("tr"); }
};

} // namespace

TEST_F(AnnouncerTest, eachScreenSetIsAnnouncedOnceWithItsTitleThenWhatAPersonNeedsFirst)
{
    // The window's first screen is read as the window opens, not announced.
    {
        InstallerView another(model.get());
        listen(another);
        settle();
        EXPECT_TRUE(heard.empty());
    }

    for (const auto& [screen, title, first] :
         {std::tuple{InstallerScreen::ready, "readyTitle", "readyNotice"},
          std::tuple{InstallerScreen::progress, "progressTitle", "progressDescription"},
          std::tuple{InstallerScreen::error, "errorTitle", "errorNotice"},
          std::tuple{InstallerScreen::complete, "completeTitle", "completeDescription"},
          std::tuple{InstallerScreen::prerequisite, "prerequisiteTitle", "prerequisiteNotice"},
          // "check again" that finds nothing is said again, though nothing moves
          std::tuple{InstallerScreen::prerequisite, "prerequisiteTitle", "prerequisiteNotice"}}) {
        SCOPED_TRACE(rawValue(screen).toStdString());
        heard.clear();
        model->setScreen(screen);
        EXPECT_TRUE(heard.empty()) << "announced before the view shows the screen";
        settle();
        ASSERT_EQ(heard.size(), 1u);
        expectHeard(0, text(title), text(first));
    }

    // A run's start sets ready, then progress, in one turn: only progress is said.
    heard.clear();
    model->setScreen(InstallerScreen::ready);
    model->setScreen(InstallerScreen::progress);
    settle();
    ASSERT_EQ(heard.size(), 1u);
    expectHeard(0, text("progressTitle"), text("progressDescription"));
}

TEST_F(AnnouncerTest, eachStageIsAnnouncedOnceAsItsRowReadsAndLeavesTheFocusWhereItWas)
{
    showScreen(InstallerScreen::progress);
    view->header()->link()->setFocus();
    settle();
    heard.clear();
    focusMoves = 0;

    model->setStage(InstallStage::validated);
    model->setStage(InstallStage::validated);
    settle();
    model->setStage(InstallStage::registered);
    model->setStage(InstallStage::checking); // two in one turn: both, in order
    settle();
    ASSERT_EQ(heard.size(), 3u);
    expectHeard(0, text("filesVerified"), {});
    expectHeard(1, text("registered"), {});
    expectHeard(2, text("checkingPanel"), {});
    EXPECT_EQ(focusMoves, 0);
    EXPECT_EQ(QApplication::focusWidget(), view->header()->link());

    // The same stage again, or a stage off the progress screen, says nothing.
    heard.clear();
    model->setStage(InstallStage::checking);
    settle();
    showScreen(InstallerScreen::complete);
    heard.clear();
    model->setStage(InstallStage::validated);
    settle();
    EXPECT_TRUE(heard.empty());

    // A new run starts without a stage: its stages are news again.
    showScreen(InstallerScreen::progress);
    model->setStage(std::nullopt);
    heard.clear();
    model->setStage(InstallStage::validated);
    settle();
    ASSERT_EQ(heard.size(), 1u);
    expectHeard(0, text("filesVerified"), {});
}

TEST_F(AnnouncerTest, aScreenThatHidesTheFocusedControlMovesTheFocusOnceToWhatComesNext)
{
    // "Check again" goes; the focus goes to Install.
    showScreen(InstallerScreen::prerequisite);
    secondary()->setFocus();
    settle();
    focusMoves = 0;
    showScreen(InstallerScreen::ready);
    EXPECT_EQ(QApplication::focusWidget(), primary());
    EXPECT_EQ(focusMoves, 1);

    // From the open details of the error screen to a run: one move, to the link.
    showScreen(InstallerScreen::error);
    view->content()->disclosure()->click();
    view->content()->disclosure()->setFocus();
    settle();
    focusMoves = 0;
    showScreen(InstallerScreen::progress);
    EXPECT_EQ(QApplication::focusWidget(), view->header()->link());
    EXPECT_EQ(focusMoves, 1);

    // The link and the view keep the focus on every screen.
    showScreen(InstallerScreen::complete);
    EXPECT_EQ(QApplication::focusWidget(), view->header()->link());
    view->setFocus();
    showScreen(InstallerScreen::error);
    EXPECT_EQ(QApplication::focusWidget(), view.get());
}

// What an announcement event carries where Qt has one (6.8): heading and text
// read as one message, with a full stop only where the heading has no mark.
TEST_F(AnnouncerTest, headingAndTextAreJoinedAsAReaderWouldSayThem)
{
    const auto joined = [](const char* heading, const char* first) {
        return ScreenAnnouncer::announcementText(text(heading), first ? text(first) : QString())
            .toStdString();
    };
    EXPECT_EQ(joined("readyTitle", "readyNotice"),
              (text("readyTitle") + QStringLiteral(". ") + text("readyNotice")).toStdString());
    EXPECT_EQ(joined("progressTitle", "progressDescription"),
              (text("progressTitle") + QStringLiteral(" ") + text("progressDescription")).toStdString());
    EXPECT_TRUE(text("progressTitle").endsWith(QChar(0x2026)));
    EXPECT_EQ(joined("filesVerified", nullptr), text("filesVerified").toStdString());
    EXPECT_EQ(ScreenAnnouncer::announcementText(QString(), text("errorNotice")), text("errorNotice"));
    EXPECT_EQ(ScreenAnnouncer::announcementText(QStringLiteral("Done!"), QStringLiteral("Quit.")),
              QStringLiteral("Done! Quit."));
}

TEST_F(TurkishAnnouncerTest, announcementsAreInTheInterfaceLanguage)
{
    showScreen(InstallerScreen::error);
    ASSERT_EQ(heard.size(), 1u);
    expectHeard(0, text("errorTitle"), text("errorNotice"));
    EXPECT_NE(text("errorTitle"), QStringLiteral("The installation didn't finish"));
}

} // namespace ZunoInstaller
