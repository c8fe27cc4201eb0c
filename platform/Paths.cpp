#include "platform/Paths.h"

#include "platform/PathSeparator.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace velmora::platform {

QString defaultReceiveDirectory()
{
#ifdef _WIN32
    return QStringLiteral("D:\\");
#else
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    if (!pictures.endsWith(QLatin1Char(PATH_SEPARATOR)))
        pictures += QLatin1Char(PATH_SEPARATOR);
    return pictures;
#endif
}

QString programDirectory()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

bool openInFileManager(const QString& directory)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
}

} // namespace velmora::platform
