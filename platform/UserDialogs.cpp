#include "platform/UserDialogs.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace velmora::platform {

void UserDialogs::beep()
{
    QApplication::beep();
}
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
    return askChoice(parent, text, {proceed, goBack}) == proceed;
}

QString DesktopDialogs::askChoice(QWidget* parent, const QString& text, const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral(" "), text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        added.push_back(box.addButton(buttons[i], i + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                           : QMessageBox::AcceptRole));
    if (!added.empty()) {
        box.setDefaultButton(added.back());
        box.setEscapeButton(added.back());
    }
    box.exec();
    // Compared by button, not by its text, which a desktop may give an
    // accelerator mark.
    const auto chosen = std::find(added.begin(), added.end(), box.clickedButton());
    return chosen == added.end() ? buttons.value(buttons.size() - 1) : buttons[chosen - added.begin()];
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
