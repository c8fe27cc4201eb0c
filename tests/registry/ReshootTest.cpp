// Which photo of a student counts and whether the student is to reshoot;
// the verdict cache that spares a re-check the photos already judged.

#include "registry/CheckReport.h"
#include "registry/Reshoot.h"
#include "registry/RosterRows.h"
#include "registry/VerdictCache.h"

#include "tests/registry/PhotoFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora::registry {
namespace {

struct ReshootRow {
    const char* what;
    // Photos of 李四 (or none) as name, verdict ("" passes), age in seconds.
    std::vector<std::tuple<const char*, const char*, int>> photos;
    bool known;                 // whether the verdicts are in
    const char* countsLine;
    std::vector<std::string> lines;
};

class ReshootRule : public testing::TestWithParam<ReshootRow> {};

TEST_P(ReshootRule, CountingPhotoAndVerdict)
{
    const ReshootRow& row = GetParam();
    test::PhotoFolder folder;
    std::map<std::string, std::string> verdicts;
    for (const auto& [name, verdict, age] : row.photos) {
        folder.add(name, "photo", age);
        verdicts[name] = verdict;
    }
    std::string reason;
    auto contents = readReceiveFolder(folder.root(), reason);
    ASSERT_TRUE(contents) << reason;
    const PairingResult pairing =
        pairPhotos(rosterStudents("S\t李四\t440524188001010014\t1\r\nS\t王五\t\t2\r\n"), std::move(*contents));
    const ReshootFindings findings = findReshoots(pairing, [&](const PhotoFile& photo) -> std::optional<std::string> {
        if (!row.known)
            return std::nullopt;
        return verdicts.at(photo.relative);
    });
    EXPECT_EQ(countsLine(pairing, findings), row.countsLine);
    EXPECT_EQ(reshootLines(pairing, findings), row.lines);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReshootRule, testing::Values(
    ReshootRow{"none", {}, true, "名册 2 人，已有照片 0 人，缺 2 人，需重拍 0 人", {}},
    ReshootRow{"one_passes", {{"李四.jpg", "", 0}}, true, "名册 2 人，已有照片 1 人，缺 1 人，需重拍 0 人", {}},
    ReshootRow{"one_fails", {{"李四.jpg", "照片模糊", 0}, {"无身份证照片/S_2_王五.jpg", "未找到人脸", 0}}, true,
               "名册 2 人，已有照片 2 人，缺 0 人，需重拍 2 人",
               {"李四 440524188001010014：照片模糊，需重拍", "王五 S_2_王五：未找到人脸，需重拍"}},
    ReshootRow{"newest_passes_clears", {{"李四.jpg", "照片模糊", 60}, {"1/李四.jpg", "", 0}}, true,
               "名册 2 人，已有照片 1 人，缺 1 人，需重拍 0 人", {}},
    ReshootRow{"newest_fails_counts", {{"李四.jpg", "", 60}, {"1/李四.jpg", "照片过暗", 0}}, true,
               "名册 2 人，已有照片 1 人，缺 1 人，需重拍 1 人", {"李四 440524188001010014：照片过暗，需重拍"}},
    ReshootRow{"pending", {{"李四.jpg", "照片模糊", 0}}, false,
               "名册 2 人，已有照片 1 人，缺 1 人，需重拍人数待定（正在检查照片 0 / 1…）", {}}),
    [](const auto& info) { return std::string(info.param.what); });

// Guards against a retake written over the old photo being served the old
// verdict, and against the cache growing with every retake.
TEST(VerdictCache, KnowsAPhotoBySizeAndTime)
{
    test::PhotoFolder folder;
    const auto photo = folder.add("李四.jpg", "blurred", 60);
    VerdictCache cache;
    const auto first = stampOf(photo);
    ASSERT_TRUE(first);
    EXPECT_FALSE(cache.find(photo, *first));
    cache.store(photo, *first, "照片模糊");
    EXPECT_EQ(cache.find(photo, *first), "照片模糊");

    folder.add("李四.jpg", "sharp!!", 0);  // same size, later time
    const auto retake = stampOf(photo);
    ASSERT_TRUE(retake);
    EXPECT_FALSE(cache.find(photo, *retake));
    cache.store(photo, *retake, "");
    EXPECT_EQ(cache.find(photo, *retake), "");
    EXPECT_EQ(cache.size(), 1u);

    PhotoStamp larger = *retake;
    ++larger.size;
    EXPECT_FALSE(cache.find(photo, larger));
    EXPECT_FALSE(stampOf(folder.root() / "gone.jpg"));
}

} // namespace
} // namespace velmora::registry
