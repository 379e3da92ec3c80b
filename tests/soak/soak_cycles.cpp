// The soak run: erase / program / verify cycles against the simulated probe,
// each on a fresh probe with one fault drawn at random (or none) at a random
// request of the cycle. Every cycle must end as expected: without a fault
// all three commands succeed and the flash holds the image; with one, the
// commands fail with a message or succeed (the fault may land where nothing
// depends on it), the link is closed after each, no call waits past its
// timeout, the image and the project never change, and once a passing fault
// is over a clean cycle on the same probe succeeds. A fault drawn for a
// request the cycle never reached (a cycle makes fewer requests when a
// command fails early or its erase needs fewer polls) leaves a clean cycle,
// which must pass; the faults are ended before the clean cycle after it, so
// that the fault cannot land there instead. Built with the
// sanitizers (scripts/soak), the run also ends with no leak.
//
// Usage: soak_cycles CYCLES [SEED [ONLY [REQUESTS]]]
// ONLY runs just that cycle of the seed's sequence, to look at one failure
// again. The request a fault is drawn for depends on the requests a clean
// cycle makes, which vary with timing (erase polls); REQUESTS, from the
// failure's line ("at request N of REQUESTS"), draws the same request again.

#include "support/fault_cycle.h"
#include "support/manual_clock.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

using namespace fault_cycle;

