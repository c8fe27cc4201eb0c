#include "qr/DownloadDialog.h"

#include "widgets/PictureBox.h"
#include "qr/QrPicture.h"

#include <QEventLoop>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <string_view>

namespace velmora::qr {
namespace {

// The big code in the dialog: level H, a border of a quarter of the
// rendering, so a download address gets a few pixels per module.
constexpr std::int32_t DIALOG_CONFIGURE1 = 0;
constexpr std::int32_t DIALOG_CONFIGURE2 = 4;
constexpr double DIALOG_APPEARANCE = 0.25;

// The picture uses no more than this many bytes of the body; reading stops
// there, so a server that streams without end costs no memory.
constexpr qint64 BODY_LIMIT = static_cast<qint64>(MAX_TEXT_BYTES);

bool isSuccessStatus(const QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status <= 299;
}

// The built-in host lies under the reserved .example domain, which no
// server answers: the program was built without a real one, and asking the
// network about it would only take time. "" for any other host.
QString placeholderHostFailure(const QString& url)
{
    const QString host = QUrl(url).host();
    if (host != QStringLiteral("example") && !host.endsWith(QStringLiteral(".example")))
        return {};
    return QStringLiteral("下载服务器还没有设置：%1 只是占位的地址，请信息科老师设置学校的下载服务器").arg(host);
}

const QString CAPTION = QStringLiteral("请在手机端扫描下方的二维码下载《Velmora》手机端APP。");

} // namespace

QString downloadLookupUrl()
{
    return QStringLiteral("http://") + QStringLiteral(VELMORA_DOWNLOAD_HOST)
        + QStringLiteral("/tessaro/huoquxzdz.asp?caozuo=xiazhai&rjming=Velmora");
}

DownloadDialog::DownloadDialog(const QString& lookupUrl, QWidget* parent)
    : QDialog(parent), m_lookupUrl(lookupUrl)
{
    setWindowTitle(QStringLiteral("下载手机端"));
    setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);
    buildControls();
}

DownloadDialog::~DownloadDialog() = default;

void DownloadDialog::buildControls()
{
    // Two lines of 16 pixels fill the 32-pixel label; the fonts this
    // platform offers for the characters space their lines wider, which
    // would cut the second line off, so the line pitch is set outright.
    auto* caption = new QLabel(QStringLiteral("<p style=\"margin:0; line-height:16px; -qt-line-height-type:fixed\">%1</p>")
                                   .arg(CAPTION.toHtmlEscaped()), this);
    caption->setObjectName(QStringLiteral("标签1"));
    caption->setGeometry(16, 8, 384, 32);
    caption->setTextFormat(Qt::RichText);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    caption->setPalette(palette);
    QFont font = caption->font();
    font.setPixelSize(16);
    font.setWeight(QFont::Normal);
    caption->setFont(font);

    // Created after the caption, so it lies above it.
    m_picture = new widgets::PictureBox(this);
    m_picture->setObjectName(QStringLiteral("图片框1"));
    m_picture->setGeometry(17, 53, 383, 383);
    m_picture->setBackground(QColor(96, 96, 96));
    m_picture->setFit(widgets::PictureBox::Fit::Stretch);

    // What the lookup is doing, over the empty box until a code is shown.
    m_state = new QLabel(QStringLiteral("正在获取下载地址…"), this);
    m_state->setObjectName(QStringLiteral("标签2"));
    m_state->setGeometry(17, 53, 383, 383);
    m_state->setTextFormat(Qt::PlainText);
    m_state->setAlignment(Qt::AlignCenter);
    m_state->setWordWrap(true);
    m_state->setMargin(24);
    QPalette light = m_state->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    m_state->setPalette(light);
    m_state->setFont(font);
}

void DownloadDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_fetchStarted)
        return;
    m_fetchStarted = true;
    // Queued, so the dialog is on screen (and modal under exec()) first.
    QMetaObject::invokeMethod(this, &DownloadDialog::fetchAndShow, Qt::QueuedConnection);
}

void DownloadDialog::done(int result)
{
    if (m_pending)
        m_pending->abort(); // ends the wait in fetchBody()
    QDialog::done(result);
}

void DownloadDialog::fetchAndShow()
{
    if (!isVisible())
        return; // closed before the lookup began: nobody would see the code
    const Lookup lookup = fetch();
    if (lookup.failure.isEmpty()) {
        const std::vector<std::uint8_t> picture =
            MakeQrPicture(std::string_view(lookup.body.constData(), static_cast<std::size_t>(lookup.body.size())),
                          DIALOG_CONFIGURE1, DIALOG_CONFIGURE2, DIALOG_APPEARANCE);
        m_picture->setPicture(QByteArray(reinterpret_cast<const char*>(picture.data()),
                                         static_cast<qsizetype>(picture.size())));
        m_state->hide();
    } else {
        m_state->setText(QStringLiteral("未能取得下载地址\n\n") + lookup.failure);
    }
    Q_EMIT fetched();
}

DownloadDialog::Lookup DownloadDialog::fetch()
{
    if (const QString placeholder = placeholderHostFailure(m_lookupUrl); !placeholder.isEmpty())
        return {{}, placeholder};
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(m_lookupUrl)));
    m_pending = reply;
    QByteArray body;
    bool cutShort = false;
    bool timedOut = false;
    auto take = [&] {
        body += reply->read(BODY_LIMIT - body.size());
        if (body.size() >= BODY_LIMIT && !reply->isFinished()) {
            cutShort = true;
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::readyRead, this, take);

    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    limit.start(m_timeLimitMs);
    if (!reply->isFinished())
        wait.exec();
    m_pending = nullptr;

    if (!reply->isFinished())
        return {{}, QStringLiteral("程序正在退出")};
    if (!cutShort) {
        if (reply->error() != QNetworkReply::NoError)
            return {{}, failureOf(reply, timedOut)};
        take();
    }
    if (!isSuccessStatus(reply))
        return {{}, failureOf(reply, false)};
    if (body.isEmpty())
        return {{}, QStringLiteral("下载服务器的回答是空的，没有下载地址")};
    return {body, {}};
}

// The reason as the staff (or the school's IT staff they call) can act on
// it; Qt's own error text, translated with its other texts, for the rest.
QString DownloadDialog::failureOf(const QNetworkReply* reply, bool timedOut) const
{
    if (timedOut)
        return QStringLiteral("下载服务器 %1 秒内没有回答").arg((m_timeLimitMs + 999) / 1000);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !isSuccessStatus(reply)) {
        const QString phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        return QStringLiteral("下载服务器回答：%1 %2").arg(status.toInt()).arg(phrase).trimmed();
    }
    const QString host = QUrl(m_lookupUrl).host();
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到下载服务器 %1：电脑可能没有连上互联网").arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("下载服务器 %1 拒绝连接").arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("下载服务器 %1 没有回答就断开了连接").arg(host);
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("电脑没有连上网络");
    default:
        return reply->errorString();
    }
}

} // namespace velmora::qr
