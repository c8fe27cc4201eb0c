#pragma once

// A stored photo's pixels turned as its orientation tag says, for the face
// checks and the export alike.

#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QTransform>

namespace velmora::registry {

// Maps the stored picture's pixels onto the upright one's: mirror, flip,
// then a quarter turn clockwise, as the tag's transformation says.
QTransform uprightTransform(QImageIOHandler::Transformations turn, QSize stored);

// `image`, as stored, turned upright.
QImage turnUpright(const QImage& image, QImageIOHandler::Transformations turn);

} // namespace velmora::registry
