#pragma once

#include <QWidget>

namespace ZunoInstaller {

class LinkButton;
class TextBlock;

// The top row: the badge (painted here, so it is hidden from assistive
// technology), the brand line, and the landing-page link at the right edge.
class HeaderRow : public QWidget {
    Q_OBJECT
public:
    explicit HeaderRow(QWidget* parent = nullptr);

    TextBlock* brand() const { return m_brand; }
    LinkButton* link() const { return m_link; }

    static constexpr int badgeSize = 31;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextBlock* m_brand;
    LinkButton* m_link;
};

} // namespace ZunoInstaller
