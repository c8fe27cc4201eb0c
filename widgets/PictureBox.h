#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QWidget>

namespace velmora::widgets {

// A picture box: shows the picture given as the bytes of an image file on a
// plain background. The picture either stretches to fill the box (the QR
// codes) or keeps its aspect ratio, centred (the photo preview).
// pointerMoved() fires while the pointer moves over the box.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    enum class Fit { Stretch, KeepAspect };

    explicit PictureBox(QWidget* parent = nullptr);

    void setFit(Fit fit);
    void setBackground(const QColor& colour);

    // Replaces the picture with the image file `bytes`; bytes that are no
    // image the box can show clear the shown image but are still kept.
    void setPicture(const QByteArray& bytes);
    // Replaces the picture with an image already decoded (for example at a
    // reduced size); `bytes` are what picture() returns from now on.
    void setPicture(const QByteArray& bytes, const QImage& decoded);
    // The bytes of the current picture, as they were set.
    QByteArray picture() const { return m_bytes; }
    QImage image() const { return m_image; }

Q_SIGNALS:
    void pointerMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QByteArray m_bytes;
    QImage m_image;
    QColor m_background;
    Fit m_fit = Fit::Stretch;
};

} // namespace velmora::widgets
