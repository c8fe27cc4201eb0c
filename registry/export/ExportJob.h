#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::registry {

// One student's photo to write for the student-registry upload.
struct ExportJob {
    std::filesystem::path source;
    // Relative to the output folder: <班级编号>/<身份证号>.jpg, or
    // 无身份证照片/<学校标识码>_<班级编号>_<姓名>.jpg.
    std::filesystem::path target;
    // The student's other photos, not exported; the report lists them.
    std::vector<std::filesystem::path> passedOver;
    std::string student; // UTF-8, for the lists shown to staff
    // UTF-8, for the list of photos to reshoot: the student's 姓名, and the
    // 身份证号 or <学校标识码>_<班级编号>_<姓名> the registry knows them by.
    std::string name;
    std::string identity;
};

} // namespace velmora::registry
