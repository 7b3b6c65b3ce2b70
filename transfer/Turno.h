#pragma once
// One transfer at a time per target database, across processes and machines. Two transfers at
// once would both find a code missing and both insert it; the target has no unique key on the
// codes to stop them. Each transfer marks its connection with a session variable and looks for
// another connection so marked; when it finds one it takes its mark back, waits a while and
// tries again. Marks vanish with their connection, so a process that dies leaves none.
#include <chrono>
#include <functional>
#include <string>

class IBDatabase;

class Turno {
public:
    // While another transfer runs, `esperando` is called every tenth of a second or so; it
    // returns false to give up. Its text is empty, but for a line for the operator: when the
    // wait begins, when another transfer holds the turn, and every kAvisoCada while it lasts.
    // After `segundos` of waiting an Error names who holds the turn; nothing was written.
    Turno(IBDatabase& db, const std::string& tabla, int segundos,
          const std::function<bool(const std::string&)>& esperando);
    static constexpr int kSegundosPorDefecto = 300;
    static constexpr std::chrono::seconds kAvisoCada{30};
    ~Turno(); // takes the mark back; never throws
    Turno(const Turno&) = delete;
    Turno& operator=(const Turno&) = delete;

    bool Obtenido() const { return obtenido_; }
    // The connection can take nothing more: the mark is left to go with it.
    void Abandonar() { obtenido_ = false; }

private:
    IBDatabase& db_;
    bool obtenido_ = false;
};
