#pragma once
// The main() of a benchmark that draws or measures text: Qt's offscreen
// platform unless another is set, an application, then the benchmarks.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

inline int RunGuiBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
