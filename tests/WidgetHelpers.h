#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

// A control of a window by its object name; a missing one ends the test program, since nothing else can run.
template<typename W = QWidget> W* control(const QObject* window, const char* name)
{
    auto* w = window->findChild<W*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
