#pragma once

// The main window as tests open it: ports the system picks, set.ini and the
// folder for held photos in the test's own folder (never the user's
// profile), dialogs answered by a FakeDialogs, and no network panel.

#include "app/MainWindow.h"
#include "tests/support/FakeDialogs.h"

#include <QColor>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>

#include <memory>

namespace velmora::test {

inline app::MainWindowOptions testWindowOptions(const QString& settingsFile, FakeDialogs* dialogs)
{
    app::MainWindowOptions options;
    options.commandPort = 0;
    options.photoPort = 0;
    options.settingsFile = settingsFile;
    options.holdingFolder = QFileInfo(settingsFile).absolutePath() + QStringLiteral("/未保存照片");
    options.dialogs = dialogs;
    options.startPanel = false;
    return options;
}

// The open main window of a test, and what the photo part of it shows: the
// count, and the last photo's name, red when it could not be stored.
class WindowUnderTest {
protected:
    std::unique_ptr<app::MainWindow> m_window;

    template <typename T> T* control(const char16_t* name) const
    {
        return m_window->findChild<T*>(QString::fromUtf16(name));
    }
    QString count() const { return control<QLabel>(u"标签4")->text(); }
    QString shownName() const { return control<QLabel>(u"标签11")->text(); }
    bool nameInRed() const
    {
        return control<QLabel>(u"标签11")->palette().color(QPalette::WindowText) == QColor(Qt::red);
    }
};

} // namespace velmora::test
