#include "registry/export/ExportRunner.h"

#include "platform/Files.h"
#include "registry/export/JpegInfo.h"
#include "registry/export/OutputFolder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <thread>

namespace velmora::registry {
namespace {

// Far above any phone photo; a bigger file is no photo to export.
constexpr std::uintmax_t MAX_PHOTO_BYTES = 200ull * 1024 * 1024;

std::optional<std::string> readPhoto(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > MAX_PHOTO_BYTES)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return std::nullopt;
    return bytes;
}

int statedDotsPerInch(const JpegInfo& info)
{
    if (info.densityX != info.densityY)
        return 0;
    if (info.densityUnit == 1)
        return info.densityX;
    if (info.densityUnit == 2)
        return static_cast<int>(std::lround(info.densityX * 2.54));
    return 0;
}

// A name below the output folder: relative, with a file name, and no "..".
bool staysBelow(const std::filesystem::path& target)
{
    if (target.empty() || target.has_root_path() || !target.has_filename())
        return false;
    return std::none_of(target.begin(), target.end(), [](const std::filesystem::path& part) {
        return part == "..";
    });
}

// Targets compared as a case-blind file system would see them ("x" and "X"
// in an ID-card number name one file on Windows).
std::string targetKey(const std::filesystem::path& target)
{
    const std::u8string generic = target.lexically_normal().generic_u8string();
    std::string key(generic.begin(), generic.end());
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return key;
}

} // namespace

bool meetsPreset(std::string_view photo, const ExportPreset& preset)
{
    const auto info = readJpegInfo(photo);
    return info && info->baseline && !info->hasMetadata && info->width == preset.width
        && info->height == preset.height && photo.size() >= preset.minBytes && photo.size() <= preset.maxBytes
        && info->hasJfif && statedDotsPerInch(*info) == preset.dotsPerInch;
}

ExportRunner::ExportRunner(ExportPreset preset, PhotoConverter converter, std::filesystem::path receiveFolder,
                           std::filesystem::path outputFolder)
    : m_preset(preset)
    , m_converter(std::move(converter))
    , m_receiveFolder(std::move(receiveFolder))
    , m_outputFolder(std::move(outputFolder))
{
}

ExportOutcome ExportRunner::run(const std::vector<ExportJob>& jobs)
{
    // Decided before any work so that which of two students keeps a shared
    // name does not depend on which thread is faster: the first in the list.
    std::vector<bool> sameTarget(jobs.size(), false);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        sameTarget[i] = !seen.insert(targetKey(jobs[i].target)).second;

    m_next = 0;
    {
        std::lock_guard lock(m_mutex);
        m_outcome = {};
        m_done = 0;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto count = static_cast<unsigned>(std::min<std::size_t>(m_threads ? m_threads : cores, jobs.size()));
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < count; ++i)
        workers.emplace_back([&] { work(jobs, sameTarget); });
    work(jobs, sameTarget);
    for (auto& worker : workers)
        worker.join();

    std::lock_guard lock(m_mutex);
    std::sort(m_outcome.leftOut.begin(), m_outcome.leftOut.end(),
              [](const LeftOut& a, const LeftOut& b) { return a.job < b.job; });
    std::sort(m_outcome.flagged.begin(), m_outcome.flagged.end(),
              [](const Flagged& a, const Flagged& b) { return a.job < b.job; });
    m_outcome.cancelled = m_cancelled;
    return m_outcome;
}

void ExportRunner::work(const std::vector<ExportJob>& jobs, const std::vector<bool>& sameTarget)
{
    while (!m_cancelled) {
        const std::size_t index = m_next++;
        if (index >= jobs.size())
            return;
        if (exportOne(index, jobs[index], sameTarget[index]))
            finishOne(jobs.size());
    }
}

bool ExportRunner::exportOne(std::size_t index, const ExportJob& job, bool sameTarget)
{
    const std::filesystem::path target = m_outputFolder / job.target;
    if (sameTarget) {
        leaveOut(index, LeftOutReason::SameTarget, platform::utf8FromPath(job.target));
        return true;
    }
    if (!staysBelow(job.target) || isWithinFolder(target, m_receiveFolder)) {
        leaveOut(index, LeftOutReason::OutsideOutput, platform::utf8FromPath(job.target));
        return true;
    }
    const auto photo = readPhoto(job.source);
    if (!photo) {
        leaveOut(index, LeftOutReason::Unreadable);
        return true;
    }
    const Conversion made = m_converter(*photo, m_preset, m_keepFlagged);
    switch (made.status) {
    case Conversion::Status::Converted:
    case Conversion::Status::Unchanged:
        return write(index, target, *photo, made);
    case Conversion::Status::Reshoot:
        leaveOut(index, LeftOutReason::NeedsReshoot, std::string(reasonText(made.check)));
        break;
    case Conversion::Status::Unreadable:
        leaveOut(index, LeftOutReason::Unreadable);
        break;
    case Conversion::Status::SmallerThanPreset:
        leaveOut(index, LeftOutReason::SmallerThanPreset);
        break;
    case Conversion::Status::CannotFit:
        leaveOut(index, LeftOutReason::CannotFitSize);
        break;
    }
    std::lock_guard lock(m_mutex);
    if (made.check != PhotoCheck::Passed)
        m_outcome.flagged.push_back({index, made.check, false});
    return true;
}

bool ExportRunner::write(std::size_t index, const std::filesystem::path& target, const std::string& photo,
                         const Conversion& made)
{
    if (m_cancelled)
        return false;
    const bool asItIs = made.status == Conversion::Status::Unchanged;
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    std::string reason;
    const bool written = platform::replaceFile(target, asItIs ? photo : made.bytes, &reason);
    if (!written)
        leaveOut(index, LeftOutReason::CannotWrite, reason);
    std::lock_guard lock(m_mutex);
    if (written)
        ++(asItIs ? m_outcome.copied : m_outcome.written);
    if (made.check != PhotoCheck::Passed)
        m_outcome.flagged.push_back({index, made.check, written});
    return true;
}

void ExportRunner::leaveOut(std::size_t index, LeftOutReason reason, std::string detail)
{
    std::lock_guard lock(m_mutex);
    m_outcome.leftOut.push_back({index, reason, std::move(detail)});
}

void ExportRunner::finishOne(std::size_t total)
{
    std::size_t done = 0;
    {
        std::lock_guard lock(m_mutex);
        done = ++m_done;
    }
    if (m_progress)
        m_progress(done, total);
}

} // namespace velmora::registry
