#include "ViewFixture.h"

#include "copy/VersionCaption.h"
#include "ui/DisclosureButton.h"
#include "ui/HeaderRow.h"
#include "ui/LinkButton.h"
#include "ui/NoticeBox.h"
#include "ui/StepRow.h"
#include "ui/TextBlock.h"
#include "ui/WrappedText.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace ZunoInstaller {

// Receives what the view asks the platform to open, instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    }
    ~UrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

namespace {

struct Row {
    const char* key;
    const char* badge;
};

void expectSteps(const InstallerView& view, const std::array<Row, 3>& rows)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const StepRow* step = view.content()->steps()[i];
        EXPECT_TRUE(step->isVisible()) << i;
        EXPECT_EQ(step->text(), text(rows[i].key)) << i;
        EXPECT_EQ(step->badge(), QString::fromUtf8(rows[i].badge)) << i;
    }
}

} // namespace

TEST_F(ViewTest, eachScreenShowsItsTextsFromTheTablesAndItsButtons)
{
    // The tables are really there: a text is not its own key.
    ASSERT_NE(text("readyTitle"), QStringLiteral("readyTitle"));

    showScreen(InstallerScreen::ready);
    EXPECT_EQ(view->title()->text(), text("readyTitle"));
    EXPECT_EQ(view->description()->text(), text("readyDescription"));
    EXPECT_EQ(view->content()->notice()->message(), text("readyNotice"));
    EXPECT_FALSE(view->content()->notice()->warning());
    EXPECT_EQ(view->footer()->caption()->text(), formatVersionCaption(text("versionCaption"), model->version()));
    EXPECT_TRUE(view->footer()->caption()->text().contains(model->version()));
    EXPECT_FALSE(secondary()->isVisible());
    EXPECT_EQ(primary()->text(), text("install"));

    showScreen(InstallerScreen::prerequisite);
    EXPECT_EQ(view->title()->text(), text("prerequisiteTitle"));
    EXPECT_EQ(view->description()->text(), text("prerequisiteDescription"));
    EXPECT_EQ(view->content()->notice()->message(), text("prerequisiteNotice"));
    EXPECT_TRUE(view->content()->notice()->warning());
    EXPECT_FALSE(view->footer()->caption()->isVisible());
    EXPECT_EQ(secondary()->text(), text("checkAgain"));
    EXPECT_EQ(primary()->text(), text("downloadDesktop"));

    showScreen(InstallerScreen::progress);
    EXPECT_EQ(view->title()->text(), text("progressTitle"));
    EXPECT_FALSE(view->content()->notice()->isVisible());
    EXPECT_TRUE(view->content()->progressBar()->isVisible());
    EXPECT_EQ(view->content()->progressBar()->maximum(), 0); // indeterminate
    EXPECT_EQ(view->footer()->caption()->text(), text("keepOpen"));
    EXPECT_FALSE(secondary()->isVisible());
    EXPECT_FALSE(primary()->isVisible());

    model->setFailureCode(QStringLiteral("INSTALL_FAILED"));
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 INSTALL_FAILED \u00B7 exit 3"));
    showScreen(InstallerScreen::error);
    EXPECT_EQ(view->title()->text(), text("errorTitle"));
    EXPECT_EQ(view->content()->notice()->message(), text("errorNotice"));
    EXPECT_TRUE(view->content()->notice()->warning());
    EXPECT_TRUE(view->content()->disclosure()->isVisible());
    EXPECT_EQ(view->content()->disclosure()->text(), text("technicalDetails"));
    EXPECT_FALSE(view->content()->progressBar()->isVisible());
    EXPECT_EQ(secondary()->text(), text("copyError"));
    EXPECT_EQ(primary()->text(), text("retry"));

    showScreen(InstallerScreen::complete);
    EXPECT_EQ(view->title()->text(), text("completeTitle"));
    EXPECT_EQ(view->description()->text(), text("completeDescription"));
    EXPECT_FALSE(view->content()->notice()->isVisible());
    EXPECT_FALSE(view->content()->disclosure()->isVisible());
    expectSteps(*view, {{{"restartStep", "1"}, {"chatStep", "2"}, {"pinStep", "3"}}});
    EXPECT_EQ(view->footer()->caption()->text(), text("optionalCloud"));
    EXPECT_EQ(primary()->text(), text("done"));
}

