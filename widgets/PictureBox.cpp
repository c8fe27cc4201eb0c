#include "widgets/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmora::widgets {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setFit(Fit fit)
{
    m_fit = fit;
    update();
}

void PictureBox::setBackground(const QColor& colour)
{
    m_background = colour;
    update();
}

void PictureBox::setPicture(const QByteArray& bytes)
{
    setPicture(bytes, QImage::fromData(bytes));
}

void PictureBox::setPicture(const QByteArray& bytes, const QImage& decoded)
{
    m_bytes = bytes;
    m_image = decoded;
    update();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background.isValid())
        painter.fillRect(rect(), m_background);
    if (m_image.isNull())
        return;
    if (m_fit == Fit::Stretch) {
        painter.drawImage(rect(), m_image);
        return;
    }
    QSize shown = m_image.size().scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), shown);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT pointerMoved();
    event->accept();
}

} // namespace velmora::widgets
