// Which photo is whose: each pairing rule as a row, with the folders the
// phone and the photo store really make, read back from the disk.

#include "PhotoFolder.h"

#include "registry/ExportPlan.h"
#include "registry/Pairing.h"
#include "registry/RosterRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace velmora;
using namespace velmora::registry;

struct File {
    const char* relative;
    int ageSeconds = 0;
    const char* bytes = "photo";
};

struct PairingCase {
    const char* name;
    const char* roster;
    std::vector<File> files;
    // "name=photo,photo" per student in roster order ("name=-" without one),
    // then "?photo" for each photo of nobody, "!photo=a+b" for each photo
    // several could claim, "~n" for n stale temporary files, "*n" for n
    // roster rows counted once.
    const char* expected;
};

std::string summary(const PairingResult& result)
{
    std::string out;
    const auto add = [&out](const std::string& item) { out += (out.empty() ? "" : " ") + item; };
    for (std::size_t i = 0; i < result.students.size(); ++i) {
        std::string photos;
        for (std::size_t photo : result.photosOf[i])
            photos += (photos.empty() ? "" : ",") + result.photos[photo].relative;
        add(result.students[i].name + "=" + (photos.empty() ? "-" : photos));
    }
    for (std::size_t photo : result.unmatched)
        add("?" + result.photos[photo].relative);
    for (const ContestedPhoto& contested : result.contested) {
        std::string students;
        for (std::size_t student : contested.students)
            students += (students.empty() ? "" : "+") + result.students[student].name;
        add("!" + result.photos[contested.photo].relative + "=" + students);
    }
    if (!result.staleTemporaries.empty())
        add("~" + std::to_string(result.staleTemporaries.size()));
    if (result.repeatedRows > 0)
        add("*" + std::to_string(result.repeatedRows));
    return out;
}

// 11010519491231002X and 440524188001010014 are valid resident ID numbers,
// 110105491231002 one of the old 15 digits.
const PairingCase CASES[] = {
    // Rule 1: the ID number names the photo, in whatever folder the phone chose.
    {"id_in_any_folder", "S\t张三\t11010519491231002X\t1\r\nS\t李四\t440524188001010014\t2\r\n",
     {{"1/11010519491231002X.jpg"}, {"other/deeper/440524188001010014.JPG"}},
     "张三=1/11010519491231002X.jpg 李四=other/deeper/440524188001010014.JPG"},
    {"id_x_either_case", "S\t张三\t11010519491231002x\t1\nS\t李四\t11010519491231002X\t2\n",
     {{"11010519491231002X.jpg"}},
     "张三=- 李四=- !11010519491231002X.jpg=张三+李四"},
    {"id_lowercase_in_file", "S\t张三\t11010519491231002X\t1\n", {{"11010519491231002x.jpg"}},
     "张三=11010519491231002x.jpg"},
    {"id_old_fifteen_digits", "S\t王五\t110105491231002\t3\n", {{"3/110105491231002.jpg"}},
     "王五=3/110105491231002.jpg"},
    // Rule 2: no ID-card number, the photo in 无身份证照片 by school, class, name.
    {"no_id_folder", "S1\t李四\t\t3\r\n", {{"无身份证照片/S1_3_李四.jpg"}}, "李四=无身份证照片/S1_3_李四.jpg"},
    {"no_id_name_outside_its_folder", "S1\t李四\t\t3\r\nS1\t赵六\t\t3\r\n", {{"S1_3_李四.jpg"}},
     "李四=- 赵六=- ?S1_3_李四.jpg"},
    // A number with a wrong check character is no ID-card number: the
    // student is filed as one without, and a photo by that number is nobody's.
    {"invalid_id_counts_as_none", "S1\t王五\t110105194912310021\t3\r\n",
     {{"无身份证照片/S1_3_王五.jpg"}, {"110105194912310021.jpg"}},
     "王五=无身份证照片/S1_3_王五.jpg ?110105194912310021.jpg"},
    // Rule 3: the name, where it belongs to one student only...
    {"name_unique", "S\t张三\t\t1\r\nS\t李四\t11010519491231002X\t1\r\n", {{"1/张三.jpg"}, {"李四.png"}},
     "张三=1/张三.jpg 李四=李四.png"},
    // ... or to one student of the class the folder is named by.
    {"name_shared_class_folder", "S\t张伟\t\t1\r\nS\t张伟\t\t2\r\n",
     {{"2/张伟.jpg"}, {"张伟.jpg"}, {"9/张伟.jpg"}},
     "张伟=- 张伟=2/张伟.jpg !9/张伟.jpg=张伟+张伟 !张伟.jpg=张伟+张伟"},
    // (Rows alike in every field are one student listed twice: see
    // roster_pasted_twice.)
    {"name_shared_within_class", "S\t张伟\t\t1\r\nS\t张伟\t待补\t1\r\n", {{"1/张伟.jpg"}},
     "张伟=- 张伟=- !1/张伟.jpg=张伟+张伟"},
    // The same ID number twice in the roster: neither gets the photo.
    {"id_repeated_in_roster", "S\t张三\t440524188001010014\t1\r\nS\t张山\t440524188001010014\t1\r\n",
     {{"440524188001010014.jpg"}}, "张三=- 张山=- !440524188001010014.jpg=张三+张山"},
    // Several photos of one student, newest first.
    {"several_newest_first", "S\t张三\t11010519491231002X\t1\r\n",
     {{"张三.jpg", 100}, {"1/11010519491231002X.jpg", 5}, {"old/11010519491231002X.jpg", 50}},
     "张三=1/11010519491231002X.jpg,old/11010519491231002X.jpg,张三.jpg"},
    // Nothing guessed: no longer name, no blank inside, no ID a digit short.
    {"nothing_guessed", "S\t张三\t\t1\r\nS\t李四\t11010519491231002X\t1\r\n",
     {{"张三丰.jpg"}, {"张 三.jpg"}, {"1101051949123100.jpg"}, {"1/张三1.jpg"}},
     "张三=- 李四=- ?1/张三1.jpg ?1101051949123100.jpg ?张 三.jpg ?张三丰.jpg"},
    // Not photos: other files, the phone's empty name-list place holders;
    // the store's temporary files are reported as left behind.
    {"not_photos", "S\t赵六\t\t1\r\n",
     {{"赵六.txt"}, {"1/赵六.jpg", 0, ""}, {".velmora-0123456789abcdef.tmp"}, {"1/.velmora-fedcba9876543210.tmp"}},
     "赵六=- ~2"},
    // A roster pasted twice is each student once. Before, every photo was
    // one two students could claim and the whole school was missing.
    {"roster_pasted_twice", "S\t张三\t11010519491231002X\t1\r\nS\t李四\t\t1\r\nS\t张三\t11010519491231002X\t1 \r\nS\t李四\t\t1\r\n",
     {{"11010519491231002X.jpg"}, {"1/李四.jpg"}}, "张三=11010519491231002X.jpg 李四=1/李四.jpg *2"},
    // Blanks around a spreadsheet cell and a pasted heading row.
    {"blanks_and_heading", "学校标识码\t姓名\t身份证号\t班级编号\r\n S \t 张三　\t11010519491231002X \t1\r\n",
     {{"11010519491231002X.jpg"}}, "张三=11010519491231002X.jpg"},
};

