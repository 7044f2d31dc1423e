// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/LinkLabel.h"

#include "widgets/Look.h"
#include "widgets/Resources.h"

#include <QAccessibleWidget>

namespace {

// What a screen reader finds of a link: its text as its name, the role of a link, and the press action, which
// does what a click does.
class LinkLabelAccessible : public QAccessibleWidget
{
public:
    explicit LinkLabelAccessible(LinkLabel* link)
        : QAccessibleWidget(link, QAccessible::Link)
    { }

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        return t == QAccessible::Name && own.isEmpty() ? link()->text() : own;
    }

    QStringList actionNames() const override { return QStringList {pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction())
            link()->click();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    LinkLabel* link() const { return static_cast<LinkLabel*>(widget()); }
};

QAccessibleInterface* linkLabelAccessible(const QString&, QObject* object)
{
    auto* link = qobject_cast<LinkLabel*>(object);
    return link ? new LinkLabelAccessible(link) : nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : ClickLabel(text, parent)
{
    // Once, before any link is asked for its interface.
    [[maybe_unused]] static const bool accessible = (QAccessible::installFactory(linkLabelAccessible), true);
    setFont(Look::tahoma(Look::Style::Underlined));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Look::LinkBlue);
    setPalette(pal);
    setAutoFillBackground(false);
    setCursor(Resources::linkCursor(devicePixelRatio()));
    adjustSize();
}
