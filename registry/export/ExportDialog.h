#pragma once

// 导出上传照片: the preset or an own size and size range, an output folder,
// whether photos that fail a face check are exported all the same
// (仍然导出需重拍的照片), then the export on every core off the window thread,
// with a progress bar and 取消, ending with one counts line, the photos to
// reshoot, the list of photos left out and passed over, and 打开输出文件夹.

#include "registry/export/ExportJob.h"
#include "registry/export/ExportOutcome.h"
#include "registry/export/ExportPreset.h"
#include "registry/export/ExportRunner.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace velmora::platform { class UserDialogs; }

namespace velmora::registry {

class ExportDialog : public QDialog {
    Q_OBJECT

public:
    // `jobs`: one per student with a photo, as paired from the roster.
    ExportDialog(const QString& receiveFolder, std::vector<ExportJob> jobs, platform::UserDialogs& dialogs,
                 QWidget* parent = nullptr);
    // Cancels a running export and waits for the photos being written.
    ~ExportDialog() override;

    // Closing the window (Esc, the title bar) during an export asks
    // "停止导出？" first; when stopped, the window closes once the photos
    // being written are done, saying how many were written and where.
    void reject() override;

    // The output folder the window starts at; without one, the folder
    // beside the receive folder (outputFolderBeside).
    void setOutputFolder(const QString& folder);
    // The folder of the last export started in this window, "" before one.
    QString exportedTo() const { return m_exportedTo; }

    // Replaces the photo converter (tests); convertPhoto by default.
    void setConverter(PhotoConverter converter) { m_converter = std::move(converter); }
    // Replaces how 打开输出文件夹 opens a folder (tests); the platform's file
    // manager by default.
    void setFolderOpener(std::function<void(const QString&)> opener) { m_openFolder = std::move(opener); }

Q_SIGNALS:
    // The export has ended, completed or cancelled, and its outcome is shown.
    void exportFinished();

private:
    void buildLayout();
    void arrange(QPushButton* browse);
    void usePreset(int index);
    void chooseFolder();
    void start();
    void cancel();
    void showOutcome(const ExportOutcome& outcome);
    // What the window says as it closes during an export.
    QString closingMessage() const;
    QStringList outcomeLines(const ExportOutcome& outcome) const;
    // The preset the controls describe; empty after telling the user why.
    std::optional<ExportPreset> chosenPreset();
    // The output folder once it may be used; "" after telling the user why.
    QString usableOutputFolder();

    QString m_receiveFolder;
    std::vector<ExportJob> m_jobs;
    platform::UserDialogs& m_dialogs;
    PhotoConverter m_converter;
    std::function<void(const QString&)> m_openFolder;
    std::unique_ptr<ExportRunner> m_runner;
    std::thread m_worker;
    bool m_running = false;       // from the start until the outcome is shown
    bool m_closeWhenDone = false; // the user stopped the export by closing
    QString m_exportedTo;
    ExportOutcome m_outcome;

    QComboBox* m_preset = nullptr;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_minKb = nullptr;
    QSpinBox* m_maxKb = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_keepFlagged = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_showFolder = nullptr;
    QPlainTextEdit* m_list = nullptr;
};

} // namespace velmora::registry
