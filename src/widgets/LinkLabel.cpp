#include "widgets/LinkLabel.h"

#include "widgets/Look.h"
#include "widgets/Resources.h"

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : ClickLabel(text, parent)
{
    setFont(Look::tahoma(Look::Style::Underlined));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Look::LinkBlue);
    setPalette(pal);
    setAutoFillBackground(false);
    setCursor(Resources::linkCursor(devicePixelRatio()));
    adjustSize();
}