TEST_F(ViewTest, bodyIsExactlyTheContentSizeOfEachScreen)
{
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::complete, InstallerScreen::prerequisite,
                              InstallerScreen::progress, InstallerScreen::error, InstallerScreen::complete,
                              InstallerScreen::ready}) {
        showScreen(screen);
        EXPECT_EQ(view->size(), QSize(667, screen == InstallerScreen::complete ? 407 : 374)) << rawValue(screen).toStdString();
    }
}

namespace {

// Every text and piece is as tall as its content needs at its width, and the
// gap above the footer keeps its minimum: checked right after the change,
// before the event loop has run, as a grab or a screen reader would see it.
void expectNothingCutShort(InstallerModel& model, InstallerView& view)
{
    model.setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 RUNTIME_UNAVAILABLE \u00B7 exit 4"));
    model.setFailureCode(QStringLiteral("RUNTIME_UNAVAILABLE"));
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::prerequisite, InstallerScreen::progress,
                              InstallerScreen::error, InstallerScreen::complete}) {
        model.setScreen(screen);
        if (screen == InstallerScreen::error && !view.detailsOpen())
            view.content()->disclosure()->click();
        SCOPED_TRACE(rawValue(screen).toStdString());
        for (QWidget* piece : view.findChildren<QWidget*>()) {
            if (!piece->isVisibleTo(&view) || !piece->hasHeightForWidth())
                continue;
            EXPECT_GE(piece->height(), piece->heightForWidth(piece->width())) << piece->metaObject()->className();
            // Only the room for a text's ink may reach past the column.
            QMargins ink;
            if (const auto* block = qobject_cast<TextBlock*>(piece))
                ink = block->inkMargins();
            else if (const auto* footer = qobject_cast<Footer*>(piece))
                ink = footer->inkMargins();
            EXPECT_LE(piece->mapTo(&view, QPoint(piece->width() - ink.right(), 0)).x(), 667 - 32)
                << piece->metaObject()->className();
        }
        const QWidget* content = view.content();
        const int contentBottom = content->mapTo(&view, QPoint(0, content->height())).y();
        EXPECT_GE(view.footer()->mapTo(&view, QPoint(0, 0)).y() - contentBottom, 23);
    }
}

} // namespace

TEST_F(ViewTest, nothingIsCutShortOnAnyScreen)
{
    expectNothingCutShort(*model, *view);
}

TEST_F(TurkishViewTest, nothingIsCutShortOnAnyScreen)
{
    expectNothingCutShort(*model, *view);
}

TEST_F(ViewTest, wrappingPiecesGrowInsteadOfOverflowing)
{
    const QString longText = QStringLiteral("A message long enough to need several lines in a narrow column of the window");
    NoticeBox notice;
    notice.setNotice(longText, true);
    StepRow step;
    step.setStep(longText, QStringLiteral("1"));
    TextBlock block;
    block.setFont(view->description()->font());
    block.setLineSpacing(5);
    block.setText(longText);

    EXPECT_GT(notice.heightForWidth(200), notice.heightForWidth(2000));
    EXPECT_GT(step.heightForWidth(200), step.heightForWidth(2000));
    // Lines stack at the font's line height plus the spacing, none after the last.
    const int lines = block.lineCount(200);
    ASSERT_GT(lines, 1);
    const int oneLine = block.heightForWidth(2000);
    EXPECT_NEAR(block.heightForWidth(200), lines * oneLine + (lines - 1) * 5, lines);
    // A single word wider than the column breaks instead of running out.
    block.setText(QStringLiteral("Unbreakableeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee"));
    EXPECT_GT(block.lineCount(100), 1);
}

