#include "registry/ExportPlan.h"

#include "platform/Files.h"

namespace velmora::registry {
namespace {

// One level of a file name made from a roster field.
std::string safeLevel(std::string text)
{
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    }
    if (text.find_first_not_of(". ") == std::string::npos)
        return "_";
    return text;
}

std::filesystem::path targetOf(const Student& student)
{
    if (student.hasIdNumber()) {
        const std::string file = safeLevel(student.idKey() + ".jpg");
        if (student.classNumber.empty())
            return platform::pathFromUtf8(file);
        return platform::pathFromUtf8(safeLevel(student.classNumber)) / platform::pathFromUtf8(file);
    }
    return platform::pathFromUtf8("无身份证照片") / platform::pathFromUtf8(safeLevel(student.noIdName() + ".jpg"));
}

} // namespace

std::vector<ExportJob> planExport(const PairingResult& pairing)
{
    std::vector<ExportJob> jobs;
    for (std::size_t i = 0; i < pairing.students.size(); ++i) {
        const std::vector<std::size_t>& photos = pairing.photosOf[i];
        if (photos.empty())
            continue;
        ExportJob job;
        job.source = pairing.photos[photos.front()].path;
        job.target = targetOf(pairing.students[i]);
        for (std::size_t k = 1; k < photos.size(); ++k)
            job.passedOver.push_back(pairing.photos[photos[k]].path);
        const Student& student = pairing.students[i];
        job.student = student.shown();
        job.name = student.name;
        job.identity = student.hasIdNumber() ? student.idKey() : student.noIdName();
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace velmora::registry
