// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/Resources.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace Resources {

namespace {

// name.png and name@2x.png, both by name: Qt 6.4 looks for the @2x file only from QIcon, and only when a screen of
// ratio 2 is there as it loads, so a window moved to such a screen later, or a test, would never see it.
QIcon bothScales(const QString& name)
{
    QIcon icon(QPixmap(u":/"_s + name + u".png"_s));
    icon.addPixmap(QPixmap(u":/"_s + name + u"@2x.png"_s)); // the name gives this pixmap its ratio of 2
    return icon;
}

} // namespace

QIcon appIcon()
{
    QIcon icon = bothScales(u"icons/app"_s);
    icon.addFile(u":/icons/app-256.png"_s);
    return icon;
}

QIcon icon(IconId id)
{
    return bothScales(u"icons/%1"_s.arg(id));
}

QIcon listImage(ListImage image)
{
    return bothScales(u"imgl/%1"_s.arg(int(image)));
}

QIcon banner()
{
    return bothScales(u"banner"_s);
}

QIcon aboutLogo()
{
    return bothScales(u"about/logo"_s);
}

QIcon aboutProductName()
{
    return bothScales(u"about/product"_s);
}

QCursor linkCursor(qreal devicePixelRatio)
{
    const QPixmap hand = bothScales(u"cursor/hand"_s).pixmap(QSize(32, 32), devicePixelRatio);
    // The fingertip is at 6,0 in device-independent pixels, QCursor's unit. Qt 6.4 on X11 hands the hot spot to the
    // server unconverted, where it counts pixels of the image.
    const int scale = QGuiApplication::platformName() == u"xcb"_s ? qRound(hand.devicePixelRatio()) : 1;
    return QCursor(hand, 6 * scale, 0);
}

} // namespace Resources
