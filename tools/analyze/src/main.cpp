#include "analyze/Analysis.h"
#include "analyze/SystemText.h"
#include "kpx/Version.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <iostream>
#include <memory>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // The CSV carries its own CR LF; text mode would turn each into CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << kpx::fromSystemBytes(argv[i]);

    const auto parsed = kpx::parseArguments(arguments);
    if (const auto *error = std::get_if<kpx::UsageError>(&parsed)) {
        std::cerr << "kpx2-analyze: " << error->message << "\n" << kpx::usageText();
        return static_cast<int>(kpx::ExitStatus::NothingToScore);
    }
    const auto &options = std::get<kpx::AnalysisOptions>(parsed);
    if (options.helpRequested) {
        std::cout << kpx::usageText();
        return static_cast<int>(kpx::ExitStatus::Success);
    }
    if (options.versionRequested) {
        std::cout << "kpx2-analyze " << kpx::kVersion << '\n';
        return static_cast<int>(kpx::ExitStatus::Success);
    }

    // Only plots need fonts and a platform plugin; a summary alone runs anywhere.
    std::unique_ptr<QCoreApplication> application;
    if (options.plotDirectory) {
        kpx::preferOffscreenPlatformWithoutDisplay();
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    return static_cast<int>(kpx::runAnalysis(options, std::cout, std::cerr));
}
