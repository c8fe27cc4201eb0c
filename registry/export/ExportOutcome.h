#pragma once

// What an export did: counts for the closing line, every photo left out
// with its reason, and every photo that failed the face checks.

#include "registry/export/ExportJob.h"
#include "registry/face/PhotoChecks.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::registry {

enum class LeftOutReason {
    Unreadable,        // not a readable JPEG (or other picture) file
    SmallerThanPreset, // fewer pixels than the preset in width or height
    CannotFitSize,     // no quality gives a file within the size range
    CannotWrite,       // the output folder refused the file
    SameTarget,        // another student's photo already has this file name
    OutsideOutput,     // the name would leave the output folder or enter the receive folder
    NeedsReshoot,      // it failed a face check (listed among the photos to reshoot)
};

struct LeftOut {
    std::size_t job = 0; // index into the jobs given
    LeftOutReason reason = LeftOutReason::Unreadable;
    std::string detail;  // UTF-8, may be empty
};

// A photo the registry would turn away.
struct Flagged {
    std::size_t job = 0; // index into the jobs given
    PhotoCheck check = PhotoCheck::Incomplete;
    bool exported = false; // written all the same (仍然导出需重拍的照片)
};

struct ExportOutcome {
    std::size_t written = 0; // made from the photo
    std::size_t copied = 0;  // the photo met the preset and was copied byte for byte
    std::vector<LeftOut> leftOut; // in job order
    std::vector<Flagged> flagged; // in job order
    bool cancelled = false;  // photos after the cancel were not handled
};

// The reason as staff read it, UTF-8.
std::string leftOutText(LeftOutReason reason);

// "<姓名> <身份证号或学校标识码_班级编号_姓名>：<reason>，需重拍", UTF-8.
std::string reshootLine(const ExportJob& job, PhotoCheck check);

// "已写入 N 张，原样复制 M 张，未导出 K 张", then "，需重拍 R 张" when any
// photo failed a check, and "（已取消）" after a cancel.
std::string summaryLine(const ExportOutcome& outcome);

} // namespace velmora::registry