TEST_F(ViewTest, aLongVersionShowsItsStartAndCostsTheLayoutNoMoreThanAShortOne)
{
    // The shaped characters of building, laying out and painting a view of the
    // ready screen for a bundle whose Info.plist holds version.
    const auto work = [this](const QString& version, QString& caption) {
        QTemporaryDir bundle;
        EXPECT_TRUE(QDir(bundle.path()).mkpath(QStringLiteral("Contents")));
        QFile plist(bundle.filePath(QStringLiteral("Contents/Info.plist")));
        EXPECT_TRUE(plist.open(QIODevice::WriteOnly));
        plist.write("<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>" + version.toUtf8()
                    + "</string></dict></plist>");
        plist.close();
        InstallerModel bundled(Bundle(bundle.path()), home.path().toStdString());
        EXPECT_EQ(bundled.version(), version); // the model keeps it whole, for the run
        bundled.fixture = true;
        bundled.setScreen(InstallerScreen::ready);
        const qint64 before = WrappedText::shapedCharacters();
        InstallerView shown(&bundled);
        shown.grab();
        caption = shown.footer()->caption()->text();
        return WrappedText::shapedCharacters() - before;
    };
    // Info.plist may hold up to 4 MiB. A version of 64 KiB once kept the window
    // from opening for seconds, one of 256 KiB for minutes: the caption was
    // laid out line by line, each line scanning the rest of the version. This
    // one takes seconds to fail that way, not minutes.
    const QString longVersion = QStringLiteral("1.4.0-") + QString(16 * 1024, u'x');
    QString shortCaption;
    QString longCaption;
    const qint64 shortWork = work(QStringLiteral("1.4.0"), shortCaption);
    const qint64 longWork = work(longVersion, longCaption);

    const QString mark = QStringLiteral("@version@");
    const QString expected = formatVersionCaption(text("versionCaption"), mark)
                                 .replace(mark, longVersion.left(captionVersionLength) + QChar(0x2026));
    EXPECT_TRUE(longCaption == expected) << longCaption.left(200).toStdString();
    EXPECT_EQ(shortCaption, formatVersionCaption(text("versionCaption"), mark).replace(mark, QStringLiteral("1.4.0")));
    EXPECT_LE(longWork - shortWork, captionVersionLength + 1 - 5);
}

TEST_F(ViewTest, primaryActionSitsAtTheTrailingEdgeAndTheRestAtTheLeadingEdge)
{
    const int leading = 32;
    const int trailing = 667 - 32;
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::prerequisite, InstallerScreen::error,
                              InstallerScreen::complete}) {
        showScreen(screen);
        const QRect button = placeOf(primary());
        EXPECT_EQ(button.right() + 1, trailing) << rawValue(screen).toStdString();
        // The footer sits at the bottom padding.
        EXPECT_EQ(button.bottom() + 1, view->height() - 26) << rawValue(screen).toStdString();
        QWidget* left = screen == InstallerScreen::prerequisite || screen == InstallerScreen::error
                            ? static_cast<QWidget*>(secondary())
                            : view->footer()->caption();
        EXPECT_EQ(placeOf(left).left(), leading) << rawValue(screen).toStdString();
        EXPECT_LT(placeOf(left).right(), button.left() - 16 + 1);
    }
    showScreen(InstallerScreen::progress);
    EXPECT_EQ(placeOf(view->footer()->caption()).left(), leading);
}

