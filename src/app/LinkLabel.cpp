#include "app/LinkLabel.h"

#include "app/Look.h"
#include "app/Resources.h"

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : ClickLabel(text, parent)
{
    setFont(Look::tahoma(false, false, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Look::LinkBlue);
    setPalette(pal);
    setAutoFillBackground(false);
    setCursor(Resources::linkCursor(devicePixelRatio()));
    adjustSize();
}
