#include "ui/AccessibleFactory.h"

#include "ui/DisclosureButton.h"
#include "ui/InstallerView.h"
#include "ui/LinkButton.h"
#include "ui/NoticeBox.h"
#include "ui/StepRow.h"
#include "ui/TextBlock.h"

#include <QAccessibleWidget>

#include <mutex>

namespace ZunoInstaller {

namespace {

// A painted button in the role it plays, pressed like any button.
class AccessibleControl : public QAccessibleWidget {
public:
    AccessibleControl(QAbstractButton* button, QAccessible::Role role)
        : QAccessibleWidget(button, role)
    {
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

protected:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// A disclosure reads as a button that is collapsed or expanded, not as a check box.
class AccessibleDisclosure : public AccessibleControl {
public:
    explicit AccessibleDisclosure(DisclosureButton* button)
        : AccessibleControl(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return button()->text();
        return AccessibleControl::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = AccessibleControl::state();
        state.expandable = true;
        state.expanded = button()->isChecked();
        state.collapsed = !button()->isChecked();
        return state;
    }
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
    if (auto* link = qobject_cast<LinkButton*>(object))
        return new AccessibleControl(link, QAccessible::Link);
    if (auto* view = qobject_cast<InstallerView*>(object))
        return new QAccessibleWidget(view, QAccessible::Pane);
    return nullptr;
}

} // namespace

void installAccessibleFactory()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(&accessibleFor); });
}

} // namespace ZunoInstaller
