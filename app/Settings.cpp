#include "app/Settings.h"

#include "app/IniFile.h"
#include "platform/Codepage.h"

#include <QFile>
#include <QSaveFile>

namespace velmora::app {
namespace {

// A settings file is a few lines; anything far larger is not ours to parse.
constexpr qint64 MAX_FILE_SIZE = 1024 * 1024;

const std::string SECTION = platform::utf8ToGbk("保存目录");
const std::string KEY = platform::utf8ToGbk("最后目录");

std::string readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MAX_FILE_SIZE)
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

Settings::Settings(QString filePath) : m_filePath(std::move(filePath)) {}

QString Settings::receiveDirectory(const QString& fallback) const
{
    const auto value = iniRead(readFile(m_filePath), SECTION, KEY);
    if (!value)
        return fallback;
    return QString::fromStdString(platform::gbkToUtf8(*value));
}

bool Settings::setReceiveDirectory(const QString& directory) const
{
    QFile existing(m_filePath);
    if (existing.exists()
        && (existing.size() > MAX_FILE_SIZE || !existing.open(QIODevice::ReadOnly)))
        return false; // rewriting it blind would lose what else it holds
    existing.close();
    const std::string value = platform::utf8ToGbk(directory.toStdString());
    // A folder name GBK cannot hold would come back at the next start as a
    // different path (its characters turned into "?"), and photos would go
    // nowhere; such a choice holds for this run only.
    if (platform::gbkToUtf8(value) != directory.toStdString())
        return false;
    const std::string updated = iniWrite(readFile(m_filePath), SECTION, KEY, value);
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(updated.data(), static_cast<qint64>(updated.size()));
    return file.commit();
}

} // namespace velmora::app
