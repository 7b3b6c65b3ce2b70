#pragma once
// Runs a helper program, waits for the first thing it prints, then kills it with SIGKILL:
// the way to prove that committed work survives a process that dies.
#include <string>
#include <vector>

struct KilledChild {
    std::string said; // what it printed before it was killed
    bool killedBySignal = false;
};

KilledChild RunUntilItSpeaksThenKill(const std::vector<std::string>& argv);
