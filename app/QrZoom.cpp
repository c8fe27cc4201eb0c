#include "app/QrZoom.h"

#include "widgets/PictureBox.h"

#include <QLabel>

namespace velmora::app {

using widgets::PictureBox;
namespace {

// Centring is computed in floating point and truncated, so an odd difference
// rounds towards the top left.
int centred(int outer, int inner)
{
    return static_cast<int>((outer - inner) / 2.0);
}

} // namespace

QrZoom::QrZoom(QWidget* window, int outerWidth, int outerHeight)
    : QObject(window),
      m_source(window->findChild<PictureBox*>(QStringLiteral("图片框1"))),
      m_picture(window->findChild<PictureBox*>(QStringLiteral("图片框2"))),
      m_frame(window->findChild<QLabel*>(QStringLiteral("标签8"))),
      m_outerWidth(outerWidth),
      m_outerHeight(outerHeight)
{
    Q_ASSERT(m_source && m_picture && m_frame);
}

bool QrZoom::isOpen() const
{
    return !m_picture->isHidden();
}

void QrZoom::open()
{
    if (!m_picture->isHidden())
        return;
    m_frame->show();
    m_frame->resize(FRAME_SIZE, FRAME_SIZE);
    m_frame->move(m_frame->x(), centred(m_outerHeight, m_frame->height()));
    m_frame->move(centred(m_outerWidth, m_frame->width()), m_frame->y());

    m_picture->show();
    m_picture->resize(PICTURE_SIZE, PICTURE_SIZE);
    m_picture->setPicture(m_source->picture(), m_source->image());
    m_picture->move(m_picture->x(), centred(m_outerHeight, m_picture->height()));
    m_picture->move(centred(m_outerWidth, m_picture->width()), m_picture->y());
}

void QrZoom::close()
{
    if (m_picture->isHidden())
        return;
    m_picture->hide();
    m_frame->hide();
    m_picture->setGeometry(m_picture->x(), 0, 2, 2);
}

} // namespace velmora::app
