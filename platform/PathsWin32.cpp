#include "platform/Paths.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/Win32Shell.h"

namespace velmora::platform {
namespace {

std::string gbkOf(const QString& text)
{
    return utf8ToGbk(text.toStdString());
}

QString fromGbk(const std::string& text)
{
    return QString::fromStdString(gbkToUtf8(text));
}

} // namespace

QString defaultReceiveDirectory()
{
    return QStringLiteral("D:\\");
}

QString programDirectory()
{
    return QString::fromStdWString(platform::executableDirectory().native());
}

bool openInFileManager(const QString& directory)
{
    win32::openFolder(gbkOf(directory));
    return true; // the shell reports a missing folder itself
}

QString browseForFolder(QWidget*, const QString& title, const QString& startFolder)
{
    // The browser has no owner window, so the main window stays usable.
    return fromGbk(win32::browseForFolder(gbkOf(title), gbkOf(startFolder)));
}

} // namespace velmora::platform