TEST_F(ViewTest, checklistRowsFollowTheLatestStageOnly)
{
    showScreen(InstallerScreen::progress);
    expectSteps(*view, {{{"verifyingFiles", "1"}, {"waitingRegistration", "2"}, {"waitingPanel", "3"}}});
    EXPECT_EQ(view->description()->text(), text("progressDescription"));

    const std::array<StepRow*, 3> rows = view->content()->steps();
    model->setStage(InstallStage::validated);
    expectSteps(*view, {{{"filesVerified", "\u2713"}, {"waitingRegistration", "2"}, {"waitingPanel", "3"}}});
    EXPECT_EQ(view->description()->text(), text("progressDescription"));

    model->setStage(InstallStage::registered);
    expectSteps(*view, {{{"filesVerified", "\u2713"}, {"registered", "\u2713"}, {"waitingPanel", "3"}}});
    EXPECT_EQ(view->description()->text(), text("progressDescription"));

    model->setStage(InstallStage::checking);
    expectSteps(*view, {{{"filesVerified", "\u2713"}, {"registered", "\u2713"}, {"checkingPanel", "3"}}});
    EXPECT_EQ(view->description()->text(), text("checkingDescription"));
    EXPECT_EQ(view->title()->text(), text("progressTitle"));

    // A new run starts over; a lone registered shows what validated-then-registered shows.
    model->setStage(std::nullopt);
    expectSteps(*view, {{{"verifyingFiles", "1"}, {"waitingRegistration", "2"}, {"waitingPanel", "3"}}});
    model->setStage(InstallStage::registered);
    expectSteps(*view, {{{"filesVerified", "\u2713"}, {"registered", "\u2713"}, {"waitingPanel", "3"}}});

    // The rows are updated in place, never replaced.
    EXPECT_EQ(view->content()->steps(), rows);
}

TEST_F(ViewTest, errorDescriptionNamesTheRuntimeOnlyForItsExactCode)
{
    showScreen(InstallerScreen::error);
    model->setFailureCode(QStringLiteral("RUNTIME_UNAVAILABLE"));
    EXPECT_EQ(view->description()->text(), text("runtimeErrorDescription"));
    for (const char* code : {"CHECK_FAILED", "INSTALL_FAILED", "START_FAILED", "runtime_unavailable",
                             "RUNTIME_UNAVAILABLE ", ""}) {
        model->setFailureCode(QString::fromLatin1(code));
        EXPECT_EQ(view->description()->text(), text("errorDescription")) << code;
    }
}

TEST_F(ViewTest, openDetailsStayOpenAcrossScreensAndTheWidgetsSurviveEveryChange)
{
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 INSTALL_FAILED \u00B7 exit 3"));
    showScreen(InstallerScreen::error);
    EXPECT_FALSE(view->detailsOpen());
    EXPECT_FALSE(view->content()->detail()->isVisible());

    QTest::mouseClick(view->content()->disclosure(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(view->detailsOpen());
    QLabel* detail = view->content()->detail();
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(detail->text(), model->detail());
    EXPECT_TRUE(detail->textInteractionFlags() & Qt::TextSelectableByMouse);
    // The open details fit: the label is as tall as its text needs.
    EXPECT_GE(detail->height(), detail->heightForWidth(detail->width()));

    for (const auto screen : {InstallerScreen::progress, InstallerScreen::complete, InstallerScreen::error})
        showScreen(screen);
    EXPECT_TRUE(view->detailsOpen());
    EXPECT_TRUE(view->content()->disclosure()->isChecked());
    EXPECT_TRUE(view->content()->detail()->isVisible());

    // Changes on the same screen keep the focus where it was.
    secondary()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(secondary()->hasFocus());
    model->setCopied(true);
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 CHECK_FAILED \u00B7 exit 1"));
    EXPECT_TRUE(secondary()->hasFocus());
    EXPECT_EQ(view->content()->detail()->text(), model->detail());

    QTest::mouseClick(view->content()->disclosure(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(view->detailsOpen());
    EXPECT_FALSE(view->content()->detail()->isVisible());
}

TEST_F(ViewTest, noControlStartsWithTheFocusAndTabReachesThemInOrder)
{
    showScreen(InstallerScreen::prerequisite);
    EXPECT_EQ(QApplication::focusWidget(), view.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view->header()->link());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), secondary());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), primary());
}

TEST_F(ViewTest, copyButtonCopiesTheSummaryAndThenReadsCopied)
{
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 START_FAILED \u00B7 exit -1"));
    showScreen(InstallerScreen::error);
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    ASSERT_EQ(secondary()->text(), text("copyError"));

    QTest::mouseClick(secondary(), Qt::LeftButton);
    EXPECT_TRUE(model->copied());
    EXPECT_EQ(secondary()->text(), text("copied"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), model->detail());

    model->setCopied(false);
    EXPECT_EQ(secondary()->text(), text("copyError"));
}

