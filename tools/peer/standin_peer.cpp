#include "standin_peer.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "machine_control.h"
#include "peer_wire.h"
#include "standin_control.h"
#include "window_control.h"

namespace velkpeer {

const wchar_t* const kPeerProgramPath = L"C:\\Program Files\\Brisan Software\\velk\\velk.exe";
const wchar_t* const kPeerRegistryKey = L"Software\\Brisan Software\\velk\\MainFrm";

namespace {

const wchar_t kWindowClass[] = L"velkWin";
const WPARAM kWParam = 1001;

const size_t kTestHead = 100;
const size_t kTestRecord = 688;
const size_t kButtonRecord = 320;
const size_t kCoordIdentifier = 16;
const size_t kLevelQuery = 80;
const size_t kContourItem = 192;
const uint32_t kContourCode = 20303;

// The connection id at byte 108 of each whole item after the head.
std::vector<int32_t> ContourItemConnectionIds(const std::vector<uint8_t>& b)
{
    std::vector<int32_t> ids;
    for (size_t at = kPacketHead; at + kContourItem <= b.size(); at += kContourItem) ids.push_back(I32(b, at + 108));
    return ids;
}

bool SameText(const std::wstring& a, const wchar_t* b)
{
    return a.size() == wcslen(b) && std::equal(a.begin(), a.end(), b, [](wchar_t x, wchar_t y) {
               return towlower(x) == towlower(y);
           });
}

}  // namespace

std::string MachineFile(const std::string& windowsPath)
{
    bool drive = windowsPath.size() > 3 && std::isalpha((unsigned char)windowsPath[0]) && windowsPath[1] == ':' &&
                 windowsPath[2] == '\\';
    if (!drive) return std::string();
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path root = fs::weakly_canonical(standin::MachineRoot(), ec);
    if (ec) return std::string();
    fs::path target = fs::weakly_canonical(standin::NativePathUtf8(windowsPath), ec);
    if (ec) return std::string();
    auto r = root.begin();
    auto t = target.begin();
    for (; r != root.end(); ++r, ++t)
        if (t == target.end() || *r != *t) return std::string();
    return t == target.end() ? std::string() : target.string();
}

const char* CodeName(uint32_t code)
{
    switch (code) {
    case 20000: return "register";
    case 20001: return "activate";
    case 20006: return "get version";
    case 20011: return "set location";
    case 20012: return "get map state";
    case 20013: return "set follow mode";
    case 20020: return "send test data";
    case 20100: return "get object list";
    case 20101: return "get object";
    case 20102: return "upload object";
    case 20103: return "delete objects";
    case 20107: return "search folder";
    case 20110: return "get object tree";
    case 20112: return "set object tree";
    case 20201: return "set relate points";
    case 20202: return "get coordinate system";
    case 20203: return "update notice";
    case 20204: return "get plug-in version";
    case 20211: return "get origin";
    case 20212: return "get level resolutions";
    case 20301: return "match view";
    case 20302: return "get map file";
    case 20303: return "get contour";
    case 20401: return "set button";
    case 20402: return "button pressed";
    case 20501: return "get status info";
    case 20601: return "get line types";
    default: return "request";
    }
}

StandinPeer::StandinPeer(PeerConfig config) : config_(std::move(config)), store_(config_.firstObjectId)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &StandinPeer::WindowProc;
    wc.lpszClassName = kWindowClass;
    WNDCLASSW existing;
    if (!GetClassInfoW(nullptr, kWindowClass, &existing)) RegisterClassW(&wc);
    window_ = CreateWindowExW(0, kWindowClass, L"拓岚地图", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1280, 800,
                              nullptr, nullptr, nullptr, this);
}

StandinPeer::~StandinPeer()
{
    if (IsWindow(window_)) DestroyWindow(window_);
}

LRESULT CALLBACK StandinPeer::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* cs = (const CREATESTRUCTW*)lParam;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)cs->lpCreateParams);
    }
    auto* peer = (StandinPeer*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    // Only WM_COPYDATA with wParam 1001 is a message of the protocol.
    if (msg != WM_COPYDATA || wParam != kWParam || !peer || !lParam) return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* cds = (const COPYDATASTRUCT*)lParam;
    std::vector<uint8_t> bytes;
    if (cds->lpData && cds->cbData)
        bytes.assign((const uint8_t*)cds->lpData, (const uint8_t*)cds->lpData + cds->cbData);
    uint32_t code = (uint32_t)(cds->dwData & 0xFFFF);
    int32_t connectionId = (int32_t)(uint32_t)cds->dwData >> 16;
    // Answers sent from inside the handling may nest further messages.
    size_t index = peer->messages_.size();
    peer->messages_.push_back({code, connectionId, bytes, 0, {}});
    if (code == kContourCode) peer->messages_[index].itemConnectionIds = ContourItemConnectionIds(bytes);
    ++peer->handling_;
    int64_t answer = peer->Handle(code, connectionId, bytes);
    --peer->handling_;
    peer->messages_[index].answer = answer;
    return (LRESULT)answer;
}

