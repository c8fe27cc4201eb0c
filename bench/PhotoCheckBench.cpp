// The photo check as staff run it at the end of a photo day: a roster of
// 5,000 students read from its file and paired with a receive folder of
// 5,000 photos in class folders, against the bare listing of the same folder
// (what any check must at least do) in the same run.

#include "platform/Files.h"
#include "registry/PhotosCommand.h"
#include "registry/RosterRows.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int STUDENTS = 5000;
constexpr int PHOTOS = 5000;
constexpr int CLASSES = 50;
constexpr int RUNS = 15;

std::string residentId(int serial)
{
    static constexpr int WEIGHTS[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    char digits[18];
    std::snprintf(digits, sizeof digits, "3301012010%07d", serial);
    std::string id(digits);
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (id[static_cast<std::size_t>(i)] - '0') * WEIGHTS[i];
    return id + "10X98765432"[sum % 11];
}

void write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Students 0..4899 have ID numbers, the rest none. Photos: one per student
// but the last 150 (absent), by ID in the class folder, in 无身份证照片 for
// those without, a few by name, and the rest strangers' and second shots.
void makeDay(const fs::path& root)
{
    std::string roster;
    const std::string photo(2048, 'p');
    int photos = 0;
    for (int i = 0; i < STUDENTS; ++i) {
        const std::string name = "学生" + std::to_string(i);
        const std::string classNumber = std::to_string(701 + i % CLASSES);
        const std::string id = i < 4900 ? residentId(i) : "";
        roster += "3301010001\t" + name + "\t" + id + "\t" + classNumber + "\r\n";
        if (i >= STUDENTS - 150)
            continue;
        const std::string file = id.empty() ? "无身份证照片/" + classNumber + "/3301010001_" + classNumber + "_" + name
                                            : (i % 50 == 0 ? classNumber + "/" + name : classNumber + "/" + id);
        write(root / "photos" / velmora::platform::pathFromUtf8(file + ".jpg"), photo);
        ++photos;
    }
    for (int i = 0; photos < PHOTOS; ++i, ++photos)
        write(root / "photos" / velmora::platform::pathFromUtf8("701/IMG_" + std::to_string(i) + ".jpg"), photo);
    write(root / "roster.txt", roster);
}

double medianSeconds(const std::function<void()>& work)
{
    std::vector<double> times;
    for (int run = 0; run < RUNS; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    std::random_device random;
    const fs::path root = fs::temp_directory_path() / ("velmora-bench-check-" + std::to_string(random()));
    makeDay(root);

    std::size_t listed = 0;
    const double listing = medianSeconds([&] {
        listed = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root / "photos"))
            listed += entry.is_regular_file() ? 1 : 0;
    });
    std::size_t missing = 0;
    const double check = medianSeconds([&] {
        std::string reason;
        const auto roster = velmora::registry::readRosterFile(root / "roster.txt", reason);
        const auto pairing = velmora::registry::checkPhotos(*roster, root / "photos", reason);
        missing = pairing ? pairing->missing() : STUDENTS;
    });
    fs::remove_all(root);

    std::printf("photo check, %d students against %zu files (median of %d runs)\n", STUDENTS, listed, RUNS);
    std::printf("  bare listing of the folder: %8.1f ms\n", listing * 1e3);
    std::printf("  whole check (roster file, folder, pairing): %8.1f ms, %zu students missing\n", check * 1e3, missing);
    std::printf("  check / listing: %.2f; target: check under 1000 ms: %s\n", check / listing,
                check < 1.0 ? "met" : "NOT met");
    return missing == 150 ? 0 : 1;
}
