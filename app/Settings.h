#pragma once

#include <QString>

namespace velmora::app {

// "set.ini": the program's one setting, the receive directory, under
// [保存目录] 最后目录=, stored as GBK like the rest of the file.
class Settings {
public:
    explicit Settings(QString filePath);

    // The stored receive directory, or `fallback` when the file, the section
    // or the key is missing or the file cannot be read.
    QString receiveDirectory(const QString& fallback) const;

    // Stores `directory`, keeping everything else in the file (see
    // platform/Profile.h). A directory whose name GBK cannot hold is not
    // stored. Returns whether the file was written.
    bool setReceiveDirectory(const QString& directory) const;

    QString filePath() const { return m_filePath; }

private:
    QString m_filePath;
};

} // namespace velmora::app