namespace {

struct SFaultKind {
    const char* name;
    std::string board;
    std::function<void(SSimFaults&, uint32_t)> arm;
    bool passes;
    bool atRequest; // armed at the request drawn, not at the board or the connection
};

std::vector<SFaultKind> Kinds()
{
    auto none = [](SSimFaults&, uint32_t) {};
    return {
        {"none", "", none, true, false},
        {"refused connection", "", [](SSimFaults& f, uint32_t) { f.refuseConnection = true; }, false, false},
        {"dropped reply", "", [](SSimFaults& f, uint32_t n) { f.dropReplyTo = n; }, true, true},
        {"late reply", "", [](SSimFaults& f, uint32_t n) { f.delayReplyTo = n; f.delayMs = 5500; }, true, true},
        {"wrong reply", "", [](SSimFaults& f, uint32_t n) { f.wrongEchoTo = n; }, true, true},
        {"over-long reply", "", [](SSimFaults& f, uint32_t n) { f.wrongLengthTo = n; }, true, true},
        {"link cut", "", [](SSimFaults& f, uint32_t n) { f.cutAt = n; }, true, true},
        {"probe stops answering", "", [](SSimFaults& f, uint32_t n) { f.silentFrom = n; }, false, true},
        {"erase failure", "fault erase-fail 0x80008000\n", none, false, false},
        {"erase never finishes", "fault erase-hang 0x80008000\n", none, false, false},
        {"stuck bit", "fault stuck 0x80000010 bit=2 value=0\n", none, false, false},
    };
}

struct STally {
    int cycles = 0;
    int opsDone = 0;
    int opsFailed = 0;
    int recovered = 0;
    int notReached = 0;
    int unexpected = 0;
};

const EOp kCycle[] = {EOp::EraseSectors, EOp::Program, EOp::Verify};

} // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 300;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 12;
    const int only = argc > 3 ? std::atoi(argv[3]) : -1;
    std::mt19937 random(seed);
    const std::vector<SFaultKind> kinds = Kinds();
    // The requests of a clean cycle: where a fault can land.
    uint32_t cycleRequests = 0;
    std::vector<uint8_t> meantProject;
    {
        CSimFixture sim(Board(), CSimFixture::Tcp());
        CProject project;
        CTimedLibrary library;
        CManualClock clock(100);
        for (EOp op : kCycle)
            if (!RunCommand(op, project, library, sim.ChannelText(), clock).done) {
                std::fprintf(stderr, "soak: a clean cycle failed\n");
                return 2;
            }
        cycleRequests = argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10))
                                 : sim.Link().RequestsReceived();
        meantProject = project.doc.SaveToBytes();
    }
    if (cycleRequests == 0) {
        std::fprintf(stderr, "soak: REQUESTS must be a positive number\n");
        return 2;
    }

    std::map<std::string, STally> tally;
    int unexpected = 0;
    int ran = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        // Half the cycles run clean, the rest draw one fault.
        const SFaultKind& kind = random() % 2 == 0 ? kinds[0] : kinds[1 + random() % (kinds.size() - 1)];
        SSimFaults faults;
        const uint32_t request = 1 + random() % cycleRequests;
        kind.arm(faults, request);
        if (only >= 0 && cycle != only)
            continue; // the draws are made all the same: the sequence stays the seed's
        ++ran;
        CSimFixture sim(Board(kind.board), CSimFixture::Tcp(faults));
        CProject project;
        CTimedLibrary library;
        CManualClock clock(100);
        const std::vector<uint8_t> image = project.Image();
        STally& t = tally[kind.name];
        ++t.cycles;
        std::string wrong;
        bool allDone = true;
        for (EOp op : kCycle) {
            const SOutcome outcome = RunCommand(op, project, library, sim.ChannelText(), clock);
            (outcome.done ? t.opsDone : t.opsFailed)++;
            allDone = allDone && outcome.done;
            if (!outcome.done && outcome.message.empty())
                wrong += std::string(" ") + Name(op) + " failed without a message;";
            if (library.link.IsOpen())
                wrong += std::string(" ") + Name(op) + " left the link open;";
        }
        if (library.worstOverrunMs > 1500)
            wrong += " " + library.worstCall + " waited " + std::to_string(library.worstOverrunMs) +
                     " ms past its timeout;";
        if (project.Image() != image)
            wrong += " the image changed;";
        // Erase sectors keeps the sectors chosen: the project is as a clean cycle leaves it.
        if (project.doc.SaveToBytes() != meantProject)
            wrong += " the project changed;";
        if (kind.name == std::string("none") && !allDone)
            wrong += " a clean cycle failed;";
        const bool reached = !kind.atRequest || sim.Link().RequestsReceived() >= request;
        if (!reached) {
            ++t.notReached;
            if (!allDone)
                wrong += " the fault was not reached, and yet the cycle failed;";
        }
        sim.Link().EndFaults();
        if (kind.passes && !kind.board.size()) {
            // Nothing lost: the same cycle, clean now, ends with the image in flash.
            bool done = true;
            std::string failures;
            for (EOp op : kCycle) {
                const SOutcome outcome = RunCommand(op, project, library, sim.ChannelText(), clock);
                done = outcome.done && done;
                if (!outcome.done)
                    failures += std::string(" ") + Name(op) + ": " + outcome.message + ";";
            }
            if (done && sim.Peek(kDemoFlashBase, kLength) == image)
                ++t.recovered;
            else if (done)
                wrong += " the clean cycle after the fault left other bytes in flash than the image;";
            else
                wrong += " the clean cycle after the fault failed:" + failures;
        }
        if (!project.ok)
            wrong += " the project could not be set up;";
        if (!wrong.empty()) {
            ++t.unexpected;
            ++unexpected;
            std::printf("cycle %d (%s at request %u of %u):%s\n", cycle, kind.name, request, cycleRequests,
                        wrong.c_str());
        }
    }
    std::printf("| fault | cycles | fault not reached | commands done | commands failed | clean cycle after it "
                "| unexpected |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const auto& [name, t] : tally)
        std::printf("| %s | %d | %d | %d | %d | %d | %d |\n", name.c_str(), t.cycles, t.notReached, t.opsDone,
                    t.opsFailed, t.recovered, t.unexpected);
    std::printf("%d cycles, seed %u, %d unexpected\n", ran, seed, unexpected);
    return unexpected == 0 ? 0 : 1;
}
