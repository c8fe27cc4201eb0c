#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QNetworkReply;

namespace velmora::widgets { class PictureBox; }

namespace velmora::qr {

// The download-lookup address: "http://" + the host chosen at build time
// (VELMORA_DOWNLOAD_HOST) + the lookup path and query.
QString downloadLookupUrl();

// "下载手机端": shows the QR code of the phone app's download address, fetched
// from the download-lookup server each time the dialog is created.
//
// The fetch starts as soon as the dialog is first shown, so the dialog is
// already up (and modal under exec()) while it waits, saying
// "正在获取下载地址…" over the picture box; the wait runs a local event loop,
// so the dialog paints and the main window's phone servers keep working.
// When the lookup gives no address (no network, a server that is not
// found, refuses or does not answer within the time limit, an error status,
// an empty answer) the box shows "未能取得下载地址" and the reason instead of
// a code: a code of the empty text would send the phone nowhere. Closing the
// dialog while it waits abandons the request at once.
class DownloadDialog : public QDialog {
    Q_OBJECT
public:
    // Client area; with the standard frame the dialog is 423 x 480.
    static constexpr int CLIENT_WIDTH = 407;
    static constexpr int CLIENT_HEIGHT = 441;
    // The longest the lookup may take, in milliseconds.
    static constexpr int TIME_LIMIT_MS = 10000;

    // `lookupUrl` is the download-lookup address asked with one HTTP GET.
    explicit DownloadDialog(const QString& lookupUrl, QWidget* parent = nullptr);
    ~DownloadDialog() override;

    // Replaces the 10-second limit (tests); takes effect for a fetch not yet
    // started.
    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }

    void done(int result) override;

Q_SIGNALS:
    // This opening's lookup has ended: its code is in 图片框1, or why there
    // is none in 标签2.
    void fetched();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // What one lookup gave: the body, or why there is no address.
    struct Lookup {
        QByteArray body;
        QString failure; // "" when the body is the address to show
    };

    void buildControls();
    void fetchAndShow();
    Lookup fetch();
    QString failureOf(const QNetworkReply* reply, bool timedOut) const;

    QString m_lookupUrl;
    widgets::PictureBox* m_picture = nullptr;
    QLabel* m_state = nullptr; // 标签2, over the picture box until a code is shown
    int m_timeLimitMs = TIME_LIMIT_MS;
    bool m_fetchStarted = false;
    QPointer<QNetworkReply> m_pending;
};

} // namespace velmora::qr
