// How peer failures reach the user, and the debug log.
#pragma once

#include "afxstr.h"

// A negative status as the operation tag followed by its text: in a message
// box, or on the command line with the text on a line of its own. Statuses of
// 0 and above are silent.
void ReportVelkMsgError(int status, CString tag, bool showInBox);
// The text for the result of a peer job (map images, contour data); empty
// for results that need no word.
CString ReportVelkJobResult(int result);

// Opens the debug log "\DebugLog.txt" beside the module; lines written before
// it are dropped.
void InitDebugLog();
// Releases the log's guard when the module unloads.
void CloseDebugLog();
// One time-stamped line, formatted printf-style (narrow).
void WriteDebugLog(const char* format, ...);
// One line holding the text literally.
void WriteDebugLogText(CString text);
