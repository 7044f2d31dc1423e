// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// The status list's images, counted from 1 and optionally reached by a key.
class ImageList
{
public:
    void add(const QIcon& image, const QString& key = {});

    [[nodiscard]] QIcon image(int index) const;
    [[nodiscard]] QIcon image(QStringView key) const;
    // The index of the image with this key, or 0 when there is none.
    [[nodiscard]] int indexOf(QStringView key) const;
    [[nodiscard]] int count() const { return int(m_images.size()); }

private:
    struct Entry
    {
        QIcon image;
        QString key;
    };
    QList<Entry> m_images;
};