void StandinPeer::QueueAnswer(uint32_t code, int64_t answer) { scripted_[code].push_back(answer); }
void StandinPeer::ForgetClients() { clients_.clear(); }

std::vector<uint32_t> StandinPeer::Codes() const
{
    std::vector<uint32_t> codes;
    for (auto& m : messages_) codes.push_back(m.code);
    return codes;
}

int64_t StandinPeer::Handle(uint32_t code, int32_t connectionId, const std::vector<uint8_t>& bytes)
{
    if (code == 20000) {
        auto scripted = scripted_.find(code);
        if (scripted == scripted_.end() || scripted->second.empty()) return Register(bytes);
        int64_t answer = scripted->second.front();
        scripted->second.pop_front();
        return answer;
    }
    if (code == 20006) return config_.version;
    if (!clients_.count(connectionId)) return -1;  // not registered (any more)
    auto scripted = scripted_.find(code);
    if (scripted != scripted_.end() && !scripted->second.empty()) {
        int64_t answer = scripted->second.front();
        scripted->second.pop_front();
        return answer;
    }
    if (PeerShellCodes::Serves(code))
        return shell_.Handle(code, bytes, [&](uint32_t c, const std::vector<uint8_t>& a) { Answer(connectionId, c, a); });
    if (PeerObjectStore::Serves(code))
        return store_.Handle(code, bytes, config_.objectTree,
                             [&](uint32_t c, const std::vector<uint8_t>& a) { Answer(connectionId, c, a); });
    if (PeerTileServer::Serves(code))
        return tiles_.Handle(
            code, bytes, config_, [&](uint32_t c, const std::vector<uint8_t>& a) { Answer(connectionId, c, a); },
            ClientWindow(), followMode_ == 1000);
    if (PeerContourCodes::Serves(code))
        return contour_.Handle(bytes, FindWindowW(clients_[connectionId].c_str(), nullptr),
                               [&](uint32_t c, const std::vector<uint8_t>& a) { Answer(connectionId, c, a); });
    switch (code) {
    case 20501: return config_.statusWord;
    case 20013:
        if (bytes.size() != 4) return -4;
        followMode_ = I32(bytes, 0);
        return config_.followAnswer;
    case 20020: return ReceiveTestBlock(connectionId, bytes);
    case 20401: {
        if (!IsPacket(bytes, kButtonRecord)) return -4;
        int32_t action = I32(bytes, 20);
        if (action == 1) {
            buttonPresent_ = true;
            buttonCaption_ = Text(bytes, 24, 296);
        } else if (action == 0) {
            buttonPresent_ = false;
            buttonCaption_.clear();
        } else {
            std::vector<uint8_t> present;
            PutU32(present, 0, buttonPresent_ ? 1 : 0);
            Answer(connectionId, code, present);
        }
        return 1;
    }
    case 20202: {
        // 72 bytes, then the name and its NUL.
        std::vector<uint8_t> answer(72 + config_.coordName.size() + 1);
        PutU32(answer, 40, (uint32_t)config_.coordKind);
        memcpy(answer.data() + 44, config_.coordIdentifier.data(),
               std::min(config_.coordIdentifier.size(), kCoordIdentifier));
        std::copy(config_.coordName.begin(), config_.coordName.end(), answer.begin() + 72);
        Answer(connectionId, code, answer);
        return 0;
    }
    case 20211: {
        std::vector<uint8_t> answer(40);
        PutF64(answer, 24, config_.originX);
        PutF64(answer, 32, config_.originY);
        Answer(connectionId, code, answer);
        return 0;
    }
    case 20212: {
        if (bytes.size() != kLevelQuery) return -4;
        std::vector<uint8_t> answer(104 * config_.levelResolutions.size());
        for (size_t i = 0; i < config_.levelResolutions.size(); ++i) {
            PutF64(answer, 104 * i, config_.levelResolutions[i].first);
            PutF64(answer, 104 * i + 8, config_.levelResolutions[i].second);
        }
        Answer(connectionId, code, answer);
        return 0;
    }
    case 20601: Answer(connectionId, code, EncodePatternTable(config_.patterns)); return 0;
    default: return 0;
    }
}

