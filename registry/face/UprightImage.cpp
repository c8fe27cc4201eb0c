#include "registry/face/UprightImage.h"

namespace velmora::registry {

QTransform uprightTransform(QImageIOHandler::Transformations turn, QSize stored)
{
    QTransform transform;
    if (turn & QImageIOHandler::TransformationMirror)
        transform *= QTransform(-1, 0, 0, 1, stored.width(), 0);
    if (turn & QImageIOHandler::TransformationFlip)
        transform *= QTransform(1, 0, 0, -1, 0, stored.height());
    if (turn & QImageIOHandler::TransformationRotate90)
        transform *= QTransform(0, 1, -1, 0, stored.height(), 0);
    return transform;
}

QImage turnUpright(const QImage& image, QImageIOHandler::Transformations turn)
{
    QImage upright = image.mirrored(turn & QImageIOHandler::TransformationMirror,
                                    turn & QImageIOHandler::TransformationFlip);
    if (turn & QImageIOHandler::TransformationRotate90)
        upright = upright.transformed(QTransform().rotate(90));
    return upright;
}

} // namespace velmora::registry
