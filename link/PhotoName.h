#pragma once

#include <string>

namespace velmora::link {

// A photo name as the phone announced it. `gbk` is the program's own text,
// which the name list and the searches for "\", "_" and "||" use. Students'
// names may hold rare characters that code page 936 lacks (䶮, 𡒄 …); `gbk`
// then has "?" in their places and `unicode` keeps the whole name as UTF-8,
// so that the photo is filed under its own characters and two such students
// never share one file. `unicode` is empty whenever `gbk` holds the name
// whole.
struct PhotoName {
    std::string gbk;
    std::string unicode;

    PhotoName() = default;
    explicit PhotoName(std::string gbkName, std::string unicodeName = {})
        : gbk(std::move(gbkName)), unicode(std::move(unicodeName)) {}

    bool empty() const { return gbk.empty(); }
    // The name as the window shows it, UTF-8.
    std::string shown() const;
    bool operator==(const PhotoName&) const = default;
};

} // namespace velmora::link
