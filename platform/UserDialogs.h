#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velmora::platform {

// Everything the program asks of the user goes through this seam, so tests
// can answer without a person. An empty result means the user cancelled.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with only an OK button and no title of the program's own;
    // returns when the user has closed it.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;

    // A message box with two buttons and no title of the program's own:
    // true when the user chose `proceed`, false for `goBack` or on closing
    // the box, which is also the choice of the Enter key.
    virtual bool askToProceed(QWidget* parent, const QString& text, const QString& proceed,
                              const QString& goBack) = 0;

    // A message box with one button per caption of `buttons`, in that order,
    // and no title of the program's own. Returns the caption of the button
    // chosen; closing the box chooses the last button, which is also the
    // choice of the Enter key, so that it should be the one that changes
    // nothing.
    virtual QString askChoice(QWidget* parent, const QString& text, const QStringList& buttons) = 0;

    // The save dialog for one kind of file, `pattern` such as "*.xls". The
    // dialog appends the pattern's extension to a name typed without one and
    // asks before replacing an existing file. Returns the path, or "".
    virtual QString askSaveFile(QWidget* parent, const QString& pattern) = 0;

    // The open dialog for one kind of file. Returns the path, or "".
    virtual QString askOpenFile(QWidget* parent, const QString& pattern) = 0;

    // The folder browser: folders only, opening at `startFolder`. Returns the
    // chosen folder's path, or "" on cancel or for an item that is no folder
    // of the file system.
    virtual QString askFolder(QWidget* parent, const QString& title,
                              const QString& startFolder) = 0;
    // A short beep, for a photo the staff must act on now.
    virtual void beep();
};

// The platform's own dialogs.
class DesktopDialogs final : public UserDialogs {
public:
    void showMessage(QWidget* parent, const QString& text) override;
    bool askToProceed(QWidget* parent, const QString& text, const QString& proceed,
                      const QString& goBack) override;
    QString askChoice(QWidget* parent, const QString& text, const QStringList& buttons) override;
    QString askSaveFile(QWidget* parent, const QString& pattern) override;
    QString askOpenFile(QWidget* parent, const QString& pattern) override;
    QString askFolder(QWidget* parent, const QString& title,
                      const QString& startFolder) override;
};

} // namespace velmora::platform
