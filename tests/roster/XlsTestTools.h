#pragma once

// Helpers for the .xls tests: a scratch folder, whole-file reads, and the
// independent reader and writer (Debian's python3-xlrd and python3-xlwt, run
// with the system's own Python so that a different python3 on PATH cannot
// stand in).

#include "HostProgram.h"
#include "tests/support/TempTree.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::test {

inline const std::string SYSTEM_PYTHON = "/usr/bin/python3";

// A scratch folder whose files the roster code takes as UTF-8 names.
class ScratchDir : public TempTree {
public:
    std::string file(const std::string& name) const { return (root() / name).string(); }
    std::size_t entryCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(root()),
                                                      std::filesystem::directory_iterator()));
    }
};

inline std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Runs one of the scripts in the test data folder; returns its exit code.
inline int runScript(const std::string& script, const std::string& first, const std::string& second)
{
    return runHostProgram(SYSTEM_PYTHON,
                          {std::string(VELMORA_TEST_DATA_DIR) + "/" + script, first, second});
}

// xlrd's view of worksheet 1 of `xls` (see data/xlrd_cells.py), or
// "rejected" when xlrd could not read the file.
inline std::string xlrdCells(const ScratchDir& dir, const std::string& xls)
{
    const std::string out = dir.file("xlrd.txt");
    if (runScript("xlrd_cells.py", hostPath(xls), hostPath(out)) != 0)
        return "rejected";
    return readText(out);
}

// Writes the named workbook of data/xlwt_roster.py; returns its path.
inline std::string xlwtWorkbook(const ScratchDir& dir, const std::string& name)
{
    const std::string path = dir.file(name + ".xls");
    if (runScript("xlwt_roster.py", name, hostPath(path)) != 0)
        return {};
    return path;
}

} // namespace velmora::test
