// The stand-in peer map program: a top-level window of class "velkWin" in the
// stand-in window manager that speaks the peer's side of the window-message
// protocol. It decodes what it receives with its own code, answers from its
// configuration, keeps the folders and objects sent to it, and records every
// message. Tests script refusals and odd answers through it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "peer_store.h"
#include "peer_contour.h"
#include "peer_shell.h"
#include "peer_tiles.h"
#include "windows.h"

namespace velkpeer {

// Where the stand-in peer is installed on the machine.
extern const wchar_t* const kPeerProgramPath;
extern const wchar_t* const kPeerRegistryKey;  // below HKEY_CURRENT_USER

struct PeerConfig {
    int32_t version = 900;            // answer to 20006
    bool refuseRegistration = false;  // 20000 answers 0
    int32_t statusWord = 1;           // answer to 20501
    int32_t followAnswer = 0;         // answer to 20013
    uint32_t testDataShortBy = 0;     // 20020 confirms this many bytes fewer
    // 20202: kind (2 = longitude and latitude), identifier and name.
    int32_t coordKind = 1;
    std::string coordIdentifier = "cgcs2000-114e";
    std::string coordName = "CGCS2000 3-degree CM 114E";
    // 20211: the tile grid's origin.
    double originX = 500000.0;
    double originY = 3000000.0;
    // 20212: drawing units per pixel (x, y) for levels 1, 2, ...
    std::vector<std::pair<double, double>> levelResolutions;
    // 20012: map level and map type.
    int32_t mapLevel = 16;
    int32_t mapType = 1;
    // 20110: the objects the user chose, as the exchange framing (may be empty).
    std::vector<uint8_t> objectTree;
    uint32_t firstObjectId = 1000;
    // 20601: the hatch pattern table.
    std::vector<PeerPattern> patterns = {
        {"ANSI31", 1.0, 1}, {"ISO02W100", 2.0, 2}, {"BRICK", 0.5, 3}, {"SOLID", 1.0, 4}};
};

// One message received: its code, the connection id in its data word, its
// bytes and the immediate answer given.
struct PeerMessage {
    uint32_t code;
    int32_t connectionId;
    std::vector<uint8_t> bytes;
    int64_t answer;
    // Contour requests (20303): the connection id written in each item.
    std::vector<int32_t> itemConnectionIds;
};

// A data answer the peer sent to the client's window.
struct PeerAnswer {
    uint32_t code;
    std::vector<uint8_t> bytes;
    bool delivered;  // false when no client window was found
    int64_t result;
};

class StandinPeer {
public:
    explicit StandinPeer(PeerConfig config = PeerConfig());
    ~StandinPeer();
    StandinPeer(const StandinPeer&) = delete;
    StandinPeer& operator=(const StandinPeer&) = delete;

    HWND Window() const { return window_; }
    PeerConfig& Config() { return config_; }

    // The next message of `code` from a registered client gets this answer
    // and has no other effect; for 20000, the next registration (-10: the
    // client is blocked).
    void QueueAnswer(uint32_t code, int64_t answer);
    // The peer loses every registration: requests with an old id get -1.
    void ForgetClients();
    // Sends a message of the peer's own to the client's window (as the
    // peer's button press 20402 does); the client's answer.
    int64_t SendToClient(uint32_t code, const std::vector<uint8_t>& bytes);

    const std::vector<PeerMessage>& Messages() const { return messages_; }
    std::vector<uint32_t> Codes() const;
    const std::vector<PeerAnswer>& Answers() const { return answers_; }
    // Lets go of the messages and answers recorded so far, for a reader
    // that has reported them (velkhost, whose runs may be long); false, and
    // nothing forgotten, while a message is being handled. The counts go on.
    bool ForgetRecords();
    size_t MessageCount() const { return forgottenMessages_ + messages_.size(); }
    size_t AnswerCount() const { return forgottenAnswers_ + answers_.size(); }
    const std::map<uint32_t, StoredObject>& Objects() const { return store_.Objects(); }
    // The folders and objects, for tests and the demo to put objects in.
    PeerObjectStore& ObjectStore() { return store_; }
    // The shell-side codes: announced version, relate-point answers.
    PeerShellCodes& ShellCodes() { return shell_; }
    // The map's view (20011, 20012) and its image server (20302).
    PeerTileServer& Tiles() { return tiles_; }
    // The contour lines: the surface, the data state, the answers.
    PeerContourCodes& ContourCodes() { return contour_; }
    // The client's window (the last one registered); null without one.
    HWND ClientWindow() const;
    bool ButtonPresent() const { return buttonPresent_; }
    const std::string& ButtonCaption() const { return buttonCaption_; }
    int32_t FollowMode() const { return followMode_; }
    // A readable account of every message and answer.
    std::string Transcript() const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    int64_t Handle(uint32_t code, int32_t connectionId, const std::vector<uint8_t>& bytes);
    int64_t Register(const std::vector<uint8_t>& bytes);
    int64_t ReceiveTestBlock(int32_t connectionId, const std::vector<uint8_t>& bytes);
    void Answer(int32_t connectionId, uint32_t code, const std::vector<uint8_t>& bytes);

    PeerConfig config_;
    HWND window_ = nullptr;
    std::map<int32_t, std::wstring> clients_;  // connection id -> client window class
    int32_t nextConnectionId_ = 1;
    std::map<uint32_t, std::deque<int64_t>> scripted_;
    std::vector<PeerMessage> messages_;
    std::vector<PeerAnswer> answers_;
    size_t forgottenMessages_ = 0, forgottenAnswers_ = 0;
    int handling_ = 0;  // messages and answers under way, which hold places in the records
    PeerObjectStore store_;
    PeerShellCodes shell_;
    PeerTileServer tiles_;
    PeerContourCodes contour_;
    bool buttonPresent_ = false;
    std::string buttonCaption_;
    int32_t followMode_ = 0;
};

// Puts the peer's installation values in the registry ("LastVersion",
// "LastRunPath"), creates its program file and registers `start` with the
// shell as the program.
void InstallPeer(DWORD lastVersion, std::function<bool()> start);

// The native place of a file a client names, or empty when the name is no
// drive path or leads outside the machine folder (by "..", or through a link).
std::string MachineFile(const std::string& windowsPath);

// The request's name in transcripts.
const char* CodeName(uint32_t code);

}  // namespace velkpeer
