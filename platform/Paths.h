#pragma once

#include <QString>

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

} // namespace velmora::platform
