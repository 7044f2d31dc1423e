// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ImageList.h"

void ImageList::add(const QIcon& image, const QString& key)
{
    m_images.append({image, key});
}

QIcon ImageList::image(int index) const
{
    return index >= 1 && index <= count() ? m_images.at(index - 1).image : QIcon();
}

QIcon ImageList::image(QStringView key) const
{
    return image(indexOf(key));
}

int ImageList::indexOf(QStringView key) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_images.at(i).key == key)
            return i + 1;
    }
    return 0;
}
