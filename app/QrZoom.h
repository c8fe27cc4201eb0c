#pragma once

#include <QObject>

class QLabel;
class QWidget;

namespace velmora::widgets { class PictureBox; }

namespace velmora::app {

// The enlarged view of the connection QR code: opens when the pointer moves
// over the small code (图片框1), closes when it moves over the window's bare
// background. The picture is copied only when the view opens.
class QrZoom : public QObject {
    Q_OBJECT
public:
    static constexpr int FRAME_SIZE = 350;
    static constexpr int PICTURE_SIZE = 300;

    // `outerWidth` x `outerHeight` is the window's size with its frame, from
    // which the view is centred.
    QrZoom(QWidget* window, int outerWidth, int outerHeight);

    bool isOpen() const;

public Q_SLOTS:
    void open();
    void close();

private:
    widgets::PictureBox* m_source;
    widgets::PictureBox* m_picture;
    QLabel* m_frame;
    int m_outerWidth;
    int m_outerHeight;
};

} // namespace velmora::app
