#pragma once
// The bound on waiting for a server that stops answering. After SIGINT, SIGTERM or SIGHUP a
// running transfer stops at its next record; if it is still running a few seconds later it is
// stuck in a call to the target, which is cancelled; if the cancel gets no answer either, the
// connection is cut (IBDatabase::Cortar) and the call fails at once. The closing steps have a
// bound of their own, shorter once a signal has come.
#include <chrono>

class TDatos;

namespace vigia {

using namespace std::chrono_literals;
constexpr auto kCancelarTrasSenal = 3s; // a record boundary is never that far on a live target
constexpr auto kCortarTrasSenal = 6s;
constexpr auto kCierre = 15s; // a commit and a detach, on a server that answers, take far less
constexpr auto kCierreTrasSenal = 3s;

// While it lives, the connection is cut if it has not died `plazo` from now (sooner once a
// signal comes). Does nothing in a program that does not attend to signals.
class Plazo {
public:
    explicit Plazo(std::chrono::seconds plazo);
    ~Plazo();
    Plazo(const Plazo&) = delete;
    Plazo& operator=(const Plazo&) = delete;
};

} // namespace vigia
