// tkan-sim: a simulated TKAN analyser or RKZ meter on a pseudo-terminal, so
// that the program (or tkan-cli) can be tried without an instrument. The
// terminal's path is the first line of standard output; point the program's
// "ComDevice" setting or tkan-cli's --device at it.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sim/PtySim.h"
#include "sim/SimInstrument.h"
#include "sim/SimOptions.h"
#include "sim/SimRecords.h"

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: tkan-sim [--model TKAN|TKAN-40|RKZ10P|RKZ40P|OTHER] [--baud 115200|19200]\n"
                 "                [--records DIR] [--clock FACTOR] [--unpaced] [--fault NAME]... [--help]\n"
                 "\n"
                 "Simulates the instrument on a pseudo-terminal and prints the terminal's path on the\n"
                 "first line of standard output. Runs until interrupted (SIGINT or SIGTERM).\n"
                 "\n"
                 "  --model NAME    instrument to be (default TKAN; OTHER is none of the known models)\n"
                 "  --baud N        line speed, 115200 (default) or 19200\n"
                 "  --records DIR   serve the test files of DIR as the stored records\n"
                 "                  (default: built-in demonstration records)\n"
                 "  --clock FACTOR  run the instrument's clock FACTOR times faster (default 1)\n"
                 "  --unpaced       send as fast as the terminal takes it, not at the line rate\n"
                 "  --fault NAME    misbehave; may be repeated. NAME is one of:\n"
                 "                 ");
    for (const std::string& name : tkan::SimFaultNames())
        std::fprintf(to, " %s", name.c_str());
    std::fprintf(to, "\n");
}

int Fail(const std::string& text)
{
    std::fprintf(stderr, "tkan-sim: %s\n", text.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    tkan::SimOptions options;
    options.clockStart = tkan::SimDate::Today();
    std::string recordsDir;

    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--unpaced") {
            options.paced = false;
        } else if (arg == "--model" || arg == "--baud" || arg == "--records" || arg == "--clock" || arg == "--fault") {
            const char* v = value();
            if (!v) {
                Usage(stderr);
                return Fail(std::string(arg) + " needs a value");
            }
            std::string text = v;
            if (arg == "--model") {
                auto model = tkan::ParseSimModel(text);
                if (!model)
                    return Fail("unknown model " + text);
                options.model = *model;
            } else if (arg == "--baud") {
                if (text != "115200" && text != "19200")
                    return Fail("the instrument runs at 115200 or 19200 bit/s, not " + text);
                options.baud = std::atoi(v);
            } else if (arg == "--records") {
                recordsDir = text;
            } else if (arg == "--clock") {
                char* end = nullptr;
                errno = 0;
                double factor = std::strtod(v, &end);
                if (errno != 0 || end == v || *end != '\0' || !(factor > 0) || !std::isfinite(factor) || factor > 1e6)
                    return Fail("the clock factor must be a number above 0, not " + text);
                options.clockFactor = factor;
            } else {
                auto fault = tkan::ParseSimFault(text);
                if (!fault)
                    return Fail("unknown fault " + text);
                options.faults.push_back(*fault);
            }
        } else {
            Usage(stderr);
            return Fail("unknown argument " + std::string(arg));
        }
    }

    std::vector<tkan::SimStoredRecord> records;
    if (recordsDir.empty()) {
        records = tkan::DemoRecordSet(options.model, options.clockStart);
    } else {
        std::vector<std::string> problems;
        if (!tkan::LoadRecordFolder(recordsDir, options.model, records, problems)) {
            std::fprintf(stderr, "tkan-sim: cannot read the folder %s\n", recordsDir.c_str());
            return 1;
        }
        for (const std::string& p : problems)
            std::fprintf(stderr, "tkan-sim: skipped %s\n", p.c_str());
    }

    // The signals are taken by sigwait below, not by a handler: block them
    // before the front's thread starts so that it inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    tkan::PtySim front(options, std::move(records));
    std::size_t recordCount = 0;
    front.Inspect([&](tkan::SimInstrument& engine) { recordCount = engine.Records().size(); });
    std::string error;
    if (!front.Start(error)) {
        std::fprintf(stderr, "tkan-sim: %s\n", error.c_str());
        return 1;
    }

    std::printf("%s\n", front.SlavePath().c_str());
    std::fflush(stdout);
    std::string faults;
    for (tkan::SimFault f : options.faults)
        faults += " " + tkan::SimFaultName(f);
    std::fprintf(stderr, "tkan-sim: %s (%s) at %d bit/s, %zu records, clock x%g, %s%s%s\n",
                 tkan::SimModelName(options.model).c_str(), tkan::SimVersionText(options.model).c_str(), options.baud,
                 recordCount, options.clockFactor, options.paced ? "paced" : "unpaced",
                 faults.empty() ? "" : ", faults:", faults.c_str());

    int signal = 0;
    sigwait(&stopSignals, &signal);
    front.Stop();
    return 0;
}
