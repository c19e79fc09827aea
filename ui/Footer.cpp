#include "ui/Footer.h"

#include "copy/InstallerCopy.h"
#include "copy/VersionCaption.h"
#include "state/InstallerModel.h"
#include "ui/ActionButton.h"
#include "ui/Palette.h"
#include "ui/TextBlock.h"
#include "ui/Typography.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>

#include <optional>

namespace ZunoInstaller {

namespace {
constexpr int spacing = 16;

QString text(const char* key)
{
    return installerCopy().text(QString::fromLatin1(key));
}
} // namespace

Footer::Footer(InstallerModel* model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_caption(new TextBlock(this))
    , m_secondary(new ActionButton(false, this))
    , m_primary(new ActionButton(true, this))
{
    m_caption->setFont(systemFont(12));
    m_caption->setColor(Palette::caption());

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    row->addItem(m_caption->layoutItem(Qt::AlignVCenter));
    row->addWidget(m_secondary, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_primary, 0, Qt::AlignVCenter);

    connect(m_primary, &QAbstractButton::clicked, this, &Footer::performPrimary);
    connect(m_secondary, &QAbstractButton::clicked, this, &Footer::performSecondary);
}

void Footer::refresh()
{
    std::optional<QString> caption;
    std::optional<QString> secondary;
    std::optional<QString> primary;
    switch (m_model->screen()) {
    case InstallerScreen::ready:
        caption = formatVersionCaption(text("versionCaption"), m_model->version());
        primary = text("install");
        break;
    case InstallerScreen::prerequisite:
        secondary = text("checkAgain");
        primary = text("downloadDesktop");
        break;
    case InstallerScreen::progress:
        caption = text("keepOpen");
        break;
    case InstallerScreen::error:
        secondary = text(m_model->copied() ? "copied" : "copyError");
        primary = text("retry");
        break;
    case InstallerScreen::complete:
        caption = text("optionalCloud");
        primary = text("done");
        break;
    }

    // Each piece is kept and shown or hidden, so keyboard focus survives a redraw.
    const auto place = [](QWidget* widget, const std::optional<QString>& value, auto&& setText) {
        if (!value) {
            widget->hide();
            return;
        }
        setText(*value);
        widget->show();
    };
    place(m_caption, caption, [this](const QString& v) { m_caption->setText(v); });
    place(m_secondary, secondary, [this](const QString& v) { m_secondary->setText(v); });
    place(m_primary, primary, [this](const QString& v) { m_primary->setText(v); });
    layout()->setContentsMargins(inkMargins());
}

QMargins Footer::inkMargins() const
{
    // Alone on the progress screen, the caption is as high as the row.
    return m_caption->isVisibleTo(this) ? m_caption->inkMargins() : QMargins();
}

void Footer::performPrimary()
{
    switch (m_model->screen()) {
    case InstallerScreen::ready:
    case InstallerScreen::error:
        m_model->install();
        break;
    case InstallerScreen::prerequisite:
        QDesktopServices::openUrl(InstallerCopy::downloadURL());
        break;
    case InstallerScreen::complete:
        // The application may refuse to quit (never on this screen, but the
        // decision is its own).
        QCoreApplication::quit();
        break;
    case InstallerScreen::progress:
        break; // nothing to press while a run is under way
    }
}

void Footer::performSecondary()
{
    switch (m_model->screen()) {
    case InstallerScreen::prerequisite:
        m_model->checkPrerequisite(); // does nothing on a frozen model
        break;
    case InstallerScreen::error:
        m_model->copyError();
        break;
    default:
        break;
    }
}

} // namespace ZunoInstaller
