#pragma once

#include <QDialog>

namespace velmora::qr {

// The download-lookup address: "http://" + the host chosen at build time
// (VELMORA_DOWNLOAD_HOST) + the lookup path and query.
QString downloadLookupUrl();

// "下载手机端": shows the QR code of the phone app's download address, fetched
// from the download-lookup server each time the dialog is created.
class DownloadDialog : public QDialog {
    Q_OBJECT
public:
    // `lookupUrl` is the download-lookup address asked with one HTTP GET.
    explicit DownloadDialog(const QString& lookupUrl, QWidget* parent = nullptr);
    ~DownloadDialog() override;

private:
    QString m_lookupUrl;
};

} // namespace velmora::qr
