#include "ui/LinkButton.h"

#include "ui/AccessibleFactory.h"
#include "ui/Palette.h"
#include "ui/Typography.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace ZunoInstaller {

LinkButton::LinkButton(const QUrl& url, QWidget* parent)
    : QAbstractButton(parent)
    , m_url(url)
{
    installAccessibleFactory();
    setFont(systemFont(12));
    setText(url.host() + QStringLiteral(" \u2197"));
    // Read aloud, the arrow would be "north east arrow": the link's role
    // already says that it leads elsewhere. The full address is its description.
    setAccessibleName(url.host());
    setAccessibleDescription(url.toString());
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { QDesktopServices::openUrl(m_url); });
}

QSize LinkButton::sizeHint() const
{
    if (!m_hint || m_hint->first != text()) {
        m_hint.emplace(text(), QSize(int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))),
                                     int(std::ceil(lineHeight(font())))));
    }
    return m_hint->second;
}

void LinkButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_hint.reset();
    QAbstractButton::changeEvent(event);
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Palette::secondaryText());
    painter.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

} // namespace ZunoInstaller