int64_t StandinPeer::Register(const std::vector<uint8_t>& bytes)
{
    if (config_.refuseRegistration) return 0;
    // 96 zero bytes, the client name in UTF-16 and its NUL: 98 + 2n bytes.
    if (bytes.size() < 98 || bytes.size() % 2) return 0;
    for (size_t at = 0; at < 96; ++at)
        if (bytes[at]) return 0;
    std::wstring client;
    size_t at = 96;
    for (; at + 1 < bytes.size(); at += 2) {
        char16_t unit = (char16_t)(bytes[at] | (bytes[at + 1] << 8));
        if (!unit) break;
        client += (wchar_t)unit;
    }
    if (client.empty() || at + 2 != bytes.size()) return 0;
    // Answers go to the client's window class: under the peer's own class
    // they would come back to the peer itself.
    if (SameText(client, kWindowClass)) return 0;
    int32_t id = nextConnectionId_++;
    clients_[id] = client;
    return id;
}

int64_t StandinPeer::ReceiveTestBlock(int32_t connectionId, const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < kTestHead + kTestRecord) return -4;
    int32_t n = I32(bytes, kTestHead + 272);
    size_t textEnd = kTestHead + kTestRecord + (size_t)std::max(n, 0);
    if (n < 0 || textEnd != bytes.size()) return -4;
    // The peer writes what it received into the answer file the block names.
    std::string native = MachineFile(Text(bytes, kTestHead + 16, 256));
    if (!native.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(native).parent_path(), ec);
        std::ofstream out(native, std::ios::binary);
        out << "DataLen:" << bytes.size() << "\nINT64:" << U64(bytes, kTestHead + 8) << "\nstrData:"
            << Text(bytes, kTestHead + kTestRecord, (size_t)n) << "\n";
    }
    Answer(connectionId, 20020, bytes);
    return (int64_t)bytes.size() - config_.testDataShortBy;
}

void StandinPeer::Answer(int32_t connectionId, uint32_t code, const std::vector<uint8_t>& bytes)
{
    auto client = clients_.find(connectionId);
    HWND target = client == clients_.end() ? nullptr : FindWindowW(client->second.c_str(), nullptr);
    size_t index = answers_.size();
    answers_.push_back({code, bytes, target != nullptr, 0});
    if (!target) return;
    COPYDATASTRUCT cds;
    cds.dwData = (ULONG_PTR)(((uint32_t)connectionId << 16) | code);
    cds.cbData = (DWORD)bytes.size();
    cds.lpData = bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data());
    ++handling_;
    const LRESULT result = SendMessageW(target, WM_COPYDATA, kWParam, (LPARAM)&cds);
    --handling_;
    answers_[index].result = result;
}

bool StandinPeer::ForgetRecords()
{
    if (handling_ > 0) return false;
    forgottenMessages_ += messages_.size();
    forgottenAnswers_ += answers_.size();
    // Swapped out, not cleared: the memory goes too.
    std::vector<PeerMessage>().swap(messages_);
    std::vector<PeerAnswer>().swap(answers_);
    return true;
}

HWND StandinPeer::ClientWindow() const
{
    return clients_.empty() ? nullptr : FindWindowW(clients_.rbegin()->second.c_str(), nullptr);
}

int64_t StandinPeer::SendToClient(uint32_t code, const std::vector<uint8_t>& bytes)
{
    if (clients_.empty()) return 0;
    Answer(clients_.rbegin()->first, code, bytes);
    return answers_.back().result;
}

std::string StandinPeer::Transcript() const
{
    std::ostringstream out;
    for (auto& m : messages_) {
        out << "  peer <- " << m.code << " " << CodeName(m.code) << " (connection " << m.connectionId << ", "
            << m.bytes.size() << " bytes) answered " << m.answer << "\n";
    }
    for (auto& a : answers_) {
        out << "  peer -> " << a.code << " " << CodeName(a.code) << ": data answer of " << a.bytes.size() << " bytes, "
            << (a.delivered ? "delivered" : "no client window") << "\n";
    }
    if (buttonPresent_) out << "  peer button: \"" << buttonCaption_ << "\"\n";
    for (auto& [id, o] : store_.Objects())
        out << "  peer object " << id << ": kind " << o.kind << ", parent " << o.parent << ", \"" << o.name << "\"\n";
    return out.str();
}

void InstallPeer(DWORD lastVersion, std::function<bool()> start)
{
    standin::SetRegistryDword(HKEY_CURRENT_USER, kPeerRegistryKey, L"LastVersion", lastVersion);
    standin::SetRegistryString(HKEY_CURRENT_USER, kPeerRegistryKey, L"LastRunPath", kPeerProgramPath);
    std::string program = standin::NativePath(kPeerProgramPath);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(program).parent_path(), ec);
    std::ofstream(program, std::ios::binary) << "stand-in peer\n";
    standin::RegisterLauncher(kPeerProgramPath, [start](const std::wstring&) { return start(); });
}

}  // namespace velkpeer
