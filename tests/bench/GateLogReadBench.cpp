// The time of one card read through a private pcscd, the vpcd virtual reader and
// the virtual card, with the gate log read after the history and without it.
// Needs what the integration tests need (root for the private mount namespace).
#include "PrivatePcscd.h"
#include "readers/CardReadAttempt.h"
#include "readers/FelicaMod.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kImagePath = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

void ReadCard(benchmark::State& state, bool withGateLog)
{
    CFelicaMod felica;
    if (felica.OpenReader() != 0 || !felica.m_pReader || !felica.m_pReader->Open()) {
        state.SkipWithError("the reader does not open");
        return;
    }
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    size_t gateBlocks = 0;
    for (auto _ : state) {
        HistoryBlockList blocks;
        HistoryBlockList gate;
        CCardReadAttempt attempt(&felica, idm.data(), pmm.data(), &blocks, withGateLog ? &gate : nullptr);
        if (!attempt.TryRead()) {
            state.SkipWithError("the card was not read");
            break;
        }
        gateBlocks = gate.size();
    }
    state.counters["gateBlocks"] = static_cast<double>(gateBlocks);
    felica.m_pReader->Close();
}

void WithoutGateLog(benchmark::State& state)
{
    ReadCard(state, false);
}
void WithGateLog(benchmark::State& state)
{
    ReadCard(state, true);
}
BENCHMARK(WithoutGateLog)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(WithGateLog)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const QString reason = CPrivatePcscd::WhyUnavailable(); !reason.isEmpty()) {
        std::fprintf(stderr, "no private pcscd: %s\n", qPrintable(reason));
        return 1;
    }
    CPrivatePcscd::UsePrivateSocket();
    QTemporaryDir noLibrary;
    setenv("VOLUNI_COMMON_FILES_DIR", noLibrary.path().toLocal8Bit().constData(), 1);
    CPrivatePcscd pcscd;
    const char* reader = argc > 1 && argv[1][0] != '-' ? argv[1] : "ACS ACR1251 CL Reader PICC";
    QString error = pcscd.Start(QString::fromLocal8Bit(reader));
    if (error.isEmpty())
        error = pcscd.InsertCard(kImagePath);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pcscd.Stop();
    return 0;
}
