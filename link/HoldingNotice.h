#pragma once

// What staff are told of photos held while the receive folder cannot take
// them (PhotoHolding.h): the red line 标签13 for as long as any wait, and a
// message box with a beep once per outage, once when photos are in memory
// only, and once when the photos an earlier run held have been written.
// Staff must not learn of a pulled stick from missing photos at the end of
// the day.

#include "link/PhotoHolding.h"

#include <QString>

#include <filesystem>

class QWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::link {

class HoldingNotice {
public:
    // `window`: the main window, whose 标签13 shows the line.
    HoldingNotice(QWidget* window, platform::UserDialogs* dialogs, std::filesystem::path holdingFolder);

    // Window thread. The message boxes it shows run the event loop, so it
    // may be called again from within; each box is shown at most once.
    void show(const HoldingState& state);

private:
    static QString lineText(const HoldingState& state);
    QString outageText(const HoldingState& state) const;
    void showLine(const HoldingState& state);
    QString memoryText(const HoldingState& state) const;
    QString earlierRunText(const HoldingState& state) const;

    QWidget* m_window;
    platform::UserDialogs* m_dialogs;
    QString m_holdingFolder;
    bool m_outageTold = false;
    bool m_memoryTold = false;
    bool m_earlierRunTold = false;
};

} // namespace velmora::link
