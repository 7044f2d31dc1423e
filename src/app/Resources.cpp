#include "app/Resources.h"

using namespace Qt::StringLiterals;

namespace Resources {

QIcon appIcon()
{
    QIcon icon(u":/icons/app.png"_s);
    icon.addFile(u":/icons/app-256.png"_s);
    return icon;
}

QIcon icon(int id)
{
    return QIcon(u":/icons/%1.png"_s.arg(id));
}

QPixmap banner()
{
    return QPixmap(u":/banner.png"_s);
}

QPixmap aboutLogo()
{
    return QPixmap(u":/about/logo.png"_s);
}

QPixmap aboutProductName()
{
    return QPixmap(u":/about/product.png"_s);
}

QCursor linkCursor()
{
    return QCursor(QPixmap(u":/cursor/hand.png"_s), 6, 0);
}

} // namespace Resources
