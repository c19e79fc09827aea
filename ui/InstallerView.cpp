#include "ui/InstallerView.h"

#include "copy/InstallerCopy.h"
#include "platform/DarkAppearance.h"
#include "platform/StartupTrace.h"
#include "state/InstallerModel.h"
#include "ui/AccessibleFactory.h"
#include "ui/ActionButton.h"
#include "ui/BleedItem.h"
#include "ui/DisclosureButton.h"
#include "ui/FocusRing.h"
#include "ui/Footer.h"
#include "ui/HeaderRow.h"
#include "ui/LinkButton.h"
#include "ui/Palette.h"
#include "ui/ScreenAnnouncer.h"
#include "ui/ScreenContent.h"
#include "ui/TextBlock.h"
#include "ui/Typography.h"

#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QShortcut>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <cmath>

namespace ZunoInstaller {

namespace {
constexpr int paddingSide = 32;
constexpr int paddingTop = 30;
constexpr int paddingBottom = 26;
constexpr int titleTop = 21;
constexpr int titleBottom = 10;
constexpr int descriptionBottom = 20;
constexpr int minimumGap = 23;
constexpr qreal textFocusRadius = 3; // the ring's corners around a link or a text

struct ScreenTexts {
    const char* title;
    const char* description;
};

ScreenTexts screenTexts(const InstallerModel& model)
{
    switch (model.screen()) {
    case InstallerScreen::ready:
        return {"readyTitle", "readyDescription"};
    case InstallerScreen::prerequisite:
        return {"prerequisiteTitle", "prerequisiteDescription"};
    case InstallerScreen::progress:
        return {"progressTitle",
                model.stage() == InstallStage::checking ? "checkingDescription" : "progressDescription"};
    case InstallerScreen::error:
        return {"errorTitle",
                model.failureCode() == QStringLiteral("RUNTIME_UNAVAILABLE") ? "runtimeErrorDescription"
                                                                             : "errorDescription"};
    case InstallerScreen::complete:
        return {"completeTitle", "completeDescription"};
    }
    return {"readyTitle", "readyDescription"};
}
} // namespace

InstallerView::InstallerView(InstallerModel* model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_header(new HeaderRow(this))
    , m_title(new TextBlock(this))
    , m_description(new TextBlock(this))
    , m_content(new ScreenContent(this))
    , m_footer(new Footer(model, this))
{
    installAccessibleFactory();

    // The standard controls get a dark palette; text that sets no colour of
    // its own is drawn in the default text colour.
    QPalette colours = darkPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Window, Palette::surface());
        colours.setColor(group, QPalette::WindowText, Palette::defaultText());
    }
    setPalette(colours);

    QFont title = systemFont(24, QFont::DemiBold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, -0.65);
    m_title->setFont(title);
    m_title->setAccessibleRole(QAccessible::Heading);

    m_description->setFont(systemFont(15));
    m_description->setColor(Palette::secondaryText());
    m_description->setLineSpacing(5);

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(paddingSide, paddingTop, paddingSide, paddingBottom);
    body->setSpacing(0);
    body->addWidget(m_header);
    body->addSpacing(titleTop);
    body->addItem(m_title->layoutItem());
    body->addSpacing(titleBottom);
    body->addItem(m_description->layoutItem());
    body->addSpacing(descriptionBottom);
    body->addWidget(m_content);
    body->addItem(new QSpacerItem(0, minimumGap, QSizePolicy::Minimum, QSizePolicy::Expanding));
    body->addItem(new BleedItem(m_footer, [this] { return m_footer->inkMargins(); }));

    // The primary action is the window's default: Return (or Enter) presses
    // it wherever the focus is. The progress screen has none.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &InstallerView::activateDefault);
    }

    // Last, so that it is drawn over everything else.
    m_focusRing = new FocusRing(this);
    m_focusRing->follow(m_header->link(), textFocusRadius);
    m_focusRing->follow(m_content->disclosure(), textFocusRadius);
    m_focusRing->follow(m_content->detail(), textFocusRadius);
    m_focusRing->follow(m_footer->secondary(), ActionButton::cornerRadius);
    m_focusRing->follow(m_footer->primary(), ActionButton::cornerRadius);

    // The view holds the focus when the window opens, so that no control
    // starts out with a focus mark; Tab moves on to the controls.
    setFocusPolicy(Qt::ClickFocus);
    setFocus(Qt::OtherFocusReason);

    connect(m_content, &ScreenContent::detailsToggled, this, [this](bool open) {
        m_detailsOpen = open;
        refresh();
    });
    connect(m_model, &InstallerModel::changed, this, &InstallerView::refresh);
    new ScreenAnnouncer(this, m_model);
    markStartup("widget construction");
    refresh();
}

void InstallerView::refresh()
{
    const ScreenTexts texts = screenTexts(*m_model);
    m_title->setText(installerCopy().text(QString::fromLatin1(texts.title)));
    m_description->setText(installerCopy().text(QString::fromLatin1(texts.description)));
    // The view holds the focus when the window opens: named after the screen,
    // it is what a reader reads first. Later screens are announced.
    setAccessibleName(m_title->text());
    setAccessibleDescription(m_description->text());
    m_content->refresh(*m_model, m_detailsOpen);
    m_footer->refresh();
    setFixedSize(contentWidth, int(std::lround(m_model->contentHeight())));
    m_content->settle();
    m_footer->layout()->activate();
    layout()->activate();
}

void InstallerView::activateDefault()
{
    ActionButton* primary = m_footer->primary();
    if (primary->isVisibleTo(this))
        primary->click();
}

void InstallerView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Palette::surface());
}

} // namespace ZunoInstaller
