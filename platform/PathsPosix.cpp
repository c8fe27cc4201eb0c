#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/PathSeparator.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

namespace velmora::platform {

QString defaultReceiveDirectory()
{
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    if (!pictures.endsWith(QLatin1Char(PATH_SEPARATOR)))
        pictures += QLatin1Char(PATH_SEPARATOR);
    return pictures;
}

QString programDirectory()
{
    return QString::fromStdString(platform::executableDirectory().string());
}

bool openInFileManager(const QString& directory)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
}

QString browseForFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder,
                                             QFileDialog::ShowDirsOnly).trimmed();
}

} // namespace velmora::platform
