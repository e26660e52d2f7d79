#include "tools/moxel-cli/CliOptions.h"

#include "tools/moxel-cli/BatchLine.h"
#include "tools/moxel-cli/StandardOutput.h"

#include <CLI/CLI.hpp>

#include <ostream>

namespace moxel::cli {

namespace {

const char* const kDescription = "Converts media files to KMF, one after another or several at "
                                 "once, with the same engine as the desktop program.";

const char* const kFooter =
    "Each SOURCE becomes SOURCE with its extension replaced by .kmf, unless -o names the\n"
    "destination of a single source: a file, or a stream destination\n"
    "(qz:HOST:PORT:HEADERFILE[+COPYFILE] or brox:...). A file is written under a hidden\n"
    "temporary name beside it and takes its name only when the job completes or is\n"
    "aborted; a failed job leaves an existing file as it was. -o - writes to standard\n"
    "output; it, a FIFO and a device get no file header (it needs a seekable file),\n"
    "and a reader that goes away ends the job with an error.\n"
    "\n"
    "While a job runs, one line on standard error shows its status, frames per second and,\n"
    "when the source's length is known, percent done and the time left; where standard\n"
    "error is not a terminal, each job writes one line when it ends. Messages that the\n"
    "desktop program shows in boxes are printed with their titles. Questions are answered by\n"
    "--mkdir and --overwrite; without them the answer is no and the job is skipped.\n"
    "Ctrl-C aborts the running jobs (their files are finished) and starts no further job.\n"
    "\n"
    "--jobs N runs up to N jobs at the same time (default 1), started in the order given;\n"
    "the status line then shows every running job, separated by |. A job whose output file\n"
    "another running job writes or reads waits until that job has finished.\n"
    "\n"
    "--progress writes blocks of key=value lines for programs that drive moxel-cli:\n"
    "job, source, frame, fps, out_time_us, out_time (HH:MM:SS.micro), percent (N/A when\n"
    "the length is unknown), status (initializing, encoding, complete, error, aborted,\n"
    "skipped), and progress=continue, or progress=end after the last block. job counts\n"
    "the jobs from 1 in the order given; with --jobs each running job has a block of its\n"
    "own about every half second. With\n"
    "--progress - the blocks have standard output to themselves: the decoders' diagnostic\n"
    "lines then go to standard error.\n"
    "\n"
    "--batch runs a file written by the desktop program's Save Batch: one job per line,\n"
    "source, destination and profile name separated by tabs. The profiles are those of\n"
    "the profile store (--list-profiles); lines that cannot be used are reported with\n"
    "their line numbers and skipped. --line N runs line N alone (counted from 1, blank\n"
    "lines too); --line env:NAME+1 takes N from a scheduler's index counted from 0.\n"
    "\n"
    "--skip-existing counts a destination that is already a complete KMF file (its file\n"
    "header closed with the file's size) as done: the job is skipped with \"already done\"\n"
    "and the run's exit status stays 0; any other destination is converted again.\n"
    "--read-only-profiles (also in force when the Profiles folder is not writable, and\n"
    "with --dry-run) writes no profile, profile index or settings file: a job does not\n"
    "write the profile's kmfconfig section back, and a first start keeps \"(Default)\" in\n"
    "memory. --dry-run prints the jobs, one \"source<TAB>destination<TAB>profile\" line\n"
    "each (JSON with --json), and runs none; exit status 1 when a line is unusable.\n"
    "-q keeps only the media libraries' errors and -v adds their information lines;\n"
    "either wins over MOXEL_AV_LOGLEVEL.\n"
    "\n"
    "--report writes one JSON document when the run ends, with an object per job: source,\n"
    "destination, profile, status (complete, error, skipped, aborted), error (the messages\n"
    "the job gave), started and ended (ISO 8601, UTC), counters, and the job's log lines.\n"
    "\n"
    "Exit status: 0 when every job completes (or is already done), 1 when any does not\n"
    "(a stream whose server never received anything counts as not complete), 2 for bad\n"
    "usage.";

} // namespace

int parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::ostream& out,
                    std::ostream& err)
{
    CLI::App app(kDescription, "moxel-cli");
    app.footer(kFooter);
    app.option_defaults()->always_capture_default(false);
    app.add_option("--profile,-p", options.profile,
                   "The encoding profile: a .pf file, or a profile's name or position as "
                   "--list-profiles shows it (default: the bundled sample profile)")
        ->type_name("P");
    app.add_option("-o,--output", options.output,
                   "Destination of the one SOURCE: a .kmf file or a stream destination")
        ->type_name("DEST");
    app.add_flag("--overwrite", options.overwrite, "Overwrite destination files that exist");
    app.add_flag("--mkdir", options.mkdir, "Create missing output folders");
    app.add_option("--progress", options.progress,
                   "Write progress blocks to FILE ('-' for standard output)")
        ->type_name("FILE");
    app.add_option("--batch", options.batch,
                   "Run a saved batch file (source, destination and profile name per line) "
                   "with the profiles of the profile store")
        ->type_name("FILE");
    app.add_option("--report", options.report,
                   "Write a JSON report of the run's jobs to FILE when the run ends")
        ->type_name("FILE");
    app.add_flag("--list-profiles", options.listProfiles,
                 "List the profile store: position and name of each profile");
    std::string line;
    app.add_option("--line", line,
                   "Run only line N of the --batch file (from 1; env:NAME, env:NAME+K or "
                   "env:NAME-K take it from an environment variable)")
        ->type_name("N");
    app.add_flag("--skip-existing", options.skipExisting,
                 "Count a destination that is a complete KMF file as done; convert others "
                 "again over what is there");
    app.add_flag("--read-only-profiles", options.readOnlyProfiles,
                 "Write no profile, profile index or settings file");
    app.add_flag("--dry-run", options.dryRun,
                 "List the jobs (source, destination, profile) without running them");
    app.add_flag("--json", options.json, "With --list-profiles or --dry-run: print JSON");
    app.add_option("--jobs,-j", options.jobs, "Run up to N jobs at the same time (default 1)")
        ->type_name("N");
    bool quiet = false;
    bool verbose = false;
    app.add_flag("-q,--quiet", quiet, "Show only the media libraries' errors");
    app.add_flag("-v,--verbose", verbose, "Show the media libraries' information lines too");
    bool version = false;
    app.add_flag("--version", version, "Print the program's version");
    app.add_option("SOURCE", options.sources, "Media files to convert");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitAllComplete;
    } catch (const CLI::ParseError& e) {
        err << "moxel-cli: " << e.what() << "\n"
            << "Run with --help for more information.\n";
        return kExitUsage;
    }
    if (version) {
        out << "moxel-cli " << MOXEL_VERSION << "\n";
        return kExitAllComplete;
    }
    if (quiet && verbose) {
        err << "moxel-cli: -q and -v cannot both be given\n";
        return kExitUsage;
    }
    options.verbosity = quiet ? -1 : verbose ? 1 : 0;
    if (options.jobs < 1) {
        err << "moxel-cli: --jobs needs a number of at least 1, not " << options.jobs << "\n";
        return kExitUsage;
    }
    if (!line.empty()) {
        std::string error;
        if (options.batch.empty()) {
            err << "moxel-cli: --line needs --batch\n";
            return kExitUsage;
        }
        options.line = resolveLineNumber(line, error);
        if (options.line < 1) {
            err << "moxel-cli: " << error << "\n";
            return kExitUsage;
        }
    }
    if (options.json && !options.listProfiles && !options.dryRun) {
        err << "moxel-cli: --json goes with --list-profiles or --dry-run\n";
        return kExitUsage;
    }
    const bool storeRun = !options.batch.empty() || options.listProfiles;
    if (storeRun &&
        (!options.sources.empty() || !options.output.empty() || !options.profile.empty() ||
         (!options.batch.empty() && options.listProfiles))) {
        err << "moxel-cli: --batch and --list-profiles take no sources, -o or --profile, and "
               "not each other\n";
        return kExitUsage;
    }
    if (!storeRun && options.sources.empty()) {
        err << "moxel-cli: SOURCE is required\n"
            << "Run with --help for more information.\n";
        return kExitUsage;
    }
    if (namesStandardOutput(options.output) && options.progress == "-") {
        err << "moxel-cli: -o - and --progress - cannot both have standard output\n";
        return kExitUsage;
    }
    if (!options.output.empty() && options.sources.size() != 1) {
        err << "moxel-cli: -o names the destination of a single source; " << options.sources.size()
            << " were given\n";
        return kExitUsage;
    }
    for (const std::string& source : options.sources)
        if (source.empty()) {
            err << "moxel-cli: a source name is empty\n";
            return kExitUsage;
        }
    return -1;
}

} // namespace moxel::cli
