#include "ViewFixture.h"

#include "ui/DisclosureButton.h"
#include "ui/TextBlock.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QProgressBar>

#include <vector>

namespace ZunoInstaller {

namespace {

struct Spoken {
    QAccessible::Role role;
    QString name;
};

// What a screen reader walking the view would meet: every visible element
// with a name, in tree order.
void collect(QAccessibleInterface* element, std::vector<Spoken>& out)
{
    for (int i = 0; i < element->childCount(); ++i) {
        QAccessibleInterface* child = element->child(i);
        if (!child || child->state().invisible)
            continue;
        const QString name = child->text(QAccessible::Name);
        if (!name.isEmpty())
            out.push_back({child->role(), name});
        collect(child, out);
    }
}

std::vector<Spoken> spoken(InstallerView& view)
{
    QCoreApplication::processEvents();
    std::vector<Spoken> out;
    collect(QAccessible::queryAccessibleInterface(&view), out);
    return out;
}

std::vector<QString> named(const std::vector<Spoken>& all, QAccessible::Role role)
{
    std::vector<QString> names;
    for (const Spoken& s : all)
        if (s.role == role)
            names.push_back(s.name);
    return names;
}

bool mentions(const std::vector<Spoken>& all, const QString& needle)
{
    return std::any_of(all.begin(), all.end(), [&](const Spoken& s) { return s.name.contains(needle); });
}

const QString plainGlyph = QStringLiteral("\u2713");
const QString warningGlyph = QStringLiteral("\u24D8");
const QString badgeGlyph = QStringLiteral("\u21C8");

} // namespace

TEST_F(ViewTest, readerHearsTheTitleAsHeadingAndTheNoticeWithoutItsGlyph)
{
    for (const auto& [screen, notice] : {std::pair{InstallerScreen::ready, "readyNotice"},
                                        std::pair{InstallerScreen::prerequisite, "prerequisiteNotice"},
                                        std::pair{InstallerScreen::error, "errorNotice"}}) {
        showScreen(screen);
        const auto all = spoken(*view);
        SCOPED_TRACE(rawValue(screen).toStdString());

        const auto headings = named(all, QAccessible::Heading);
        ASSERT_EQ(headings.size(), 1u);
        EXPECT_EQ(headings.front(), view->title()->text());

        const auto texts = named(all, QAccessible::StaticText);
        EXPECT_NE(std::find(texts.begin(), texts.end(), text(notice)), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), view->description()->text()), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("Vexa Zuno")), texts.end());
        EXPECT_FALSE(mentions(all, plainGlyph));
        EXPECT_FALSE(mentions(all, warningGlyph));
        EXPECT_FALSE(mentions(all, badgeGlyph));
        EXPECT_FALSE(mentions(all, QStringLiteral("\u2197")));
    }
}

TEST_F(ViewTest, readerHearsEachStepRowAsOneElementAndTheBarAsInstalling)
{
    showScreen(InstallerScreen::progress);
    model->setStage(InstallStage::validated);
    auto all = spoken(*view);
    EXPECT_EQ(named(all, QAccessible::StaticText),
              (std::vector<QString>{QStringLiteral("Vexa Zuno"), view->description()->text(),
                                    plainGlyph + u' ' + text("filesVerified"),
                                    QStringLiteral("2 ") + text("waitingRegistration"),
                                    QStringLiteral("3 ") + text("waitingPanel"), text("keepOpen")}));
    EXPECT_EQ(named(all, QAccessible::ProgressBar), (std::vector<QString>{text("installing")}));
    // No button at all on this screen.
    EXPECT_TRUE(named(all, QAccessible::Button).empty());

    showScreen(InstallerScreen::complete);
    all = spoken(*view);
    const auto texts = named(all, QAccessible::StaticText);
    for (const auto& [badge, key] : {std::pair{"1", "restartStep"}, std::pair{"2", "chatStep"}, std::pair{"3", "pinStep"}})
        EXPECT_NE(std::find(texts.begin(), texts.end(), QString::fromLatin1(badge) + u' ' + text(key)), texts.end())
            << key;
    EXPECT_TRUE(named(all, QAccessible::ProgressBar).empty());
}

TEST_F(ViewTest, readerFindsTheButtonsByTheirTitles)
{
    showScreen(InstallerScreen::ready);
    EXPECT_EQ(named(spoken(*view), QAccessible::Button), (std::vector<QString>{text("install")}));
    // The header link is a link, named by where it goes, without its arrow.
    EXPECT_EQ(named(spoken(*view), QAccessible::Link), (std::vector<QString>{InstallerCopy::landingURL().host()}));

    showScreen(InstallerScreen::prerequisite);
    EXPECT_EQ(named(spoken(*view), QAccessible::Button),
              (std::vector<QString>{text("checkAgain"), text("downloadDesktop")}));

    showScreen(InstallerScreen::error);
    model->setCopied(true);
    const auto all = spoken(*view);
    const auto buttons = named(all, QAccessible::Button);
    EXPECT_EQ(buttons, (std::vector<QString>{text("technicalDetails"), text("copied"), text("retry")}));

    // The disclosure says whether it is open, and pressing it opens it.
    QAccessibleInterface* disclosure = QAccessible::queryAccessibleInterface(view->content()->disclosure());
    EXPECT_TRUE(disclosure->state().collapsed);
    disclosure->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(view->detailsOpen());
    EXPECT_TRUE(disclosure->state().expanded);

    showScreen(InstallerScreen::complete);
    EXPECT_EQ(named(spoken(*view), QAccessible::Button), (std::vector<QString>{text("done")}));
}

} // namespace ZunoInstaller