class PairingTable : public testing::TestWithParam<PairingCase> {};

TEST_P(PairingTable, PairsByTheRulesOnly)
{
    test::PhotoFolder folder;
    for (const File& file : GetParam().files)
        folder.add(file.relative, file.bytes, file.ageSeconds);
    std::string reason;
    auto contents = readReceiveFolder(folder.root(), reason);
    ASSERT_TRUE(contents) << reason;
    EXPECT_EQ(summary(pairPhotos(rosterStudents(GetParam().roster), std::move(*contents))), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, PairingTable, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The export's names: by ID number in the class folder, or in 无身份证照片 by
// school, class and name; the newest photo used, the others listed; a roster
// field can never lead a file out of the output folder.
TEST(ExportPlan, NamesEveryStudentWithAPhoto)
{
    test::PhotoFolder folder;
    folder.add("1/11010519491231002x.jpg", "photo", 1);
    folder.add("张三.jpg", "photo", 60);
    folder.add("无身份证照片/S_2_李四.jpg");
    folder.add("无身份证照片/S_.._王五.jpg");
    folder.add("440524188001010014.jpg");
    std::string reason;
    auto contents = readReceiveFolder(folder.root(), reason);
    ASSERT_TRUE(contents);
    const auto jobs = planExport(pairPhotos(
        rosterStudents("S\t张三\t11010519491231002x\t1\r\nS\t赵六\t\t1\r\nS\t李四\t\t2\r\nS\t王五\t\t..\r\n"
                       "S\t钱七\t440524188001010014\t../..\r\n"),
        std::move(*contents)));
    std::vector<std::string> got;
    for (const ExportJob& job : jobs) {
        std::string line = job.student + " (" + job.name + " " + job.identity
            + "): " + test::genericUtf8(job.source.lexically_relative(folder.root())) + " -> "
            + test::genericUtf8(job.target);
        for (const auto& other : job.passedOver)
            line += " | " + test::genericUtf8(other.lexically_relative(folder.root()));
        got.push_back(line);
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                        "1 张三 (张三 11010519491231002X): 1/11010519491231002x.jpg -> 1/11010519491231002X.jpg | 张三.jpg",
                        "2 李四 (李四 S_2_李四): 无身份证照片/S_2_李四.jpg -> 无身份证照片/S_2_李四.jpg",
                        ".. 王五 (王五 S_.._王五): 无身份证照片/S_.._王五.jpg -> 无身份证照片/S_.._王五.jpg",
                        "../.. 钱七 (钱七 440524188001010014): 440524188001010014.jpg -> .._../440524188001010014.jpg",
                    }));
    for (const ExportJob& job : jobs)
        for (const auto& level : job.target)
            EXPECT_NE(level, "..");
}

} // namespace
