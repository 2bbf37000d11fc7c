// Building the record of an open drawing and loading its links.
#pragma once

#include "afxstr.h"

class GcApDocument;

// Finds or builds the record of the document's drawing, makes it the active
// record and loads the links of the drawing's model space into it (points
// and joined pieces into its groups, every linked object into its peer-id
// maps). A null document means the current one.
void LoadDocumentRecord(const CString& name, GcApDocument* document = nullptr);
