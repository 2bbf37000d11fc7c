// Module-wide values of the object exchange that the receiver window writes
// and reads while a request to the peer is running, and the handlers of the
// peer's answers that fill them.
#pragma once

#include <cstdint>
#include <vector>

#include "afxstr.h"
#include "state/drawingdata.h"

// One folder of a folder-list answer.
struct PeerFolderItem {
    CString name;
    uint32_t id = 0;
};

// The current drawing's folder name below "CAD工作空间".
extern CString g_subFolderName;
// The folder name being searched, and the id a search or folder lookup
// answered (0 before each such request).
extern CString g_searchName;
extern uint32_t g_searchAnswer;
// The child folders of the last folder-list answer.
extern std::vector<PeerFolderItem> peerFolderList;

// Record index -> link of each layer-folder record in a buffer in flight.
extern LinkMap folderRecordLinks;
// A layer-folder buffer is being sent.
extern uint8_t g_bNewFoldersSent;
// A send of more than 1000 entities shows the status-bar meter.
extern uint8_t g_bShowSendProgress;
// Set while the plug-in changes links or entities itself: the database
// reactor then records and propagates nothing.
extern uint8_t g_bSuppressReactors;

// Answer handlers for the receiver window; each takes the answer's bytes.
// 20100: rebuilds peerFolderList from the folder items (kind 30) after the
// 16-byte head.
void ApplyFolderListAnswer(const uint8_t* bytes, uint32_t size);
// 20101: g_searchAnswer = the object's id when the object is a folder, else 0.
void ApplyFolderLookupAnswer(const uint8_t* bytes, uint32_t size);
// 20107: g_searchAnswer = the found id (answers shorter than 536 bytes are
// ignored).
void ApplyFolderSearchAnswer(const uint8_t* bytes, uint32_t size);
// 20112: applies the peer's ids to the links, entry i to record i of the
// buffer being sent.
void ApplyObjectAnswer(const uint8_t* bytes, uint32_t size);
