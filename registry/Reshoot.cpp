#include "registry/Reshoot.h"

#include <unordered_map>

namespace velmora::registry {

std::optional<std::size_t> countingPhoto(const PairingResult& pairing, std::size_t student)
{
    // The pairing keeps a student's photos newest first, ties by name.
    const auto& photos = pairing.photosOf[student];
    if (photos.empty())
        return std::nullopt;
    return photos.front();
}

ReshootFindings findReshoots(const PairingResult& pairing, const PhotoVerdict& verdict)
{
    ReshootFindings findings;
    std::unordered_map<std::string, std::size_t> classOrder;
    std::vector<std::vector<ReshootStudent>> byClass;
    for (std::size_t student = 0; student < pairing.students.size(); ++student) {
        const auto photo = countingPhoto(pairing, student);
        if (!photo)
            continue;
        ++findings.toJudge;
        auto reason = verdict(pairing.photos[*photo]);
        if (!reason)
            continue;
        ++findings.judged;
        if (reason->empty())
            continue;
        const auto [place, isNew] = classOrder.try_emplace(pairing.students[student].classNumber, byClass.size());
        if (isNew)
            byClass.emplace_back();
        byClass[place->second].push_back({student, std::move(*reason)});
    }
    for (auto& students : byClass)
        for (auto& entry : students)
            findings.students.push_back(std::move(entry));
    return findings;
}

} // namespace velmora::registry
