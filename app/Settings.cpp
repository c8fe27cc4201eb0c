#include "app/Settings.h"

#include "platform/Codepage.h"
#include "platform/Profile.h"

#include <filesystem>

namespace velmora::app {
namespace {

const std::string SECTION = platform::utf8ToGbk("保存目录");
const std::string KEY = platform::utf8ToGbk("最后目录");

std::filesystem::path pathOf(const QString& file)
{
    return std::filesystem::path(file.toStdU16String());
}

} // namespace

Settings::Settings(QString filePath) : m_filePath(std::move(filePath)) {}

QString Settings::receiveDirectory(const QString& fallback) const
{
    const auto value = platform::readProfileString(pathOf(m_filePath), SECTION, KEY);
    if (!value)
        return fallback;
    return QString::fromStdString(platform::gbkToUtf8(*value));
}

bool Settings::setReceiveDirectory(const QString& directory) const
{
    const std::string value = platform::utf8ToGbk(directory.toStdString());
    // A folder name GBK cannot hold would come back at the next start as a
    // different path (its characters turned into "?"), and photos would go
    // nowhere; such a choice holds for this run only.
    if (platform::gbkToUtf8(value) != directory.toStdString())
        return false;
    return platform::writeProfileString(pathOf(m_filePath), SECTION, KEY, value);
}

} // namespace velmora::app
