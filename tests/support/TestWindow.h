#pragma once

// The main window as tests open it: ports the system picks, set.ini in the
// test's own folder, dialogs answered by a FakeDialogs, and no network panel.

#include "app/MainWindow.h"
#include "tests/support/FakeDialogs.h"

namespace velmora::test {

inline app::MainWindowOptions testWindowOptions(const QString& settingsFile, FakeDialogs* dialogs)
{
    app::MainWindowOptions options;
    options.commandPort = 0;
    options.photoPort = 0;
    options.settingsFile = settingsFile;
    options.dialogs = dialogs;
    options.startPanel = false;
    return options;
}

} // namespace velmora::test
