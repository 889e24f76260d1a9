// Particle tests: the tables emptied around each test, the random generator replaceable by a
// list of fixed answers, and the console lines and run-time errors the operations make.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "assets/Particle_Effects.h"
#include "assets/Particle_Main.h"
#include "core/Console.h"
#include "core/RuntimeError.h"

namespace particletest {

// Fixed answers: real(x) gives x times the next fraction, intMod(n) the next whole answer.
struct FixedRandom {
    static inline std::deque<double> fractions;
    static inline std::deque<uint32_t> whole;
    static double Real(double x) {
        EXPECT_FALSE(fractions.empty()) << "a real drawn past the fixed answers";
        if (fractions.empty()) return 0;
        const double f = fractions.front();
        fractions.pop_front();
        return x * f;
    }
    static uint32_t IntMod(int32_t) {
        EXPECT_FALSE(whole.empty()) << "a whole number drawn past the fixed answers";
        if (whole.empty()) return 0;
        const uint32_t w = whole.front();
        whole.pop_front();
        return w;
    }
    static void Use(std::vector<double> f, std::vector<uint32_t> w) {
        fractions.assign(f.begin(), f.end());
        whole.assign(w.begin(), w.end());
        g_ParticleRandom = {Real, IntMod};
    }
};

inline std::string& Log() {
    static std::string log;
    return log;
}
inline std::vector<std::string>& Errors() {
    static std::vector<std::string> errors;
    return errors;
}

// Empties the particle tables before and after, and captures what the operations report.
class ParticleTables {
protected:
    void StartParticles() {
        Particle_Shutdown();
        Effect_InstallHooks();
        ParticleRandom_Reset();
        g_ParticleLayerHooks = {};
        Log().clear();
        Errors().clear();
        Console_SetDebuggerSink([](const char* text) { Log() += text; });
        m_previous = Runtime_SetNonFatalReporter([](const char* m) { Errors().push_back(m); });
    }
    void StopParticles() {
        Particle_Shutdown();
        ParticleRandom_Reset();
        g_ParticleLayerHooks = {};
        Console_SetDebuggerSink(nullptr);
        Runtime_SetNonFatalReporter(m_previous);
    }

private:
    RuntimeErrorReporter m_previous = nullptr;
};

}  // namespace particletest
