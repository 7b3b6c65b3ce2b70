#pragma once
// The network link of one connection to a Firebird server: the TCP sockets the client library
// opened for it. A server that stops answering (frozen, or a socket that accepts and never
// replies) leaves the call in progress waiting for ever, and a cancel is itself a request that
// only a live server acts on. Shutting the link's sockets down makes that call fail at once
// with a lost link, whatever the server does.
#include <mutex>
#include <set>
#include <vector>

class Enlace {
public:
    // Around an attach: the TCP sockets open before it, and afterwards those it added.
    void AntesDeConectar();
    void DespuesDeConectar(bool conectado);
    // Shuts the link's sockets down for reading and writing (during an attach, every TCP socket
    // opened since it began); the descriptors stay the library's. Safe from another thread.
    // Whether there was any to shut: a connection in process (embedded) has none.
    bool Cortar() noexcept;
    // The connection is gone: its sockets are no longer its.
    void Olvidar() noexcept;

    // The TCP sockets (IPv4 or IPv6 streams) this process has open.
    static std::set<int> SocketsTcp();

private:
    std::mutex m_;
    bool conectando_ = false;
    std::set<int> antes_;      // TCP sockets open when the attach began
    std::vector<int> propios_; // those the attach added
};
