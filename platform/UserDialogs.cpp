#include "platform/UserDialogs.h"

#include "platform/Paths.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace velmora::platform {
namespace {

QString filterFor(const QString& pattern)
{
    return pattern + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

} // namespace

void DesktopDialogs::showMessage(QWidget* parent, const QString& text)
{
    // A single space keeps the platform from putting the program's name in
    // the title bar.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral(" "), text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopDialogs::askToProceed(QWidget* parent, const QString& text, const QString& proceed,
                                  const QString& goBack)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral(" "), text, QMessageBox::NoButton, parent);
    QPushButton* proceedButton = box.addButton(proceed, QMessageBox::AcceptRole);
    QPushButton* backButton = box.addButton(goBack, QMessageBox::RejectRole);
    box.setDefaultButton(backButton);
    box.setEscapeButton(backButton);
    box.exec();
    return box.clickedButton() == proceedButton;
}

QString DesktopDialogs::askSaveFile(QWidget* parent, const QString& pattern)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filterFor(pattern));
    const QString suffix = QFileInfo(pattern).suffix();
    if (!suffix.isEmpty() && suffix != QStringLiteral("*"))
        dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DesktopDialogs::askOpenFile(QWidget* parent, const QString& pattern)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filterFor(pattern));
}

QString DesktopDialogs::askFolder(QWidget* parent, const QString& title,
                                  const QString& startFolder)
{
    return browseForFolder(parent, title, startFolder);
}

} // namespace velmora::platform
