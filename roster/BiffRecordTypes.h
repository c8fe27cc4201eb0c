#pragma once

// BIFF8 record types and limits shared by the workbook writer and the checks
// run on a workbook before FreeXL reads it.

#include <cstddef>
#include <cstdint>

namespace velmora::roster::biff {

enum : std::uint16_t {
    BOF = 0x0809, EOF_RECORD = 0x000A, INTERFACEHDR = 0x00E1, MMS = 0x00C1,
    INTERFACEEND = 0x00E2, WRITEACCESS = 0x005C, CODEPAGE = 0x0042, DSF = 0x0161,
    TABID = 0x013D, FNGROUPCOUNT = 0x009C, WINDOWPROTECT = 0x0019, PROTECT = 0x0012,
    PASSWORD = 0x0013, PROT4REV = 0x01AF, PROT4REVPASS = 0x01BC, BACKUP = 0x0040,
    HIDEOBJ = 0x008D, WINDOW1 = 0x003D, DATEMODE = 0x0022, PRECISION = 0x000E,
    REFRESHALL = 0x01B7, BOOKBOOL = 0x00DA, FONT = 0x0031, FORMAT = 0x041E, XF = 0x00E0,
    STYLE = 0x0293, USESELFS = 0x0160, BOUNDSHEET = 0x0085, COUNTRY = 0x008C,
    CALCMODE = 0x000D, CALCCOUNT = 0x000C, REFMODE = 0x000F, ITERATION = 0x0011,
    DELTA = 0x0010, SAVERECALC = 0x005F, DEFAULTROWHEIGHT = 0x0225, WSBOOL = 0x0081,
    DIMENSIONS = 0x0200, BLANK = 0x0201, LABELSST = 0x00FD, LABEL = 0x0204, NUMBER = 0x0203,
    BOOLERR = 0x0205, RK = 0x027E, MULRK = 0x00BD, WINDOW2 = 0x023E, SST = 0x00FC,
    CONTINUE = 0x003C, EXTSST = 0x00FF, FILEPASS = 0x002F,
};

// The largest record body a BIFF8 reader accepts.
inline constexpr std::size_t MAX_RECORD_PAYLOAD = 8224;

} // namespace velmora::roster::biff
