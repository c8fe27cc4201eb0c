#include "qr/DownloadDialog.h"

namespace velmora::qr {

QString downloadLookupUrl()
{
    return QStringLiteral("http://") + QStringLiteral(VELMORA_DOWNLOAD_HOST)
        + QStringLiteral("/tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora");
}

DownloadDialog::DownloadDialog(const QString& lookupUrl, QWidget* parent)
    : QDialog(parent), m_lookupUrl(lookupUrl)
{
    setWindowTitle(QStringLiteral("下载手机端"));
    setFixedSize(407, 441);
}

DownloadDialog::~DownloadDialog() = default;

} // namespace velmora::qr
