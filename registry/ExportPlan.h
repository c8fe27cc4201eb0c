#pragma once

// What the upload export writes: one job per student with a photo, the
// photo to use and the name the student-registry system expects for it.

#include "registry/Pairing.h"
#include "registry/export/ExportJob.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::registry {


// The jobs in roster order, for every student with at least one photo: the
// student's newest photo, the others passed over. The target is
// <班级编号>/<身份证号>.jpg, or 无身份证照片/<学校标识码>_<班级编号>_<姓名>.jpg
// for a student without an ID-card number; characters a file name cannot
// hold (\ / : * ? " < > | and control characters) become "_", and a level of
// only dots and blanks becomes "_", so no job points outside the output
// folder. `student` is "班级编号 姓名", `name` the 姓名 and `identity` the
// 身份证号 (a final x as X) or <学校标识码>_<班级编号>_<姓名>.
std::vector<ExportJob> planExport(const PairingResult& pairing);

} // namespace velmora::registry
