#pragma once
// What several suites check the same way: an error of a given type whose message says
// something, and the bytes of a file.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

// Passes when `sentencia` throws a `Tipo` whose message contains `fragmento`.
#define EXPECT_THROW_MSG(sentencia, Tipo, fragmento)                                               \
    EXPECT_TRUE(([&]() -> ::testing::AssertionResult {                                             \
        try {                                                                                      \
            sentencia;                                                                             \
        } catch (const Tipo& e_) {                                                                 \
            if (std::string(e_.what()).find(fragmento) != std::string::npos)                       \
                return ::testing::AssertionSuccess();                                              \
            return ::testing::AssertionFailure() << #Tipo " thrown, but its message lacks «"      \
                                                 << (fragmento) << "»: " << e_.what();             \
        } catch (const std::exception& e_) {                                                       \
            return ::testing::AssertionFailure() << "another error: " << e_.what();                \
        }                                                                                          \
        return ::testing::AssertionFailure() << #sentencia " threw nothing";                       \
    })())

// The error of type E that `f` throws, for tests that look at more than its message; empty
// when it throws nothing (another type goes through).
template <class E, class F> std::optional<E> Captura(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

// The message of whatever `f` throws, or "(no error)", for table-driven tests of messages.
std::string Mensaje(const std::function<void()>& f);

// The whole content of a file; empty when it cannot be read.
std::string LeerFichero(const std::string& ruta);
