#include "app/PhotoVerdict.h"

#include "app/VerdictLines.h"
#include "platform/UserDialogs.h"
#include "registry/Pairing.h"
#include "registry/RosterRows.h"
#include "registry/face/AssessPhoto.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMetaObject>
#include <QPalette>

#include <algorithm>
#include <chrono>

namespace velmora::app {
namespace {

// Room kept for judging a phone photo of 12 megapixels and up to 8 MiB
// (about 28 MiB), so that an ordinary photo's verdict never waits for a
// slow disk.
const std::size_t JUDGING_RESERVE = registry::judgingMemory(4032, 3024) + std::size_t{8} * 1024 * 1024;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

PhotoVerdict::PhotoVerdict(QLabel* label, std::function<QString()> rosterText, platform::UserDialogs* dialogs,
                           std::shared_ptr<link::PhotoMemory> memory, QObject* parent)
    : QObject(parent), m_label(label), m_rosterText(std::move(rosterText)), m_dialogs(dialogs),
      m_memory(std::move(memory)), m_plainColour(label->palette().color(QPalette::WindowText))
{
    if (m_memory)
        m_memory->setReserve(JUDGING_RESERVE);
    // Before the checking thread reads its first photo.
    registry::prepareImageReading();
    // The verdicts' characters, and the ellipsis that shortens a long file
    // name, looked up in the fonts now rather than on the window thread
    // while the first student's photo is being shown (the ellipsis alone
    // took 0.4 ms there).
    const QFontMetrics metrics(label->font());
    for (int check = int(registry::PhotoCheck::Passed); check <= int(registry::PhotoCheck::Background); ++check)
        metrics.horizontalAdvance(fromUtf8(verdictLine(registry::PhotoCheck(check)).text));
    metrics.elidedText(QStringLiteral("IMG_0001.jpg") + fromUtf8(std::string(NOT_IN_ROSTER)), Qt::ElideLeft, 1);
    m_thread = std::thread([this] { run(); });
}

PhotoVerdict::~PhotoVerdict()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.reset();
    }
    m_wake.notify_one();
    m_thread.join();
    if (m_memory)
        m_memory->setReserve(0);
}

void PhotoVerdict::judge(const link::PhoneLink::ShownPhoto& photo)
{
    m_current = photo.count;
    // Until it is paired and judged, the file name.
    show(photo.count, photo.shownName.toStdString(), std::nullopt);
    Job job{photo.count, m_rosterText().toStdString(), photo.stem.toStdString(), photo.folder.toStdString(),
            photo.shownName.toStdString(), photo.bytes};
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(job);
    }
    m_wake.notify_one();
}

void PhotoVerdict::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || m_waiting; });
            if (m_stopping)
                return;
            job = std::move(*m_waiting);
            m_waiting.reset();
        }
        // The student with the verdict, in one change of the label: the
        // pairing takes a few milliseconds, the checks a tenth of a second.
        const std::string who = verdictWho(
            registry::studentOfPhoto(registry::rosterStudents(job.roster), job.stem, job.folder), job.shownName);
        // A newer photo waiting, or the window closing: this verdict would
        // never be shown.
        const auto givenUp = [this] {
            std::lock_guard lock(m_mutex);
            return m_stopping || m_waiting.has_value();
        };
        const std::size_t holds = job.bytes ? job.bytes->capacity() + registry::judgingMemory(*job.bytes) : 0;
        std::optional<link::PhotoMemory::Hold> hold;
        if (m_memory && !(hold = m_memory->take(holds, givenUp)))
            continue;
        // Once a newer photo is shown, this may be the only hold on its bytes.
        const std::optional<registry::PhotoAssessment> judged = registry::assessPhoto(std::move(job.bytes), givenUp);
        hold.reset();
        if (!judged)
            continue;
        QMetaObject::invokeMethod(this, [this, count = job.count, who, check = judged->verdict] {
            show(count, who, check);
        }, Qt::QueuedConnection);
    }
}

// On the window thread.
void PhotoVerdict::show(std::uint64_t count, const std::string& who, std::optional<registry::PhotoCheck> check)
{
    if (count != m_current)
        return;
    const auto start = std::chrono::steady_clock::now();
    const VerdictLine line = verdictLine(check);
    // A long file name loses its start, not the note that nobody has it.
    const QString whole = fromUtf8(who) + QLatin1Char('\n') + fromUtf8(line.text);
    const QFontMetrics metrics(m_label->font());
    const int room = std::max(m_label->contentsRect().width() - 4, 0);
    m_label->setText(metrics.elidedText(fromUtf8(who), Qt::ElideLeft, room) + QLatin1Char('\n')
                     + fromUtf8(line.text));
    m_label->setToolTip(whole);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, line.colour == VerdictLine::Colour::Pass      ? QColor(0, 128, 0)
                                           : line.colour == VerdictLine::Colour::Reshoot ? QColor(Qt::red)
                                                                                         : m_plainColour);
    m_label->setPalette(palette);
    m_label->show();
    if (line.beep)
        m_dialogs->beep();
    m_lastShowNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    Q_EMIT shown(count, check.has_value());
}

} // namespace velmora::app
