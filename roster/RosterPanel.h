#pragma once

#include <QObject>

#include <cstddef>

class QWidget;

namespace velmora::widgets { class CrlfTextEdit; }
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

    // Before the roster goes to the phone: true at once for a clean roster;
    // otherwise one message box lists the faulty rows and the user sends
    // anyway (true) or goes back to the box (false), whose caret then stands
    // at the start of the first faulty row. When rows repeat earlier ones,
    // the box also offers to take them out of the roster box (false: the
    // user sends the shorter roster with another click).
    bool confirmSend(const QString& roster);

public Q_SLOTS:
    // The user changed the text of 编辑框2: removes a spreadsheet copy's
    // quotes and keeps the caret behind what the user typed or pasted.
    void cleanUp();
    // Click on 按钮3: the roster template, saved where the user chooses.
    void exportTemplate();
    // Click on 按钮4: a filled-in template read into 编辑框2; a workbook
    // without the roster header is answered with a message and the export.
    void importRoster();

private:
    widgets::CrlfTextEdit* rosterBox() const;
    void removeDuplicateRows();
    void goToRow(std::size_t line);
    // 标签15: "共 N 行" for the rows the box holds, nothing for an empty box.
    void showRowCount();

    QWidget* m_window;
    platform::UserDialogs* m_dialogs;
};

} // namespace velmora::roster
