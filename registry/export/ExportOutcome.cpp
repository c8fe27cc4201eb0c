#include "registry/export/ExportOutcome.h"

namespace velmora::registry {

std::string leftOutText(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::Unreadable:
        return "照片无法读取";
    case LeftOutReason::SmallerThanPreset:
        return "照片小于规格尺寸";
    case LeftOutReason::CannotFitSize:
        return "无法压缩到规定的文件大小范围";
    case LeftOutReason::CannotWrite:
        return "无法写入输出文件夹";
    case LeftOutReason::SameTarget:
        return "与另一名学生的照片文件同名";
    case LeftOutReason::OutsideOutput:
        return "文件名不在输出文件夹内";
    case LeftOutReason::NeedsReshoot:
        return "需重拍";
    }
    return "未知原因";
}

std::string reshootLine(const ExportJob& job, PhotoCheck check)
{
    return job.name + " " + job.identity + "：" + std::string(reasonText(check)) + "，需重拍";
}

std::string summaryLine(const ExportOutcome& outcome)
{
    std::string line = "已写入 " + std::to_string(outcome.written) + " 张，原样复制 "
        + std::to_string(outcome.copied) + " 张，未导出 " + std::to_string(outcome.leftOut.size()) + " 张";
    if (!outcome.flagged.empty())
        line += "，需重拍 " + std::to_string(outcome.flagged.size()) + " 张";
    if (outcome.cancelled)
        line += "（已取消）";
    return line;
}

} // namespace velmora::registry
