#pragma once
/* Nothing needed: the workbook reader only includes this header. */
