#pragma once

#include <QObject>

class QWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::roster {

// The roster box and its buttons: the clean-up after the user's edits, the
// template export and the roster import.
class RosterPanel : public QObject {
    Q_OBJECT
public:
    // `window` is the main window; its controls are found by name.
    RosterPanel(QWidget* window, platform::UserDialogs* dialogs, QObject* parent = nullptr);
    ~RosterPanel() override;

public Q_SLOTS:
    // The user changed the text of 编辑框2.
    void cleanUp();
    // Click on 按钮3.
    void exportTemplate();
    // Click on 按钮4.
    void importRoster();

private:
    QWidget* m_window;
    platform::UserDialogs* m_dialogs;
};

} // namespace velmora::roster
