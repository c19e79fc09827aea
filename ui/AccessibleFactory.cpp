#include "ui/AccessibleFactory.h"

#include "ui/DisclosureButton.h"
#include "ui/NoticeBox.h"
#include "ui/StepRow.h"
#include "ui/TextBlock.h"

#include <QAccessibleWidget>

#include <mutex>

namespace ZunoInstaller {

namespace {

// A disclosure reads as a button that is collapsed or expanded, not as a check box.
class AccessibleDisclosure : public QAccessibleWidget {
public:
    explicit AccessibleDisclosure(DisclosureButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return button()->text();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = button()->isChecked();
        state.collapsed = !button()->isChecked();
        return state;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    DisclosureButton* button() const { return static_cast<DisclosureButton*>(widget()); }
};

QAccessibleInterface* accessibleFor(const QString&, QObject* object)
{
    if (auto* text = qobject_cast<TextBlock*>(object))
        return new QAccessibleWidget(text, text->accessibleRole());
    if (auto* disclosure = qobject_cast<DisclosureButton*>(object))
        return new AccessibleDisclosure(disclosure);
    if (auto* notice = qobject_cast<NoticeBox*>(object))
        return new QAccessibleWidget(notice, QAccessible::StaticText);
    if (auto* step = qobject_cast<StepRow*>(object))
        return new QAccessibleWidget(step, QAccessible::StaticText);
    return nullptr;
}

} // namespace

void installAccessibleFactory()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&accessibleFor); });
}

} // namespace ZunoInstaller
