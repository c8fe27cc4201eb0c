#pragma once

// 标签12 under the preview: whose photo 图片框3 shows and whether the
// registry will take it, while the student is still in front of the phone
// (what it says: VerdictLines.h). The checks take a tenth of a second or
// more of a core, so they run on a thread of their own; a photo that comes
// while one is judged waits alone, a newer one taking its place, so a
// burst never queues checks behind the photos. A verdict that arrives once
// another photo is shown is dropped: 标签11, 图片框3 and 标签12 always speak
// of the same photo. What a judging holds (the photo's bytes and their
// decoding) counts in the bound on photos in memory (link/PhotoMemory.h):
// room for an ordinary phone photo is kept always; a larger one waits for
// the disk to make room, or is given up once a newer photo is shown.

#include "link/PhoneLink.h"
#include "link/PhotoMemory.h"
#include "registry/face/PhotoChecks.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class QLabel;

namespace velmora::platform { class UserDialogs; }

namespace velmora::app {

class PhotoVerdict : public QObject {
    Q_OBJECT
public:
    // `rosterText` gives the roster box's text, asked for each photo;
    // `memory`, when given, is the phone link's account of photos in memory.
    PhotoVerdict(QLabel* label, std::function<QString()> rosterText, platform::UserDialogs* dialogs,
                 std::shared_ptr<link::PhotoMemory> memory = {}, QObject* parent = nullptr);
    ~PhotoVerdict() override;

    // On the window thread, as the photo is shown.
    void judge(const link::PhoneLink::ShownPhoto& photo);
    // What the last change of 标签12 took the window thread, nanoseconds
    // (for the benchmark).
    std::int64_t lastShowNanos() const { return m_lastShowNanos; }

Q_SIGNALS:
    // 标签12 now says this of the photo `count`: its file name while it is
    // checked (`final` false), or whose it is and its verdict.
    void shown(std::uint64_t count, bool final);

private:
    struct Job {
        std::uint64_t count = 0;
        std::string roster; // UTF-8
        std::string stem;
        std::string folder;
        std::string shownName;
        std::shared_ptr<const std::string> bytes;
    };
    void run();
    void show(std::uint64_t count, const std::string& who, std::optional<registry::PhotoCheck> check);

    QLabel* m_label;
    std::function<QString()> m_rosterText;
    platform::UserDialogs* m_dialogs;
    std::shared_ptr<link::PhotoMemory> m_memory;
    QColor m_plainColour;
    std::uint64_t m_current = 0; // the photo shown, window thread only
    std::int64_t m_lastShowNanos = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_waiting;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velmora::app
