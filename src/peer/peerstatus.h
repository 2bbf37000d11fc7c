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
