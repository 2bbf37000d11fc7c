#include "peer_store.h"

#include <algorithm>

#include "peer_wire.h"

namespace velkpeer {

namespace {

const size_t kListItem = 108;
const size_t kRecordHeader = 64;
const size_t kFolderSearch = 532;
const size_t kFolderBody = 176;
const uint32_t kFolder = 30;

uint64_t RoundUp8(uint64_t n) { return (n + 7) / 8 * 8; }

bool IsRecordBody(uint32_t kind, const std::vector<uint8_t>& body)
{
    uint64_t size = RecordWireSize(kind, body);
    return size != 0 && size == body.size();
}

}  // namespace

uint64_t RecordWireSize(uint32_t kind, const std::vector<uint8_t>& body)
{
    const uint64_t n = body.size();
    switch (kind) {
    case 30: return kFolderBody;
    case 7: return n < 420 ? 0 : 420 + (uint64_t)U32(body, 416);
    case 8:
    case 13: {
        if (n < 204) return 0;
        uint64_t head = RoundUp8(204 + (uint64_t)U32(body, 200));
        return head + 48 * (uint64_t)U32(body, 120);
    }
    case 11: {
        if (n < 484) return 0;
        uint64_t head = RoundUp8(484 + (uint64_t)U32(body, 480));
        int32_t parts = I32(body, 120);
        if (parts < 0 || head + 1432 * (uint64_t)parts > n) return 0;
        uint64_t items = 0;
        for (int32_t i = 0; i < parts; ++i) items += U32(body, head + 1432 * (uint64_t)i + 1416);
        return head + 1432 * (uint64_t)parts + 16 * items;
    }
    default: return 0;
    }
}

bool PeerObjectStore::Serves(uint32_t code)
{
    switch (code) {
    case 20100:
    case 20101:
    case 20102:
    case 20103:
    case 20107:
    case 20110:
    case 20112: return true;
    default: return false;
    }
}

int64_t PeerObjectStore::Handle(uint32_t code, const std::vector<uint8_t>& bytes,
                                const std::vector<uint8_t>& objectTree, const Reply& reply)
{
    switch (code) {
    case 20100: {
        if (!IsPacket(bytes, kPacketHead)) return -4;
        uint32_t folder = U32(bytes, 8);
        std::vector<uint8_t> answer(kPacketHead);
        for (auto& [id, o] : objects_) {
            if (o.parent != folder) continue;
            size_t at = answer.size();
            answer.resize(at + kListItem);
            PutU32(answer, at, id);
            PutU32(answer, at + 4, o.kind);
            memcpy(answer.data() + at + 8, o.name.data(), std::min<size_t>(o.name.size(), 99));
        }
        reply(code, answer);
        return 0;
    }
    case 20101: {
        if (!IsPacket(bytes, kPacketHead)) return -4;
        auto it = objects_.find(U32(bytes, 8));
        if (it == objects_.end()) return -4;
        std::vector<uint8_t> answer(kPacketHead + it->second.body.size());
        answer[2] = (uint8_t)it->second.kind;
        PutU32(answer, 8, it->first);
        std::copy(it->second.body.begin(), it->second.body.end(), answer.begin() + kPacketHead);
        reply(code, answer);
        return 0;
    }
    case 20102: return Upload(bytes);
    case 20103: return Delete(bytes);
    case 20107: {
        if (bytes.size() != kFolderSearch || U32(bytes, 0) != 0 || U32(bytes, 4) != 5 || U32(bytes, 8) != kFolder)
            return -4;
        uint32_t parent = U32(bytes, 12);
        std::string name = Text(bytes, 28, 100);
        // The request comes back with the id found after it.
        std::vector<uint8_t> answer(bytes);
        PutU32(answer, kFolderSearch, 0);
        for (const auto& [id, folder] : folders_)
            if (folder->parent == parent && folder->name == name) {
                PutU32(answer, kFolderSearch, id);
                break;
            }
        reply(code, answer);
        return 0;
    }
    case 20110: {
        if (!IsPacket(bytes, kPacketHead)) return -4;
        std::vector<uint8_t> tree = Malform(chosen_.empty() ? objectTree : FrameChosen(), malformation_);
        if (!tree.empty()) reply(code, tree);
        return 0;
    }
    case 20112: return ReceiveObjectTree(bytes, reply);
    default: return 0;
    }
}

int64_t PeerObjectStore::Upload(const std::vector<uint8_t>& bytes)
{
    if (!IsPacket(bytes, bytes.size())) return -4;
    uint32_t kind = bytes[2];
    std::vector<uint8_t> body(bytes.begin() + kPacketHead, bytes.end());
    if (!IsRecordBody(kind, body)) return -4;
    // A folder made at the top of the tree (flag at byte 12) has no parent.
    uint32_t parent = U32(bytes, 12) == 1 ? 0 : U32(bytes, 4);
    uint32_t id = Store(U32(bytes, 8), kind, parent, body.data(), body.size());
    return (int64_t)(int32_t)id;  // ids with the top bit set arrive as negative answers
}

int64_t PeerObjectStore::Delete(const std::vector<uint8_t>& bytes)
{
    // The count comes from the size: one u32 id per 4 bytes after the head.
    if (bytes.size() < kPacketHead + 4 || (bytes.size() - kPacketHead) % 4 || !IsPacket(bytes, bytes.size()))
        return -4;
    PeerDeletion d{{}, U32(bytes, 12)};
    if (d.flags > 3) return -4;
    for (size_t at = kPacketHead; at < bytes.size(); at += 4) d.ids.push_back(U32(bytes, at));
    std::vector<uint32_t> doomed = d.ids;
    // With flag bit 1 everything below a deleted folder goes with it.
    for (size_t i = 0; (d.flags & 1) && i < doomed.size(); ++i)
        for (auto& [id, o] : objects_)
            if (o.parent == doomed[i] && std::find(doomed.begin(), doomed.end(), id) == doomed.end())
                doomed.push_back(id);
    for (uint32_t id : doomed) {
        Remember(id);
        objects_.erase(id);
        folders_.erase(id);
    }
    deletions_.push_back(std::move(d));
    return 0;
}

uint32_t PeerObjectStore::Put(uint32_t kind, uint32_t parent, const std::vector<uint8_t>& body)
{
    return Store(0, kind, parent, body.data(), body.size());
}

bool PeerObjectStore::Change(uint32_t id, const std::vector<uint8_t>& body)
{
    auto it = objects_.find(id);
    if (it == objects_.end()) return false;
    Store(id, it->second.kind, it->second.parent, body.data(), body.size());
    return true;
}

uint32_t PeerObjectStore::Store(uint32_t id, uint32_t kind, uint32_t parent, const uint8_t* body, size_t size)
{
    if (id == 0 || !objects_.count(id)) id = nextId_++;
    Remember(id);
    StoredObject& o = objects_[id];
    o.id = id;
    o.kind = kind;
    if (kind == kFolder) folders_[id] = &o;
    else folders_.erase(id);
    o.parent = parent;
    o.body.assign(body, body + size);
    o.name.clear();
    for (size_t i = 0; i < size && i < 100 && body[i]; ++i) o.name += (char)body[i];
    return id;
}

void PeerObjectStore::Remember(uint32_t id)
{
    if (earlier_.count(id)) return;
    auto it = objects_.find(id);
    if (it == objects_.end()) earlier_[id] = std::nullopt;
    else earlier_[id] = std::make_pair(it->second.kind, it->second.body);
}

int64_t PeerObjectStore::ReceiveObjectTree(const std::vector<uint8_t>& bytes, const Reply& reply)
{
    const size_t first = kPacketHead + kRecordHeader;
    // The root header counts every byte after it.
    if (!IsPacket(bytes, bytes.size()) || bytes.size() < first || U32(bytes, kPacketHead) != bytes.size() - first)
        return -4;
    uint32_t target = U32(bytes, 4);
    // Every record is checked before anything is stored.
    for (size_t at = first; at < bytes.size();) {
        if (bytes.size() - at < kRecordHeader) return -4;
        uint32_t size = U32(bytes, at);
        if (size > bytes.size() - at - kRecordHeader) return -4;
        const uint8_t* body = bytes.data() + at + kRecordHeader;
        if (!IsRecordBody(U32(bytes, at + 4), std::vector<uint8_t>(body, body + size))) return -4;
        at += kRecordHeader + size;
    }
    // Folders in front of their children: (folder id, children still to come).
    std::vector<std::pair<uint32_t, uint32_t>> open;
    std::vector<uint8_t> answer;
    for (size_t at = first; at < bytes.size();) {
        uint32_t size = U32(bytes, at);
        uint32_t kind = U32(bytes, at + 4);
        uint32_t parent = U32(bytes, at + 12);
        if (!parent) parent = open.empty() ? target : open.back().first;
        const uint8_t* body = bytes.data() + at + kRecordHeader;
        uint32_t id = Store(U32(bytes, at + 8), kind, parent, body, size);
        objects_[id].handle = U64(bytes, at + 16);
        if (!open.empty() && --open.back().second == 0) open.pop_back();
        if (kind == kFolder) {
            uint32_t children = U32(bytes, at + kRecordHeader + 100);
            if (children) open.emplace_back(id, children);
        }
        size_t entry = answer.size();
        answer.resize(entry + kRecordHeader);
        PutU32(answer, entry + 4, kind);
        PutU32(answer, entry + 8, id);
        PutU64(answer, entry + 16, U64(bytes, at + 16));
        at += kRecordHeader + size;
    }
    reply(20112, answer);
    return 0;
}

void PeerObjectStore::Frame(uint32_t id, std::vector<uint8_t>& out, int depth) const
{
    // Parent links come from the client: a loop must not recurse forever.
    if (depth > 8) return;
    auto it = objects_.find(id);
    if (it == objects_.end()) return;
    const StoredObject& o = it->second;
    std::vector<uint8_t> body = o.body;
    std::vector<uint32_t> children;
    if (o.kind == kFolder) {
        for (auto& [cid, c] : objects_)
            if (c.parent == id) children.push_back(cid);
        PutU32(body, 100, (uint32_t)children.size());
    }
    size_t at = out.size();
    out.resize(at + kRecordHeader);
    PutU32(out, at, (uint32_t)body.size());
    PutU32(out, at + 4, o.kind);
    PutU32(out, at + 8, id);
    PutU32(out, at + 12, o.parent);
    out.insert(out.end(), body.begin(), body.end());
    for (uint32_t c : children) Frame(c, out, depth + 1);
}

std::vector<uint8_t> PeerObjectStore::FrameChosen() const
{
    std::vector<uint8_t> out(kPacketHead + kRecordHeader);
    out[0] = 101;
    for (uint32_t id : chosen_) Frame(id, out, 0);
    PutU32(out, kPacketHead, (uint32_t)(out.size() - kPacketHead - kRecordHeader));
    return out;
}

}  // namespace velkpeer
