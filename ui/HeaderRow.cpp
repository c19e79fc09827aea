#include "ui/HeaderRow.h"

#include "copy/InstallerCopy.h"
#include "ui/LinkButton.h"
#include "ui/Palette.h"
#include "ui/TextBlock.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace ZunoInstaller {

namespace {
constexpr int spacing = 9;
constexpr qreal badgeRadius = 8;
} // namespace

HeaderRow::HeaderRow(QWidget* parent)
    : QWidget(parent)
    , m_brand(new TextBlock(this))
    , m_link(new LinkButton(InstallerCopy::landingURL(), this))
{
    m_brand->setFont(systemFont(15, QFont::DemiBold));
    m_brand->setText(QStringLiteral("Vexa Zuno"));
    m_brand->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    // The painted badge's frame; a layout adds no spacing next to a spacer.
    row->addSpacing(badgeSize + spacing);
    row->addItem(m_brand->layoutItem(Qt::AlignVCenter));
    row->addStretch(1);
    row->addWidget(m_link, 0, Qt::AlignVCenter);
    setFixedHeight(badgeSize);
}

void HeaderRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF frame(0, (height() - badgeSize) / 2.0, badgeSize, badgeSize);
    // The 1-wide outline is centred on the frame's edge; moved half a pixel in
    // so that it covers whole pixels instead of blurring across two.
    QPen outline(Palette::withOpacity(Palette::accent(), 0.35));
    outline.setWidthF(1);
    outline.setJoinStyle(Qt::MiterJoin);
    outline.setCapStyle(Qt::FlatCap);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), badgeRadius, badgeRadius);

    painter.setFont(systemFont(18, QFont::Medium));
    painter.setPen(Palette::accent());
    painter.drawText(frame, Qt::AlignCenter, QStringLiteral("\u21C8"));
}

} // namespace ZunoInstaller
