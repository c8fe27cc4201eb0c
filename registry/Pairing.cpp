#include "registry/Pairing.h"

#include "roster/RosterCheck.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace velmora::registry {
namespace {

constexpr std::string_view NO_ID_FOLDER = "无身份证照片/";

using Index = std::unordered_map<std::string, std::vector<std::size_t>>;

std::string idKey(std::string_view id)
{
    std::string key(id);
    if (!key.empty() && key.back() == 'x')
        key.back() = 'X';
    return key;
}

class Claims {
public:
    explicit Claims(const std::vector<Student>& students) : m_students(students)
    {
        for (std::size_t i = 0; i < students.size(); ++i) {
            if (students[i].hasIdNumber())
                m_byId[students[i].idKey()].push_back(i);
            else
                m_byNoIdName[students[i].noIdName()].push_back(i);
            m_byName[students[i].name].push_back(i);
        }
    }

    // The students who may claim `photo` by the first rule that finds any.
    std::vector<std::size_t> of(const PhotoFile& photo) const
    {
        if (roster::isResidentIdNumber(photo.stem))
            if (const auto found = m_byId.find(idKey(photo.stem)); found != m_byId.end())
                return found->second;
        if (photo.relative.starts_with(NO_ID_FOLDER))
            if (const auto found = m_byNoIdName.find(photo.stem); found != m_byNoIdName.end())
                return found->second;
        const auto found = m_byName.find(photo.stem);
        if (found == m_byName.end())
            return {};
        if (found->second.size() == 1 || photo.folder.empty())
            return found->second;
        std::vector<std::size_t> ofClass;
        for (std::size_t student : found->second)
            if (m_students[student].classNumber == photo.folder)
                ofClass.push_back(student);
        return ofClass.empty() ? found->second : ofClass;
    }

private:
    const std::vector<Student>& m_students;
    Index m_byId;
    Index m_byNoIdName;
    Index m_byName;
};

// `students` with every student whose four fields an earlier one has too
// left out; returns how many went.
std::size_t dropRepeatedRows(std::vector<Student>& students)
{
    std::unordered_set<std::string> seen;
    const auto repeated = std::remove_if(students.begin(), students.end(), [&seen](const Student& s) {
        return !seen.insert(s.school + '\t' + s.name + '\t' + s.id + '\t' + s.classNumber).second;
    });
    const auto dropped = static_cast<std::size_t>(students.end() - repeated);
    students.erase(repeated, students.end());
    return dropped;
}

} // namespace

std::size_t PairingResult::withPhoto() const
{
    return static_cast<std::size_t>(std::count_if(photosOf.begin(), photosOf.end(),
                                                  [](const auto& photos) { return !photos.empty(); }));
}

std::vector<std::size_t> PairingResult::withSeveral() const
{
    std::vector<std::size_t> several;
    for (std::size_t i = 0; i < photosOf.size(); ++i)
        if (photosOf[i].size() > 1)
            several.push_back(i);
    return several;
}

PairingResult pairPhotos(std::vector<Student> students, FolderContents folder)
{
    PairingResult result;
    result.repeatedRows = dropRepeatedRows(students);
    result.students = std::move(students);
    result.photos = std::move(folder.photos);
    result.staleTemporaries = std::move(folder.staleTemporaries);
    result.photosOf.resize(result.students.size());

    const Claims claims(result.students);
    for (std::size_t photo = 0; photo < result.photos.size(); ++photo) {
        std::vector<std::size_t> claimants = claims.of(result.photos[photo]);
        if (claimants.empty())
            result.unmatched.push_back(photo);
        else if (claimants.size() == 1)
            result.photosOf[claimants.front()].push_back(photo);
        else
            result.contested.push_back({photo, std::move(claimants)});
    }
    const auto newerFirst = [&photos = result.photos](std::size_t a, std::size_t b) {
        if (photos[a].modified != photos[b].modified)
            return photos[a].modified > photos[b].modified;
        return photos[a].relative < photos[b].relative;
    };
    for (auto& photos : result.photosOf) {
        if (photos.size() < 2)
            continue;
        for (std::size_t photo : photos) {
            std::error_code error;
            result.photos[photo].modified = std::filesystem::last_write_time(result.photos[photo].path, error);
        }
        std::sort(photos.begin(), photos.end(), newerFirst);
    }
    return result;
}

} // namespace velmora::registry

namespace velmora::registry {

std::optional<Student> studentOfPhoto(std::vector<Student> students, std::string_view stem,
                                      std::string_view folder)
{
    PhotoFile photo;
    photo.stem = std::string(stem);
    photo.folder = std::string(folder);
    photo.relative = folder.empty() ? photo.stem : photo.folder + "/" + photo.stem;
    photo.path = photo.relative;
    FolderContents contents;
    contents.photos.push_back(std::move(photo));
    const PairingResult paired = pairPhotos(std::move(students), std::move(contents));
    for (std::size_t i = 0; i < paired.photosOf.size(); ++i) {
        if (!paired.photosOf[i].empty())
            return paired.students[i];
    }
    return std::nullopt;
}

} // namespace velmora::registry
