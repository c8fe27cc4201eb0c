#pragma once
/* The workbook reader expects its build configuration here; it needs none. */
