#pragma once

// 名单核对: which students of the roster box still lack a photo in the
// receive folder, by class, and what else the folder holds that needs a
// look (several photos of one student, photos of nobody). The folder is read
// off the window thread; the window asks again whenever refresh() is called,
// which the main window does for every photo it shows.

#include "registry/ExportPlan.h"
#include "registry/Pairing.h"
#include "registry/Reshoot.h"
#include "registry/VerdictCache.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace velmora::platform { class UserDialogs; }

namespace velmora::registry {

class CheckWindow : public QWidget {
    Q_OBJECT
public:
    // Hands the export jobs of the current pairing to the upload export.
    using ExportHook = std::function<void(QWidget* parent, std::vector<ExportJob> jobs)>;

    // `rosterText` gives the roster box's text, `receiveFolder` the receive
    // folder, both asked anew for every refresh.
    CheckWindow(std::function<QString()> rosterText, std::function<QString()> receiveFolder,
                platform::UserDialogs* dialogs, QWidget* parent = nullptr);
    ~CheckWindow() override;

    // Shows the 导出上传照片… button, which hands the jobs to `hook`.
    void setExportHook(ExportHook hook);

    // Photos received but not in the receive folder yet: held on the PC
    // while the folder cannot take them. They are shown as such, and their
    // students stay missing until they are written. `names`: their file
    // names, oldest first (perhaps fewer than `count`).
    void setHeldPhotos(int count, const QStringList& names);

    // How a photo is judged: "" when it passes, else the reason. The
    // registry's checks unless a test says otherwise; called off the window
    // thread.
    using PhotoJudge = std::function<std::string(const std::filesystem::path& photo)>;
    void setPhotoJudge(PhotoJudge judge) { m_judge = std::move(judge); }

    // The students to reshoot as far as judged, nullopt before the first
    // judging has finished.
    const std::optional<ReshootFindings>& reshoot() const { return m_reshoot; }

    // The pairing shown, nullopt before the first read has finished.
    const std::optional<PairingResult>& pairing() const { return m_pairing; }

public Q_SLOTS:
    // Reads the roster and the folder again. A refresh asked while one runs
    // runs once more after it, so the window always ends current.
    void refresh();

Q_SIGNALS:
    // A read has finished and its findings are shown.
    void refreshed();
    // Every photo of the pairing shown is judged and the students to
    // reshoot are shown.
    void judged();

private:
    void takeResult();
    void startJudging();
    void takeJudging();
    void showPairing();
    void showMissing();
    void showFindings();
    void copyMissing();
    void saveMissing();
    void exportPhotos();

    std::function<QString()> m_rosterText;
    std::function<QString()> m_receiveFolder;
    platform::UserDialogs* m_dialogs;
    ExportHook m_exportHook;

    QLabel* m_counts = nullptr;
    QLabel* m_held = nullptr;
    QTreeWidget* m_missing = nullptr;
    QTreeWidget* m_findings = nullptr;
    QPushButton* m_export = nullptr;
    QTimer* m_poll = nullptr;

    struct ScanResult {
        std::optional<PairingResult> pairing;
        std::string reason;
    };
    std::future<ScanResult> m_scan;
    bool m_again = false;
    std::optional<PairingResult> m_pairing;

    // The checks of the photos that count, on a thread of their own, after
    // each read; photos judged once are known by the cache for as long as
    // the window lives, so a re-check judges only new or changed photos.
    struct JudgingProgress {
        std::atomic<std::size_t> judged{0};
        std::atomic<bool> stop{false};
    };
    PhotoJudge m_judge;
    std::shared_ptr<VerdictCache> m_cache = std::make_shared<VerdictCache>();
    std::shared_ptr<JudgingProgress> m_progress;
    std::future<ReshootFindings> m_judging;
    std::size_t m_toJudge = 0;
    bool m_judgeAgain = false;
    std::optional<ReshootFindings> m_reshoot;
    QTimer* m_judgePoll = nullptr;
    int m_heldCount = 0;
    QStringList m_heldNames;
};

} // namespace velmora::registry
