#pragma once

/* The part of iconv that the workbook reader uses on Windows: conversions
 * from a Windows code page (named "CPnnn", "ASCII", "MacRoman" or "UTF-16LE")
 * to "UTF-8", done by MultiByteToWideChar and WideCharToMultiByte. Each call
 * converts the whole input or nothing. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct velmora_iconv* iconv_t;

iconv_t iconv_open(const char* to, const char* from);
size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif
