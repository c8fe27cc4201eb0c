#pragma once
/* The workbook reader expects its build configuration here; it only needs
 * its version. */
#define VERSION "1.0.6"
