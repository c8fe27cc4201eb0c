#include "registry/export/NewestPhoto.h"

#include <cassert>

namespace velmora::registry {

ExportJob newestPhotoJob(const std::vector<std::filesystem::path>& photos, std::filesystem::path target,
                         std::string student)
{
    assert(!photos.empty());
    std::size_t newest = 0;
    bool found = false;
    std::filesystem::file_time_type newestTime;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(photos[i], error);
        if (!error && (!found || time > newestTime)) {
            newest = i;
            newestTime = time;
            found = true;
        }
    }
    ExportJob job;
    job.source = photos[newest];
    job.target = std::move(target);
    job.student = std::move(student);
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (i != newest)
            job.passedOver.push_back(photos[i]);
    return job;
}

} // namespace velmora::registry