TEST_F(ViewTest, returnPressesThePrimaryActionOfEachScreen)
{
    UrlCatcher browser;
    model->fixture = false; // install() must really be called

    // install() and retry look for the Codex desktop app first; the empty home has none.
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::error}) {
        showScreen(screen);
        QTest::keyClick(view.get(), Qt::Key_Return);
        EXPECT_EQ(model->screen(), InstallerScreen::prerequisite) << rawValue(screen).toStdString();
    }

    // Prerequisite: the download page opens; nothing else changes.
    QTest::keyClick(view.get(), Qt::Key_Enter);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front(), InstallerCopy::downloadURL());
    EXPECT_EQ(model->screen(), InstallerScreen::prerequisite);

    // Progress: nothing at all.
    showScreen(InstallerScreen::progress);
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(model->screen(), InstallerScreen::progress);
    EXPECT_EQ(browser.opened.size(), 1);
}

// Records quit requests and lets them through.
class QuitWatcher : public QObject {
public:
    int requests = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Quit)
            ++requests;
        return false;
    }
};

TEST_F(ViewTest, doneQuitsTheApplicationAndNothingElseDoes)
{
    QuitWatcher watcher;
    qApp->installEventFilter(&watcher);
    showScreen(InstallerScreen::complete);

    // quit() acts on a running event loop only, so press Return inside one.
    QTimer press;
    press.setSingleShot(true);
    QObject::connect(&press, &QTimer::timeout, [this] { QTest::keyClick(view.get(), Qt::Key_Return); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    press.start(0);
    guard.start(5000);
    const int status = QApplication::exec();
    qApp->removeEventFilter(&watcher);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(watcher.requests, 1);
}

TEST_F(ViewTest, checkAgainLooksForTheDesktopAppUnlessFrozen)
{
    const QString bin = home.filePath(QStringLiteral("Applications/Codex.app/Contents/Resources/codex-cli/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile tool(bin + QStringLiteral("/codex"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nexit 0\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    showScreen(InstallerScreen::prerequisite);
    QTest::mouseClick(secondary(), Qt::LeftButton);
    EXPECT_EQ(model->screen(), InstallerScreen::prerequisite); // frozen

    model->fixture = false;
    QTest::mouseClick(secondary(), Qt::LeftButton);
    EXPECT_EQ(model->screen(), InstallerScreen::ready);
    EXPECT_EQ(primary()->text(), text("install"));
}

TEST_F(ViewTest, landingLinkOpensTheLandingPageAndLeavesTheScreen)
{
    UrlCatcher browser;
    showScreen(InstallerScreen::ready);
    LinkButton* link = view->header()->link();
    EXPECT_EQ(link->text(), InstallerCopy::landingURL().host() + QStringLiteral(" \u2197"));
    EXPECT_EQ(placeOf(link).right() + 1, 667 - 32);

    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front(), InstallerCopy::landingURL());
    EXPECT_EQ(model->screen(), InstallerScreen::ready);
}

TEST_F(TurkishViewTest, textsComeFromTheTurkishTable)
{
    ASSERT_EQ(installerCopy().language, InstallerLanguage::turkish);
    showScreen(InstallerScreen::ready);
    EXPECT_EQ(view->title()->text(), text("readyTitle"));
    EXPECT_NE(view->title()->text(), QStringLiteral("Install Zuno for Codex"));
    EXPECT_TRUE(view->footer()->caption()->text().contains(model->version()));
    EXPECT_EQ(primary()->text(), text("install"));
    EXPECT_NE(primary()->text(), QStringLiteral("Install"));
    showScreen(InstallerScreen::progress);
    expectSteps(*view, {{{"verifyingFiles", "1"}, {"waitingRegistration", "2"}, {"waitingPanel", "3"}}});
    EXPECT_EQ(view->content()->progressBar()->accessibleName(), text("installing"));
    model->setStage(InstallStage::checking);
    EXPECT_EQ(view->description()->text(), text("checkingDescription"));
}

} // namespace ZunoInstaller

#include "InstallerViewTest.moc"
