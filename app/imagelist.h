// SPDX-License-Identifier: MIT
// An invisible store of equally sized images, numbered from 1, that list views take their small
// icons from.
#pragma once

#include <QIcon>
#include <QList>
#include <QSize>

namespace app {

class ImageList {
 public:
    explicit ImageList(QSize imageSize) : m_imageSize(imageSize) {}

    QSize imageSize() const { return m_imageSize; }
    int count() const { return static_cast<int>(m_images.size()); }
    void add(const QIcon& image) { m_images.append(image); }
    // The image with the given number, or a null icon when there is none.
    QIcon image(int index) const {
        return index >= 1 && index <= count() ? m_images.at(index - 1) : QIcon();
    }

 private:
    QSize m_imageSize;
    QList<QIcon> m_images;
};

}  // namespace app
