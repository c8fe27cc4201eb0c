#pragma once

#include <QString>

class QWidget;

namespace velmora::platform {

// The receive directory used when the settings hold none: "D:\" on Windows,
// the user's Pictures folder with a trailing separator elsewhere.
QString defaultReceiveDirectory();

// The directory that holds the program's executable, without a trailing
// separator.
QString programDirectory();

// Opens `directory` in the platform's file manager; returns whether the
// platform accepted the request.
bool openInFileManager(const QString& directory);

// The platform's folder browser: folders only, opening at `startFolder`.
// Returns the chosen folder, or "" on cancel or for an item that is no folder
// of the file system.
QString browseForFolder(QWidget* parent, const QString& title, const QString& startFolder);

} // namespace velmora::platform
