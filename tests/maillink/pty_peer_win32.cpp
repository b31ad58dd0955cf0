// The scripted device's line under Wine: a local TCP connection to the relay that the test
// driver runs for each scripted COM port (socat between a fresh pseudo-terminal, which Wine's
// registry names as COM<n>, and a socket listening on RELAY_WINE_RELAY_PORT_BASE + n). The relay
// serves one connection: closing it closes the pseudo-terminal, which the library sees as a line
// that hung up, and the driver then starts a fresh relay for the next peer.
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "pty_peer.h"

namespace {

constexpr unsigned kConnectPatienceMs = 10000;
constexpr unsigned kRelayEndMs = 250;  // the relay ends within some milliseconds of the close

class WinsockUser {
public:
    WinsockUser() {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~WinsockUser() { ::WSACleanup(); }
};

class RelayConnection : public LineEnd {
public:
    explicit RelayConnection(unsigned short port) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectPatienceMs);
        // The relay listens only once it has made its pseudo-terminal: until then (or while the
        // previous peer's relay is still ending) connections are refused.
        while (true) {
            socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            if (socket_ == INVALID_SOCKET) throw std::runtime_error("cannot make a socket");
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = ::htons(port);
            address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
            if (::connect(socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) break;
            ::closesocket(socket_);
            socket_ = INVALID_SOCKET;
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("no relay listens on port " + std::to_string(port) +
                                         " (run the tests through tests/wine/run-maillink-suite.sh)");
            ::Sleep(5);
        }
        BOOL noDelay = TRUE;
        ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay), sizeof noDelay);
    }

    ~RelayConnection() override {
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    }

    void HangUp() override {
        if (socket_ == INVALID_SOCKET) return;
        ::closesocket(socket_);
        socket_ = INVALID_SOCKET;
        // The relay closes the pseudo-terminal when it sees the end of the connection; give it
        // the time to, so that the line is dead when this returns.
        ::Sleep(kRelayEndMs);
    }

    long Read(uint8_t *buffer, std::size_t size, unsigned timeoutMs) override {
        if (socket_ == INVALID_SOCKET) return -1;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait{0, static_cast<long>(timeoutMs) * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) return 0;
        const int n = ::recv(socket_, reinterpret_cast<char *>(buffer), static_cast<int>(size), 0);
        return n > 0 ? n : -1;
    }

    bool Write(const uint8_t *data, std::size_t size) override {
        std::size_t done = 0;
        while (socket_ != INVALID_SOCKET && done < size) {
            const int n = ::send(socket_, reinterpret_cast<const char *>(data + done), static_cast<int>(size - done), 0);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return done == size;
    }

private:
    WinsockUser winsock_;
    SOCKET socket_ = INVALID_SOCKET;
};

unsigned short RelayPort(unsigned comNumber) {
    const char *base = std::getenv("RELAY_WINE_RELAY_PORT_BASE");
    if (base == nullptr || *base == '\0')
        throw std::runtime_error("RELAY_WINE_RELAY_PORT_BASE is not set (run the tests through the Wine driver)");
    return static_cast<unsigned short>(std::atoi(base) + static_cast<int>(comNumber));
}

}  // namespace

void PtyPeer::OpenPlatformLine() {}

void PtyPeer::ClosePlatformLine() {}

void PtyPeer::Publish(const std::string &, unsigned comNumber) {
    CloseLine();
    SetLine(std::make_shared<RelayConnection>(RelayPort(comNumber)));
    devicePath_ = "COM" + std::to_string(comNumber);
    comNumber_ = comNumber;
}
