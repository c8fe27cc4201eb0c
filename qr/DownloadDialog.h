#pragma once

#include <QDialog>
#include <QPointer>

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
// already up (and modal under exec()) while it waits; the wait runs a local
// event loop, so the dialog paints and the main window's phone servers keep
// working. A failed request, an error status or no answer within the time
// limit gives the empty body, whose QR code is shown all the same, without
// a message. Closing the dialog while it waits abandons the request at once.
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
    // The picture made from this opening's lookup is in 图片框1.
    void fetched();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void fetchAndShow();
    QByteArray fetchBody();

    QString m_lookupUrl;
    widgets::PictureBox* m_picture = nullptr;
    int m_timeLimitMs = TIME_LIMIT_MS;
    bool m_fetchStarted = false;
    QPointer<QNetworkReply> m_pending;
};

} // namespace velmora::qr
