// Win32 stand-in: the common controls' notifications and styles the
// module's dialogs use (list views and tooltips).
#pragma once

#include "windows.h"

// A list view's notification about one item (NM_CLICK, NM_DBLCLK).
typedef struct tagNMITEMACTIVATE {
    NMHDR hdr;
    int iItem;      // the row hit, -1 for none
    int iSubItem;   // the column hit
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
} NMITEMACTIVATE, *LPNMITEMACTIVATE;

#define LVS_REPORT 0x0001
#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVCFMT_LEFT 0x0000

#define TTDT_AUTOMATIC 0
