// envcheck: reports what the EnvironmentSystem will make of an Environment
// File, like a compiler reports on a source file.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "testing/AccountingMemory.h"
#include "testing/DiskFiles.h"
#include "tools/GuardedMain.h"
#include "tools/envcheck/EnvChecker.h"
#include "tools/envcheck/KeyReference.h"

namespace {

int Run(int argc, char** argv) {
    CLI::App app{"Checks an Environment File the way the EnvironmentSystem reads it. Exit status: 0 clean, "
                 "1 warnings, 2 errors."};
    std::string file;
    std::string root = ".";
    bool dump = false;
    bool includes = false;
    bool noFiles = false;
    std::string explain;
    std::string reference;
    app.add_option("file", file, "the Environment File, as the host would hand it to LoadEnvironment");
    app.add_option("--root", root,
                   "the directory that stands for the system's working directory: Environment File, include, "
                   "texture and star file names are resolved from it (default: the current directory)");
    app.add_flag("--dump", dump, "print the effective settings of every section the system reads");
    app.add_flag("--includes", includes, "print the include graph");
    app.add_flag("--no-files", noFiles, "do not look for texture files and the star data file");
    app.add_option("--explain", explain,
                   "print the reference entry of a key: KEY or SECTION.KEY as the findings name it (any case), or a "
                   "section");
    app.add_option("--reference", reference,
                   "print this Markdown document with its key tables (between <!-- keys:SECTION begin/end --> "
                   "markers) generated afresh");
    // Options are spelled alike on every platform, so that a path beginning
    // with a slash is a path on Windows too.
    app.allow_windows_style_options(false);
    CLI11_PARSE(app, argc, argv);

    const int referenceStatus = envcheck::ReferenceCommand(explain, reference);
    if (referenceStatus >= 0) return referenceStatus;
    if (file.empty()) {
        std::fprintf(stderr, "envcheck: no Environment File given\n%s", app.help().c_str());
        return 2;
    }

    envsys::testing::DiskFiles files(root);
    envsys::testing::AccountingMemory memory;
    envcheck::CheckOptions options;
    options.checkFiles = !noFiles;
    envcheck::EnvChecker checker(&files, &memory, options);
    const int status = checker.Check(file);
    std::fputs(checker.Report().c_str(), stderr);
    if (includes) std::fputs(checker.IncludeTree().c_str(), stdout);
    if (dump) std::fputs(checker.Dump().c_str(), stdout);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    return envtools::GuardedMain("envcheck", [&] { return Run(argc, argv); });
}
