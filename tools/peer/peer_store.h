// The stand-in peer's map objects: folders and objects with increasing ids,
// kept from the uploads (20102) and exchange buffers (20112) it receives,
// searched (20107), listed (20100), looked up (20101), deleted (20103), and
// sent to the client on request (20110). Malformed payloads are refused
// with -4 and change nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "peer_encode.h"

namespace velkpeer {

struct StoredObject {
    uint32_t id;
    uint32_t kind;
    uint32_t parent;            // 0: the top of the peer's tree
    std::string name;
    std::vector<uint8_t> body;  // the record's wire form
    uint64_t handle = 0;        // the entity handle (or group key) its header carried
};

// One delete request: its ids and its flag bits (1 and 2).
struct PeerDeletion {
    std::vector<uint32_t> ids;
    uint32_t flags;
};

class PeerObjectStore {
public:
    explicit PeerObjectStore(uint32_t firstId) : nextId_(firstId) {}

    // Sends a data answer to the requesting client.
    using Reply = std::function<void(uint32_t code, const std::vector<uint8_t>& bytes)>;
    static bool Serves(uint32_t code);
    // `objectTree`: the configured answer to 20110, used when no objects
    // were chosen.
    int64_t Handle(uint32_t code, const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& objectTree,
                   const Reply& reply);

    const std::map<uint32_t, StoredObject>& Objects() const { return objects_; }
    const std::vector<PeerDeletion>& Deletions() const { return deletions_; }
    // What each object changed since the last mark was before it: its kind
    // and body, or none when it was not there. Keeping only what changes
    // lets a caller ask after every step without copying the store.
    using Earlier = std::map<uint32_t, std::optional<std::pair<uint32_t, std::vector<uint8_t>>>>;
    void MarkChanges() { earlier_.clear(); }
    const Earlier& ChangedSinceMark() const { return earlier_; }
    // An object made in the peer itself; its id.
    uint32_t Put(uint32_t kind, uint32_t parent, const std::vector<uint8_t>& body);
    // An object changed in the peer itself (its kind and place kept);
    // false when there is none of that id.
    bool Change(uint32_t id, const std::vector<uint8_t>& body);
    // The objects the user chose to send to CAD: the answer to 20110 frames
    // them (a folder with the stored objects below it, in id order).
    void ChooseForCad(const std::vector<uint32_t>& ids) { chosen_ = ids; }
    // The exchange buffer of the chosen objects.
    std::vector<uint8_t> FrameChosen() const;
    // The next answers to 20110 are spoiled this way.
    void SetMalformation(Malformation how) { malformation_ = how; }

private:
    int64_t Upload(const std::vector<uint8_t>& bytes);
    int64_t ReceiveObjectTree(const std::vector<uint8_t>& bytes, const Reply& reply);
    int64_t Delete(const std::vector<uint8_t>& bytes);
    uint32_t Store(uint32_t id, uint32_t kind, uint32_t parent, const uint8_t* body, size_t size);
    void Frame(uint32_t id, std::vector<uint8_t>& out, int depth) const;
    // Notes what the object is before it changes, once since the mark.
    void Remember(uint32_t id);

    std::map<uint32_t, StoredObject> objects_;
    // The folders among them, in id order: a search walks only these.
    std::map<uint32_t, const StoredObject*> folders_;
    std::vector<PeerDeletion> deletions_;
    Earlier earlier_;
    std::vector<uint32_t> chosen_;
    Malformation malformation_ = Malformation::kNone;
    uint32_t nextId_;
};

// The length a record's wire form must have, read from its own framing;
// 0 when the kind is unknown or the bytes cannot hold the framing.
uint64_t RecordWireSize(uint32_t kind, const std::vector<uint8_t>& body);

}  // namespace velkpeer
