#pragma once

#include <QAbstractButton>
#include <QUrl>

#include <optional>
#include <utility>

namespace ZunoInstaller {

// The header's landing-page link: "<host> ↗" in small muted text. Activating
// it asks the platform to open the address in the default browser.
class LinkButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit LinkButton(const QUrl& url, QWidget* parent = nullptr);

    QUrl url() const { return m_url; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The size hint and the title it was measured for: layouts ask often.
    mutable std::optional<std::pair<QString, QSize>> m_hint;
    QUrl m_url;
};

} // namespace ZunoInstaller
