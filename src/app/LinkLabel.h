#pragma once

#include <QLabel>

// A label that looks and acts like a link: blue underlined text on a transparent ground, sized to its text,
// the pointing hand over it; a click (press and release over it) emits clicked().
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    LinkLabel(const QString& text, QWidget* parent);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
